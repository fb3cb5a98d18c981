#pragma once
// The device information page shown from the settings menu.
#include "text.h"

constexpr int INFO_ITEMS = 7;
extern CItem InfoItems[INFO_ITEMS];

// Shows serial number, hardware and firmware version until any key.
void InfoScrn();
