#include "rotation.h"

float RotFreq = kDemoRotFreq;
float RotRpm = kDemoRotRpm;
float TachoPeriod = 0.0f;
