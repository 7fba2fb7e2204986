#pragma once
// The STM32 bootloader programmer engine: the bootloader commands over the
// serial layer (rs232.h), the program-wide record with the firmware image, the
// controller table, the Intel-HEX loader with its CRC and load log, the option
// bytes, and the programming, verify and erase runs.
//
// Every command and run returns 0 or a negative error code (err_...); the text
// of code c is fehlertexte[-c]. Only the hex loader throws (HexdateiFehler).
// Texts are UTF-8.

#include <array>
#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

namespace quva {

// ---- error codes -----------------------------------------------------------

constexpr int err_ok = 0;
constexpr int err_rs232_timeout = -1;
constexpr int err_rs232_parity = -2;
constexpr int err_falscher_controller = -3;
constexpr int err_kein_ack = -4;
constexpr int err_unerwartetes_byte = -5;
constexpr int err_unerlaubte_adresse = -6;
constexpr int err_unerlaubte_anzahl = -7;
constexpr int err_hexdatei = -8;

// Codes of the run failures that no single command reports: a bootloader
// version or product identifier other than the controller's is the wrong
// controller; a compare difference and option bytes that can still be read
// under readout protection are bytes the device should not have returned.
constexpr int err_run_falsche_version = err_falscher_controller;
constexpr int err_run_falsche_id = err_falscher_controller;
constexpr int err_run_vergleich = err_unerwartetes_byte;
constexpr int err_run_ausleseschutz = err_unerwartetes_byte;

// Texts of the codes 0 .. -8, indexed by the negated code.
extern const std::array<const char*, 9> fehlertexte;
// fehlertexte[-code]; a code outside 0 .. -8 gives an empty text.
std::string_view fehlertext(int code);

// ---- protocol bytes --------------------------------------------------------

constexpr uint8_t stm32_sync = 0x7F;
constexpr uint8_t stm32_ack = 0x79;
constexpr uint8_t stm32_nack = 0x1F;

constexpr uint32_t stm32_flash_start = 0x08000000;
constexpr uint32_t stm32_optionbytes_adresse = 0x1FFFF800;

// ---- sinks of the runs -----------------------------------------------------

// Where a run writes its log lines (the programmer window's memo).
class StatusSink {
 public:
  virtual ~StatusSink() = default;
  virtual void status_ausgeben(const std::string& zeile) = 0;
};

// A progress bar as the runs drive it.
class ProgressSink {
 public:
  virtual ~ProgressSink() = default;
  // Sets the minimum, then the maximum, then the position.
  virtual void fortschritt_setzen(int minimum, int maximum, int position) = 0;
  virtual void position_setzen(int position) = 0;
};

// A progress sink that shows nothing.
class KeinFortschritt final : public ProgressSink {
 public:
  void fortschritt_setzen(int, int, int) override {}
  void position_setzen(int) override {}
};

// ---- the programmer record -------------------------------------------------

constexpr uint32_t stm32_image_size = 0x40000;  // 256 KiB, the largest flash

struct ty_stm32 {
  std::array<uint8_t, stm32_image_size> flash;       // byte i at 0x08000000 + i
  std::array<uint8_t, stm32_image_size> flash_read;  // read back by the compare steps
  uint32_t checksumme;                               // CRC-32/MPEG-2 of the flash size
  uint8_t controller;                                // kind 0..3 (controller table)
  bool hexdatei_eingelesen;
  bool read_protection;
  bool WDG_SW;
  bool nRST_STOP;
  bool nRST_STDBY;
  bool nBOOT1;
  bool VDDA_MONITOR;
  bool RAM_PARITY_CHECK;
  uint8_t data0;
  uint8_t data1;
  uint8_t WRP0;
  uint8_t WRP1;
  uint8_t WRP2;
  uint8_t WRP3;
  bool optionbytefehler;
  int32_t usermodus;  // 0 automatic, 1 expert
  int32_t fehlercode;
  std::string hexdatei;
};

// The one program-wide record (static storage, all zero at program start).
extern ty_stm32 stm32;
// Puts the record back into its program-start state (used by tests).
void stm32_zuruecksetzen();

// ---- controller table ------------------------------------------------------

constexpr int stm32_anzahl_controller = 4;
extern const std::array<const char*, stm32_anzahl_controller> stm32_controller_names;
uint32_t stm32_flash_size(const ty_stm32& s);
uint16_t stm32_expected_pid(const ty_stm32& s);
uint8_t stm32_expected_version(const ty_stm32& s);
// True for the F051 kind (extended erase, twelve option bytes).
bool stm32_ist_f051(const ty_stm32& s);

// ---- bootloader commands ---------------------------------------------------

struct ty_stm32_commands {
  uint8_t version;
  bool cmd_get;
  bool cmd_get_version;
  bool cmd_get_id;
  bool cmd_read_memory;
  bool cmd_go;
  bool cmd_write_memory;
  bool cmd_erase;
  bool cmd_extended_erase;
  bool cmd_write_protect;
  bool cmd_write_unprotect;
  bool cmd_readout_protect;
  bool cmd_readout_unprotect;
};
// The unit's answer record of Get Commands (read by the programmer window).
extern ty_stm32_commands stm32_commands;

int stm32_init();
int stm32_get_commands(ty_stm32_commands& antwort);
int stm32_get_id(uint16_t& id);
// Reads n + 1 bytes into ziel (which holds at least n + 1 bytes).
int stm32_read_memory(uint32_t adresse, uint8_t n, uint8_t* ziel);
int stm32_go(uint32_t adresse);
// Writes n + 1 bytes from quelle; n + 1 a multiple of 4, adresse aligned to 4.
int stm32_write_memory(uint32_t adresse, uint8_t n, const uint8_t* quelle);
// n = 0xFF: global erase (seiten unused, may be null); else n + 1 page numbers.
int stm32_erase_memory(uint8_t n, const uint8_t* seiten);
// n = 0xFFFF: mass erase (seiten unused, may be null); else n + 1 page numbers.
int stm32_extended_erase_memory(uint16_t n, const uint16_t* seiten);
int stm32_write_protect(uint8_t n, const uint8_t* sektoren);
int stm32_write_unprotect();
int stm32_readout_protect();
int stm32_readout_unprotect();

// ---- firmware image, hex loader, CRC ---------------------------------------

// A load that had to be abandoned: a line too short for a field it must read,
// or a file that cannot be read. The record's fehlercode is left at -8.
class HexdateiFehler : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Loads the Intel-HEX file `dateiname` into s.flash, computes s.checksumme and
// writes the load log "protokoll.log" into the current directory. Returns 0 or
// -8 (also left in s.fehlercode). Throws HexdateiFehler (see above).
int hexdatei_lesen(const std::string& dateiname, ty_stm32& s);

// Feeds one byte into a CRC-32/MPEG-2 register.
void crc32_byte(uint8_t byte, uint32_t& crc);
// CRC-32/MPEG-2 (start 0xFFFFFFFF, no reflection, no final XOR) of a buffer.
uint32_t crc32_mpeg2(const uint8_t* data, std::size_t count, uint32_t crc = 0xFFFFFFFF);
// The first two characters as hex digits; 0 if either is not a hex digit.
uint8_t hex_pair_to_byte(std::string_view text);

// Converts UTF-8 text to the 8-bit code page of the log files (Latin-1, the
// printable part of CP1252); a character outside it becomes '?'.
std::string utf8_nach_latin1(std::string_view utf8);

// True if any byte of the 256-byte block differs from 0xFF.
bool stm32_block_has_data(const uint8_t* block);

// ---- option bytes ----------------------------------------------------------

// Builds the option-byte frame of s's family into frame; returns its length
// (16 for the F103 kinds, 12 for the F051 kind).
int stm32_optionbyte_frame(const ty_stm32& s, std::array<uint8_t, 16>& frame);
int stm32_read_optionbytes(ty_stm32& s);
int stm32_write_optionbytes(ty_stm32& s);
// The option-byte display lines (indented), ten or eleven by family.
void stm32_optionbytes_ausgeben(const ty_stm32& s, StatusSink& memo);

// ---- runs (on the program-wide record) -------------------------------------

int stm32_programmieren(StatusSink& memo, ProgressSink& prog, ProgressSink& verify);
int stm32_verify(StatusSink& memo, ProgressSink& verify);
int stm32_erase_all(StatusSink& memo);

}  // namespace quva
