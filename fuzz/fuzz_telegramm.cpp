// Feeds arbitrary bytes as one input report to the telegram decoder, with
// every hook set. The hooks read the whole record they get and send a query
// back, as the windows do, so a bad decode or a read past the report shows
// up under the sanitizers.

#include <cstddef>
#include <cstdint>
#include <string>

#include "device/callback.h"
#include "device/hid_link.h"
#include "device/quva_usb.h"

namespace {

using namespace quva;

class NullLink : public HidLink {
 public:
  void Update() override {}
  int DeviceCount() const override { return 1; }
  int DeviceIndex() const override { return 0; }
  void SetDeviceIndex(int) override {}
  const HidDeviceInfo& HidDevice() const override { return info_; }
  void UpdateDeviceDetails() override {}
  bool Active() const override { return true; }
  void SetActive(bool) override {}
  bool SendString(const std::string& bytes) override {
    geschrieben += bytes.size();
    return true;
  }
  std::size_t geschrieben = 0;

 private:
  HidDeviceInfo info_;
};

NullLink link;
volatile uint32_t summe = 0;  // keeps the hooks' reads alive

void hooks_setzen() {
  callbacks_setzen(
      [](const std::string& m) { summe = summe + static_cast<uint32_t>(m.size()); },
      [](const t_tele_perioden& r) {
        summe = summe + r.periode_a + r.periode_b + r.ref_periode_a + r.ref_periode_b;
        sende_abfrage(link, 3);
      },
      [](const t_tele_seriennummer& r) { summe = summe + r.nummer; },
      [](const t_tele_programmversion& r) {
        summe = summe + r.kennung + static_cast<uint32_t>(r.name.size());
      },
      [](const t_tele_betriebsstunden& r) { summe = summe + r.zaehler; },
      [](const t_tele_abgleichcounter& r) { summe = summe + r.zaehler_a + r.zaehler_b; },
      [](const t_tele_portstatus& r) {
        summe = summe + r.zustand + r.port_a + r.port_b + r.port_c;
      },
      [](const t_tele_analogwerte& r) {
        summe = summe + r.dip_b5_b6 + r.dip_b3_b4 + r.dip_b7_b8 + r.dip_b1_b2 + r.dip_a6_a7 +
                r.dip_a3_a5 + r.dip_a1_a2;
      },
      [](const t_tele_status& r) {
        summe = summe + r.status_a + r.status_b + r.richtungslogik + r.ausgaenge;
        sende_befehl(link, static_cast<uint8_t>(r.status_a & 3));
      });
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  static const bool gesetzt = (hooks_setzen(), true);
  (void)gesetzt;
  telegramm_auswerten(data, size);
  return 0;
}
