#pragma once
// A simulated STM32 system-memory USART bootloader as a device model with a
// byte interface that knows no transport: the host's bytes go in with the time
// they were handed to the line, the device's answers come out with the time
// they are fully received at the host. Time is a plain duration since an epoch
// the caller chooses, so the same model runs on virtual time (in-process tests)
// or on real time (served over a pseudo-terminal).
//
// Modelled: the four controller kinds of the programmer's controller table
// (Get, Get Version, Get ID, Read/Write Memory, Go, Erase or Extended Erase,
// Write Protect/Unprotect, Readout Protect/Unprotect), synchronisation with
// 0x7F and its loss on the resets after unprotect and option-byte writes, a 0x7F
// sent to a synchronised bootloader taken as a command byte, readout
// protection, option bytes at 0x1FFFF800, erased flash reading 0xFF, line time
// at the set baud rate, device processing times, an optional adapter latency
// per answer byte, and injected faults.

#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <vector>

namespace quva::sim {

using Duration = std::chrono::nanoseconds;

struct BootloaderTiming {
  Duration halfword_program{52500};                      // per programmed half-word
  Duration page_erase{std::chrono::milliseconds(20)};    // per erased page
  Duration mass_erase{std::chrono::milliseconds(40)};    // global / mass erase
  Duration option_write{std::chrono::milliseconds(30)};  // option-byte erase + program
  Duration adapter_latency{0};                           // added to every answer byte
};

// A fault that strikes once, at the `occurrence`-th reception of command
// `command` (0x7F: the synchronisation), at answer byte `answer_index` of that
// command (0 = the byte answering the command byte itself).
struct BootloaderFault {
  enum class Type {
    None,
    Nack,         // the answer byte becomes NACK and the command ends there
    Silence,      // from that answer byte on the device never answers again
    StrayByte,    // `value` is sent before the answer byte
    CorruptByte,  // the answer byte is XORed with `value`
    Vanish,       // the port disappears (see BootloaderModel::vanished)
  };
  Type type = Type::None;
  int command = 0;
  int occurrence = 1;
  int answer_index = 0;
  uint8_t value = 0x55;
};

class BootloaderModel {
 public:
  // controller: kind 0..3 as in the programmer's table (0 STM32F103x8,
  // 1 STM32F103xB, 2 STM32F103xC, 3 STM32F051x8).
  explicit BootloaderModel(int controller = 0, BootloaderTiming timing = {});

  // ---- line ----
  // Line setting the host uses; sets the time one byte takes on the wire
  // (1 start + 8 data + parity + 1 stop bits). Default 115200 8E1.
  void setLine(int baud, bool parity);
  // With line time off, bytes take no time on the wire (device times remain).
  void setLineTimeEmulation(bool on);
  void setDeviceTimeEmulation(bool on);
  Duration byteTime() const;

  // ---- byte interface ----
  // The host handed `byte` to the line at time `sent`. Bytes are serialised on
  // the wire, so each arrives one byte time after the later of `sent` and the
  // previous byte's arrival.
  void receive(uint8_t byte, Duration sent);
  // Answer bytes, each with the time it is complete at the host.
  bool hasOutput() const { return !out_.empty(); }
  Duration nextOutputTime() const;  // only when hasOutput()
  uint8_t popOutput();
  // Takes every answer byte due at or before `now` (appended to `into`).
  std::size_t takeOutput(Duration now, std::vector<uint8_t>& into);

  // ---- faults ----
  void injectFault(const BootloaderFault& fault) {
    fault_ = fault;
    fault_hits_ = 0;
  }
  // True once a Vanish fault has struck. The transport fails the port at
  // vanishTime(): the answer bytes due before it still reach the host.
  bool vanished() const { return vanished_; }
  Duration vanishTime() const { return vanish_time_; }
  // Hot-plug: clears a vanished port and an active silence (state is kept).
  void reattach();

