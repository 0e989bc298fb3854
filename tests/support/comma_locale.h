#pragma once
// Runs a test under a locale that writes a decimal comma, as a German desktop
// does, for the C library and the C++ streams alike, and restores the "C"
// locale afterwards. The locale must exist (scripts/setup-deps generates it);
// a machine without it fails the test rather than skipping it.

#include <gtest/gtest.h>

#include <clocale>
#include <cstdio>
#include <locale>
#include <string>

namespace vorna::test {

#ifdef _WIN32
// The Windows C library's name for it. The C++ library there knows no named
// locale, so only the C library's is changed.
inline constexpr const char* COMMA_LOCALE = "German_Germany.1252";
#else
inline constexpr const char* COMMA_LOCALE = "de_DE.UTF-8";
#endif

class CommaLocaleTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NE(std::setlocale(LC_ALL, COMMA_LOCALE), nullptr)
        << COMMA_LOCALE << " is not installed; scripts/setup-deps generates it";
#ifndef _WIN32
    std::locale::global(std::locale(COMMA_LOCALE));
#endif
    // The test means something only if the C library now writes a comma.
    char text[16];
    std::snprintf(text, sizeof text, "%.1f", 88.1);
    ASSERT_EQ(std::string(text), "88,1");
  }
  void TearDown() override {
    std::locale::global(std::locale::classic());
    std::setlocale(LC_ALL, "C");
  }
};

}  // namespace vorna::test
