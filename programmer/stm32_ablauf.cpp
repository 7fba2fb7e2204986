// The programming, verify and erase runs: straight lines of bootloader steps,
// each logged with its heading and indented detail lines.

#include "common/konvert.h"
#include "programmer/stm32prog.h"

namespace quva {

bool stm32_block_has_data(const uint8_t* block) {
  for (int i = 0; i < 256; ++i) {
    if (block[i] != 0xFF) return true;
  }
  return false;
}

void stm32_optionbytes_ausgeben(const ty_stm32& s, StatusSink& memo) {
  const std::string einzug(12, ' ');
  auto z = [&](const char* f103, const char* f051, const std::string& wert) {
    memo.status_ausgeben(einzug + (stm32_ist_f051(s) ? f051 : f103) + wert);
  };
  const bool f051 = stm32_ist_f051(s);
  z("Read Protect = ", "Read Protect     = ", BitToStr(s.read_protection));
  z("WDG_SW       = ", "WDG_SW           = ", BitToStr(s.WDG_SW));
  z("nRST_STOP    = ", "nRST_STOP        = ", BitToStr(s.nRST_STOP));
  z("nRST_STDBY   = ", "nRST_STDBY       = ", BitToStr(s.nRST_STDBY));
  if (f051) {
    z("", "nBOOT1           = ", BitToStr(s.nBOOT1));
    z("", "VDDA_MONITOR     = ", BitToStr(s.VDDA_MONITOR));
    z("", "RAM_PARITY_CHECK = ", BitToStr(s.RAM_PARITY_CHECK));
  }
  z("Data0        = 0x", "Data0            = 0x", ByteToHex(s.data0));
  z("Data1        = 0x", "Data1            = 0x", ByteToHex(s.data1));
  z("WRP0         = ", "WRP0             = ", ByteToBin(s.WRP0));
  z("WRP1         = ", "WRP1             = ", ByteToBin(s.WRP1));
  if (!f051) {
    z("WRP2         = ", "", ByteToBin(s.WRP2));
    z("WRP3         = ", "", ByteToBin(s.WRP3));
  }
}

namespace {

const char* const sternzeile = "****************************************************";

// One run: its log, its result and the steps the three runs share.
class Lauf {
 public:
  Lauf(ty_stm32& s, StatusSink& memo) : s_(s), memo_(memo) {}

  void kopf(const std::string& text) { memo_.status_ausgeben(text); }
  void zeile(const std::string& text) { memo_.status_ausgeben(std::string(12, ' ') + text); }

  // Sets the result from an operation's code; true when it succeeded.
  bool ok(int code) {
    ergebnis = code;
    return code >= 0;
  }
  // A failure that no operation reported.
  bool fehler(int code) {
    ergebnis = code;
    return false;
  }

  bool init(const char* kopfzeile) {
    kopf(kopfzeile);
    if (!ok(stm32_init())) {
      zeile("Fehler: Bootloader konnte nicht initialisiert werden.");
      return false;
    }
    zeile("Der Bootloader wurde initialisiert.");
    return true;
  }

  bool version() {
    kopf("Schritt  2: Bootloader Version abfragen.");
    if (!ok(stm32_get_commands(stm32_commands))) {
      zeile("Fehler: Get Commands konte nicht abgefragt werden.");
      return false;
    }
    zeile("Bootloader-Version = V" + ByteToHex(stm32_commands.version));
    if (stm32_commands.version != stm32_expected_version(s_)) {
      zeile("Fehler: Die Bootloader-Version ist unbekannt. Bitte im Labor melden.");
      return fehler(err_run_falsche_version);
    }
    return true;
  }

  bool id_pruefen() {
    uint16_t id = 0;
    if (!ok(stm32_get_id(id))) {
      zeile("Fehler: Die Product ID konte nicht abgefragt werden.");
      return false;
    }
    zeile("ID  = 0x" + WordToHex(id));
    if (id != stm32_expected_pid(s_)) {
      zeile("Fehler: Die Device-ID stimmt nicht. Bitte im Labor melden.");
      return fehler(err_run_falsche_id);
    }
    return true;
  }

