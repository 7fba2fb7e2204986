// Option bytes: the frames of both families, reading with the complement
// check, and a write that the simulated device takes over after its reset.

#include "prog_fixture.h"

namespace quva::test {
namespace {

using Bytes = std::vector<uint8_t>;

void teststation_werte(ty_stm32& s) {
  s.read_protection = s.WDG_SW = s.nRST_STOP = s.nRST_STDBY = true;
  s.nBOOT1 = s.VDDA_MONITOR = s.RAM_PARITY_CHECK = true;
  s.data0 = 0x4B;
  s.data1 = 0x58;
  s.WRP0 = s.WRP1 = s.WRP2 = s.WRP3 = 0xFF;
}

class Optionbytes : public ProgFixture {};
class OptionbytesF051 : public ProgFixture {
 protected:
  OptionbytesF051() : ProgFixture(3) {}
};

TEST_F(Optionbytes, F103FrameAsSentAfterTheAddress) {
  teststation_werte(stm32);
  sync();
  ASSERT_EQ(stm32_write_optionbytes(stm32), err_ok);
  const Bytes frame = {0xFF, 0x00, 0xFF, 0x00, 0x4B, 0xB4, 0x58, 0xA7,
                       0xFF, 0x00, 0xFF, 0x00, 0xFF, 0x00, 0xFF, 0x00};
  Bytes erwartet = {0x31, 0xCE, 0x1F, 0xFF, 0xF8, 0x00, 0x18, 0x0F};
  erwartet.insert(erwartet.end(), frame.begin(), frame.end());
  erwartet.push_back(0x0F);  // N XOR a correctly complemented frame is N
  EXPECT_EQ(port.sent(), erwartet);
  EXPECT_FALSE(model.synchronised());  // the write ends with a reset
  EXPECT_TRUE(model.readoutProtected());
}

TEST(OptionbyteFrame, F103BitsAndF051Frame) {
  stm32_zuruecksetzen();
  std::array<uint8_t, 16> f;
  // F103: the F051-only bits are written as 1 whatever the fields say.
  stm32.controller = 0;
  stm32.WDG_SW = true;
  ASSERT_EQ(stm32_optionbyte_frame(stm32, f), 16);
  EXPECT_EQ(f[0], 0xA5);
  EXPECT_EQ(f[2], 0xF9);
  EXPECT_EQ(f[3], 0x06);

  teststation_werte(stm32);
  stm32.controller = 3;
  stm32.read_protection = false;
  ASSERT_EQ(stm32_optionbyte_frame(stm32, f), 12);
  EXPECT_EQ(Bytes(f.begin(), f.begin() + 12),
            (Bytes{0xAA, 0x55, 0xFF, 0x00, 0x4B, 0xB4, 0x58, 0xA7, 0xFF, 0x00, 0xFF, 0x00}));
  stm32.nBOOT1 = false;
  stm32.RAM_PARITY_CHECK = false;
  stm32_optionbyte_frame(stm32, f);
  EXPECT_EQ(f[2], 0xAF);
}

TEST_F(Optionbytes, ReadFreshFrameAndComplementError) {
  sync();
  stm32.nBOOT1 = stm32.read_protection = true;
  ASSERT_EQ(stm32_read_optionbytes(stm32), err_ok);
  EXPECT_EQ(port.sent(), (Bytes{0x11, 0xEE, 0x1F, 0xFF, 0xF8, 0x00, 0x18, 0x0F, 0xF0}));
  EXPECT_FALSE(stm32.read_protection);
  EXPECT_TRUE(stm32.WDG_SW && stm32.nRST_STOP && stm32.nRST_STDBY);
  EXPECT_FALSE(stm32.nBOOT1 || stm32.VDDA_MONITOR || stm32.RAM_PARITY_CHECK);
  EXPECT_EQ(stm32.data0, 0xFF);
  EXPECT_EQ(stm32.WRP3, 0xFF);
  EXPECT_FALSE(stm32.optionbytefehler);

  model.optionBytes()[5] = 0xFF;  // data0's complement no longer inverse
  ASSERT_EQ(stm32_read_optionbytes(stm32), err_ok);
  EXPECT_TRUE(stm32.optionbytefehler);
  EXPECT_EQ(stm32.data0, 0xFF);
}

TEST_F(Optionbytes, ReadUnderProtectionFailsAndLeavesTheRecord) {
  model.setReadoutProtection(true);
  sync();
  stm32.data0 = 0x12;
  EXPECT_EQ(stm32_read_optionbytes(stm32), err_kein_ack);
  EXPECT_EQ(stm32.data0, 0x12);
}

TEST_F(OptionbytesF051, WriteThenReadBackRoundTrip) {
  stm32.controller = 3;
  teststation_werte(stm32);
  stm32.read_protection = false;
  stm32.VDDA_MONITOR = false;
  stm32.WRP1 = 0x3C;
  sync();
  ASSERT_EQ(stm32_write_optionbytes(stm32), err_ok);
  EXPECT_EQ(port.sent()[7], 0x0B);
  EXPECT_EQ(port.sent().size(), 8u + 12 + 1);
  sync();
  stm32_zuruecksetzen();
  stm32.controller = 3;
  ASSERT_EQ(stm32_read_optionbytes(stm32), err_ok);
  EXPECT_FALSE(stm32.read_protection);
  EXPECT_TRUE(stm32.nBOOT1 && stm32.RAM_PARITY_CHECK && stm32.WDG_SW);
  EXPECT_FALSE(stm32.VDDA_MONITOR);
  EXPECT_EQ(stm32.data0, 0x4B);
  EXPECT_EQ(stm32.data1, 0x58);
  EXPECT_EQ(stm32.WRP1, 0x3C);
  EXPECT_EQ(stm32.WRP2, 0);
  EXPECT_EQ(stm32.WRP3, 0);
  EXPECT_FALSE(stm32.optionbytefehler);
}

TEST(OptionbyteZeilen, LayoutOfBothFamilies) {
  stm32_zuruecksetzen();
  teststation_werte(stm32);
  stm32.WRP2 = 0xA5;
  Memo m;
  stm32_optionbytes_ausgeben(stm32, m);
  const std::vector<std::string> f103 = {"Read Protect = 1",        "WDG_SW       = 1",
                                         "nRST_STOP    = 1",        "nRST_STDBY   = 1",
                                         "Data0        = 0x4b",     "Data1        = 0x58",
                                         "WRP0         = 11111111", "WRP1         = 11111111",
                                         "WRP2         = 10100101", "WRP3         = 11111111"};
  ASSERT_EQ(m.zeilen.size(), f103.size());
  for (std::size_t i = 0; i < f103.size(); ++i) EXPECT_EQ(m.zeilen[i], eingerueckt(f103[i]));

  stm32.controller = 3;
  stm32.VDDA_MONITOR = false;
  Memo m3;
  stm32_optionbytes_ausgeben(stm32, m3);
  ASSERT_EQ(m3.zeilen.size(), 11u);
  EXPECT_EQ(m3.zeilen[0], eingerueckt("Read Protect     = 1"));
  EXPECT_EQ(m3.zeilen[5], eingerueckt("VDDA_MONITOR     = 0"));
  EXPECT_EQ(m3.zeilen[6], eingerueckt("RAM_PARITY_CHECK = 1"));
  EXPECT_EQ(m3.zeilen[10], eingerueckt("WRP1             = 11111111"));
}

}  // namespace
}  // namespace quva::test
