#include "sim/bootloader/bootloader_model.h"

#include <algorithm>
#include <initializer_list>

namespace quva::sim {

namespace {

constexpr uint32_t flash_base = 0x08000000;
constexpr uint32_t option_base = 0x1FFFF800;
constexpr uint32_t ram_base = 0x20000000;

struct Kind {
  uint32_t flash_size;
  uint32_t page_size;
  uint16_t pid;
  uint8_t version;
};

constexpr Kind kinds[4] = {
    {0x10000, 1024, 0x0410, 0x22},
    {0x20000, 1024, 0x0410, 0x22},
    {0x40000, 2048, 0x0414, 0x22},
    {0x10000, 1024, 0x0440, 0x31},
};

bool within(uint32_t addr, uint32_t len, uint32_t base, uint32_t size) {
  return addr >= base && addr - base <= size && len <= size - (addr - base);
}

}  // namespace

BootloaderModel::BootloaderModel(int controller, BootloaderTiming timing)
    : controller_(controller >= 0 && controller < 4 ? controller : 0), timing_(timing) {
  const Kind& k = kinds[controller_];
  pid_ = k.pid;
  version_ = k.version;
  page_size_ = k.page_size;
  flash_.assign(k.flash_size, 0xFF);
  for (std::size_t i = 0; i < option_.size(); i += 2) {
    option_[i] = 0xFF;
    option_[i + 1] = 0x00;
  }
  option_[0] = rdpUnprotected();
  option_[1] = static_cast<uint8_t>(~option_[0]);
  protected_ = false;
}

// ---- line --------------------------------------------------------------------

void BootloaderModel::setLine(int baud, bool parity) {
  baud_ = baud > 0 ? baud : 115200;
  parity_ = parity;
}

void BootloaderModel::setLineTimeEmulation(bool on) { line_time_ = on; }
void BootloaderModel::setDeviceTimeEmulation(bool on) { device_time_on_ = on; }

Duration BootloaderModel::byteTime() const {
  const int64_t bits = parity_ ? 11 : 10;
  return Duration(bits * 1'000'000'000 / baud_);
}

// ---- byte interface ------------------------------------------------------------

void BootloaderModel::receive(uint8_t byte, Duration sent) {
  ++bytes_in_;
  const Duration bt = byteTime();
  wire_time_ += bt;
  const Duration arrival = std::max(sent, in_free_) + (line_time_ ? bt : Duration{0});
  in_free_ = arrival;
  process(byte, std::max(arrival, ready_));
}

Duration BootloaderModel::nextOutputTime() const { return out_.front().ready; }

uint8_t BootloaderModel::popOutput() {
  const uint8_t b = out_.front().byte;
  out_.pop_front();
  return b;
}

std::size_t BootloaderModel::takeOutput(Duration now, std::vector<uint8_t>& into) {
  std::size_t n = 0;
  while (!out_.empty() && out_.front().ready <= now) {
    into.push_back(popOutput());
    ++n;
  }
  return n;
}

void BootloaderModel::reattach() {
  vanished_ = false;
  silent_ = false;
  out_.clear();
  reset();
}

void BootloaderModel::resetCounters() {
  bytes_in_ = bytes_out_ = 0;
  wire_time_ = device_time_ = Duration{0};
  command_counts_.fill(0);
}

// ---- device state ------------------------------------------------------------------

bool BootloaderModel::readoutProtected() const { return protected_; }

void BootloaderModel::setReadoutProtection(bool on) {
  option_[0] = on ? 0xFF : rdpUnprotected();
  option_[1] = static_cast<uint8_t>(~option_[0]);
  protected_ = on;
}

void BootloaderModel::reset() {
  state_ = State::Unsynced;
  went_ = false;
  rx_.clear();
  applyOptionBytes();
}

void BootloaderModel::deviceReset() { reset(); }

void BootloaderModel::applyOptionBytes() { protected_ = option_[0] != rdpUnprotected(); }

bool BootloaderModel::addressReadable(uint32_t addr, uint32_t len) const {
  return within(addr, len, flash_base, flashSize()) || within(addr, len, option_base, 16) ||
         within(addr, len, ram_base, static_cast<uint32_t>(ram_.size()));
}

bool BootloaderModel::addressWritable(uint32_t addr, uint32_t len) const {
  return addressReadable(addr, len);
}

uint8_t* BootloaderModel::memory(uint32_t addr) {
  if (within(addr, 1, flash_base, flashSize())) return &flash_[addr - flash_base];
  if (within(addr, 1, option_base, 16)) return &option_[addr - option_base];
  return &ram_[addr - ram_base];
}

void BootloaderModel::eraseFlash() { std::fill(flash_.begin(), flash_.end(), 0xFF); }

Duration BootloaderModel::busy(Duration at, Duration work) {
  if (!device_time_on_) return at;
  device_time_ += work;
  ready_ = at + work;
  return ready_;
}

// ---- answers and faults ----------------------------------------------------------

bool BootloaderModel::answer(uint8_t byte, Duration at) {
  if (silent_) return false;
  const int index = answer_index_++;
  if (fault_armed_ && index == fault_.answer_index) {
    fault_armed_ = false;
    switch (fault_.type) {
      case BootloaderFault::Type::Nack:
        byte = 0x1F;
        command_aborted_ = true;
        break;
      case BootloaderFault::Type::Silence:
        silent_ = true;
        state_ = State::Dead;
        return false;
      case BootloaderFault::Type::Vanish:
        vanished_ = true;
        vanish_time_ = std::max(at, out_free_) + byteTime() + timing_.adapter_latency;
        silent_ = true;
        state_ = State::Dead;
        return false;
      case BootloaderFault::Type::StrayByte:
        answer(fault_.value, at);
        --answer_index_;  // the stray byte is not one of the command's answers
        break;
      case BootloaderFault::Type::CorruptByte:
        byte ^= fault_.value;
        break;
      case BootloaderFault::Type::None:
        break;
    }
  }
  ++bytes_out_;
  const Duration bt = byteTime();
  wire_time_ += bt;
  const Duration done = std::max(at, out_free_) + (line_time_ ? bt : Duration{0});
  out_free_ = done;
  out_.push_back({byte, done + timing_.adapter_latency});
  if (command_aborted_) {
    command_aborted_ = false;
    if (state_ != State::Unsynced) state_ = State::Command;
    return false;
  }
  return true;
}

// ---- protocol ------------------------------------------------------------------

void BootloaderModel::process(uint8_t byte, Duration t) {
  switch (state_) {
    case State::Dead:
      return;
    case State::Unsynced:
      if (byte != 0x7F) return;  // anything before the sync byte goes unseen
      ++command_counts_[0x7F];
      answer_index_ = 0;
      if (fault_.type != BootloaderFault::Type::None && fault_.command == 0x7F &&
          ++fault_hits_ == fault_.occurrence) {
        fault_armed_ = true;
      }
      if (answer(0x79, t)) state_ = State::Command;
      return;
    case State::Command:
      // Any byte here is a command byte, a repeated 0x7F included.
      cmd_ = byte;
      ++command_counts_[byte];
      answer_index_ = 0;
      fault_armed_ = fault_.type != BootloaderFault::Type::None && fault_.command == byte &&
                     ++fault_hits_ == fault_.occurrence;
      state_ = State::Complement;
      return;
    case State::Complement:
      state_ = State::Command;
      if (byte != static_cast<uint8_t>(cmd_ ^ 0xFF)) {
        nack(t);
        return;
      }
      onCommand(cmd_, t);
      return;
    default:
      break;
  }
  rx_.push_back(byte);
  switch (state_) {
    case State::Address:
      expect_ = 5;
      break;
    case State::ReadCount:
      expect_ = 2;
      break;
    case State::WriteData:
    case State::ProtectPayload:
      expect_ = static_cast<std::size_t>(rx_[0]) + 3;
      break;
    case State::ErasePayload:
      expect_ = rx_[0] == 0xFF ? 2 : static_cast<std::size_t>(rx_[0]) + 3;
      break;
    case State::ExtErasePayload:
      if (rx_.size() < 2) return;
      {
        const uint32_t n = rx_[0] * 256u + rx_[1];
        expect_ = n >= 0xFFF0 ? 3 : 2 + 2 * (n + 1) + 1;
      }
      break;
    default:
      return;
  }
  if (rx_.size() < expect_) return;
  switch (state_) {
    case State::Address:
      onAddress(t);
      break;
    case State::ReadCount:
      onReadCount(t);
      break;
    case State::WriteData:
      onWriteData(t);
      break;
    case State::ErasePayload:
      onErase(t);
      break;
    case State::ExtErasePayload:
      onExtErase(t);
      break;
    case State::ProtectPayload:
      onProtect(t);
      break;
    default:
      break;
  }
  rx_.clear();
}

void BootloaderModel::onCommand(uint8_t cmd, Duration t) {
  const bool erase_ok = isF051() ? cmd == 0x44 : cmd == 0x43;
  const bool known = cmd == 0x00 || cmd == 0x01 || cmd == 0x02 || cmd == 0x11 || cmd == 0x21 ||
                     cmd == 0x31 || erase_ok || cmd == 0x63 || cmd == 0x73 || cmd == 0x82 ||
                     cmd == 0x92;
  const bool served_protected = cmd == 0x00 || cmd == 0x01 || cmd == 0x02 || cmd == 0x92;
  if (!known || (protected_ && !served_protected)) {
    nack(t);
    return;
  }
  auto send = [&](std::initializer_list<uint8_t> bytes) {
    for (uint8_t b : bytes) {
      if (!answer(b, t)) return false;
    }
    return true;
  };
  rx_.clear();
  switch (cmd) {
    case 0x00:
      send({0x79, 0x0B, version_, 0x00, 0x01, 0x02, 0x11, 0x21, 0x31,
            static_cast<uint8_t>(isF051() ? 0x44 : 0x43), 0x63, 0x73, 0x82, 0x92, 0x79});
      return;
    case 0x01:
      send({0x79, version_, 0x00, 0x00, 0x79});
      return;
    case 0x02:
      send({0x79, 0x01, static_cast<uint8_t>(pid_ >> 8), static_cast<uint8_t>(pid_), 0x79});
      return;
    case 0x11:
    case 0x21:
    case 0x31:
      if (answer(0x79, t)) state_ = State::Address;
      return;
    case 0x43:
      if (answer(0x79, t)) state_ = State::ErasePayload;
      return;
    case 0x44:
      if (answer(0x79, t)) state_ = State::ExtErasePayload;
      return;
    case 0x63:
      if (answer(0x79, t)) state_ = State::ProtectPayload;
      return;
    case 0x73: {  // write unprotect: all WRP bits set, then a reset
      if (!answer(0x79, t)) return;
      const Duration done = busy(t, timing_.option_write);
      if (!answer(0x79, done)) return;
      for (int i = 8; i < (isF051() ? 12 : 16); i += 2) {
        option_[i] = 0xFF;
        option_[i + 1] = 0x00;
      }
      deviceReset();
      return;
    }
    case 0x82: {  // readout protect, in force after the reset
      if (!answer(0x79, t)) return;
      const Duration done = busy(t, timing_.option_write);
      if (!answer(0x79, done)) return;
      option_[0] = 0xFF;
      option_[1] = 0x00;
      deviceReset();
      return;
    }
    case 0x92: {  // readout unprotect: mass erase, option bytes to defaults, reset
      if (!answer(0x79, t)) return;
      const Duration done = busy(t, timing_.mass_erase + timing_.option_write);
      if (!answer(0x79, done)) return;
      eraseFlash();
      for (std::size_t i = 0; i < option_.size(); i += 2) {
        option_[i] = 0xFF;
        option_[i + 1] = 0x00;
      }
      option_[0] = rdpUnprotected();
      option_[1] = static_cast<uint8_t>(~option_[0]);
      deviceReset();
      return;
    }
    default:
      nack(t);
  }
}

void BootloaderModel::onAddress(Duration t) {
  state_ = State::Command;
  if ((rx_[0] ^ rx_[1] ^ rx_[2] ^ rx_[3]) != rx_[4]) {
    nack(t);
    return;
  }
  address_ = static_cast<uint32_t>(rx_[0]) << 24 | static_cast<uint32_t>(rx_[1]) << 16 |
             static_cast<uint32_t>(rx_[2]) << 8 | rx_[3];
  switch (cmd_) {
    case 0x11:
      if (!addressReadable(address_, 1)) {
        nack(t);
      } else if (answer(0x79, t)) {
        state_ = State::ReadCount;
      }
      return;
    case 0x21:
      if (!within(address_, 1, flash_base, flashSize()) &&
          !within(address_, 1, ram_base, static_cast<uint32_t>(ram_.size()))) {
        nack(t);
      } else if (answer(0x79, t)) {
        go_address_ = address_;
        went_ = true;
        state_ = State::Dead;  // the device runs the program and leaves the bootloader
      }
      return;
    default:  // 0x31
      if (!addressWritable(address_, 1)) {
        nack(t);
      } else if (answer(0x79, t)) {
        state_ = State::WriteData;
      }
      return;
  }
}

void BootloaderModel::onReadCount(Duration t) {
  state_ = State::Command;
  const uint8_t n = rx_[0];
  if (rx_[1] != static_cast<uint8_t>(n ^ 0xFF) || !addressReadable(address_, n + 1u)) {
    nack(t);
    return;
  }
  if (!answer(0x79, t)) return;
  const uint8_t* src = memory(address_);
  for (uint32_t i = 0; i <= n; ++i) {
    if (!answer(src[i], t)) return;
  }
}

void BootloaderModel::onWriteData(Duration t) {
  state_ = State::Command;
  const uint8_t n = rx_[0];
  const uint32_t len = n + 1u;
  uint8_t sum = n;
  for (uint32_t i = 0; i < len; ++i) sum ^= rx_[1 + i];
  if (sum != rx_[len + 1] || !addressWritable(address_, len)) {
    nack(t);
    return;
  }
  const uint8_t* data = rx_.data() + 1;
  if (within(address_, len, option_base, 16)) {
    // Option bytes: the hardware stores each value with its complement; the
    // write ends with a reset that puts them in force.
    const Duration done = busy(t, timing_.option_write);
    if (!answer(0x79, done)) return;
    for (uint32_t i = 0; i < len; ++i) {
      const uint32_t pos = address_ - option_base + i;
      if (pos % 2 == 0) {
        option_[pos] = data[i];
        if (pos + 1 < option_.size()) option_[pos + 1] = static_cast<uint8_t>(~data[i]);
      }
    }
    deviceReset();
    return;
  }
  if (within(address_, len, flash_base, flashSize())) {
    // Flash cells can only go from 1 to 0 without an erase.
    uint8_t* dst = &flash_[address_ - flash_base];
    for (uint32_t i = 0; i < len; ++i) dst[i] &= data[i];
    const Duration done = busy(t, timing_.halfword_program * ((len + 1) / 2));
    answer(0x79, done);
    return;
  }
  std::copy(data, data + len, memory(address_));
  answer(0x79, t);
}

void BootloaderModel::onErase(Duration t) {
  state_ = State::Command;
  const uint8_t n = rx_[0];
  if (n == 0xFF) {
    if (rx_[1] != 0x00) {
      nack(t);
      return;
    }
    const Duration done = busy(t, timing_.mass_erase);
    if (answer(0x79, done)) eraseFlash();
    return;
  }
  uint8_t sum = n;
  for (uint32_t i = 1; i <= n + 1u; ++i) sum ^= rx_[i];
  const uint32_t pages = flashSize() / page_size_;
  bool valid = sum == rx_[n + 2u];
  for (uint32_t i = 1; i <= n + 1u && valid; ++i) valid = rx_[i] < pages;
  if (!valid) {
    nack(t);
    return;
  }
  const Duration done = busy(t, timing_.page_erase * (n + 1));
  if (!answer(0x79, done)) return;
  for (uint32_t i = 1; i <= n + 1u; ++i) {
    std::fill_n(flash_.begin() + rx_[i] * page_size_, page_size_, 0xFF);
  }
}

void BootloaderModel::onExtErase(Duration t) {
  state_ = State::Command;
  const uint32_t n = rx_[0] * 256u + rx_[1];
  if (n >= 0xFFF0) {
    // Mass erase; the bank erases 0xFFFE and 0xFFFD do not exist on a one-bank part.
    if (n != 0xFFFF || rx_[2] != 0x00) {
      nack(t);
      return;
    }
    const Duration done = busy(t, timing_.mass_erase);
    if (answer(0x79, done)) eraseFlash();
    return;
  }
  uint8_t sum = 0;
  for (std::size_t i = 0; i + 1 < rx_.size(); ++i) sum ^= rx_[i];
  const uint32_t pages = flashSize() / page_size_;
  bool valid = sum == rx_.back();
  for (uint32_t i = 0; i <= n && valid; ++i) valid = rx_[2 + 2 * i] * 256u + rx_[3 + 2 * i] < pages;
  if (!valid) {
    nack(t);
    return;
  }
  const Duration done = busy(t, timing_.page_erase * (n + 1));
  if (!answer(0x79, done)) return;
  for (uint32_t i = 0; i <= n; ++i) {
    const uint32_t page = rx_[2 + 2 * i] * 256u + rx_[3 + 2 * i];
    std::fill_n(flash_.begin() + page * page_size_, page_size_, 0xFF);
  }
}

void BootloaderModel::onProtect(Duration t) {
  state_ = State::Command;
  const uint8_t n = rx_[0];
  uint8_t sum = n;
  for (uint32_t i = 1; i <= n + 1u; ++i) sum ^= rx_[i];
  // One write-protection bit per sector of four pages.
  const uint32_t sectors = flashSize() / page_size_ / 4;
  const uint32_t wrp_bytes = isF051() ? 2 : 4;
  bool valid = sum == rx_[n + 2u];
  for (uint32_t i = 1; i <= n + 1u && valid; ++i) {
    valid = rx_[i] < sectors && rx_[i] / 8u < wrp_bytes;
  }
  if (!valid) {
    nack(t);
    return;
  }
  const Duration done = busy(t, timing_.option_write);
  if (!answer(0x79, done)) return;
  for (uint32_t i = 1; i <= n + 1u; ++i) {
    uint8_t& wrp = option_[8 + 2 * (rx_[i] / 8)];
    wrp &= static_cast<uint8_t>(~(1u << (rx_[i] % 8)));
    option_[9 + 2 * (rx_[i] / 8)] = static_cast<uint8_t>(~wrp);
  }
  deviceReset();
}

}  // namespace quva::sim
