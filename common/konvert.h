#pragma once
// Small number/text conversions used everywhere: fixed-format, locale
// independent renderings (lower-case hex, byte-grouped binary, fixed-width
// decimal), two parsers with an error flag, window centring on plain
// rectangles and the split of the detector's operating-time counter.
//
// Texts are std::string in UTF-8. A character outside ASCII (a multi-byte
// UTF-8 sequence) is never taken as a digit. None of these functions throws.

#include <cstdint>
#include <string>

namespace quva {

// One character of "0123456789abcdef" for v 0..15, 'x' for v of 16 or more.
char NibbleToHexChar(uint8_t v);
// "3a" for 0x3A: two lower-case hex digits, high nibble first.
std::string ByteToHex(uint8_t v);
// Four lower-case hex digits.
std::string WordToHex(uint16_t v);
// Eight lower-case hex digits ("08000000").
std::string LongToHex(uint32_t v);
// Exactly five decimal digits, zero-padded ("00042").
std::string WordToDec5(uint16_t v);
// Decimal value right-aligned in three characters, space-padded ("  7").
std::string ByteToDec3(uint8_t v);
// Bits 3..0 of v as "0"/"1"; higher bits are ignored.
std::string NibbleToBin(uint8_t v);
// Eight bits, most significant first ("10100101").
std::string ByteToBin(uint8_t v);
// High byte, ".", low byte in binary ("00010010.00110100").
std::string WordToBin(uint16_t v);
// "1" when v is exactly 1, "0" for every other value.
std::string BitToStr(uint8_t v);

// Fixed-point rendering with "." as decimal point in every locale.
// The magnitude is rounded to `decimals` places on its 18-significant-digit
// decimal expansion, halves away from zero; the integer part is zero-padded so
// that the text has at least intDigits (+ decimals + 1) characters. The sign
// ("-" below zero, "+" otherwise) is put in front only when withSign is
// exactly 1. Not-a-number renders as "NAN", infinity as "INF" (unpadded).
std::string RealToFixStr(double value, uint8_t intDigits, uint8_t decimals, uint8_t withSign);

// 0..15 for "0".."9", "A".."F", "a".."f"; 255 for any other character.
uint8_t HexCharToNibble(char32_t c);
// 0..255 for exactly two hex characters (either case), else -1.
int HexToByte(const std::string& s);
// Removes every occurrence of the character c from s.
void DeleteChar(char32_t c, std::string& s);

// UTF-8 encoding of one code point; an invalid one (a surrogate, or above
// U+10FFFF) gives an empty text.
std::string Utf8(char32_t c);

// Parse decimal, hexadecimal ("$", "x", "X", "0x" prefix) or binary ("%"
// prefix) text; "." may separate digit groups. Return true on error; `v`
// receives the value (the digits before an invalid character, or the value
// modulo 2^16 / 2^32 after a decimal overflow). Hex and binary digits beyond
// the width are shifted out without an error. Texts of any length are read in
// full: a text longer than 255 characters is handled like any other.
bool ParseWord(std::string s, uint16_t& v);
bool ParseLongWord(std::string s, uint32_t& v);

// Outer geometry of a window, in screen coordinates.
struct t_rechteck {
  int Left = 0;
  int Top = 0;
  int Width = 0;
  int Height = 0;
};

// Moves w so that it is centred over o (divisions truncate toward zero; the
// result may be negative or off-screen). Size of w is kept.
void CenterForm(t_rechteck& w, const t_rechteck& o);

// Operating time split from the detector's 10-minute ticks.
struct t_betriebszeit {
  uint8_t jahre = 0;    // whole years of 365 days, 0..99
  uint16_t tage = 0;    // days within the year, 0..364
  uint8_t stunden = 0;  // 0..23
  uint8_t minuten = 0;  // 0, 10, ... 50
};

// Ticks are capped at 5255994 (one hour short of 100 years of 365 days).
void TicksToBetriebszeit(uint32_t ticks, t_betriebszeit& zeit);

}  // namespace quva
