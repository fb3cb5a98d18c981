#include "analy.h"

// The analysis screen has no texts of its own yet.
void AnalyTexts() {}
