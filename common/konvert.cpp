#include "common/konvert.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <limits>
#include <string>

namespace quva {

namespace {

constexpr char kHexDigits[] = "0123456789abcdef";

// Byte-wise view of a text character: bytes of multi-byte UTF-8 sequences are
// all >= 0x80 and so never match an ASCII digit or prefix.
uint8_t DigitOf(char c) { return HexCharToNibble(static_cast<unsigned char>(c)); }

// The shared parser of ParseWord/ParseLongWord on an unsigned type T.
// Works byte-wise on the UTF-8 text: since the scan stops at the first
// character that is not a digit of the base, a multi-byte character ends it
// exactly like any other invalid character.
template <typename T>
bool ParseUnsigned(std::string s, T& v) {
  constexpr T kMax = std::numeric_limits<T>::max();
  v = 0;
  bool fehler = false;
  DeleteChar(U'.', s);
  std::size_t pos = 0;
  while (s.size() - pos >= 2 && s[pos] == '0') ++pos;
  if (pos == s.size()) return false;  // empty text reads as "0"

  const char first = s[pos];
  if (first == '$' || first == 'x' || first == 'X') {
    for (++pos; pos < s.size(); ++pos) {
      const uint8_t d = DigitOf(s[pos]);
      if (d > 15) return true;
      v = static_cast<T>(v * 16u + d);
    }
  } else if (first == '%') {
    for (++pos; pos < s.size(); ++pos) {
      if (s[pos] != '0' && s[pos] != '1') return true;
      v = static_cast<T>(v * 2u + static_cast<unsigned>(s[pos] - '0'));
    }
  } else {
    for (; pos < s.size(); ++pos) {
      if (s[pos] < '0' || s[pos] > '9') return true;
      const T d = static_cast<T>(s[pos] - '0');
      if (v > kMax / 10) fehler = true;
      v = static_cast<T>(v * 10u);
      if (v > kMax - d) fehler = true;
      v = static_cast<T>(v + d);
    }
  }
  return fehler;
}

}  // namespace

std::string Utf8(char32_t c) {
  std::string out;
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    if (c >= 0xD800 && c <= 0xDFFF) return out;
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x110000) {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
  return out;
}

char NibbleToHexChar(uint8_t v) { return v < 16 ? kHexDigits[v] : 'x'; }

std::string ByteToHex(uint8_t v) {
  return {NibbleToHexChar(static_cast<uint8_t>(v >> 4)), NibbleToHexChar(v & 0x0F)};
}

std::string WordToHex(uint16_t v) {
  return ByteToHex(static_cast<uint8_t>(v >> 8)) + ByteToHex(static_cast<uint8_t>(v));
}

std::string LongToHex(uint32_t v) {
  return WordToHex(static_cast<uint16_t>(v >> 16)) + WordToHex(static_cast<uint16_t>(v));
}

std::string WordToDec5(uint16_t v) {
  std::string s = std::to_string(v);
  return std::string(5 - s.size(), '0') + s;
}

std::string ByteToDec3(uint8_t v) {
  std::string s = std::to_string(v);
  return std::string(3 - s.size(), ' ') + s;
}

std::string NibbleToBin(uint8_t v) {
  std::string s(4, '0');
  for (int bit = 0; bit < 4; ++bit) {
    if (v & (1u << bit)) s[3 - bit] = '1';
  }
  return s;
}

std::string ByteToBin(uint8_t v) {
  return NibbleToBin(static_cast<uint8_t>(v >> 4)) + NibbleToBin(v);
}

std::string WordToBin(uint16_t v) {
  return ByteToBin(static_cast<uint8_t>(v >> 8)) + "." + ByteToBin(static_cast<uint8_t>(v));
}

std::string BitToStr(uint8_t v) { return v == 1 ? "1" : "0"; }

std::string RealToFixStr(double value, uint8_t intDigits, uint8_t decimals, uint8_t withSign) {
  const std::string sign = value < 0 ? "-" : "+";
  const bool mitVorzeichen = withSign == 1;
  if (std::isnan(value)) return "NAN";
  if (std::isinf(value)) return (mitVorzeichen ? sign : "") + "INF";
  const double betrag = std::fabs(value);

  // 18 significant digits, "d.ddddddddddddddddde±x": locale independent.
  char buf[64];
  const auto res = std::to_chars(buf, buf + sizeof buf, betrag, std::chars_format::scientific, 17);
  const std::string sci(buf, res.ptr);
  const std::size_t e = sci.find('e');
  const std::string mantisse = sci.substr(0, 1) + sci.substr(2, e - 2);  // 18 digits
  const int exponent = std::stoi(sci.substr(e + 1));

  // Digits of the number with the point after `intLen` of them.
  std::string ziffern;
  std::size_t intLen;
  const long punkt = exponent + 1L;  // digits of the mantissa before the point
  if (punkt <= 0) {
    ziffern = std::string(1 + static_cast<std::size_t>(-punkt), '0') + mantisse;
    intLen = 1;
  } else if (punkt >= static_cast<long>(mantisse.size())) {
    ziffern = mantisse + std::string(static_cast<std::size_t>(punkt) - mantisse.size(), '0');
    intLen = static_cast<std::size_t>(punkt);
  } else {
    ziffern = mantisse;
    intLen = static_cast<std::size_t>(punkt);
  }

  // Round half away from zero on the decimal digits.
  const std::size_t schnitt = intLen + decimals;
  if (schnitt < ziffern.size()) {
    const bool aufrunden = ziffern[schnitt] >= '5';
    ziffern.resize(schnitt);
    if (aufrunden) {
      std::size_t i = schnitt;
      while (i > 0 && ziffern[i - 1] == '9') ziffern[--i] = '0';
      if (i == 0) {
        ziffern.insert(ziffern.begin(), '1');
        ++intLen;
      } else {
        ++ziffern[i - 1];
      }
    }
  } else {
    ziffern.resize(schnitt, '0');
  }
  std::string text = ziffern.substr(0, intLen);
  if (decimals > 0) text += "." + ziffern.substr(intLen);
  const std::size_t mindest = decimals > 0 ? intDigits + decimals + 1u : intDigits;
  if (text.size() < mindest) text.insert(0, mindest - text.size(), '0');
  return mitVorzeichen ? sign + text : text;
}

uint8_t HexCharToNibble(char32_t c) {
  if (c >= U'0' && c <= U'9') return static_cast<uint8_t>(c - U'0');
  if (c >= U'A' && c <= U'F') return static_cast<uint8_t>(c - U'A' + 10);
  if (c >= U'a' && c <= U'f') return static_cast<uint8_t>(c - U'a' + 10);
  return 255;
}

int HexToByte(const std::string& s) {
  // Two bytes that are both hex digits are exactly two hex characters; any
  // non-ASCII character has bytes >= 0x80 and fails the digit test.
  if (s.size() != 2) return -1;
  const uint8_t hi = DigitOf(s[0]);
  const uint8_t lo = DigitOf(s[1]);
  if (hi > 15 || lo > 15) return -1;
  return hi * 16 + lo;
}

void DeleteChar(char32_t c, std::string& s) {
  const std::string muster = Utf8(c);
  if (muster.empty()) return;
  // UTF-8 is self-synchronising: a whole encoded character only matches at a
  // character boundary, so removing its byte sequence removes the character.
  std::string out;
  out.reserve(s.size());
  for (std::size_t i = 0; i < s.size();) {
    if (s.compare(i, muster.size(), muster) == 0) {
      i += muster.size();
    } else {
      out += s[i++];
    }
  }
  s = std::move(out);
}

bool ParseWord(std::string s, uint16_t& v) { return ParseUnsigned(std::move(s), v); }

bool ParseLongWord(std::string s, uint32_t& v) { return ParseUnsigned(std::move(s), v); }

void CenterForm(t_rechteck& w, const t_rechteck& o) {
  // 64-bit intermediates: no overflow even for absurd geometries.
  const int64_t left = int64_t{o.Left} + (int64_t{o.Width} - w.Width) / 2;
  const int64_t top = int64_t{o.Top} + (int64_t{o.Height} - w.Height) / 2;
  w.Left = static_cast<int>(left);
  w.Top = static_cast<int>(top);
}

void TicksToBetriebszeit(uint32_t ticks, t_betriebszeit& zeit) {
  constexpr uint32_t kMaxTicks = 5255994;  // 100 years of 365 days less one hour
  constexpr uint32_t kTicksProJahr = 365 * 144;
  constexpr uint32_t kTicksProTag = 144;
  if (ticks > kMaxTicks) ticks = kMaxTicks;
  zeit.jahre = static_cast<uint8_t>(ticks / kTicksProJahr);
  uint32_t rest = ticks % kTicksProJahr;
  zeit.tage = static_cast<uint16_t>(rest / kTicksProTag);
  rest %= kTicksProTag;
  zeit.stunden = static_cast<uint8_t>(rest / 6);
  zeit.minuten = static_cast<uint8_t>((rest % 6) * 10);
}

}  // namespace quva
