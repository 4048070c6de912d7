#include "dataaccess/textcompare.h"

#include <gtest/gtest.h>

#include <QString>
#include <algorithm>
#include <string>

using namespace dataaccess::textcmp;

namespace {

int sign(int v) { return (v > 0) - (v < 0); }

TEST(TextCompare, IgnoresCaseOfEveryLetter) {
  EXPECT_EQ(compare("äpfel", "ÄPFEL"), 0);
  EXPECT_EQ(compare("Étoile", "étoile"), 0);
  EXPECT_EQ(compare("ΣΟΦΊΑ", "σοφία"), 0);
  EXPECT_EQ(compare("ПРИВЕТ", "привет"), 0);
  EXPECT_EQ(compare("Apple", "APPLE"), 0);
  EXPECT_LT(compare("apple", "Banana"), 0);
  EXPECT_LT(compare("app", "APPLE"), 0);
  EXPECT_GT(compare("äb", "ÄA"), 0);  // the difference after the first non-ASCII letter counts
  EXPECT_LT(compare("z", "é"), 0);    // folded code point order
  EXPECT_NE(compare("a", "á"), 0);
  EXPECT_EQ(compare("", ""), 0);
  EXPECT_LT(compare("", "a"), 0);
  // A stray byte is a character of its own, equal only to itself.
  EXPECT_EQ(compare("a\xff", "A\xff"), 0);
  EXPECT_NE(compare("a\xff", "a\xfe"), 0);
  EXPECT_NE(compare("\xc3", "\xc3\xa9"), 0);
}

TEST(TextCompare, OrderIsTotalAndPrefixKeysAgreeWithIt) {
  const std::vector<std::string> words = {"", "a", "A", "ab", "aB", "Ab", "abc", "abcdefghij", "ABCDEFGHIK",
                                          "äpfel", "Äpfel", "apfel", "zebra", "Zebra", "é", "É", "étoile",
                                          "Étoilé", "\xff", "a\xff", "ΣΟΦΊΑ", "σοφ", "k", "\xe2\x84\xaa",
                                          "abcdefgh", "abcdefgh\x01", "ÄÄÄÄÄ", "äääää1", "abcdefghijklmnopq", "ABCDEFGHIJKLMNOPR", "ääääääää", "ÄÄÄÄÄÄÄÄx"};
  for (const auto& a : words)
    for (const auto& b : words) {
      const int ab = sign(compare(a, b));
      EXPECT_EQ(ab, -sign(compare(b, a))) << a << " / " << b;
      if (prefixKey(a) < prefixKey(b)) {
        EXPECT_LT(ab, 0) << a << " / " << b;
      }
      if (ab == 0) {
        EXPECT_EQ(prefixKey(a), prefixKey(b)) << a << " / " << b;
      }
      for (const auto& c : words)
        if (ab <= 0 && compare(b, c) <= 0) {
          EXPECT_LE(compare(a, c), 0) << a << " / " << b << " / " << c;
        }
    }
  // The Kelvin sign folds to k, as the Unicode tables say.
  EXPECT_EQ(compare("\xe2\x84\xaa", "K"), 0);
}

TEST(TextCompare, LikeMatchesWithAnyRunOneCharacterAndEscape) {
  struct Case {
    const char* pattern;
    const char* text;
    bool match;
  };
  const Case cases[] = {
      {"é%", "Étoile", true},        {"%PFEL", "äpfel", true},    {"ÄPFEL", "äpfel", true},
      {"app%", "Apple pie", true},   {"%pie%", "Apple PIE!", true}, {"%pie%", "Apple pi", false},
      {"a_c", "abc", true},          {"a_c", "aéc", true},          {"a_c", "ac", false},
      {"a_c", "abbc", false},        {"%", "", true},               {"", "", true},
      {"", "x", false},              {"%a%b%c%", "xxAyyBzzC", true}, {"%a%b%c%", "xxAyyCzzB", false},
      {"a%%%b", "ab", true},         {"%aab", "aaaab", true},       {"_%_", "a", false},
      {"Σ%", "σοφία", true},         {"%\xff", "a\xff", true},
  };
  for (const Case& c : cases)
    EXPECT_EQ(LikePattern(c.pattern).matches(c.text), c.match) << c.pattern << " ~ " << c.text;
  EXPECT_TRUE(LikePattern("100!%", U'!').matches("100%"));
  EXPECT_FALSE(LikePattern("100!%", U'!').matches("1000"));
  EXPECT_TRUE(LikePattern("a!_b", U'!').matches("A_B"));
  EXPECT_FALSE(LikePattern("a!_b", U'!').matches("axb"));
}

}  // namespace