  bool product_id() {
    kopf("Schritt  3: Product ID abfragen.");
    return id_pruefen();
  }

  bool schritte_1_bis_3() {
    return init("Schritt  1: Bootloader Initialisieren") && version() && product_id();
  }

  bool schutz_aufheben_und_loeschen() {
    kopf("Schritt  4: Ausleseschutz ausschalten.");
    zeile("Sende Readout Unprotect");
    if (!ok(stm32_readout_unprotect())) {
      zeile("Fehler: Readout Unprotect wurde nicht durchgeführt.");
      return false;
    }
    zeile("Readout Unprotect wurde durchgeführt.");
    if (!init("Schritt  5: Bootloader danach erneut initialisieren.")) return false;
    kopf("Schritt  6: Schreibschutz für den Flashspeicher aufheben.");
    if (!ok(stm32_write_unprotect())) {
      zeile("Fehler: Write Unprotect wurde nicht durchgeführt.");
      return false;
    }
    zeile("Write Unprotect wurde durchgeführt.");
    if (!init("Schritt  7: Bootloader danach erneut initialisieren.")) return false;
    kopf("Schritt  8: Flashspeicher komplett löschen.");
    const int code = stm32_ist_f051(s_) ? stm32_extended_erase_memory(0xFFFF, nullptr)
                                        : stm32_erase_memory(0xFF, nullptr);
    if (!ok(code)) {
      zeile("Fehler: Erase Memory wurde nicht durchgeführt.");
      return false;
    }
    zeile("Erase Memory wurde durchgeführt.");
    return true;
  }

  bool programmieren(ProgressSink& bar) {
    const uint32_t groesse = stm32_flash_size(s_);
    kopf(std::string("Schritt  9: Der Flashspeicher des Controllers vom Typ ") +
         stm32_controller_names[s_.controller < stm32_anzahl_controller ? s_.controller : 0]);
    zeile("hat 0x" + LongToHex(groesse) + " Bytes.");
    zeile("Der Flashspeicher wird jetzt programmiert.");
    zeile("Blöcke, die nur $FF enthalten, werden übersprungen.");
    zeile("x=programmierter Block, -=übersprungener Block.");
    zeile("Blockgröße = 256 Byte");
    std::string karte;
    int programmiert = 0;
    int uebersprungen = 0;
    for (uint32_t offset = 0; offset < groesse; offset += 256) {
      const uint8_t* block = s_.flash.data() + offset;
      if (stm32_block_has_data(block)) {
        karte += 'x';
        ++programmiert;
        if (!ok(stm32_write_memory(stm32_flash_start + offset, 255, block))) {
          zeile("Fehler: Write Memory wurde nicht durchgeführt.");
          return false;
        }
      } else {
        karte += '-';
        ++uebersprungen;
      }
      bar.position_setzen(static_cast<int>(offset));
      if (karte.size() == 32) {
        zeile(karte);
        karte.clear();
      }
    }
    zeile(karte);
    zeile("Es wurden " + RealToFixStr(programmiert, 3, 0, 0) + " Blöcke programmiert.");
    zeile("Es wurden " + RealToFixStr(uebersprungen, 3, 0, 0) + " Blöcke übersprungen.");
    const double anteil = uebersprungen * 100.0 / (uebersprungen + programmiert);
    zeile("Durch Überspringen wurden " + RealToFixStr(anteil, 2, 2, 0) +
          "% der Blöcke eingespart.");
    return true;
  }

  bool vergleichen(const char* kopfzeile, ProgressSink& bar) {
    kopf(kopfzeile);
    const uint32_t groesse = stm32_flash_size(s_);
    for (uint32_t offset = 0; offset < groesse; offset += 256) {
      if (!ok(stm32_read_memory(stm32_flash_start + offset, 255, s_.flash_read.data() + offset))) {
        zeile("Fehler: Lesen des Flash Memory wurde nicht durchgeführt.");
        return false;
      }
      for (uint32_t i = offset; i < offset + 256; ++i) {
        if (s_.flash[i] != s_.flash_read[i]) {
          zeile("Fehler: Beim Vergleichen ist ein Fehler aufgetreten.");
          zeile("Adresse = 0x" + LongToHex(i) + " Soll: 0x" + ByteToHex(s_.flash[i]) + " Ist: 0x" +
                ByteToHex(s_.flash_read[i]));
          return fehler(err_run_vergleich);
        }
      }
      bar.position_setzen(static_cast<int>(offset));
    }
    return true;
  }

