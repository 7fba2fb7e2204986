#pragma once
// The HID link to the detector: the operations the program uses of it. The
// real implementation sits on hidapi (platform/), the simulated detector
// (sim/) implements the same interface, and tests use small fakes.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

namespace quva {

// Description of the selected device of the link's list.
struct HidDeviceInfo {
  std::string Description;  // the device's description text from the system
  uint16_t VendorId = 0;
  uint16_t ProductId = 0;
  uint32_t InputReportLength = 0;   // report-ID byte included
  uint32_t OutputReportLength = 0;  // report-ID byte included
  // Filled by UpdateDeviceDetails().
  std::string Product;
  std::string Manufacturer;
  std::string SerialNumber;
  bool detailsRead = false;

  // The product string once details have been read, else the description.
  std::string NameFriendly() const { return detailsRead ? Product : Description; }
};

class HidLink {
 public:
  // One call per input report, on the main thread. `buffer` starts with the
  // report-ID byte; `received` is always the device's InputReportLength.
  using ReceiveHandler = std::function<void(const uint8_t* buffer, std::size_t received)>;

  virtual ~HidLink() = default;

  // Rebuilds the list of HID devices present; keeps the selected index if it
  // is still inside the list.
  virtual void Update() = 0;
  virtual int DeviceCount() const = 0;
  virtual int DeviceIndex() const = 0;
  // Selects device i of the list (0-based); HidDevice() then describes it.
  virtual void SetDeviceIndex(int i) = 0;
  virtual const HidDeviceInfo& HidDevice() const = 0;
  // Reads product, manufacturer and serial-number strings of the selected device.
  virtual void UpdateDeviceDetails() = 0;

  // True while a device is open.
  virtual bool Active() const = 0;
  // true: opens the selected device and starts receiving; no effect if a
  // device is open already. false: closes it.
  virtual void SetActive(bool active) = 0;

  // Writes the bytes as one output report of exactly that many bytes and
  // returns when the write has completed (true) or failed (false).
  virtual bool SendString(const std::string& bytes) = 0;

  void SetOnAfterReceive(ReceiveHandler handler) { onAfterReceive_ = std::move(handler); }

 protected:
  // For implementations: deliver one input report to the registered handler.
  void deliver(const uint8_t* buffer, std::size_t received) {
    if (onAfterReceive_) onAfterReceive_(buffer, received);
  }

 private:
  ReceiveHandler onAfterReceive_;
};

}  // namespace quva
