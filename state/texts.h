#pragma once
// The firmware's localised texts, one private writable buffer per entry, in
// the order they are built. Screens point their item records at them and edit
// the templates in place.
#include <cstddef>

enum TFwText : int {
  TX_MEASUREMENT,  // 2409
  TX_ANALYSIS,     // 2410
  TX_WATCH,        // 2411
  TX_TACHOMETER,   // 2413
  TX_SETTINGS,     // 2412
  TX_ROUTE,        // 153
  TX_AGGREGATE,    // 154
  TX_AUTOSTEP,     // 160
  TX_PHASE,        // 161
  TX_FREQUENCY,    // 162
  TX_CLOCKSETUP,   // 163
  TX_DELROUTE,     // 164
  TX_DELOFFROUTE,  // 165
  TX_ERASE,        // 166
  TX_PARAM_A,      // 1667
  TX_PARAM_V,      // 1668
  TX_PARAM_S,      // 1669
  TX_ABOUT,        // 1670
  TX_ANALYSIS_AVS, // 1700
  TX_DATE_LABEL,   // 1908
  TX_TIME_LABEL,   // 1909
  TX_WAVE_HZ,      // 1920
  TX_ENVELOPE_KHZ, // 1930
  TX_SERIAL_LABEL, // 1800
  TX_SERIAL,       // 1801
  TX_HW_LABEL,     // 1802
  TX_HW,           // 1803
  TX_FW_LABEL,     // 1804
  TX_FW,           // 1805
  TX_INFO_FOOTER,  // 1806
  TX_TACHO_CAPTION,  // 1910
  TX_TACHO_VALUE,    // 1911
  TX_TACHO_UNIT,     // 1912
  TX_TACHO_FOOTER,   // 1806, a second copy
  TX_COUNT
};

// String id of each entry.
extern const unsigned kFwTextIds[TX_COUNT];

// The current text of an entry (never null; "" until built or when missing).
char* FwText(TFwText t);
std::size_t FwTextLen(TFwText t);

// Loads every entry in the calling thread's language; InitMenuTexts (the
// dispatcher's) then points the screens' records at them.
void LoadFwTexts();
