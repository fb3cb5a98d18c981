#pragma once
// Golden frames of the tests: tests/goldens/<name>.txt with a PNG beside each.
// ORB_UPDATE_GOLDENS=1 rewrites them; a mismatch writes <name>.actual.txt/.png
// next to the golden.
#include <gtest/gtest.h>

#include <string>

#include "headless_host.h"

// Empty when the frame matches, else a description of the first differences.
std::string CompareWithGolden(const TFrame& f, const std::string& name);
#define EXPECT_GOLDEN(frame, name) EXPECT_EQ(CompareWithGolden((frame), (name)), "")
