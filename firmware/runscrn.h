#pragma once
#include <cstdint>

#include "text.h"

// The firmware entry: prepares the state and runs the screens until the stop
// exception (or another error) leaves it.
void RunScrn();
// Prepares CProgramState at every firmware start (on the first one of the
// program run also the demonstration route) and selects the current point.
void InitProgState();
// Rebuilds every localised firmware text in the calling thread's language and
// points the screens' records at them.
void InitMenuTexts();
std::uint16_t MainScrn();

constexpr int MAIN_MENU_ITEMS = 5;
extern CMenuItem MainMenu[MAIN_MENU_ITEMS];

// Points the screens' item records at the current localised texts.
void PointMenuTexts();
