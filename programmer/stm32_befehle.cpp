// Bootloader commands of the STM32 USART bootloader, the error table and the
// program-wide record with its controller table.

#include <cstring>

#include "programmer/rs232.h"
#include "programmer/stm32prog.h"

namespace quva {

const std::array<const char*, 9> fehlertexte = {
    "Alles ist ok.",
    "Fehler: RS232 Timeout.",
    "Fehler: RS232 Parity.",
    "Fehler: Falscher Controller.",
    "Fehler: Kein ACK vom STM32.",
    "Fehler: Unerwartetes Byte vom STM32.",
    "Fehler: Unerlaubte Adresse.",
    "Fehler: Unerlaubte Anzahl.",
    "Fehler: Hexdatei nicht ok.",
};

std::string_view fehlertext(int code) {
  if (code > 0 || code < -8) return {};
  return fehlertexte[static_cast<std::size_t>(-code)];
}

// ---- record and controller table ---------------------------------------------

ty_stm32 stm32{};
ty_stm32_commands stm32_commands{};

void stm32_zuruecksetzen() {
  // Field by field: a temporary of the whole record would put 512 KiB on the stack.
  stm32.flash.fill(0);
  stm32.flash_read.fill(0);
  stm32.checksumme = 0;
  stm32.controller = 0;
  stm32.hexdatei_eingelesen = false;
  stm32.read_protection = stm32.WDG_SW = stm32.nRST_STOP = stm32.nRST_STDBY = false;
  stm32.nBOOT1 = stm32.VDDA_MONITOR = stm32.RAM_PARITY_CHECK = false;
  stm32.data0 = stm32.data1 = 0;
  stm32.WRP0 = stm32.WRP1 = stm32.WRP2 = stm32.WRP3 = 0;
  stm32.optionbytefehler = false;
  stm32.usermodus = 0;
  stm32.fehlercode = 0;
  stm32.hexdatei.clear();
  stm32_commands = {};
}

const std::array<const char*, stm32_anzahl_controller> stm32_controller_names = {
    "STM32F103x8", "STM32F103xB", "STM32F103xC", "STM32F051x8"};

namespace {

struct ControllerDaten {
  uint32_t flash_size;
  uint16_t pid;
  uint8_t version;
};

constexpr std::array<ControllerDaten, stm32_anzahl_controller> controller_tabelle = {{
    {0x10000, 0x0410, 0x22},
    {0x20000, 0x0410, 0x22},
    {0x40000, 0x0414, 0x22},
    {0x10000, 0x0440, 0x31},
}};

// Only the kinds 0..3 are ever stored; anything else is read as kind 0 rather
// than indexing past the table.
const ControllerDaten& daten(const ty_stm32& s) {
  return controller_tabelle[s.controller < stm32_anzahl_controller ? s.controller : 0];
}

}  // namespace

uint32_t stm32_flash_size(const ty_stm32& s) { return daten(s).flash_size; }
uint16_t stm32_expected_pid(const ty_stm32& s) { return daten(s).pid; }
uint8_t stm32_expected_version(const ty_stm32& s) { return daten(s).version; }
bool stm32_ist_f051(const ty_stm32& s) { return s.controller == 3; }

// ---- commands ----------------------------------------------------------------

namespace {

bool ack() { return stm32_read_byte() == stm32_ack; }

// Flushes the receive queue, sends the command byte and its complement and
// waits for the acknowledge.
bool befehl(uint8_t cmd) {
  rs232_rx_flush();
  const uint8_t frame[2] = {cmd, static_cast<uint8_t>(cmd ^ 0xFF)};
  rs232_write(frame, 2);
  return ack();
}

void adresse_senden(uint32_t adresse) {
  uint8_t frame[5] = {static_cast<uint8_t>(adresse >> 24), static_cast<uint8_t>(adresse >> 16),
                      static_cast<uint8_t>(adresse >> 8), static_cast<uint8_t>(adresse), 0};
  frame[4] = frame[0] ^ frame[1] ^ frame[2] ^ frame[3];
  rs232_write(frame, 5);
}

// Sends N, the N + 1 list bytes and the checksum (N XOR all list bytes).
void liste_senden(uint8_t n, const uint8_t* liste) {
  uint8_t frame[258];
  frame[0] = n;
  uint8_t pruef = n;
  for (int i = 0; i <= n; ++i) {
    frame[1 + i] = liste[i];
    pruef ^= liste[i];
  }
  frame[n + 2] = pruef;
  rs232_write(frame, static_cast<std::size_t>(n) + 3);
}

// Command byte, ACK, then a second ACK after the device has done the work.
int einfacher_befehl(uint8_t cmd) {
  if (!befehl(cmd)) return err_kein_ack;
  return ack() ? err_ok : err_kein_ack;
}

}  // namespace

int stm32_init() {
  rs232_rx_flush();
  rs232_putc(stm32_sync);
  return ack() ? err_ok : err_kein_ack;
}

int stm32_get_commands(ty_stm32_commands& antwort) {
  antwort = {};
  if (!befehl(0x00)) return err_kein_ack;
  if (stm32_read_byte() != 0x0B) return err_unerwartetes_byte;
  const int version = stm32_read_byte();
  if (version < 0) return version;
  antwort.version = static_cast<uint8_t>(version);
  bool* const flags[] = {&antwort.cmd_get,
                         &antwort.cmd_get_version,
                         &antwort.cmd_get_id,
                         &antwort.cmd_read_memory,
                         &antwort.cmd_go,
                         &antwort.cmd_write_memory,
                         nullptr,
                         &antwort.cmd_write_protect,
                         &antwort.cmd_write_unprotect,
                         &antwort.cmd_readout_protect,
                         &antwort.cmd_readout_unprotect};
  constexpr uint8_t liste[] = {0x00, 0x01, 0x02, 0x11, 0x21, 0x31, 0x43, 0x63, 0x73, 0x82, 0x92};
  for (std::size_t i = 0; i < std::size(liste); ++i) {
    const int b = stm32_read_byte();
    if (flags[i] == nullptr) {  // the erase position: 0x43 or 0x44
      if (b == 0x43) {
        antwort.cmd_erase = true;
      } else if (b == 0x44) {
        antwort.cmd_extended_erase = true;
      } else {
        return err_unerwartetes_byte;
      }
      continue;
    }
    if (b != liste[i]) return err_unerwartetes_byte;
    *flags[i] = true;
  }
  return ack() ? err_ok : err_kein_ack;
}

int stm32_get_id(uint16_t& id) {
  if (!befehl(0x02)) return err_kein_ack;
  if (stm32_read_byte() != 0x01) return err_unerwartetes_byte;
  const int hoch = stm32_read_byte();
  if (hoch < 0) return hoch;
  const int tief = stm32_read_byte();
  if (tief < 0) return tief;
  if (!ack()) return err_kein_ack;
  id = static_cast<uint16_t>(hoch * 256 + tief);
  return err_ok;
}

int stm32_read_memory(uint32_t adresse, uint8_t n, uint8_t* ziel) {
  if (!befehl(0x11)) return err_kein_ack;
  adresse_senden(adresse);
  if (!ack()) return err_kein_ack;
  const uint8_t anzahl[2] = {n, static_cast<uint8_t>(n ^ 0xFF)};
  rs232_write(anzahl, 2);
  if (!ack()) return err_kein_ack;
  for (int i = 0; i <= n; ++i) {
    const int b = stm32_read_byte();
    if (b < 0) return b;
    ziel[i] = static_cast<uint8_t>(b);
  }
  return err_ok;
}

int stm32_go(uint32_t adresse) {
  if (!befehl(0x21)) return err_kein_ack;
  adresse_senden(adresse);
  const int b = stm32_read_byte();
  if (b < 0) return b;
  if (b != stm32_ack) return err_kein_ack;
  // A second byte only comes when the address was refused after all.
  return stm32_read_byte() == stm32_nack ? err_unerlaubte_adresse : err_ok;
}

int stm32_write_memory(uint32_t adresse, uint8_t n, const uint8_t* quelle) {
  if ((n & 3) != 3) return err_unerlaubte_anzahl;
  if ((adresse & 3) != 0) return err_unerlaubte_adresse;
  if (!befehl(0x31)) return err_kein_ack;
  adresse_senden(adresse);
  if (!ack()) return err_kein_ack;
  liste_senden(n, quelle);
  return ack() ? err_ok : err_kein_ack;
}

int stm32_erase_memory(uint8_t n, const uint8_t* seiten) {
  if (!befehl(0x43)) return err_kein_ack;
  if (n == 0xFF) {
    const uint8_t global[2] = {0xFF, 0x00};
    rs232_write(global, 2);
  } else {
    liste_senden(n, seiten);
  }
  return ack() ? err_ok : err_kein_ack;
}

int stm32_extended_erase_memory(uint16_t n, const uint16_t* seiten) {
  if (!befehl(0x44)) return err_kein_ack;
  if (n == 0xFFFF) {
    const uint8_t masse[3] = {0xFF, 0xFF, 0x00};
    rs232_write(masse, 3);
  } else {
    // Sent in pieces so that no frame buffer of 128 KiB is needed.
    uint8_t frame[2] = {static_cast<uint8_t>(n >> 8), static_cast<uint8_t>(n)};
    uint8_t pruef = frame[0] ^ frame[1];
    rs232_write(frame, 2);
    for (uint32_t i = 0; i <= n; ++i) {
      frame[0] = static_cast<uint8_t>(seiten[i] >> 8);
      frame[1] = static_cast<uint8_t>(seiten[i]);
      pruef ^= frame[0] ^ frame[1];
      rs232_write(frame, 2);
    }
    rs232_putc(pruef);
  }
  return ack() ? err_ok : err_kein_ack;
}

int stm32_write_protect(uint8_t n, const uint8_t* sektoren) {
  if (!befehl(0x63)) return err_kein_ack;
  liste_senden(n, sektoren);
  return ack() ? err_ok : err_kein_ack;
}

int stm32_write_unprotect() { return einfacher_befehl(0x73); }
int stm32_readout_protect() { return einfacher_befehl(0x82); }
int stm32_readout_unprotect() { return einfacher_befehl(0x92); }

// ---- option bytes --------------------------------------------------------------

int stm32_optionbyte_frame(const ty_stm32& s, std::array<uint8_t, 16>& frame) {
  const bool f051 = stm32_ist_f051(s);
  frame.fill(0xFF);
  if (!s.read_protection) frame[0] = f051 ? 0xAA : 0xA5;
  uint8_t user = 0xFF;
  if (!s.WDG_SW) user &= ~0x01;
  if (!s.nRST_STOP) user &= ~0x02;
  if (!s.nRST_STDBY) user &= ~0x04;
  if (f051) {
    if (!s.nBOOT1) user &= ~0x10;
    if (!s.VDDA_MONITOR) user &= ~0x20;
    if (!s.RAM_PARITY_CHECK) user &= ~0x40;
  }
  frame[2] = user;
  frame[4] = s.data0;
  frame[6] = s.data1;
  frame[8] = s.WRP0;
  frame[10] = s.WRP1;
  if (!f051) {
    frame[12] = s.WRP2;
    frame[14] = s.WRP3;
  }
  const int laenge = f051 ? 12 : 16;
  for (int i = 0; i < laenge; i += 2) frame[i + 1] = static_cast<uint8_t>(~frame[i]);
  return laenge;
}

int stm32_write_optionbytes(ty_stm32& s) {
  std::array<uint8_t, 16> frame;
  const int laenge = stm32_optionbyte_frame(s, frame);
  return stm32_write_memory(stm32_optionbytes_adresse, static_cast<uint8_t>(laenge - 1),
                            frame.data());
}

int stm32_read_optionbytes(ty_stm32& s) {
  const bool f051 = stm32_ist_f051(s);
  const int laenge = f051 ? 12 : 16;
  std::array<uint8_t, 16> frame{};
  const int code =
      stm32_read_memory(stm32_optionbytes_adresse, static_cast<uint8_t>(laenge - 1), frame.data());
  if (code < 0) return code;
  s.optionbytefehler = false;
  for (int i = 0; i < laenge; i += 2) {
    if ((frame[i] ^ frame[i + 1]) != 0xFF) s.optionbytefehler = true;
  }
  s.read_protection = frame[0] != (f051 ? 0xAA : 0xA5);
  const uint8_t user = frame[2];
  s.WDG_SW = (user & 0x01) != 0;
  s.nRST_STOP = (user & 0x02) != 0;
  s.nRST_STDBY = (user & 0x04) != 0;
  s.nBOOT1 = f051 && (user & 0x10) != 0;
  s.VDDA_MONITOR = f051 && (user & 0x20) != 0;
  s.RAM_PARITY_CHECK = f051 && (user & 0x40) != 0;
  s.data0 = frame[4];
  s.data1 = frame[6];
  s.WRP0 = frame[8];
  s.WRP1 = frame[10];
  s.WRP2 = f051 ? 0 : frame[12];
  s.WRP3 = f051 ? 0 : frame[14];
  return err_ok;
}

}  // namespace quva
