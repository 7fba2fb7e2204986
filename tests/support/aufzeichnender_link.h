#pragma once
// A HID link for tests: one detector in its list, every output report
// recorded, input reports delivered when a test hands them over.

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

#include "device/hid_link.h"

namespace quva {

class AufzeichnenderLink : public HidLink {
 public:
  explicit AufzeichnenderLink(bool offen = false) : aktiv(offen) {
    info_.Description = "QUVA";
    info_.VendorId = 0x0483;
    info_.ProductId = 0xA082;
    info_.InputReportLength = 19;
    info_.OutputReportLength = 3;
  }

  void Update() override {
    ++updates;
    if (update_wirft) throw std::runtime_error("Geräteliste nicht lesbar");
  }
  int DeviceCount() const override { return 1; }
  int DeviceIndex() const override { return 0; }
  void SetDeviceIndex(int) override {}
  const HidDeviceInfo& HidDevice() const override { return info_; }
  void UpdateDeviceDetails() override {}
  bool Active() const override { return aktiv; }
  void SetActive(bool a) override { aktiv = a; }
  bool SendString(const std::string& bytes) override {
    gesendet.push_back(bytes);
    return true;
  }

  // Delivers one input report, padded with zeros to the report length.
  void liefern(std::vector<uint8_t> report) {
    report.resize(info_.InputReportLength, 0);
    deliver(report.data(), report.size());
  }

  bool aktiv;
  bool update_wirft = false;
  int updates = 0;
  std::vector<std::string> gesendet;

 private:
  HidDeviceInfo info_;
};

}  // namespace quva
