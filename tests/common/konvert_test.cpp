#include "common/konvert.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

namespace quva {
namespace {

TEST(Konvert, Renderings) {
  EXPECT_EQ(NibbleToHexChar(0), '0');
  EXPECT_EQ(NibbleToHexChar(10), 'a');
  EXPECT_EQ(NibbleToHexChar(15), 'f');
  EXPECT_EQ(NibbleToHexChar(16), 'x');
  EXPECT_EQ(NibbleToHexChar(255), 'x');
  EXPECT_EQ(ByteToHex(0), "00");
  EXPECT_EQ(ByteToHex(0x3A), "3a");
  EXPECT_EQ(WordToHex(0xABCD), "abcd");
  EXPECT_EQ(LongToHex(0x08000000), "08000000");
  EXPECT_EQ(LongToHex(0xFFFFFFFF), "ffffffff");
  EXPECT_EQ(WordToDec5(0), "00000");
  EXPECT_EQ(WordToDec5(42), "00042");
  EXPECT_EQ(WordToDec5(65535), "65535");
  EXPECT_EQ(ByteToDec3(0), "  0");
  EXPECT_EQ(ByteToDec3(7), "  7");
  EXPECT_EQ(ByteToDec3(42), " 42");
  EXPECT_EQ(ByteToDec3(255), "255");
  EXPECT_EQ(NibbleToBin(0xF5), "0101");  // high bits ignored
  EXPECT_EQ(ByteToBin(0xA5), "10100101");
  EXPECT_EQ(WordToBin(0x1234), "00010010.00110100");
  EXPECT_EQ(BitToStr(1), "1");
  EXPECT_EQ(BitToStr(0), "0");
  EXPECT_EQ(BitToStr(2), "0");
  EXPECT_EQ(BitToStr(255), "0");
}

struct FixCase {
  double value;
  uint8_t intDigits, decimals, withSign;
  const char* text;
};

TEST(Konvert, RealToFixStr) {
  const std::vector<FixCase> cases = {
      {5, 3, 0, 0, "005"},
      {-5, 3, 0, 0, "005"},
      {-5, 3, 0, 1, "-005"},
      {0, 2, 0, 1, "+00"},
      {-0.0, 2, 0, 1, "+00"},
      {3.14159, 2, 2, 0, "03.14"},
      {1234, 2, 0, 0, "1234"},
      {7.5, 0, 0, 0, "8"},
      {0.125, 0, 2, 0, "0.13"},
      {-2.5, 2, 0, 1, "-03"},
      {-2.5, 2, 0, 0, "03"},
      {0.5, 0, 0, 0, "1"},
      {0.49, 0, 0, 0, "0"},
      {9.96, 1, 1, 0, "10.0"},  // carry adds an integer digit
      {99.5, 0, 0, 1, "+100"},
      {0.0125, 1, 3, 0, "0.013"},  // digits behind leading fraction zeros
      {0.001, 1, 2, 1, "+0.00"},
      {-0.004, 1, 2, 1, "-0.00"},
      {1.005, 1, 2, 0, "1.00"},       // 1.00499999999999989... in binary
      {123.456, 5, 1, 2, "00123.5"},  // withSign other than 1: no sign
      {1e20, 0, 0, 0, "100000000000000000000"},
      {12.0, 0, 3, 0, "12.000"},
      {-1.5, 4, 2, 1, "-0001.50"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(RealToFixStr(c.value, c.intDigits, c.decimals, c.withSign), c.text)
        << c.value << " " << int(c.intDigits) << " " << int(c.decimals) << " " << int(c.withSign);
  }
}

TEST(Konvert, RealToFixStrIgnoresLocale) {
  // A locale with "," as decimal point must not change the output.
  const char* alt = std::setlocale(LC_ALL, nullptr);
  const std::string saved = alt ? alt : "C";
  if (!std::setlocale(LC_ALL, "de_DE.UTF-8") && !std::setlocale(LC_ALL, "de_DE")) {
    GTEST_SKIP() << "no German locale installed";
  }
  EXPECT_EQ(RealToFixStr(3.14159, 2, 2, 0), "03.14");
  std::setlocale(LC_ALL, saved.c_str());
}

TEST(Konvert, NonFiniteValuesDoNotCrash) {
  EXPECT_EQ(RealToFixStr(std::numeric_limits<double>::quiet_NaN(), 3, 2, 1), "NAN");
  EXPECT_EQ(RealToFixStr(-std::numeric_limits<double>::infinity(), 3, 2, 1), "-INF");
  EXPECT_EQ(RealToFixStr(1e308, 0, 2, 0).size(), 309u + 3u);
}

TEST(Konvert, HexCharAndHexToByte) {
  EXPECT_EQ(HexCharToNibble(U'0'), 0);
  EXPECT_EQ(HexCharToNibble(U'9'), 9);
  EXPECT_EQ(HexCharToNibble(U'A'), 10);
  EXPECT_EQ(HexCharToNibble(U'f'), 15);
  EXPECT_EQ(HexCharToNibble(U'g'), 255);
  EXPECT_EQ(HexCharToNibble(U'\uFF11'), 255);     // fullwidth "1"
  EXPECT_EQ(HexCharToNibble(U'0' + 0x100), 255);  // above 255 never a digit

  const std::vector<std::pair<std::string, int>> cases = {
      {"a0", 160},
      {"fF", 255},
      {"00", 0},
      {"7f", 127},
      {"F", -1},
      {"", -1},
      {"0x", -1},
      {"1g", -1},
      {"123", -1},
      {" 1", -1},
      {"\xC3\xA4", -1} /* ä */,
  };
  for (const auto& [s, v] : cases) EXPECT_EQ(HexToByte(s), v) << s;
}

TEST(Konvert, DeleteChar) {
  std::string s = "1.000.0";
  DeleteChar(U'.', s);
  EXPECT_EQ(s, "10000");
  s = "Pr\xC3\xBC"
      "f\xC3\xBC";  // "Prüfü"
  DeleteChar(U'\u00FC', s);
  EXPECT_EQ(s, "Prf");
  s = "abc";
  DeleteChar(U'x', s);
  EXPECT_EQ(s, "abc");
}

struct ParseCase {
  std::string text;
  bool fehler;
  uint32_t wert;
};

TEST(Konvert, ParseWord) {
  const std::vector<ParseCase> cases = {
      {"65535", false, 65535},
      {"65536", true, 0},
      {"70000", true, 70000 % 65536},  // overflow does not stop the scan
      {"655350", true, static_cast<uint16_t>(655350)},
      {"$12345", false, 0x2345},  // hex surplus digits shifted out
      {"0x1F", false, 31},
      {"x1f", false, 31},
      {"X1F", false, 31},
      {"12a", true, 12},
      {"", false, 0},
      {" 5", true, 0},
      {"-5", true, 0},
      {"1.000", false, 1000},
      {"%1111.0000", false, 240},
      {"%10201", true, 2},
      {"%", false, 0},
      {"$", false, 0},
      {"0x", false, 0},
      {"x", false, 0},
      {"000", false, 0},
      {"007", false, 7},
      {"$fg", true, 15},
      {"1\xC3\xA4", true, 1},                     // ä is not a digit
      {"\xEF\xBC\x91", true, 0},                  // fullwidth 1 is not a digit
      {std::string(300, '0') + "42", false, 42},  // long texts read in full
  };
  for (const auto& c : cases) {
    uint16_t v = 0xBEEF;
    EXPECT_EQ(ParseWord(c.text, v), c.fehler) << c.text;
    EXPECT_EQ(v, c.wert) << c.text;
  }
}

TEST(Konvert, ParseLongWord) {
  const std::vector<ParseCase> cases = {
      {"0x08000000", false, 0x08000000},
      {"$80000000", false, 0x80000000},
      {"4294967295", false, 0xFFFFFFFF},
      {"4294967296", true, 0},
      {"4294967300", true, 4},
      {"$123456789", false, 0x23456789},
      {"%1.0000.0000.0000.0000.0000.0000.0000.0001", false, 1},
      {"1.234.567", false, 1234567},
      {"12 ", true, 12},
  };
  for (const auto& c : cases) {
    uint32_t v = 0xDEADBEEF;
    EXPECT_EQ(ParseLongWord(c.text, v), c.fehler) << c.text;
    EXPECT_EQ(v, c.wert) << c.text;
  }
}

TEST(Konvert, CenterForm) {
  struct Case {
    t_rechteck w, o;
    int left, top;
  };
  const std::vector<Case> cases = {
      {{0, 0, 200, 100}, {100, 50, 400, 300}, 200, 150},
      {{0, 0, 401, 301}, {0, 0, 400, 300}, 0, 0},    // -1/2 truncates to 0
      {{0, 0, 403, 303}, {10, 10, 400, 300}, 9, 9},  // -3/2 truncates to -1
      {{5, 5, 800, 600}, {-20, 0, 400, 300}, -220, -150},
  };
  for (const auto& c : cases) {
    t_rechteck w = c.w;
    CenterForm(w, c.o);
    EXPECT_EQ(w.Left, c.left);
    EXPECT_EQ(w.Top, c.top);
    EXPECT_EQ(w.Width, c.w.Width);
    EXPECT_EQ(w.Height, c.w.Height);
  }
}

TEST(Konvert, TicksToBetriebszeit) {
  struct Case {
    uint32_t ticks;
    int jahre, tage, stunden, minuten;
  };
  const std::vector<Case> cases = {
      {0, 0, 0, 0, 0},
      {5, 0, 0, 0, 50},
      {6, 0, 0, 1, 0},
      {144, 0, 1, 0, 0},
      {400, 0, 2, 18, 40},
      {52560, 1, 0, 0, 0},
      {52559, 0, 364, 23, 50},
      {5255993, 99, 364, 22, 50},
      {5255994, 99, 364, 23, 0},
      {5255999, 99, 364, 23, 0},
      {0xFFFFFFFF, 99, 364, 23, 0},
  };
  for (const auto& c : cases) {
    t_betriebszeit z;
    z.minuten = 77;
    TicksToBetriebszeit(c.ticks, z);
    EXPECT_EQ(z.jahre, c.jahre) << c.ticks;
    EXPECT_EQ(z.tage, c.tage) << c.ticks;
    EXPECT_EQ(z.stunden, c.stunden) << c.ticks;
    EXPECT_EQ(z.minuten, c.minuten) << c.ticks;
  }
}

}  // namespace
}  // namespace quva
