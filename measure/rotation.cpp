#include "rotation.h"

float RotFreq = 32.0f;
float RotRpm = 1920.0f;
float TachoPeriod = 0.0f;
