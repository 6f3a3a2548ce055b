// wsprintfA as the program uses it, its 1024-byte output limit, bounded
// reads, and wide strings and characters written in the ANSI code page
// (1252 on our layer and in the Wine prefix).
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "support/recorder.h"

namespace {

// u"" holds UTF-16 on both platforms; WCHAR is wchar_t on Windows.
std::basic_string<WCHAR> Wide(const char16_t* s) {
  std::basic_string<WCHAR> w;
  for (; *s; ++s) w += WCHAR(*s);
  return w;
}

TEST(Wsprintf, FormatsAsTheProgramUsesIt) {
  char buf[256];
  EXPECT_EQ(35, wsprintfA(buf, "Direct Draw Init Failed (%08lx)\n", 0x88760096UL));
  EXPECT_STREQ("Direct Draw Init Failed (88760096)\n", buf);
  EXPECT_EQ(8, wsprintfA(buf, "%08lx", 0UL));
  EXPECT_STREQ("00000000", buf);
  wsprintfA(buf, "%d|%5d|%-5d|%05d|%x|%X|%u|%c|%%|%ld|%lu|%3s|%s", 42, 42, 42, -42, 255, 255, 4000000000u, 'q',
            -5L, 7UL, "ab", "tail");
  EXPECT_STREQ("42|   42|42   |-0042|ff|FF|4000000000|q|%|-5|7| ab|tail", buf);
  wsprintfA(buf, "[%s]", static_cast<const char*>(NULL));
  EXPECT_STREQ("[(null)]", buf);
}

TEST(Wsprintf, StopsAt1024Bytes) {
  static char big[2000];
  static WCHAR wide[2000];
  static char out[4096];
  // The characters stored, less the terminating zero, as documented; Wine
  // answers 1024 whenever the output reaches the cap.
  const int stored = UnderWine() ? 1024 : 1023;
  std::memset(big, 'a', sizeof big - 1);
  for (size_t i = 0; i + 1 < sizeof wide / sizeof wide[0]; ++i) wide[i] = 0x20AC;
  std::memset(out, 'Z', sizeof out);
  EXPECT_EQ(stored, wsprintfA(out, "%s", big));
  EXPECT_EQ(1023u, std::strlen(out));
  EXPECT_EQ('Z', out[1024]);  // nothing written past the cap
  std::memset(out, 'Z', sizeof out);
  EXPECT_EQ(stored, wsprintfA(out, "%S", wide));
  EXPECT_EQ(1023u, std::strlen(out));
  EXPECT_EQ('\x80', out[1022]);
  EXPECT_EQ('Z', out[1024]);
  // Widths and precisions wider than the output, even than an int, pad up
  // to the cap and stop there.
  for (const char* format : {"%999999999d", "%99999999999999999999d|%.99999999999999999999d"}) {
    std::memset(out, 'Z', sizeof out);
    EXPECT_EQ(stored, wsprintfA(out, format, 5, 6)) << format;
    EXPECT_EQ(' ', out[0]) << format;
    EXPECT_EQ(1023u, std::strlen(out)) << format;
  }
}

TEST(Wsprintf, PrecisionBoundsTheRead) {
  // Never read past the precision: there is no terminating zero within reach.
  const char narrow[3] = {'a', 'b', 'c'};
  const WCHAR wide[3] = {'a', 0x20AC, 'c'};
  char out[64];
  EXPECT_EQ(3, wsprintfA(out, "%.3s", narrow));
  EXPECT_STREQ("abc", out);
  EXPECT_EQ(3, wsprintfA(out, "%.3S", wide));
  EXPECT_STREQ("a\x80"
               "c",
               out);
  EXPECT_EQ(2, wsprintfA(out, "%.2ls", wide));
  EXPECT_STREQ("a\x80", out);
}

TEST(Wsprintf, SizePrefixesChooseNarrowOrWide) {
  // Read as WCHARs, u"AB" gives "AB"; read as chars, it ends after the 'A'.
  const std::basic_string<WCHAR> ab = Wide(u"AB");
  const struct {
    const char* format;
    const char* expected;
  } kStrings[] = {
      {"%S", "AB"}, {"%lS", "AB"}, {"%ls", "AB"}, {"%ws", "AB"}, {"%s", "A"}, {"%hs", "A"}, {"%hS", "A"}, {"%wS", "A"},
      {"%hls", "ls"},  // one prefix only: the second letter is an unknown conversion
  };
  char out[64];
  for (const auto& c : kStrings) {
    wsprintfA(out, c.format, ab.c_str());
    EXPECT_STREQ(c.expected, out) << c.format;
  }
  // U+20AC is 0x80 in 1252; as a char it is its low byte.
  const struct {
    const char* format;
    char expected;
  } kCharacters[] = {
      {"%C", '\x80'}, {"%lC", '\x80'}, {"%wC", '\x80'}, {"%lc", '\x80'},
      {"%c", '\xAC'}, {"%hc", '\xAC'}, {"%hC", '\xAC'}, {"%wc", '\xAC'},
  };
  for (const auto& c : kCharacters) {
    EXPECT_EQ(1, wsprintfA(out, c.format, 0x20AC)) << c.format;
    EXPECT_EQ(c.expected, out[0]) << c.format;
  }
}

TEST(Wsprintf, WideStringsInTheAnsiCodePage) {
  const struct {
    const char* format;
    const char16_t* text;  // null: a null pointer
    const char* expected;
  } kCases[] = {
      {"%S", u"H\u00E9\u20AC\u0152\u2030\u00FF\u00A0", "H\xE9\x80\x8C\x89\xFF\xA0"},  // 1252's own
      {"%S", u"\u0100\u0141\u2212\uFF21\u221E\u2264\u2554", "AL-A8=+"},               // best fit
      {"%S", u"\u4E2D\u0391\u0080\u0081x", "???\x81x"},  // none, a C1 control; 0x81 is unassigned and kept
      {"%S", u"\xD83D\xDE00|\xDC00", "??|?"},            // each half of a surrogate pair is a character
      {"[%8.3S]", u"H\u00E9\u20AC\u4E2D", "[     H\xE9\x80]"},
      {"[%-6S]", u"\u20AC1", "[\x80"
                             "1    ]"},
      {"[%.1S]", u"\xD83D\xDE00", "[?]"},
      {"[%S]", nullptr, "[(null)]"},
      {"[%.2ws]", nullptr, "[(n]"},
  };
  char out[64];
  for (const auto& c : kCases) {
    const std::basic_string<WCHAR> text = c.text ? Wide(c.text) : std::basic_string<WCHAR>();
    const int n = wsprintfA(out, c.format, c.text ? text.c_str() : nullptr);
    EXPECT_STREQ(c.expected, out) << c.format << " #" << (&c - kCases);
    EXPECT_EQ(int(std::strlen(c.expected)), n) << c.format << " #" << (&c - kCases);
  }
}

}  // namespace
