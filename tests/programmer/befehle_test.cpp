// Bootloader commands: the exact bytes on the line, the answers they accept
// and the code each kind of bad answer gives.

#include <chrono>
#include <functional>
#include <numeric>

#include "prog_fixture.h"

namespace quva::test {
namespace {

using Bytes = std::vector<uint8_t>;
using Fault = sim::BootloaderFault;
using std::chrono::milliseconds;

Bytes cat(std::initializer_list<Bytes> teile) {
  Bytes r;
  for (const auto& t : teile) r.insert(r.end(), t.begin(), t.end());
  return r;
}

class Befehle : public ProgFixture {};
class BefehleF051 : public ProgFixture {
 protected:
  BefehleF051() : ProgFixture(3) {}
};

TEST(Fehlertexte, TableAndLookup) {
  EXPECT_STREQ(fehlertexte[0], "Alles ist ok.");
  EXPECT_STREQ(fehlertexte[4], "Fehler: Kein ACK vom STM32.");
  EXPECT_STREQ(fehlertexte[8], "Fehler: Hexdatei nicht ok.");
  EXPECT_EQ(fehlertext(err_unerwartetes_byte), "Fehler: Unerwartetes Byte vom STM32.");
  EXPECT_EQ(fehlertext(-9), "");
  EXPECT_EQ(fehlertext(1), "");
}

TEST_F(Befehle, FramesOnTheLine) {
  sync();
  Bytes block(256);
  std::iota(block.begin(), block.end(), 0);
  uint8_t pruef = 0xFF;
  for (uint8_t b : block) pruef ^= b;
  uint8_t lese[256];
  const uint8_t seiten[3] = {1, 2, 5};
  const uint8_t sektoren[2] = {0, 3};
  uint16_t id = 0;

  struct Fall {
    const char* name;
    std::function<int()> befehl;
    Bytes frame;
  };
  const std::vector<Fall> faelle = {
      {"get id", [&] { return stm32_get_id(id); }, {0x02, 0xFD}},
      {"read",
       [&] { return stm32_read_memory(0x08000000, 255, lese); },
       {0x11, 0xEE, 0x08, 0x00, 0x00, 0x00, 0x08, 0xFF, 0x00}},
      {"read option bytes",
       [&] { return stm32_read_memory(0x1FFFF800, 15, lese); },
       {0x11, 0xEE, 0x1F, 0xFF, 0xF8, 0x00, 0x18, 0x0F, 0xF0}},
      {"write", [&] { return stm32_write_memory(0x08000100, 255, block.data()); },
       cat({{0x31, 0xCE, 0x08, 0x00, 0x01, 0x00, 0x09, 0xFF}, block, {pruef}})},
      {"erase pages",
       [&] { return stm32_erase_memory(2, seiten); },
       {0x43, 0xBC, 0x02, 1, 2, 5, 0x02 ^ 1 ^ 2 ^ 5}},
      {"global erase", [&] { return stm32_erase_memory(0xFF, nullptr); }, {0x43, 0xBC, 0xFF, 0x00}},
      {"write protect",
       [&] { return stm32_write_protect(1, sektoren); },
       {0x63, 0x9C, 0x01, 0, 3, 0x01 ^ 0 ^ 3}},
      {"resync", [&] { return stm32_init(); }, {0x7F}},
      {"write unprotect", [&] { return stm32_write_unprotect(); }, {0x73, 0x8C}},
      {"resync", [&] { return stm32_init(); }, {0x7F}},
      {"readout protect", [&] { return stm32_readout_protect(); }, {0x82, 0x7D}},
      {"resync", [&] { return stm32_init(); }, {0x7F}},
      {"readout unprotect", [&] { return stm32_readout_unprotect(); }, {0x92, 0x6D}},
  };
  for (const auto& f : faelle) {
    SCOPED_TRACE(f.name);
    port.sent().clear();
    EXPECT_EQ(f.befehl(), err_ok);
    EXPECT_EQ(port.sent(), f.frame);
  }
  EXPECT_EQ(id, 0x0410);
  EXPECT_FALSE(model.readoutProtected());
  EXPECT_FALSE(model.synchronised());  // readout unprotect ends with a reset
}

TEST_F(Befehle, ReadAndWriteMemoryMoveTheBytes) {
  sync();
  Bytes block(256);
  std::iota(block.begin(), block.end(), 7);
  ASSERT_EQ(stm32_write_memory(0x08000400, 255, block.data()), err_ok);
  EXPECT_TRUE(std::equal(block.begin(), block.end(), model.flash().begin() + 0x400));
  Bytes zurueck(256);
  ASSERT_EQ(stm32_read_memory(0x08000400, 255, zurueck.data()), err_ok);
  EXPECT_EQ(zurueck, block);
}

TEST_F(Befehle, WriteMemoryRefusesBadCountOrAddressBeforeSending) {
  sync();
  uint8_t data[256] = {};
  EXPECT_EQ(stm32_write_memory(0x08000000, 254, data), err_unerlaubte_anzahl);
  EXPECT_EQ(stm32_write_memory(0x08000002, 255, data), err_unerlaubte_adresse);
  EXPECT_EQ(stm32_write_memory(0x08000001, 2, data), err_unerlaubte_anzahl);
  EXPECT_TRUE(port.sent().empty());
}

TEST_F(Befehle, GetCommandsOfBothFamilies) {
  sync();
  stm32_commands.cmd_extended_erase = true;  // stale value must be cleared
  ASSERT_EQ(stm32_get_commands(stm32_commands), err_ok);
  EXPECT_EQ(port.sent(), (Bytes{0x00, 0xFF}));
  EXPECT_EQ(stm32_commands.version, 0x22);
  EXPECT_TRUE(stm32_commands.cmd_get && stm32_commands.cmd_get_version &&
              stm32_commands.cmd_get_id && stm32_commands.cmd_read_memory &&
              stm32_commands.cmd_go && stm32_commands.cmd_write_memory &&
              stm32_commands.cmd_erase && stm32_commands.cmd_write_protect &&
              stm32_commands.cmd_write_unprotect && stm32_commands.cmd_readout_protect &&
              stm32_commands.cmd_readout_unprotect);
  EXPECT_FALSE(stm32_commands.cmd_extended_erase);
}

TEST_F(BefehleF051, GetCommandsListsExtendedEraseAndMassEraseFrame) {
  sync();
  ASSERT_EQ(stm32_get_commands(stm32_commands), err_ok);
  EXPECT_EQ(stm32_commands.version, 0x31);
  EXPECT_TRUE(stm32_commands.cmd_extended_erase);
  EXPECT_FALSE(stm32_commands.cmd_erase);
  uint16_t id = 0;
  ASSERT_EQ(stm32_get_id(id), err_ok);
  EXPECT_EQ(id, 0x0440);

  model.flash()[5] = 0;
  port.sent().clear();
  ASSERT_EQ(stm32_extended_erase_memory(0xFFFF, nullptr), err_ok);
  EXPECT_EQ(port.sent(), (Bytes{0x44, 0xBB, 0xFF, 0xFF, 0x00}));
  EXPECT_EQ(model.flash()[5], 0xFF);

  const uint16_t seiten[2] = {0x0001, 0x0102 & 0x3F};
  port.sent().clear();
  ASSERT_EQ(stm32_extended_erase_memory(1, seiten), err_ok);
  EXPECT_EQ(port.sent(), (Bytes{0x44, 0xBB, 0x00, 0x01, 0x00, 0x01, 0x00, 0x02,
                                0x00 ^ 0x01 ^ 0x00 ^ 0x01 ^ 0x00 ^ 0x02}));
  // The F103 erase command is not one of this bootloader's.
  EXPECT_EQ(stm32_erase_memory(0xFF, nullptr), err_kein_ack);
}

// Each kind of bad answer, injected at a chosen answer byte of a command.
TEST_F(Befehle, BadAnswersGiveTheirCodes) {
  uint8_t puffer[256];
  uint16_t id;
  struct Fall {
    const char* name;
    Fault fault;
    std::function<int()> befehl;
    int code;
  };
  const std::vector<Fall> faelle = {
      {"nack to the command",
       {Fault::Type::Nack, 0x02, 1, 0},
       [&] { return stm32_get_id(id); },
       err_kein_ack},
      {"silence where an ack is due",
       {Fault::Type::Silence, 0x02, 1, 0},
       [&] { return stm32_get_id(id); },
       err_kein_ack},
      {"stray byte before the ack",
       {Fault::Type::StrayByte, 0x11, 1, 0, 0x00},
       [&] { return stm32_read_memory(0x08000000, 255, puffer); },
       err_kein_ack},
      {"wrong count byte",
       {Fault::Type::CorruptByte, 0x02, 1, 1, 0x02},
       [&] { return stm32_get_id(id); },
       err_unerwartetes_byte},
      {"silent identifier byte",
       {Fault::Type::Silence, 0x02, 1, 2},
       [&] { return stm32_get_id(id); },
       err_rs232_timeout},
      {"vanished during identifier",
       {Fault::Type::Vanish, 0x02, 1, 3},
       [&] { return stm32_get_id(id); },
       err_rs232_parity},
      {"missing final ack",
       {Fault::Type::Silence, 0x02, 1, 4},
       [&] { return stm32_get_id(id); },
       err_kein_ack},
      {"wrong command list entry",
       {Fault::Type::CorruptByte, 0x00, 1, 5, 0x01},
       [&] { return stm32_get_commands(stm32_commands); },
       err_unerwartetes_byte},
      {"wrong erase code",
       {Fault::Type::CorruptByte, 0x00, 1, 9, 0x01},
       [&] { return stm32_get_commands(stm32_commands); },
       err_unerwartetes_byte},
      {"silent version byte",
       {Fault::Type::Silence, 0x00, 1, 2},
       [&] { return stm32_get_commands(stm32_commands); },
       err_rs232_timeout},
      {"silent memory byte",
       {Fault::Type::Silence, 0x11, 1, 100},
       [&] { return stm32_read_memory(0x08000000, 255, puffer); },
       err_rs232_timeout},
      {"nack to the address",
       {Fault::Type::Nack, 0x31, 1, 1},
       [&] { return stm32_write_memory(0x08000000, 3, puffer); },
       err_kein_ack},
      {"nack after erase",
       {Fault::Type::Nack, 0x43, 1, 1},
       [&] { return stm32_erase_memory(0xFF, nullptr); },
       err_kein_ack},
      {"nack to sync", {Fault::Type::Nack, 0x7F, 1, 0}, [] { return stm32_init(); }, err_kein_ack},
  };
  for (const auto& f : faelle) {
    SCOPED_TRACE(f.name);
    model.reattach();
    if (f.fault.command != 0x7F) sync();
    model.injectFault(f.fault);
    const auto start = port.elapsed();
    EXPECT_EQ(f.befehl(), f.code);
    // Every wait is bounded by its byte's deadline.
    EXPECT_LE(port.elapsed() - start, milliseconds(1100));
  }
}

// A line that never stops delivering bytes (a babbling device or a loose
// wire): every command reads only the bytes it expects and returns, and a
// run ends at its first failing step. Each value once as endless ACKs and
// once as noise.
class Plapperport final : public SerialPort {
 public:
  explicit Plapperport(uint8_t wert) : wert_(wert) {}
  bool open(int, int, int) override { return true; }
  bool isOpen() const override { return true; }
  void close() override {}
  void setLine(int, Parity) override {}
  void setLowLatency(bool) override {}
  void putc(uint8_t) override {}
  // Fails the port after a great many bytes, so that a command that keeps
  // reading shows up as a failed count rather than a hanging test.
  int rxCount() override { return gelesen < 100000 ? 1 : -1; }
  void rxClear() override {}
  uint8_t getc() override {
    ++gelesen;
    return wert_;
  }
  int lineStatus(int) override { return 0; }
  void waitForData(Clock::time_point) override {}
  std::string errorText() const override { return {}; }
  long gelesen = 0;