  // ---- device state ----
  int controller() const { return controller_; }
  uint32_t flashSize() const { return static_cast<uint32_t>(flash_.size()); }
  uint32_t pageSize() const { return page_size_; }
  uint16_t productId() const { return pid_; }
  uint8_t version() const { return version_; }
  bool synchronised() const { return state_ != State::Unsynced && state_ != State::Dead; }
  bool readoutProtected() const;  // as in force now (RDP byte at the last reset)
  bool running() const { return state_ == State::Dead && went_; }  // after Go
  uint32_t goAddress() const { return go_address_; }
  std::vector<uint8_t>& flash() { return flash_; }
  const std::vector<uint8_t>& flash() const { return flash_; }
  // Option-byte area at 0x1FFFF800 (16 bytes; the F051 kind uses 12).
  std::array<uint8_t, 16>& optionBytes() { return option_; }
  const std::array<uint8_t, 16>& optionBytes() const { return option_; }
  // Sets the readout protection as if option bytes had been written and the
  // device reset (for tests that start from a protected device).
  void setReadoutProtection(bool on);
  // Power-on reset: leaves the bootloader unsynchronised, memory kept.
  void reset();

  // ---- counters ----
  uint64_t bytesIn() const { return bytes_in_; }
  uint64_t bytesOut() const { return bytes_out_; }
  // Summed wire time of every byte in and out at the baud rate set then.
  Duration wireTime() const { return wire_time_; }
  // Summed device processing time (programming, erasing, option writes).
  Duration deviceTime() const { return device_time_; }
  // The floor of everything so far: wire time plus device time.
  Duration floorTime() const { return wire_time_ + device_time_; }
  // Number of times each command byte was received (index = command byte).
  const std::array<uint32_t, 256>& commandCounts() const { return command_counts_; }
  void resetCounters();

 private:
  enum class State {
    Unsynced,      // waiting for 0x7F
    Command,       // synchronised, waiting for a command byte
    Complement,    // waiting for the command's complement
    Address,       // collecting an address frame (4 bytes + checksum)
    ReadCount,     // Read Memory: N and its complement
    WriteData,     // Write Memory: N, N + 1 bytes, checksum
    ErasePayload,  // Erase: N, pages, checksum (or 0xFF 0x00)
    ExtErasePayload,
    ProtectPayload,  // Write Protect: N, sectors, checksum
    Dead,            // silent (after Go or a Silence fault)
  };

  void process(uint8_t byte, Duration at);
  void onCommand(uint8_t cmd, Duration at);
  void onAddress(Duration at);
  void onReadCount(Duration at);
  void onWriteData(Duration at);
  void onErase(Duration at);
  void onExtErase(Duration at);
  void onProtect(Duration at);
  // Sends one answer byte produced at device time `at` (faults applied).
  // Returns false when the command must end (NACK fault, silence, vanish).
  bool answer(uint8_t byte, Duration at);
  void ack(Duration at) { answer(0x79, at); }
  void nack(Duration at) { answer(0x1F, at); }
  Duration busy(Duration at, Duration work);
  void deviceReset();
  void applyOptionBytes();
  bool addressReadable(uint32_t addr, uint32_t len) const;
  bool addressWritable(uint32_t addr, uint32_t len) const;
  uint8_t* memory(uint32_t addr);
  void eraseFlash();
  bool isF051() const { return controller_ == 3; }
  uint8_t rdpUnprotected() const { return isF051() ? 0xAA : 0xA5; }

  int controller_;
  BootloaderTiming timing_;
  uint16_t pid_;
  uint8_t version_;
  uint32_t page_size_;
  std::vector<uint8_t> flash_;
  std::array<uint8_t, 16> option_{};
  std::array<uint8_t, 0x2000> ram_{};
  bool protected_ = false;  // readout protection in force

  State state_ = State::Unsynced;
  uint8_t cmd_ = 0;
  std::vector<uint8_t> rx_;
  std::size_t expect_ = 0;
  uint32_t address_ = 0;
  uint32_t go_address_ = 0;
  bool went_ = false;
  int answer_index_ = 0;
  bool command_aborted_ = false;

  int baud_ = 115200;
  bool parity_ = true;
  bool line_time_ = true;
  bool device_time_on_ = true;
  Duration in_free_{0};   // when the host-to-device line is free again
  Duration out_free_{0};  // when the device-to-host line is free again
  Duration ready_{0};     // when the device can take the next byte

  struct Out {
    uint8_t byte;
    Duration ready;
  };
  std::deque<Out> out_;

  BootloaderFault fault_;
  int fault_hits_ = 0;
  bool fault_armed_ = false;
  bool vanished_ = false;
  Duration vanish_time_{0};
  bool silent_ = false;

  uint64_t bytes_in_ = 0;
  uint64_t bytes_out_ = 0;
  Duration wire_time_{0};
  Duration device_time_{0};
  std::array<uint32_t, 256> command_counts_{};
};

}  // namespace quva::sim
