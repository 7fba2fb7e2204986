#include "platform/hid/hidapi_link.h"

namespace quva {

HidapiLink::HidapiLink(QObject* parent) : QObject(parent) {}
HidapiLink::~HidapiLink() = default;
void HidapiLink::Update() {}
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
void HidapiLink::UpdateDeviceDetails() {}
bool HidapiLink::Active() const { return active_; }
void HidapiLink::SetActive(bool) {}
bool HidapiLink::SendString(const std::string&) { return false; }
std::string HidapiLink::DevicePath(int) const { return {}; }
std::string HidapiLink::LastError() const { return {}; }

}  // namespace quva