 private:
  uint8_t wert_;
};

TEST(Plappern, EveryCommandReadsABoundedNumberOfBytes) {
  stm32_zuruecksetzen();
  uint8_t puffer[256] = {};
  const uint16_t seiten16[1] = {0};
  uint16_t id;
  struct Fall {
    const char* name;
    std::function<int()> befehl;
    int bei_ack;    // code when every byte is 0x79
    int bei_noise;  // code when every byte is 0x55
  };
  const std::vector<Fall> faelle = {
      {"init", [] { return stm32_init(); }, err_ok, err_kein_ack},
      {"get commands", [] { return stm32_get_commands(stm32_commands); }, err_unerwartetes_byte,
       err_kein_ack},
      {"get id", [&] { return stm32_get_id(id); }, err_unerwartetes_byte, err_kein_ack},
      {"read", [&] { return stm32_read_memory(0x08000000, 255, puffer); }, err_ok, err_kein_ack},
      {"go", [] { return stm32_go(0x08000000); }, err_ok, err_kein_ack},
      {"write", [&] { return stm32_write_memory(0x08000000, 255, puffer); }, err_ok, err_kein_ack},
      {"erase", [] { return stm32_erase_memory(0xFF, nullptr); }, err_ok, err_kein_ack},
      {"extended erase", [&] { return stm32_extended_erase_memory(0, seiten16); }, err_ok,
       err_kein_ack},
      {"write protect", [&] { return stm32_write_protect(3, puffer); }, err_ok, err_kein_ack},
      {"readout unprotect", [] { return stm32_readout_unprotect(); }, err_ok, err_kein_ack},
      {"option bytes", [] { return stm32_read_optionbytes(stm32); }, err_ok, err_kein_ack},
  };
  for (const uint8_t wert : {stm32_ack, uint8_t{0x55}}) {
    Plapperport port(wert);
    rs232_set_port(&port);
    for (const auto& f : faelle) {
      SCOPED_TRACE(std::string(f.name) + (wert == stm32_ack ? " / ACKs" : " / noise"));
      port.gelesen = 0;
      EXPECT_EQ(f.befehl(), wert == stm32_ack ? f.bei_ack : f.bei_noise);
      EXPECT_LE(port.gelesen, 3 + 256);  // ACK, ACK, ACK and 256 data bytes at most
    }
    Memo memo;
    KeinFortschritt balken;
    EXPECT_EQ(stm32_programmieren(memo, balken, balken),
              wert == stm32_ack ? err_unerwartetes_byte : err_kein_ack);
    EXPECT_EQ(stm32_verify(memo, balken), wert == stm32_ack ? err_unerwartetes_byte : err_kein_ack);
    rs232_set_port(nullptr);
  }
}

TEST_F(Befehle, GoAcceptsSilenceAfterTheAckAndReportsARefusedAddress) {
  sync();
  const auto start = port.elapsed();
  EXPECT_EQ(stm32_go(0x08000000), err_ok);
  EXPECT_EQ(port.sent(), (Bytes{0x21, 0xDE, 0x08, 0x00, 0x00, 0x00, 0x08}));
  EXPECT_TRUE(model.running());
  EXPECT_GE(port.elapsed() - start, milliseconds(1000));

  // ACK then NACK: the address was refused after all.
  model.reattach();
  sync();
  model.injectFault({Fault::Type::StrayByte, 0x21, 1, 1, 0x79});
  EXPECT_EQ(stm32_go(0x30000000), err_unerlaubte_adresse);
  // A plain NACK of the address frame is a missing acknowledge.
  EXPECT_EQ(stm32_go(0x30000000), err_kein_ack);
}

// Line time at 115200 8E1 is 11 bits a byte in both directions; a plain
// exchange of commands and answers takes exactly its wire time.
TEST_F(Befehle, LineTimeAndCounters) {
  model.resetCounters();
  const auto start = port.elapsed();
  sync();
  uint16_t id;
  ASSERT_EQ(stm32_get_id(id), err_ok);
  EXPECT_EQ(model.bytesIn(), 3u);
  EXPECT_EQ(model.bytesOut(), 6u);
  EXPECT_EQ(model.byteTime(), std::chrono::nanoseconds(11'000'000'000 / 115200));
  EXPECT_EQ(model.wireTime(), 9 * model.byteTime());
  EXPECT_EQ(port.elapsed() - start, model.floorTime());
  // Programming a block adds its device time (128 half-words) to the floor.
  uint8_t block[256] = {};
  ASSERT_EQ(stm32_write_memory(0x08000000, 255, block), err_ok);
  EXPECT_EQ(model.deviceTime(), 128 * std::chrono::nanoseconds(52500));
  EXPECT_EQ(port.elapsed() - start, model.floorTime());
}

TEST_F(Befehle, SyncByteToASynchronisedBootloaderIsACommandByte) {
  sync();
  EXPECT_EQ(stm32_init(), err_kein_ack);  // waits for a complement that never comes
  EXPECT_EQ(stm32_init(), err_kein_ack);  // 0x7F is not 0x80: NACK
  uint16_t id = 0;
  EXPECT_EQ(stm32_get_id(id), err_ok);  // still synchronised
}

TEST_F(Befehle, ReadoutProtectionServesOnlyIdentification) {
  model.setReadoutProtection(true);
  sync();
  // Get Version, which the engine does not use, is served too.
  const uint8_t get_version[2] = {0x01, 0xFE};
  rs232_write(get_version, 2);
  Bytes antwort;
  for (int i = 0; i < 5; ++i) antwort.push_back(static_cast<uint8_t>(stm32_read_byte()));
  EXPECT_EQ(antwort, (Bytes{0x79, 0x22, 0x00, 0x00, 0x79}));
  uint8_t puffer[256];
  uint16_t id = 0;
  EXPECT_EQ(stm32_get_commands(stm32_commands), err_ok);
  EXPECT_EQ(stm32_get_id(id), err_ok);
  EXPECT_EQ(stm32_read_memory(0x08000000, 255, puffer), err_kein_ack);
  EXPECT_EQ(stm32_write_memory(0x08000000, 3, puffer), err_kein_ack);
  EXPECT_EQ(stm32_erase_memory(0xFF, nullptr), err_kein_ack);
  EXPECT_EQ(stm32_write_unprotect(), err_kein_ack);
  EXPECT_EQ(stm32_readout_unprotect(), err_ok);
  EXPECT_FALSE(model.readoutProtected());
}

}  // namespace
}  // namespace quva::test
