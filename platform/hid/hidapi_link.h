#pragma once
// The HID link on hidapi (hidraw backend on Linux, the native backend on
// Windows).
//
// Device list: one entry per device (hidraw lists one per top-level
// collection under the same path). Report lengths come from the report
// descriptor and count the report-ID byte, as Windows reports them.
//
// Opening: hidraw has no exclusive open. The link takes an advisory
// exclusive lock (flock) on the device node, so a second instance of this
// program cannot open a detector that one instance holds; programs that do
// not lock are not kept out.
//
// Receiving: a read thread zero-fills its buffer, reads one input report,
// hands the buffer to the thread this object lives on (the GUI thread) and
// waits until the receive handler has returned. A failed read (the device was
// unplugged) closes the link: Active() reads false at once, and the handles
// are released on the GUI thread.
//
// hidapi is not thread-safe on one handle, so the device is opened twice:
// the read thread alone uses the read handle, the GUI thread alone the write
// handle. A write therefore never waits for a read.

#include <QObject>
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "device/hid_link.h"

struct hid_device_;

namespace quva {

class HidapiLink : public QObject, public HidLink {
  Q_OBJECT

 public:
  // `lese_timeout_ms`: how long one read waits for a report before it looks
  // whether the link is being closed; closing waits at most that long for the
  // read thread. -1 reads without a time-out (closing then waits until the
  // device sends or fails).
  explicit HidapiLink(QObject* parent = nullptr, int lese_timeout_ms = 100);
  ~HidapiLink() override;

  void Update() override;
  int DeviceCount() const override;
  int DeviceIndex() const override;
  void SetDeviceIndex(int i) override;
  const HidDeviceInfo& HidDevice() const override;
  void UpdateDeviceDetails() override;
  bool Active() const override;
  void SetActive(bool active) override;
  bool SendString(const std::string& bytes) override;

  // System path of device i of the list ("/dev/hidraw3"); empty outside the list.
  std::string DevicePath(int i) const;
  // The last error of enumerating, opening, reading or writing, for diagnostics.
  std::string LastError() const;

 private:
  struct Entry {
    HidDeviceInfo info;
    std::string path;
    std::string product, manufacturer, serial;  // shown once details are read
  };

  void open();
  void close();
  void readLoop(hid_device_* handle, std::size_t length, uint64_t generation);
  void readFailed(uint64_t generation);
  void setError(const std::string& text);

  const int readTimeoutMs_;
  std::vector<Entry> list_;
  int index_ = 0;

  hid_device_* readHandle_ = nullptr;
  hid_device_* writeHandle_ = nullptr;
  // Holds the device for this program while it is open: an flock on the
  // hidraw node (Linux), a named mutex per device path (Windows).
  int lockFd_ = -1;
  void* lockMutex_ = nullptr;
  std::atomic<bool> active_{false};
  std::thread reader_;
  std::atomic<bool> stop_{false};
  // Generation of the open handles: a report or failure posted by the reader
  // of an earlier opening is ignored.
  std::atomic<uint64_t> generation_{0};

  // Hand-over of one report to the GUI thread.
  std::mutex handOverMutex_;
  std::condition_variable handedOver_;
  bool handOverDone_ = false;

  mutable std::mutex errorMutex_;
  std::string lastError_;
};

}  // namespace quva
