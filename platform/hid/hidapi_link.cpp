#include "platform/hid/hidapi_link.h"

#include <hidapi.h>

#include <QMetaObject>
#include <algorithm>
#include <cstdio>
#include <cwchar>
#include <functional>
#include <map>
#include <set>

#include "common/konvert.h"
#include "platform/hid/report_deskriptor.h"

#ifdef __linux__
#include <fcntl.h>
#include <libudev.h>
#include <pthread.h>
#include <signal.h>
#include <sys/file.h>
#include <unistd.h>
#endif

#ifdef _WIN32
#include <windows.h>
// The mingw-w64 headers of the HID class driver have no C linkage of their own.
extern "C" {
// clang-format off
#include <hidsdi.h>
#include <hidpi.h>
// clang-format on
}
#endif

namespace quva {

namespace {

// Buffer size when the report length is not known (no readable descriptor):
// the largest full-speed report and its ID byte.
constexpr std::size_t ersatz_report_laenge = 65;

// hidapi's strings are wchar_t: UTF-32 on Linux, UTF-16 on Windows.
std::string utf8(const wchar_t* w) {
  std::string out;
  if (!w) return out;
  for (; *w; ++w) {
    auto c = static_cast<char32_t>(*w);
    if constexpr (sizeof(wchar_t) == 2) {
      const auto next = static_cast<char32_t>(w[1]);
      if (c >= 0xD800 && c <= 0xDBFF && next >= 0xDC00 && next <= 0xDFFF) {
        c = 0x10000 + ((c - 0xD800) << 10) + (next - 0xDC00);
        ++w;
      }
    }
    if ((c >= 0xD800 && c <= 0xDFFF) || c > 0x10FFFF) c = 0xFFFD;
    out += Utf8(c);
  }
  return out;
}

// What the system knows of a device beyond hidapi's enumeration.
struct Systeminfo {
  std::string name;  // the kernel's device name (HID_NAME)
  t_report_laengen laengen;
};

#ifdef __linux__
std::vector<uint8_t> datei_lesen(const std::string& pfad) {
  std::vector<uint8_t> inhalt;
  if (FILE* f = std::fopen(pfad.c_str(), "rb")) {
    uint8_t puffer[4096];  // HID_MAX_DESCRIPTOR_SIZE
    const std::size_t n = std::fread(puffer, 1, sizeof puffer, f);
    inhalt.assign(puffer, puffer + n);
    std::fclose(f);
  }
  return inhalt;
}

// Name and report descriptor of every hidraw node, from the parent "hid"
// device in sysfs.
std::map<std::string, Systeminfo> systeminfo_lesen() {
  std::map<std::string, Systeminfo> info;
  udev* u = udev_new();
  if (!u) return info;
  udev_enumerate* e = udev_enumerate_new(u);
  udev_enumerate_add_match_subsystem(e, "hidraw");
  udev_enumerate_scan_devices(e);
  udev_list_entry* eintrag;
  udev_list_entry_foreach(eintrag, udev_enumerate_get_list_entry(e)) {
    udev_device* raw = udev_device_new_from_syspath(u, udev_list_entry_get_name(eintrag));
    if (!raw) continue;
    const char* knoten = udev_device_get_devnode(raw);
    udev_device* hid = udev_device_get_parent_with_subsystem_devtype(raw, "hid", nullptr);
    if (knoten && hid) {
      Systeminfo& s = info[knoten];
      if (const char* name = udev_device_get_property_value(hid, "HID_NAME")) s.name = name;
      const auto d = datei_lesen(std::string(udev_device_get_syspath(hid)) + "/report_descriptor");
      s.laengen = report_laengen(d.data(), d.size());
    }
    udev_device_unref(raw);
  }
  udev_enumerate_unref(e);
  udev_unref(u);
  return info;
}
#endif

#ifdef _WIN32
// Windows knows the lengths itself (HIDP_CAPS).
t_report_laengen windows_laengen(const std::string& pfad) {
  t_report_laengen l;
  HANDLE h = CreateFileA(pfad.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                         OPEN_EXISTING, 0, nullptr);
  if (h == INVALID_HANDLE_VALUE) return l;
  PHIDP_PREPARSED_DATA pp = nullptr;
  if (HidD_GetPreparsedData(h, &pp)) {
    HIDP_CAPS caps;
    if (HidP_GetCaps(pp, &caps) == HIDP_STATUS_SUCCESS) {
      l.input = caps.InputReportByteLength;
      l.output = caps.OutputReportByteLength;
      l.feature = caps.FeatureReportByteLength;
    }
    HidD_FreePreparsedData(pp);
  }
  CloseHandle(h);
  return l;
}
#endif

}  // namespace

HidapiLink::HidapiLink(QObject* parent, int lese_timeout_ms)
    : QObject(parent), readTimeoutMs_(lese_timeout_ms) {
  hid_init();
}

HidapiLink::~HidapiLink() { close(); }

void HidapiLink::Update() {
  std::vector<Entry> neu;
#ifdef __linux__
  const auto system = systeminfo_lesen();
#endif
  hid_device_info* alle = hid_enumerate(0, 0);
  std::set<std::string> gesehen;
  for (const hid_device_info* d = alle; d; d = d->next) {
    const std::string pfad = d->path ? d->path : "";
    // One entry per device, not per top-level collection.
    if (!gesehen.insert(pfad).second) continue;
    Entry e;
    e.path = pfad;
    e.product = utf8(d->product_string);
    e.manufacturer = utf8(d->manufacturer_string);
    e.serial = utf8(d->serial_number);
    e.info.VendorId = d->vendor_id;
    e.info.ProductId = d->product_id;
    t_report_laengen laengen;
#ifdef __linux__
    if (const auto it = system.find(pfad); it != system.end()) {
      e.info.Description = it->second.name;
      laengen = it->second.laengen;
    }
#endif
#ifdef _WIN32
    laengen = windows_laengen(pfad);
#endif
    if (e.info.Description.empty()) e.info.Description = e.product;
    if (e.info.Description.empty()) e.info.Description = "HID-Gerät";
    e.info.InputReportLength = laengen.input;
    e.info.OutputReportLength = laengen.output;
    neu.push_back(std::move(e));
  }
  hid_free_enumeration(alle);
  list_ = std::move(neu);
  if (index_ >= DeviceCount()) index_ = 0;
}

int HidapiLink::DeviceCount() const { return static_cast<int>(list_.size()); }

int HidapiLink::DeviceIndex() const { return index_; }

void HidapiLink::SetDeviceIndex(int i) {
  if (i >= 0 && i < DeviceCount()) index_ = i;
}

const HidDeviceInfo& HidapiLink::HidDevice() const {
  static const HidDeviceInfo leer;
  if (index_ < 0 || index_ >= DeviceCount()) return leer;
  return list_[static_cast<std::size_t>(index_)].info;
}

std::string HidapiLink::DevicePath(int i) const {
  if (i < 0 || i >= DeviceCount()) return {};
  return list_[static_cast<std::size_t>(i)].path;
}

void HidapiLink::UpdateDeviceDetails() {
  if (index_ < 0 || index_ >= DeviceCount()) return;
  Entry& e = list_[static_cast<std::size_t>(index_)];
  e.info.Product = e.product;
  e.info.Manufacturer = e.manufacturer;
  e.info.SerialNumber = e.serial;
  e.info.detailsRead = true;
}

bool HidapiLink::Active() const { return active_; }

void HidapiLink::SetActive(bool active) {
  if (active) {
    if (!active_) open();
  } else {
    close();
  }
}

std::string HidapiLink::LastError() const {
  std::lock_guard lock(errorMutex_);
  return lastError_;
}

void HidapiLink::setError(const std::string& text) {
  std::lock_guard lock(errorMutex_);
  lastError_ = text;
}

void HidapiLink::open() {
  // A reader that failed may still wait for its handles to be released.
  close();
  if (index_ < 0 || index_ >= DeviceCount()) {
    setError("Kein HID-Gerät ausgewählt.");
    return;
  }
  const Entry& e = list_[static_cast<std::size_t>(index_)];

#ifdef __linux__
  lockFd_ = ::open(e.path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (lockFd_ >= 0 && flock(lockFd_, LOCK_EX | LOCK_NB) != 0) {
    const bool belegt = errno == EWOULDBLOCK;
    if (belegt) {
      ::close(lockFd_);
      lockFd_ = -1;
      setError("Das Gerät " + e.path + " wird von einem anderen Programm benutzt.");
      return;
    }
    // The node does not support locking: open it without.
  }
#elif defined(_WIN32)
  // hidapi opens the device shared; a named mutex per device path keeps a
  // second copy of this program from opening a detector that one copy holds.
  {
    char name[64];
    std::snprintf(name, sizeof name, "Global\\QUVA-HID-%016llx",
                  static_cast<unsigned long long>(std::hash<std::string>{}(e.path)));
    HANDLE mutex = CreateMutexA(nullptr, FALSE, name);
    if (mutex && GetLastError() == ERROR_ALREADY_EXISTS) {
      CloseHandle(mutex);
      setError("Das Gerät " + e.path + " wird von einem anderen Programm benutzt.");
      return;
    }
    lockMutex_ = mutex;  // null if the mutex could not be made: open without
  }
#endif

  readHandle_ = hid_open_path(e.path.c_str());
  writeHandle_ = readHandle_ ? hid_open_path(e.path.c_str()) : nullptr;
  if (!readHandle_ || !writeHandle_) {
    setError("Das Gerät " + e.path + " lässt sich nicht öffnen: " + utf8(hid_error(nullptr)));
    close();
    return;
  }
  hid_set_nonblocking(readHandle_, 0);

  const std::size_t laenge =
      e.info.InputReportLength > 0 ? e.info.InputReportLength : ersatz_report_laenge;
  stop_ = false;
  const uint64_t generation = ++generation_;
  active_ = true;
  try {
    reader_ = std::thread(&HidapiLink::readLoop, this, readHandle_, laenge, generation);
  } catch (...) {
    close();  // no reader, no open link
    throw;
  }
}

void HidapiLink::close() {
  active_ = false;
  {
    std::lock_guard lock(handOverMutex_);
    stop_ = true;
  }
  handedOver_.notify_all();
  if (reader_.joinable()) reader_.join();
  if (readHandle_) hid_close(readHandle_);
  if (writeHandle_) hid_close(writeHandle_);
  readHandle_ = writeHandle_ = nullptr;
#ifdef __linux__
  if (lockFd_ >= 0) ::close(lockFd_);  // also drops the lock
  lockFd_ = -1;
#elif defined(_WIN32)
  if (lockMutex_) CloseHandle(static_cast<HANDLE>(lockMutex_));
  lockMutex_ = nullptr;
#endif
  stop_ = false;
}

void HidapiLink::readLoop(hid_device_* handle, std::size_t length, uint64_t generation) {
#ifdef __linux__
  // A signal that lands in this thread would end hidapi's poll() with EINTR,
  // which hid_read_timeout() reports as a read error: the link would close as
  // if the detector had been unplugged. Asynchronous signals go to the other
  // threads instead; the fault signals stay deliverable.
  sigset_t signale;
  sigfillset(&signale);
  for (int s : {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGTRAP, SIGABRT}) sigdelset(&signale, s);
  pthread_sigmask(SIG_BLOCK, &signale, nullptr);
#endif
  std::vector<uint8_t> buffer(length);
  while (!stop_) {
    std::fill(buffer.begin(), buffer.end(), 0);
    const int n = hid_read_timeout(handle, buffer.data(), buffer.size(), readTimeoutMs_);
    if (stop_) return;
    if (n == 0) continue;  // time-out: look at stop_ again
    if (n < 0) {
      // The device is gone (or broken): the link reads closed from now on;
      // the GUI thread releases the handles.
      active_ = false;
      const std::string fehler = "Lesefehler: " + utf8(hid_error(handle));
      QMetaObject::invokeMethod(
          this,
          [this, generation, fehler] {
            setError(fehler);
            readFailed(generation);
          },
          Qt::QueuedConnection);
      return;
    }
    {
      std::lock_guard lock(handOverMutex_);
      handOverDone_ = false;
    }
    // Hand the report over and wait until the handler has returned. Unlike a
    // BlockingQueuedConnection this wait ends when the GUI thread closes the
    // link, so close() can join this thread without a deadlock.
    QMetaObject::invokeMethod(
        this,
        [this, buffer, generation] {
          if (generation == generation_ && active_) deliver(buffer.data(), buffer.size());
          // The reader of a closed opening has been joined and waits for
          // nothing; its late hand-over must not release the current reader
          // (also when the handler closed and reopened the link).
          if (generation != generation_) return;
          {
            std::lock_guard lock(handOverMutex_);
            handOverDone_ = true;
          }
          handedOver_.notify_all();
        },
        Qt::QueuedConnection);
    std::unique_lock lock(handOverMutex_);
    handedOver_.wait(lock, [this] { return handOverDone_ || stop_; });
  }
}

void HidapiLink::readFailed(uint64_t generation) {
  if (generation == generation_) close();
}

bool HidapiLink::SendString(const std::string& bytes) {
  if (!active_ || !writeHandle_ || bytes.empty()) return false;
  const int n =
      hid_write(writeHandle_, reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
  if (n < 0) setError("Schreibfehler: " + utf8(hid_error(writeHandle_)));
  return n == static_cast<int>(bytes.size());
}

}  // namespace quva
