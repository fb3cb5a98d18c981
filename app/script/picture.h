#pragma once
// Pictures of the instrument without a window: the LCD at an integer zoom,
// the LCD inside the instrument picture as the window composes it, and the
// comparison picture of an expectation that failed.
#include <string>

#include "headless_host.h"
#include "pngfile.h"

// Nearest-neighbour enlargement by zoom (1 to 8).
TRgbImage Zoomed(const TRgbImage& img, int zoom);

// The window's instrument: the LCD at picture (50, 65) behind the instrument
// picture (white shows the LCD, or the window's face colour outside the
// case), and the pressed picture of every button in heldMask (bit n-1 for
// button n) on top, red showing what is below. 227 x 448 before zooming.
// False, with the reason, if the artwork linked into the program is unusable.
bool DevicePicture(const TFrame& f, unsigned heldMask, int zoom, TRgbImage& out, std::string* error = nullptr);

constexpr int kDevicePictureWidth = 227;
constexpr int kDevicePictureHeight = 448;

// Expected, actual and their difference side by side (the difference is the
// actual picture faded, with every differing pixel in magenta); both
// pictures must have the same size. Counts the differing pixels.
TRgbImage DiffPicture(const TRgbImage& expected, const TRgbImage& actual, int* differing = nullptr);
