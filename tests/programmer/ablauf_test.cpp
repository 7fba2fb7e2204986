// The programming, verify and erase runs against the simulated bootloader:
// the complete log of a run, the device state it leaves, and a fault at each
// step ending with that step's failure line, the closing text and a negative
// code within its time-outs.

#include <algorithm>
#include <chrono>
#include <functional>
#include <numeric>

#include "common/konvert.h"
#include "prog_fixture.h"

namespace quva::test {
namespace {

using Fault = sim::BootloaderFault;
using std::chrono::milliseconds;

const std::string sterne(52, '*');

void teststation_werte(ty_stm32& s) {
  s.read_protection = s.WDG_SW = s.nRST_STOP = s.nRST_STDBY = true;
  s.data0 = 0x4B;
  s.data1 = 0x58;
  s.WRP0 = s.WRP1 = s.WRP2 = s.WRP3 = 0xFF;
}

// An image of `bytes` bytes of data from the start, the rest erased.
void bild(uint32_t bytes) {
  stm32.flash.fill(0xFF);
  for (uint32_t i = 0; i < bytes; ++i) stm32.flash[i] = static_cast<uint8_t>(i * 7 + 3);
}

class Ablauf : public ProgFixture {
 protected:
  int programmieren() { return stm32_programmieren(memo, prog, verify); }
  bool flash_gleich_bild() const {
    return std::equal(model.flash().begin(), model.flash().end(), stm32.flash.begin());
  }
  Memo memo;
  Balken prog, verify;
};

TEST_F(Ablauf, CompleteRunOfA20KiBImageLogsEveryStep) {
  teststation_werte(stm32);
  bild(20 * 1024);
  model.flash()[0x5000] = 0x00;  // old contents, gone after the erase
  ASSERT_EQ(programmieren(), err_ok);

  const std::string x32(32, 'x'), m32(32, '-');
  std::vector<std::string> e = {
      "Schritt  1: Bootloader Initialisieren",
      eingerueckt("Der Bootloader wurde initialisiert."),
      "Schritt  2: Bootloader Version abfragen.",
      eingerueckt("Bootloader-Version = V22"),
      "Schritt  3: Product ID abfragen.",
      eingerueckt("ID  = 0x0410"),
      "Schritt  4: Ausleseschutz ausschalten.",
      eingerueckt("Sende Readout Unprotect"),
      eingerueckt("Readout Unprotect wurde durchgeführt."),
      "Schritt  5: Bootloader danach erneut initialisieren.",
      eingerueckt("Der Bootloader wurde initialisiert."),
      "Schritt  6: Schreibschutz für den Flashspeicher aufheben.",
      eingerueckt("Write Unprotect wurde durchgeführt."),
      "Schritt  7: Bootloader danach erneut initialisieren.",
      eingerueckt("Der Bootloader wurde initialisiert."),
      "Schritt  8: Flashspeicher komplett löschen.",
      eingerueckt("Erase Memory wurde durchgeführt."),
      "Schritt  9: Der Flashspeicher des Controllers vom Typ STM32F103x8",
      eingerueckt("hat 0x00010000 Bytes."),
      eingerueckt("Der Flashspeicher wird jetzt programmiert."),
      eingerueckt("Blöcke, die nur $FF enthalten, werden übersprungen."),
      eingerueckt("x=programmierter Block, -=übersprungener Block."),
      eingerueckt("Blockgröße = 256 Byte"),
      eingerueckt(x32),
      eingerueckt(x32),
      eingerueckt(std::string(16, 'x') + std::string(16, '-')),
      eingerueckt(m32),
      eingerueckt(m32),
      eingerueckt(m32),
      eingerueckt(m32),
      eingerueckt(m32),
      eingerueckt(""),
      eingerueckt("Es wurden 080 Blöcke programmiert."),
      eingerueckt("Es wurden 176 Blöcke übersprungen."),
      eingerueckt("Durch Überspringen wurden 68.75% der Blöcke eingespart."),
      "Schritt 10: Der Flashspeicher wird jetzt zurückgelesen und verglichen.",
      "Schritt 11: Die Optionbytes werden jetzt programmiert.",
      eingerueckt("Read Protect = 1"),
      eingerueckt("WDG_SW       = 1"),
      eingerueckt("nRST_STOP    = 1"),
      eingerueckt("nRST_STDBY   = 1"),
      eingerueckt("Data0        = 0x4b"),
      eingerueckt("Data1        = 0x58"),
      eingerueckt("WRP0         = 11111111"),
      eingerueckt("WRP1         = 11111111"),
      eingerueckt("WRP2         = 11111111"),
      eingerueckt("WRP3         = 11111111"),
      eingerueckt("Die Optionbytes wurden geschrieben."),
      "Schritt 12: Bootloader danach erneut initialisieren.",
      eingerueckt("Der Bootloader wurde initialisiert."),
      "Schritt 13: Überprüfen des Ausleseschutzes.",
      eingerueckt("Ok, das Auslesen der Optionbytes war nicht möglich."),
      eingerueckt("Zur Kontrolle wird die Produkt ID noch einmal gelesen."),
      eingerueckt("Das Lesen der Produkt ID ist auch mit Ausleseschutz möglich."),
      eingerueckt("ID  = 0x0410"),
      " ",
      sterne,
      "*** Das Programmieren wurde erfolgreich beendet. ***",
      sterne,
      " ",
      " ",
  };
  EXPECT_EQ(memo.zeilen, e);
  EXPECT_TRUE(flash_gleich_bild());
  EXPECT_TRUE(model.readoutProtected());
  EXPECT_EQ(prog.minimum, 0);
  EXPECT_EQ(prog.maximum, 0xFFFF);
  EXPECT_EQ(prog.position, 0xFF00);
  EXPECT_EQ(verify.position, 0xFF00);
  EXPECT_EQ(model.commandCounts()[0x31], 80u + 1);  // 80 blocks and the option bytes
}

TEST_F(Ablauf, BannersAreAsWideAsTheStarLine) {
  // Counted in characters: the umlaut is one.
  for (std::string s : {"*** Das Programmieren wurde erfolgreich beendet. ***",
                        "*** Das Vergleichen wurde erfolgreich beendet.   ***",
                        "*** Der STM32 wurde erfolgreich gelöscht.        ***"}) {
    EXPECT_EQ(s.size() - std::count(s.begin(), s.end(), '\xC3'), 52u) << s;
  }
}

TEST_F(Ablauf, ErasedImageSkipsEveryBlockButComparesAll) {
  stm32.flash.fill(0xFF);
  stm32.read_protection = false;
  ASSERT_EQ(programmieren(), err_ok);
  EXPECT_TRUE(memo.enthaelt(eingerueckt("Es wurden 000 Blöcke programmiert.")));
  EXPECT_TRUE(memo.enthaelt(eingerueckt("Es wurden 256 Blöcke übersprungen.")));
  EXPECT_TRUE(
      memo.enthaelt(eingerueckt("Durch Überspringen wurden 100.00% der Blöcke eingespart.")));
  EXPECT_EQ(model.commandCounts()[0x11], 256u);
  // Without read protection the run ends after step 12.
  EXPECT_FALSE(memo.enthaelt("Schritt 13: Überprüfen des Ausleseschutzes."));
  EXPECT_TRUE(memo.enthaelt("*** Das Programmieren wurde erfolgreich beendet. ***"));
  EXPECT_FALSE(model.readoutProtected());
}

TEST_F(Ablauf, RunOnAProtectedDeviceWithOldContents) {
  std::fill(model.flash().begin(), model.flash().end(), 0x00);
  model.setReadoutProtection(true);
  teststation_werte(stm32);
  bild(0x10000);
  ASSERT_EQ(programmieren(), err_ok);
  EXPECT_TRUE(flash_gleich_bild());
  EXPECT_TRUE(model.readoutProtected());
}

// A fault at each step: that step's failure line, the closing error text,
// a negative code, and never more than one time-out per awaited byte.
TEST_F(Ablauf, FaultAtEachStep) {
  // Virtual time of a run without fault: a fault may add one time-out at most.
  teststation_werte(stm32);
  bild(4096);
  ASSERT_EQ(programmieren(), err_ok);
  const auto ohne_fehler = port.elapsed();
  const std::string vergleich = "Adresse = 0x00000011 Soll: 0x" + ByteToHex(stm32.flash[0x11]) +
                                " Ist: 0x" + ByteToHex(stm32.flash[0x11] ^ 0x10);
  struct Fall {
    const char* name;
    Fault fault;
    std::string fehlerzeile;
    int code;
  };
  const std::vector<Fall> faelle = {
      {"1 sync",
       {Fault::Type::Silence, 0x7F, 1, 0},
       "Fehler: Bootloader konnte nicht initialisiert werden.",
       err_kein_ack},
      {"2 get commands",
       {Fault::Type::Nack, 0x00, 1, 0},
       "Fehler: Get Commands konte nicht abgefragt werden.",
       err_kein_ack},
      {"2 version",
       {Fault::Type::CorruptByte, 0x00, 1, 2, 0x03},
       "Fehler: Die Bootloader-Version ist unbekannt. Bitte im Labor melden.",
       err_run_falsche_version},
      {"3 get id",
       {Fault::Type::Vanish, 0x02, 1, 2},
       "Fehler: Die Product ID konte nicht abgefragt werden.",
       err_rs232_parity},
      {"3 id",
       {Fault::Type::CorruptByte, 0x02, 1, 3, 0x01},
       "Fehler: Die Device-ID stimmt nicht. Bitte im Labor melden.",
       err_run_falsche_id},
      {"4 readout unprotect",
       {Fault::Type::Nack, 0x92, 1, 0},
       "Fehler: Readout Unprotect wurde nicht durchgeführt.",
       err_kein_ack},
      {"5 sync",
       {Fault::Type::Silence, 0x7F, 2, 0},
       "Fehler: Bootloader konnte nicht initialisiert werden.",
       err_kein_ack},
      {"6 write unprotect",
       {Fault::Type::Silence, 0x73, 1, 1},
       "Fehler: Write Unprotect wurde nicht durchgeführt.",
       err_kein_ack},
      {"7 sync",
       {Fault::Type::StrayByte, 0x7F, 3, 0, 0x00},
       "Fehler: Bootloader konnte nicht initialisiert werden.",
       err_kein_ack},
      {"8 erase",
       {Fault::Type::Nack, 0x43, 1, 1},
       "Fehler: Erase Memory wurde nicht durchgeführt.",
       err_kein_ack},
      {"9 write",
       {Fault::Type::Nack, 0x31, 3, 2},
       "Fehler: Write Memory wurde nicht durchgeführt.",
       err_kein_ack},
      {"9 write, port vanishes",
       {Fault::Type::Vanish, 0x31, 2, 1},
       "Fehler: Write Memory wurde nicht durchgeführt.",
       err_kein_ack},
      {"10 read",
       {Fault::Type::Silence, 0x11, 2, 40},
       "Fehler: Lesen des Flash Memory wurde nicht durchgeführt.",
       err_rs232_timeout},
      {"10 compare",
       {Fault::Type::CorruptByte, 0x11, 1, 3 + 0x11, 0x10},
       vergleich,
       err_run_vergleich},
      {"12 sync",
       {Fault::Type::Nack, 0x7F, 4, 0},
       "Fehler: Bootloader konnte nicht initialisiert werden.",
       err_kein_ack},
      {"13 id",
       {Fault::Type::Silence, 0x02, 2, 0},
       "Fehler: Die Product ID konte nicht abgefragt werden.",
       err_kein_ack},
  };
  for (const auto& f : faelle) {
    SCOPED_TRACE(f.name);
    model.reattach();
    model.resetCounters();
    model.injectFault(f.fault);
    memo.zeilen.clear();
    teststation_werte(stm32);
    const auto start = port.elapsed();
    EXPECT_EQ(programmieren(), f.code);
    ASSERT_GE(memo.zeilen.size(), 3u);
    const auto& z = memo.zeilen;
    EXPECT_TRUE(memo.enthaelt(eingerueckt(f.fehlerzeile)));
    EXPECT_EQ(z[z.size() - 2], eingerueckt(std::string(fehlertext(f.code))));
    EXPECT_EQ(z.back(), " ");
    EXPECT_FALSE(memo.enthaelt(sterne));
    EXPECT_LT(port.elapsed() - start, ohne_fehler + milliseconds(1100));
  }
}

TEST_F(Ablauf, OptionByteWriteFailureAloneDoesNotFailTheRun) {
  teststation_werte(stm32);
  stm32.read_protection = false;
  bild(256);
  // The option bytes are written and the device resets, but the host sees a
  // bad final acknowledge.
  model.injectFault({Fault::Type::CorruptByte, 0x31, 2, 2, 0x01});
  ASSERT_EQ(programmieren(), err_ok);
  EXPECT_TRUE(memo.enthaelt(eingerueckt("Fehler: Schreiben der Optionbytes war nicht möglich.")));
}

// A memo that runs an action when a given line is written.
struct MemoMitAktion : Memo {
  std::string bei;
  std::function<void()> aktion;
  void status_ausgeben(const std::string& z) override {
    Memo::status_ausgeben(z);
    if (z == bei) aktion();
  }
};

TEST_F(Ablauf, ReadableOptionBytesUnderRequestedProtectionFailTheRun) {
  teststation_werte(stm32);
  bild(256);
  // A device whose protection did not take: lifted again before step 12, with
  // a broken complement that is reported as a warning.
  MemoMitAktion m;
  m.bei = "Schritt 12: Bootloader danach erneut initialisieren.";
  m.aktion = [&] {
    model.setReadoutProtection(false);
    model.optionBytes()[13] = 0x12;
  };
  EXPECT_EQ(stm32_programmieren(m, prog, verify), err_run_ausleseschutz);
  const auto& z = m.zeilen;
  const auto it = std::find(z.begin(), z.end(),
                            eingerueckt("Fehler: Die Option-Bytes konnten ausgelesen werden."));
  ASSERT_NE(it, z.end());
  ASSERT_GE(z.end() - it, 15);
  EXPECT_EQ(*(it + 1), eingerueckt("Read Protect = 0"));
  EXPECT_EQ(*(it + 11),
            eingerueckt("Warnung: Beim Lesen der Optionbytes wurde ein Redundanzfehler entdeckt."));
  EXPECT_EQ(*(it + 12),
            eingerueckt("Mindestens ein Optionbyte war nicht exakt invers zu seinem Komplement."));
  EXPECT_EQ(*(it + 13), eingerueckt(fehlertext(err_run_ausleseschutz).data()));
  EXPECT_FALSE(stm32.read_protection);  // the record holds what was read
}

TEST_F(Ablauf, VerifyAfterEraseAllReportsTheFirstDataByte) {
  bild(0x10000);
  stm32.flash[0] = 0xFF;  // first difference is at offset 1
  Memo erase;
  ASSERT_EQ(stm32_erase_all(erase), err_ok);
  EXPECT_EQ(erase.zeilen[erase.zeilen.size() - 4],
            "*** Der STM32 wurde erfolgreich gelöscht.        ***");
  const auto& c = model.commandCounts();
  EXPECT_EQ(c[0x7F], 3u);
  EXPECT_EQ(c[0x00] + c[0x02] + c[0x92] + c[0x73] + c[0x43], 5u);
  EXPECT_EQ(c[0x31] + c[0x11], 0u);
  EXPECT_TRUE(
      std::all_of(model.flash().begin(), model.flash().end(), [](uint8_t b) { return b == 0xFF; }));

  model.reset();
  Balken v;
  EXPECT_EQ(stm32_verify(memo, v), err_run_vergleich);
  EXPECT_TRUE(
      memo.enthaelt("Schritt  4: Der Flashspeicher wird jetzt zurückgelesen und verglichen."));
  EXPECT_TRUE(memo.enthaelt(
      eingerueckt("Adresse = 0x00000001 Soll: 0x" + ByteToHex(stm32.flash[1]) + " Ist: 0xff")));
}

TEST_F(Ablauf, VerifyOfAProgrammedDevice) {
  bild(0x3000);
  stm32.read_protection = false;
  ASSERT_EQ(programmieren(), err_ok);
  model.reset();
  memo.zeilen.clear();
  ASSERT_EQ(stm32_verify(memo, verify), err_ok);
  EXPECT_TRUE(memo.enthaelt("*** Das Vergleichen wurde erfolgreich beendet.   ***"));
  EXPECT_EQ(verify.position, 0xFF00);
}

TEST_F(Ablauf, VerifyOnAnotherControllerStopsAfterTheId) {
  stm32.controller = 2;  // expects 0x0414, the device is 0x0410; same bootloader version
  EXPECT_EQ(stm32_verify(memo, verify), err_run_falsche_id);
  EXPECT_TRUE(
      memo.enthaelt(eingerueckt("Fehler: Die Device-ID stimmt nicht. Bitte im Labor melden.")));
  EXPECT_EQ(model.commandCounts()[0x11], 0u);
  EXPECT_EQ(memo.zeilen[memo.zeilen.size() - 2], eingerueckt("Fehler: Falscher Controller."));
}

// A USB adapter that holds every answer byte back by its 16 ms latency timer:
// slower, but no single byte comes near its deadline.
class AblaufMitLatenz : public ProgFixture {
 protected:
  AblaufMitLatenz() : ProgFixture(0, {.adapter_latency = milliseconds(16)}) {}
};

TEST_F(AblaufMitLatenz, RunSucceedsWithAdapterLatency) {
  teststation_werte(stm32);
  bild(0x800);
  Memo memo;
  Balken p, v;
  ASSERT_EQ(stm32_programmieren(memo, p, v), err_ok);
  EXPECT_TRUE(model.readoutProtected());
}

class AblaufAufF051 : public ProgFixture {
 protected:
  AblaufAufF051() : ProgFixture(3) {}
};

TEST_F(AblaufAufF051, CompleteRunWithMassEraseAndTwelveOptionBytes) {
  stm32.controller = 3;
  teststation_werte(stm32);
  stm32.nBOOT1 = stm32.VDDA_MONITOR = stm32.RAM_PARITY_CHECK = true;
  bild(0x10000);
  Memo memo;
  Balken p, v;
  ASSERT_EQ(stm32_programmieren(memo, p, v), err_ok);
  EXPECT_TRUE(memo.enthaelt(eingerueckt("Bootloader-Version = V31")));
  EXPECT_TRUE(memo.enthaelt(eingerueckt("ID  = 0x0440")));
  EXPECT_TRUE(memo.enthaelt("Schritt  9: Der Flashspeicher des Controllers vom Typ STM32F051x8"));
  EXPECT_TRUE(memo.enthaelt(eingerueckt("RAM_PARITY_CHECK = 1")));
  EXPECT_TRUE(memo.enthaelt("*** Das Programmieren wurde erfolgreich beendet. ***"));
  EXPECT_EQ(model.commandCounts()[0x44], 1u);
  EXPECT_EQ(model.commandCounts()[0x43], 0u);
  EXPECT_TRUE(std::equal(model.flash().begin(), model.flash().end(), stm32.flash.begin()));
  EXPECT_TRUE(model.readoutProtected());
}

}  // namespace
}  // namespace quva::test
