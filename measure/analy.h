#pragma once
// The analysis screen's own localised texts (built with the menu texts).
void AnalyTexts();
