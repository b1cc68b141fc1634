// Checks on program output and messages shared by the tests.
#pragma once

#include <gtest/gtest.h>

#include <string>

// Checks that `text` holds `part`, showing the text when not.
#define EXPECT_HAS(text, part) EXPECT_NE((text).find(part), std::string::npos) << (text)