  bool optionbytes() {
    kopf("Schritt 11: Die Optionbytes werden jetzt programmiert.");
    stm32_optionbytes_ausgeben(s_, memo_);
    if (stm32_write_optionbytes(s_) < 0) {
      zeile("Fehler: Schreiben der Optionbytes war nicht möglich.");
    } else {
      zeile("Die Optionbytes wurden geschrieben.");
    }
    // The re-synchronisation's result replaces the write's.
    return init("Schritt 12: Bootloader danach erneut initialisieren.");
  }

  bool ausleseschutz_pruefen() {
    kopf("Schritt 13: Überprüfen des Ausleseschutzes.");
    if (stm32_read_optionbytes(s_) >= 0) {
      zeile("Fehler: Die Option-Bytes konnten ausgelesen werden.");
      stm32_optionbytes_ausgeben(s_, memo_);
      if (s_.optionbytefehler) {
        zeile("Warnung: Beim Lesen der Optionbytes wurde ein Redundanzfehler entdeckt.");
        zeile("Mindestens ein Optionbyte war nicht exakt invers zu seinem Komplement.");
      }
      return fehler(err_run_ausleseschutz);
    }
    zeile("Ok, das Auslesen der Optionbytes war nicht möglich.");
    zeile("Zur Kontrolle wird die Produkt ID noch einmal gelesen.");
    zeile("Das Lesen der Produkt ID ist auch mit Ausleseschutz möglich.");
    return id_pruefen();
  }

  void banner(const char* text) {
    kopf(" ");
    kopf(sternzeile);
    kopf(text);
    kopf(sternzeile);
    kopf(" ");
  }

  int abschluss() {
    if (ergebnis < 0) zeile(std::string(fehlertext(ergebnis)));
    kopf(" ");
    return ergebnis;
  }

  int ergebnis = err_ok;

 private:
  ty_stm32& s_;
  StatusSink& memo_;
};

}  // namespace

int stm32_programmieren(StatusSink& memo, ProgressSink& prog, ProgressSink& verify) {
  Lauf lauf(stm32, memo);
  const int maximum = static_cast<int>(stm32_flash_size(stm32)) - 1;
  prog.fortschritt_setzen(0, maximum, 0);
  verify.fortschritt_setzen(0, maximum, 0);
  if (lauf.schritte_1_bis_3() && lauf.schutz_aufheben_und_loeschen() && lauf.programmieren(prog) &&
      lauf.vergleichen("Schritt 10: Der Flashspeicher wird jetzt zurückgelesen und verglichen.",
                       verify) &&
      lauf.optionbytes() && (!stm32.read_protection || lauf.ausleseschutz_pruefen())) {
    lauf.banner("*** Das Programmieren wurde erfolgreich beendet. ***");
  }
  return lauf.abschluss();
}

int stm32_verify(StatusSink& memo, ProgressSink& verify) {
  Lauf lauf(stm32, memo);
  verify.fortschritt_setzen(0, static_cast<int>(stm32_flash_size(stm32)) - 1, 0);
  if (lauf.schritte_1_bis_3() &&
      lauf.vergleichen("Schritt  4: Der Flashspeicher wird jetzt zurückgelesen und verglichen.",
                       verify)) {
    lauf.banner("*** Das Vergleichen wurde erfolgreich beendet.   ***");
  }
  return lauf.abschluss();
}

int stm32_erase_all(StatusSink& memo) {
  Lauf lauf(stm32, memo);
  if (lauf.schritte_1_bis_3() && lauf.schutz_aufheben_und_loeschen()) {
    lauf.banner("*** Der STM32 wurde erfolgreich gelöscht.        ***");
  }
  return lauf.abschluss();
}

}  // namespace quva
