#pragma once
// Texts and colours of the route point view, made from the current point.
// FmtPoint only fills them; the route point screen draws them.
#include <cstddef>
#include <cstdint>

// The route and machine rows are the localised 24-character templates,
// rewritten in place; this is their capacity in characters.
constexpr std::size_t POINT_ROW_CHARS = 24;

// Orientation (a few characters), the 31-character point name, the tab pair
// and the terminator, with room to spare.
constexpr std::size_t TXT_POINT_SIZE = 40;
constexpr std::size_t TXT_MODE_SIZE = 20;
constexpr std::size_t TXT_SPEED_SIZE = 22;
constexpr std::size_t TXT_LABEL_SIZE = 30;
constexpr std::size_t TXT_VALUE_SIZE = 6;
constexpr std::size_t TXT_UNIT_SIZE = 6;
constexpr std::size_t TXT_PHASE_SIZE = 6;
constexpr std::size_t TXT_TIME_SIZE = 20;

char* TxtRoute();    // the edited route row (text 153)
char* TxtMachine();  // the edited machine row (text 154)
extern char txtPoint[TXT_POINT_SIZE];
extern char txtMode[TXT_MODE_SIZE];
extern char txtSpeed[TXT_SPEED_SIZE];
extern char txtLabel1[TXT_LABEL_SIZE];
extern char txtValue1[TXT_VALUE_SIZE];
extern char txtUnit1[TXT_UNIT_SIZE];
extern char txtPhase1[TXT_PHASE_SIZE];
extern std::uint32_t colValue1;
extern char txtLabel2[TXT_LABEL_SIZE];
extern char txtValue2[TXT_VALUE_SIZE];
extern char txtUnit2[TXT_UNIT_SIZE];
extern char txtPhase2[TXT_PHASE_SIZE];
extern std::uint32_t colValue2;
extern char txtTime[TXT_TIME_SIZE];

// Unit texts by index: none, m/s2, mm/s, um, Hz, RPM, rad, deg.
constexpr int UNIT_TEXT_COUNT = 8;
extern const char* const kUnitTexts[UNIT_TEXT_COUNT];
// Unit index of a slot: band and harmonic kinds by quantity, others by unit.
int ParamUnitIndex(std::uint16_t kind, std::uint16_t qty, std::uint16_t unit);
// String id of the label of a parameter kind (2300 = none).
unsigned ParamLabelId(std::uint16_t kind);

// Fills every text and colour above from CurPoint.
void FmtPoint();
