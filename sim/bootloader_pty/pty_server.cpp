#include "sim/bootloader_pty/pty_server.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/ioctl.h>
#include <sys/prctl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <limits>

namespace quva::sim {

namespace {

// A vanished port closes `vanish_delay` after the client has read its last
// answers (a hang-up would discard what still waits in the client's tty
// queue), checking every `vanish_poll`, and at the latest after
// `vanish_grace` when the client does not read at all.
constexpr Duration vanish_poll = std::chrono::milliseconds(1);
constexpr Duration vanish_delay = std::chrono::milliseconds(10);
constexpr Duration vanish_grace = std::chrono::seconds(1);

}  // namespace

int baudOfSpeed(unsigned speed) {
  struct Entry {
    speed_t code;
    int baud;
  };
  static constexpr Entry table[] = {
      {B1200, 1200},     {B2400, 2400},     {B4800, 4800},     {B9600, 9600},
      {B19200, 19200},   {B38400, 38400},   {B57600, 57600},   {B115200, 115200},
      {B230400, 230400}, {B460800, 460800}, {B921600, 921600},
  };
  for (const Entry& e : table) {
    if (e.code == speed) return e.baud;
  }
  return 0;
}

BootloaderPtyServer::BootloaderPtyServer(BootloaderModel& model)
    : BootloaderPtyServer(model, Options{}) {}

BootloaderPtyServer::BootloaderPtyServer(BootloaderModel& model, Options options)
    : model_(model), options_(options) {}

BootloaderPtyServer::~BootloaderPtyServer() { stop(); }

bool BootloaderPtyServer::start() {
  if (thread_.joinable()) return true;
  master_ = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
  char name[128] = {};
  if (master_ < 0 || grantpt(master_) != 0 || unlockpt(master_) != 0 ||
      ptsname_r(master_, name, sizeof name) != 0) {
    error_ = std::string("Pseudo-Terminal nicht verfügbar: ") + std::strerror(errno);
    closePty();
    return false;
  }
  slave_path_ = name;
  slave_ = ::open(name, O_RDWR | O_NOCTTY | O_NONBLOCK);
  wake_ = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
  if (slave_ < 0 || wake_ < 0) {
    error_ = slave_path_ + ": " + std::strerror(errno);
    closePty();
    if (wake_ >= 0) ::close(wake_);
    wake_ = -1;
    return false;
  }
  termios tio{};
  tcgetattr(slave_, &tio);
  cfmakeraw(&tio);
  cfsetspeed(&tio, B115200);
  tcsetattr(slave_, TCSANOW, &tio);
  vanished_ = false;
  model_vanished_ = false;
  vanish_at_ = vanish_read_ = Duration::max();
  {
    std::lock_guard<std::mutex> lock(mutex_);
    byte_time_ = model_.byteTime();
  }
  pending_.clear();
  outBuf_.clear();
  epoch_ = std::chrono::steady_clock::now();
  thread_ = std::thread([this] { run(); });
  return true;
}

void BootloaderPtyServer::stop() {
  if (thread_.joinable()) {
    const uint64_t one = 1;
    [[maybe_unused]] const ssize_t n = ::write(wake_, &one, sizeof one);
    thread_.join();
  }
  closePty();
  if (wake_ >= 0) ::close(wake_);
  wake_ = -1;
}

void BootloaderPtyServer::closePty() {
  if (master_ >= 0) ::close(master_);
  if (slave_ >= 0) ::close(slave_);
  master_ = slave_ = -1;
}

Duration BootloaderPtyServer::now() const {
  return std::chrono::duration_cast<Duration>(std::chrono::steady_clock::now() - epoch_);
}

void BootloaderPtyServer::run() {
  // Answers are due to the microsecond; the default timer slack of 50 us
  // would add to every one of them.
  prctl(PR_SET_TIMERSLACK, 1UL);
  for (;;) {
    const Duration wake = nextWake();
    pollfd fds[2] = {{wake_, POLLIN, 0}, {master_, POLLIN, 0}};
    if (!outBuf_.empty()) fds[1].events |= POLLOUT;
    const nfds_t count = master_ >= 0 ? 2 : 1;
    timespec ts{};
    timespec* timeout = nullptr;
    if (wake != Duration::max()) {
      const auto left = std::max(Duration{0}, wake - now());
      ts.tv_sec = static_cast<time_t>(left.count() / 1'000'000'000);
      ts.tv_nsec = static_cast<long>(left.count() % 1'000'000'000);
      timeout = &ts;
    }
    const int r = ppoll(fds, count, timeout, nullptr);
    ++wakeups_;
    if (r < 0 && errno != EINTR) break;
    if (r > 0 && (fds[0].revents & POLLIN)) break;
    if (r > 0 && count == 2 && (fds[1].revents & POLLIN)) readClient();
    writeDue();
  }
}

void BootloaderPtyServer::readClient() {
  uint8_t buf[4096];
  for (;;) {
    const ssize_t n = ::read(master_, buf, sizeof buf);
    if (n <= 0) break;
    const Duration t = now();
    termios tio{};
    const int baud = tcgetattr(slave_, &tio) == 0 ? baudOfSpeed(cfgetospeed(&tio)) : 0;
    std::lock_guard<std::mutex> lock(mutex_);
    if (baud > 0 && baud != last_baud_.load()) {
      // The bootloader always frames 8E1; a pty keeps no parity to check.
      model_.setLine(baud, true);
      last_baud_ = baud;
    }
    for (ssize_t i = 0; i < n; ++i) model_.receive(buf[i], t);
    while (model_.hasOutput()) {
      const Duration due = model_.nextOutputTime();
      pending_.push_back({model_.popOutput(), due});
    }
    byte_time_ = model_.byteTime();
    model_vanished_ = model_.vanished();
  }
}

Duration BootloaderPtyServer::nextWake() const {
  if (pending_.empty()) {
    // A vanished port closes once the client has taken its last answers; a
    // hang-up would discard what still waits in the client's tty queue.
    return master_ >= 0 && model_vanished_ ? now() + vanish_poll : Duration::max();
  }
  const Duration first = pending_.front().due;
  Duration last = first;
  const Duration gap = byte_time_ + byte_time_ / 2;
  for (std::size_t i = 1; i < pending_.size(); ++i) {
    const Duration due = pending_[i].due;
    if (due - last > gap || due - first > options_.maxBurst) break;
    last = due;
  }
  return last;
}

void BootloaderPtyServer::writeDue() {
  if (master_ < 0) return;
  const Duration t = now();
  Duration lastDue{-1};
  while (!pending_.empty() && pending_.front().due <= t) {
    lastDue = pending_.front().due;
    outBuf_.push_back(pending_.front().byte);
    pending_.pop_front();
  }
  if (!outBuf_.empty()) {
    const ssize_t n = ::write(master_, outBuf_.data(), outBuf_.size());
    if (n > 0) {
      ++writes_;
      // Only the end of an answer holds the client up.
      if (lastDue >= Duration{0} && pending_.empty())
        lateness_ns_ += static_cast<uint64_t>((now() - lastDue).count());
      outBuf_.erase(outBuf_.begin(), outBuf_.begin() + n);
    }
  }
  if (pending_.empty() && outBuf_.empty() && model_vanished_) {
    if (vanish_at_ == Duration::max()) vanish_at_ = t;
    int unread = 0;
    if (ioctl(slave_, FIONREAD, &unread) == 0 && unread > 0 && t - vanish_at_ < vanish_grace) {
      vanish_read_ = Duration::max();
      return;
    }
    if (vanish_read_ == Duration::max()) vanish_read_ = t;
    if (t - vanish_read_ < vanish_delay) return;
    closePty();
    vanished_ = true;
  }
}

}  // namespace quva::sim
