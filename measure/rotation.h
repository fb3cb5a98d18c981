#pragma once
// Rotation speed from the demonstration data (no tachometer is attached).
// RotFreq in Hz, negative when no tachometer signal; RotRpm beside it.
extern float RotFreq;
extern float RotRpm;
// What they hold when a program run starts.
constexpr float kDemoRotFreq = 32.0f;
constexpr float kDemoRotRpm = 1920.0f;
// Tachometer period in seconds; 0 (never measured) in this device.
extern float TachoPeriod;
