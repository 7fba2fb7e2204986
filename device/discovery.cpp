#include "device/discovery.h"

#include <utility>

#include "common/konvert.h"

namespace quva {

uint32_t meldungs_zaehler = 0;

namespace {

zeilen_senke_t debug_senke;
sanduhr_t sanduhr_anzeige;

// Hourglass for the lifetime of the object; back to the default cursor even
// when reading the details fails.
class Sanduhr {
 public:
  Sanduhr() {
    if (sanduhr_anzeige) sanduhr_anzeige(true);
  }
  ~Sanduhr() {
    if (sanduhr_anzeige) sanduhr_anzeige(false);
  }
  Sanduhr(const Sanduhr&) = delete;
  Sanduhr& operator=(const Sanduhr&) = delete;
};

void details_lesen(HidLink& link) {
  Sanduhr sanduhr;
  link.UpdateDeviceDetails();
}

std::string dec5(int i) { return WordToDec5(static_cast<uint16_t>(i)); }

}  // namespace

void debug_senke_setzen(zeilen_senke_t senke) { debug_senke = std::move(senke); }

void sanduhr_setzen(sanduhr_t sanduhr) { sanduhr_anzeige = std::move(sanduhr); }

void debug_zeile(const std::string& text) {
  if (debug_senke) debug_senke(LongToHex(meldungs_zaehler) + " " + text);
}

void hid_geraet_suchen(HidLink& link) {
  link.Update();
  details_lesen(link);

  const std::string sterne41(41, '*');
  debug_zeile(sterne41);
  debug_zeile(sterne41);
  const int anzahl = link.DeviceCount();
  debug_zeile("Anzahl der gefundenen HID-Geräte: " + dec5(anzahl));

  for (int i = 0; i < anzahl; ++i) {
    link.SetDeviceIndex(i);
    const HidDeviceInfo& d = link.HidDevice();
    debug_zeile(std::string(32, '*'));
    debug_zeile("Gerät Nr: " + dec5(i));
    debug_zeile("Description        : " + d.Description);
    debug_zeile("VendorID           : " + WordToHex(d.VendorId));
    debug_zeile("DeviceID           : " + WordToHex(d.ProductId));
    debug_zeile("InputReportLength  : " + LongToHex(d.InputReportLength));
    debug_zeile("OutputReportLength : " + LongToHex(d.OutputReportLength));
  }

  bool gefunden = false;
  for (int i = 0; i < anzahl; ++i) {
    link.SetDeviceIndex(i);
    const HidDeviceInfo& d = link.HidDevice();
    if (d.VendorId == quva_vendor_id && d.ProductId == quva_product_id) {
      debug_zeile("Mein gesuchtes Gerät Vid=0x0483 und Did=0xA082 wurde gefunden.");
      debug_zeile("DeviceIndex= " + dec5(i));
      gefunden = true;
      break;
    }
  }

  if (gefunden) {
    link.SetActive(true);
    details_lesen(link);
    debug_zeile("Das Gerät " + link.HidDevice().NameFriendly() + " wurde aktiviert.");
  } else {
    debug_zeile("Mein gesuchtes Gerät Vid=0x0483 und Did=0xA082 wurde nicht gefunden.");
  }
}

void WMDeviceChange(HidLink& link) {
  debug_zeile("WMDeviceChange ist aufgetreten.");
  try {
    hid_geraet_suchen(link);
  } catch (...) {
    // A device that vanishes while it is being listed is normal during a
    // change; the next notification runs the discovery again.
  }
}

}  // namespace quva
