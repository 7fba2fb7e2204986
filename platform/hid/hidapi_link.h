#pragma once
// The HID link on hidapi (hidraw backend on Linux, the native backend on
// Windows).
//
// Device list: one entry per device (hidraw lists one per top-level
// collection under the same path). Report lengths come from the report
// descriptor and count the report-ID byte, as Windows reports them.
//
// Receiving: a read thread zero-fills its buffer, reads one input report,
// hands the buffer to the thread this object lives on (the GUI thread) and
// waits until the receive handler has returned. A failed read (the device was
// unplugged) closes the link: Active() reads false at once, and the handle is
// released on the GUI thread. hidapi is not thread-safe, so reads and writes
// on the handle are serialised; the reader polls with a short time-out and
// gives way to a waiting write, so a write waits at most that long.

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
  explicit HidapiLink(QObject* parent = nullptr);
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
  // The last error of opening, reading or writing, for diagnostics.
  std::string LastError() const;

 private:
  struct Entry {
    HidDeviceInfo info;
    std::string path;
  };

  void open();
  void close();
  void readLoop(hid_device_* handle, std::size_t length, uint64_t generation);
  void handOver(const std::vector<uint8_t>& buffer, uint64_t generation);
  void readFailed(uint64_t generation);
  void setError(const std::string& text);

  std::vector<Entry> list_;
  int index_ = 0;

  hid_device_* handle_ = nullptr;
  std::atomic<bool> active_{false};
  std::thread reader_;
  std::atomic<bool> stop_{false};
  // Generation of the open handle: a report or failure posted by a reader of
  // an earlier opening is ignored.
  std::atomic<uint64_t> generation_{0};

  // Serialises hidapi calls on the handle; writers waiting take precedence.
  std::mutex io_;
  std::condition_variable ioFree_;
  int writersWaiting_ = 0;

  // Hand-over of one report to the GUI thread.
  std::mutex handOverMutex_;
  std::condition_variable handedOver_;
  bool handOverDone_ = false;

  mutable std::mutex errorMutex_;
  std::string lastError_;
};

}  // namespace quva
