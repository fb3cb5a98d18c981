#pragma once
// The settings menu: toggles kept in CProgramState, the entry to the clock,
// the store maintenance commands and the analysis parameter kinds.
#include <cstdint>

#include "text.h"

constexpr int SETUP_MENU_ITEMS = 11;
extern CMenuItem SetupMenu[SETUP_MENU_ITEMS];
extern CItem SetupLabel;

// Returns 0 (main menu, MenuItem 4) or 20 (clock setup, MenuItem 3).
std::uint16_t SetupScrn();
// Writes ON/OFF, Hz/RPM and the parameter kinds into the entry templates.
void SetupTexts();

void DelRoute();
void DelOffRoute();
void EraseMem();
