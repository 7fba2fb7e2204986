// The Intel-HEX loader: image, log lines, "protokoll.log" as written, the
// CRC, and every way a load stops or is abandoned.

#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iomanip>
#include <numeric>
#include <sstream>

#include "prog_fixture.h"

namespace quva::test {
namespace {

namespace fs = std::filesystem;

// Every test runs in a fresh directory of its own (the log goes to the
// current directory).
class Hexdatei : public ::testing::Test {
 protected:
  void SetUp() override {
    stm32_zuruecksetzen();
    alt_ = fs::current_path();
    dir_ = fs::temp_directory_path() /
           ("quva_hex_" + std::to_string(::getpid()) + "_" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    fs::current_path(dir_);
  }
  void TearDown() override {
    fs::current_path(alt_);
    fs::remove_all(dir_);
  }

  int laden(const std::string& inhalt, uint8_t controller = 0) {
    std::ofstream("t.hex", std::ios::binary) << inhalt;
    stm32.controller = controller;
    return hexdatei_lesen("t.hex", stm32);
  }

  // protokoll.log as bytes, and split into lines at CR LF.
  static std::string log_roh() {
    std::ifstream f("protokoll.log", std::ios::binary);
    std::stringstream s;
    s << f.rdbuf();
    return s.str();
  }
  static std::vector<std::string> log_zeilen() {
    std::vector<std::string> zeilen;
    const std::string roh = log_roh();
    std::size_t start = 0;
    for (std::size_t p; (p = roh.find("\r\n", start)) != std::string::npos; start = p + 2) {
      zeilen.push_back(roh.substr(start, p - start));
    }
    EXPECT_EQ(start, roh.size()) << "log must end with CR LF";
    return zeilen;
  }

  fs::path alt_, dir_;
};

// Builds one record with its checksum.
std::string satz(uint8_t ll, uint16_t offset, uint8_t tt, std::vector<uint8_t> daten) {
  static const char* h = "0123456789ABCDEF";
  std::vector<uint8_t> b = {ll, static_cast<uint8_t>(offset >> 8), static_cast<uint8_t>(offset),
                            tt};
  b.insert(b.end(), daten.begin(), daten.end());
  uint8_t sum = 0;
  for (uint8_t x : b) sum += x;
  b.push_back(static_cast<uint8_t>(-sum));
  std::string s = ":";
  for (uint8_t x : b) {
    s += h[x >> 4];
    s += h[x & 15];
  }
  return s;
}

const std::string hoch0800 = satz(2, 0, 4, {0x08, 0x00});

TEST(Crc, CheckValueAndBytewiseRegister) {
  const std::string text = "123456789";
  EXPECT_EQ(crc32_mpeg2(reinterpret_cast<const uint8_t*>(text.data()), text.size()), 0x0376E6E7u);
  uint32_t crc = 0xFFFFFFFF;
  for (char c : text) crc32_byte(static_cast<uint8_t>(c), crc);
  EXPECT_EQ(crc, 0x0376E6E7u);
}

TEST(HexPair, DigitsOfBothCasesElseZero) {
  EXPECT_EQ(hex_pair_to_byte("fF"), 0xFF);
  EXPECT_EQ(hex_pair_to_byte("0a9"), 0x0A);
  EXPECT_EQ(hex_pair_to_byte("1g"), 0);
  EXPECT_EQ(hex_pair_to_byte("g1"), 0);
  EXPECT_EQ(hex_pair_to_byte("7"), 0);
}

TEST_F(Hexdatei, GoodFileFillsImageAndWritesTheLog) {
  const std::string t5 = satz(4, 0, 5, {0x08, 0x00, 0x01, 0x31});
  const std::string d = satz(4, 0x0010, 0, {0xDE, 0xAD, 0xBE, 0xEF});
  const std::string eof = ":00000001FF";
  // Mixed line ends: CR LF, LF and CR all end a line; no end after the last.
  ASSERT_EQ(laden(hoch0800 + "\r\n" + d + "\n" + t5 + "\r" + eof), err_ok);
  EXPECT_EQ(stm32.fehlercode, err_ok);
  EXPECT_TRUE(stm32.hexdatei_eingelesen);
  EXPECT_EQ(stm32.flash[0x10], 0xDE);
  EXPECT_EQ(stm32.flash[0x13], 0xEF);
  EXPECT_EQ(stm32.flash[0x14], 0xFF);
  EXPECT_EQ(stm32.checksumme, crc32_mpeg2(stm32.flash.data(), 0x10000));

  const auto z = log_zeilen();
  const std::vector<std::string> anfang = {
      "> " + hoch0800,
      "In der Hexdatei wurde in Zeile 00000 die Kennung TT=0004 gefunden.",
      "> " + hoch0800,
      "Das Highword des Adresszeigers wurde auf 0800 gesetzt.",
      "> " + d,
      "> " + t5,
      "In der Hexdatei wurde in Zeile 00002 die Kennung TT=0005 gefunden.",
      "> " + t5,
      "Diese Zeile wird ignoriert.",
      "> " + eof,
      "Die Hexdatei wurde jetzt vollst\xE4ndig in das Speicherarray geladen.",  // Latin-1 ä
      " ",
      "Romtabelle",
  };
  ASSERT_EQ(z.size(), anfang.size() + 4096);
  EXPECT_EQ(std::vector<std::string>(z.begin(), z.begin() + anfang.size()), anfang);
  const std::string& row1 = z[anfang.size() + 1];
  EXPECT_EQ(row1.size(), 70u);
  uint32_t crc = crc32_mpeg2(stm32.flash.data(), 32);
  std::ostringstream erwartet;
  erwartet << "00000010 :  de ad be ef ff ff ff ff ff ff ff ff ff ff ff ff : " << std::hex
           << std::setw(8) << std::setfill('0') << crc;
  EXPECT_EQ(row1, erwartet.str());
  EXPECT_EQ(z.back().substr(0, 11), "0000fff0 : ");
  EXPECT_NE(log_roh().substr(0, 3), "\xEF\xBB\xBF");
}

TEST_F(Hexdatei, EmptyFileLoadsAnErasedImage) {
  stm32.flash.fill(0);
  ASSERT_EQ(laden(""), err_ok);
  EXPECT_TRUE(
      std::all_of(stm32.flash.begin(), stm32.flash.end(), [](uint8_t b) { return b == 0xFF; }));
  const std::vector<uint8_t> ff(0x10000, 0xFF);
  EXPECT_EQ(stm32.checksumme, crc32_mpeg2(ff.data(), ff.size()));
  const auto z = log_zeilen();
  ASSERT_EQ(z.size(), 3u + 4096);
  EXPECT_EQ(z[2], "Romtabelle");
  // The 256 KiB controller dumps and covers its whole flash.
  ASSERT_EQ(laden("", 2), err_ok);
  EXPECT_EQ(log_zeilen().size(), 3u + 16384);
}

TEST_F(Hexdatei, OffsetWrapsInsideItsWindowAndHighDataIsStoredButNotCovered) {
  std::vector<uint8_t> daten(16);
  std::iota(daten.begin(), daten.end(), 1);
  const std::string oben = satz(2, 0, 4, {0x08, 0x02});  // 0x08020000: above 64 KiB
  ASSERT_EQ(laden(hoch0800 + "\n" + satz(16, 0xFFF8, 0, daten) + "\n" + oben + "\n" +
                  satz(1, 0x0000, 0, {0x5A})),
            err_ok);
  EXPECT_EQ(stm32.flash[0xFFF8], 1);
  EXPECT_EQ(stm32.flash[0xFFFF], 8);
  EXPECT_EQ(stm32.flash[0x0000], 9);  // same 64 KiB window, not the next
  EXPECT_EQ(stm32.flash[0x0007], 16);
  EXPECT_EQ(stm32.flash[0x10000], 0xFF);
  EXPECT_EQ(stm32.flash[0x20000], 0x5A);
  EXPECT_EQ(stm32.checksumme, crc32_mpeg2(stm32.flash.data(), 0x10000));
}

// Loads that stop: -8, the message as the log's last line, no table, the
// CRC kept, the bytes stored before kept.
TEST_F(Hexdatei, StoppedLoads) {
  const std::string gut = satz(1, 0, 0, {0x11});
  std::string kaputt = gut;
  kaputt[kaputt.size() - 1] ^= 1;  // checksum off by one
  struct Fall {
    const char* name;
    std::string inhalt;
    std::vector<std::string> ende;
  };
  const std::vector<Fall> faelle = {
      {"checksum in the third line",
       hoch0800 + "\n" + gut + "\n" + kaputt,
       {"> " + kaputt, "Checksummenfehler in der Hexdatei in Zeile: 0002"}},
      {"bad characters",
       hoch0800 + "\n:01000000ZZ00",
       {"> :01000000ZZ00", "Checksummenfehler in der Hexdatei in Zeile: 0001"}},
      {"data before any address record",
       gut,
       {"> " + gut, "Fehlerhafte Adresse in der Hexdatei in Zeile: 0000"}},
      {"data above the image",
       satz(2, 0, 4, {0x08, 0x04}) + "\n" + gut,
       {"> " + gut, "Fehlerhafte Adresse in der Hexdatei in Zeile: 0001"}},
      {"unknown record type",
       hoch0800 + "\n" + satz(0, 0, 6, {}),
       {"In der Hexdatei wurde die Kennung TT=0006 gefunden.",
        "Diese Kennung ist unbekannt. Bitte sofort im Labor melden."}},
  };
  for (const auto& f : faelle) {
    SCOPED_TRACE(f.name);
    stm32.checksumme = 0x12345678;
    stm32.flash_read.fill(0);
    EXPECT_EQ(laden(f.inhalt), err_hexdatei);
    EXPECT_EQ(stm32.fehlercode, err_hexdatei);
    EXPECT_FALSE(stm32.hexdatei_eingelesen);
    EXPECT_EQ(stm32.checksumme, 0x12345678u);
    const auto z = log_zeilen();
    ASSERT_GE(z.size(), f.ende.size());
    EXPECT_EQ(std::vector<std::string>(z.end() - f.ende.size(), z.end()), f.ende);
  }
  // The first line was good and stays stored.
  EXPECT_EQ(laden(hoch0800 + "\n" + gut + "\n" + kaputt), err_hexdatei);
  EXPECT_EQ(stm32.flash[0], 0x11);
}

// Loads that are abandoned: an exception of our own, no log written.
TEST_F(Hexdatei, AbandonedLoadsThrow) {
  const std::vector<std::pair<const char*, std::string>> faelle = {
      {"empty line", hoch0800 + "\n\n:00000001FF"},
      {"odd number of characters", hoch0800 + "\n:00000001F"},
      {"count larger than the data", hoch0800 + "\n:0400000011EB"},
      {"too short for the type", ":0000"},
  };
  for (const auto& [name, inhalt] : faelle) {
    SCOPED_TRACE(name);
    fs::remove("protokoll.log");
    stm32.hexdatei_eingelesen = true;
    stm32.fehlercode = 0;
    EXPECT_THROW(laden(inhalt), HexdateiFehler);
    EXPECT_EQ(stm32.fehlercode, err_hexdatei);
    EXPECT_FALSE(stm32.hexdatei_eingelesen);
    EXPECT_FALSE(fs::exists("protokoll.log"));
  }
  EXPECT_THROW(hexdatei_lesen("fehlt.hex", stm32), HexdateiFehler);
  EXPECT_EQ(stm32.fehlercode, err_hexdatei);
}

TEST_F(Hexdatei, ByteOrderMarkIsNotPartOfTheFirstLine) {
  ASSERT_EQ(laden("\xEF\xBB\xBF" + hoch0800 + "\n" + satz(1, 0, 0, {0x22})), err_ok);
  EXPECT_EQ(stm32.flash[0], 0x22);
  EXPECT_EQ(log_zeilen()[0], "> " + hoch0800);
}

TEST_F(Hexdatei, SecondLoadReplacesTheLog) {
  ASSERT_EQ(laden(hoch0800 + "\n" + satz(1, 0, 0, {0x22})), err_ok);
  ASSERT_EQ(laden(""), err_ok);
  const auto z = log_zeilen();
  EXPECT_EQ(z.size(), 3u + 4096);
  EXPECT_EQ(z[0].rfind("Die Hexdatei", 0), 0u);
}

}  // namespace
}  // namespace quva::test
