#include "sim/detector/sim_detektor.h"

#include <algorithm>
#include <cmath>

#include "device/discovery.h"
#include "device/quva_usb.h"

namespace quva {

namespace {

// A vehicle changes the loop period by this fraction (the period falls, the
// frequency rises) once it stands fully on the loop.
constexpr double fahrzeug_verstimmung = 0.01;
// Time a vehicle takes to come fully onto or off a loop.
constexpr int einfahrzeit_ms = 300;
// Duration of a loop calibration.
constexpr int abgleichzeit_ms = 1000;
// Operating-hours counter unit.
constexpr int64_t betriebstick_ms = 10 * 60 * 1000;
// Automatic traffic: one vehicle over A then B every few seconds.
constexpr int64_t verkehr_periode_ms = 8000;

void le16(std::vector<uint8_t>& r, std::size_t at, uint16_t v) {
  r[at] = static_cast<uint8_t>(v);
  r[at + 1] = static_cast<uint8_t>(v >> 8);
}
void le32(std::vector<uint8_t>& r, std::size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i)
    r[at + static_cast<std::size_t>(i)] = static_cast<uint8_t>(v >> (8 * i));
}

HidDeviceInfo detektor_info() {
  HidDeviceInfo d;
  d.Description = "HID-konformes Gerät (QUVA-Simulation)";
  d.VendorId = quva_vendor_id;
  d.ProductId = quva_product_id;
  d.InputReportLength = SimDetektor::input_report_laenge;
  d.OutputReportLength = SimDetektor::output_report_laenge;
  return d;
}

// A 12-bit reading of a resistor ladder that encodes `code` of `stufen` positions.
uint16_t dip_messwert(unsigned code, unsigned stufen) {
  return static_cast<uint16_t>(code * 4095u / (stufen - 1u));
}

}  // namespace

SimDetektor::SimDetektor() {
  schleifen_[1].grund_periode = 7150000;
  schleifen_[1].ref_periode = 7150000;
  liste_aufbauen();
}

// --- device list

void SimDetektor::liste_aufbauen() {
  liste_ = weitere_;
  detektor_index_ = -1;
  if (eingesteckt_) {
    detektor_index_ = std::clamp(detektor_position_, 0, static_cast<int>(liste_.size()));
    liste_.insert(liste_.begin() + detektor_index_, detektor_info());
  }
}

void SimDetektor::Update() {
  liste_aufbauen();
  if (index_ >= static_cast<int>(liste_.size())) index_ = 0;
}

int SimDetektor::DeviceCount() const { return static_cast<int>(liste_.size()); }

int SimDetektor::DeviceIndex() const { return index_; }

void SimDetektor::SetDeviceIndex(int i) {
  if (i >= 0 && i < DeviceCount()) index_ = i;
}

const HidDeviceInfo& SimDetektor::HidDevice() const {
  static const HidDeviceInfo leer;
  if (index_ < 0 || index_ >= DeviceCount()) return leer;
  return liste_[static_cast<std::size_t>(index_)];
}

void SimDetektor::UpdateDeviceDetails() {
  if (index_ < 0 || index_ >= DeviceCount()) return;
  HidDeviceInfo& d = liste_[static_cast<std::size_t>(index_)];
  if (index_ == detektor_index_) {
    d.Product = "QUVA Detektor";
    d.Manufacturer = "QUVA Simulation";
    d.SerialNumber = std::to_string(werte_.seriennummer);
  }
  d.detailsRead = true;
}

void SimDetektor::weitere_geraete_setzen(std::vector<HidDeviceInfo> geraete,
                                         int detektor_position) {
  weitere_ = std::move(geraete);
  detektor_position_ = detektor_position;
}

// --- open, close, plug

bool SimDetektor::Active() const { return aktiv_; }

void SimDetektor::SetActive(bool active) {
  if (!active) {
    aktiv_ = false;
    warteschlange_.clear();
    return;
  }
  if (aktiv_) return;
  // Only the detector itself can be opened, and only while it is plugged in.
  if (eingesteckt_ && index_ == detektor_index_ && !oeffnen_verweigert_) aktiv_ = true;
}

void SimDetektor::ausstecken() {
  eingesteckt_ = false;
  aktiv_ = false;
  warteschlange_.clear();
  if (aenderung_) aenderung_();
}

void SimDetektor::einstecken() {
  eingesteckt_ = true;
  if (aenderung_) aenderung_();
}

// --- telegrams

bool SimDetektor::SendString(const std::string& bytes) {
  if (!aktiv_) return false;
  gesendet_.push_back(bytes);
  // Anything but a three-byte telegram behind the output report ID is
  // ignored by the firmware.
  if (bytes.size() != output_report_laenge || static_cast<uint8_t>(bytes[0]) != 0x06) return true;
  if (!verzoegerung_ms_) return true;
  auto antwort = antwort_auf(static_cast<uint8_t>(bytes[1]), static_cast<uint8_t>(bytes[2]));
  warteschlange_.push_back({jetzt_ms_ + std::max(0, *verzoegerung_ms_), std::move(antwort)});
  return true;
}

std::vector<uint8_t> SimDetektor::antwort_auf(uint8_t art, uint8_t auswahl) {
  std::vector<uint8_t> r(input_report_laenge, 0);
  auto quittung = [&r](uint8_t kennung) {
    r[0] = 1;
    r[1] = kennung;  // 1 ACK, 2 NAK
  };
  switch (art) {
    case 0x01:  // query
      switch (auswahl) {
        case auswahl_programmversion:
          r[0] = 2, r[1] = 1;
          le16(r, 2, werte_.programmversion);
          break;
        case auswahl_status:
          r[0] = 4, r[1] = 3;
          le32(r, 2, status_wort(0));
          le32(r, 6, status_wort(1));
          le32(r, 10, richtungslogik());
          le32(r, 14, ausgaenge());
          break;
        case auswahl_seriennummer:
          r[0] = 3, r[1] = 2;
          le32(r, 2, werte_.seriennummer);
          break;
        case auswahl_perioden:
          r[0] = 4, r[1] = 1;
          le32(r, 2, periode(0));
          le32(r, 6, periode(1));
          le32(r, 10, schleifen_[0].ref_periode);
          le32(r, 14, schleifen_[1].ref_periode);
          break;
        case auswahl_betriebsstunden:
          r[0] = 3, r[1] = 1;
          le32(r, 2, werte_.betriebsstunden);
          break;
        case auswahl_abgleichcounter:
          r[0] = 3, r[1] = 3;
          le16(r, 2, werte_.abgleich_a);
          le16(r, 4, werte_.abgleich_b);
          break;
        case auswahl_portstatus: {
          r[0] = 5, r[1] = 1;
          const uint32_t a = ausgaenge();
          r[2] = testbetrieb_ ? 0x02 : 0x01;
          le16(r, 3, static_cast<uint16_t>(a & 0x000F));
          le16(r, 5, static_cast<uint16_t>((werte_.dip_b << 8) | werte_.dip_a));
          le16(r, 7, static_cast<uint16_t>((a >> 4) & 0x003F));
          break;
        }
        case auswahl_analogwerte: {
          r[0] = 4, r[1] = 2;
          const unsigned a = werte_.dip_a, b = werte_.dip_b;
          le16(r, 2, dip_messwert((b >> 4) & 3u, 4));   // B5/B6
          le16(r, 4, dip_messwert((b >> 2) & 3u, 4));   // B3/B4
          le16(r, 6, dip_messwert((b >> 6) & 3u, 4));   // B7/B8
          le16(r, 8, dip_messwert(b & 3u, 4));          // B1/B2
          le16(r, 10, dip_messwert((a >> 5) & 3u, 4));  // A6/A7
          le16(r, 12, dip_messwert((a >> 2) & 7u, 8));  // A3-A5
          le16(r, 14, dip_messwert(a & 3u, 4));         // A1/A2
          break;
        }
        default:
          quittung(2);
      }
      break;
    case 0x02:  // command
      if (auswahl <= 1) {
        schleifen_[auswahl].abgleich_bis_ms = jetzt_ms_ + abgleichzeit_ms;
        quittung(1);
      } else if (auswahl == 2) {
        werte_.abgleich_a = 0;
        quittung(1);
      } else if (auswahl == 3) {
        werte_.abgleich_b = 0;
        quittung(1);
      } else {
        quittung(2);
      }
      break;
    case 0x03:  // test command
      if (auswahl >= 1 && auswahl <= 20) {
        if (!testbetrieb_) test_ausgaenge_ = ausgaenge();
        testbetrieb_ = true;
        const uint32_t bit = 1u << ((auswahl - 1) / 2);
        if (auswahl % 2 == 1) {
          test_ausgaenge_ |= bit;
        } else {
          test_ausgaenge_ &= ~bit;
        }
        quittung(1);
      } else if (auswahl == 21) {
        testbetrieb_ = false;
        quittung(1);
      } else if (auswahl == 22) {
        werte_.betriebsstunden = 0;
        quittung(1);
      } else if (auswahl == 23) {
        quittung(1);
      } else if (auswahl == 24) {
        werte_.abgleich_a = 0;
        werte_.abgleich_b = 0;
        quittung(1);
      } else {
        quittung(2);
      }
      break;
    default:
      quittung(2);
  }
  return r;
}

// --- loops and outputs

uint32_t SimDetektor::periode(int schleife) const {
  const t_schleife& s = schleifen_[schleife];
  const double verstimmt = s.grund_periode * (1.0 - fahrzeug_verstimmung * s.belegung);
  // A little deterministic jitter of a few hundred counts.
  const int jitter = static_cast<int>((rauschen_ >> (schleife * 8)) % 301u) - 150;
  return static_cast<uint32_t>(std::lround(verstimmt) + jitter);
}

bool SimDetektor::abgleich_laeuft(int schleife) const {
  return schleifen_[schleife].abgleich_bis_ms > jetzt_ms_;
}

bool SimDetektor::belegt(int schleife) const {
  const t_schleife& s = schleifen_[schleife];
  if (abgleich_laeuft(schleife)) return false;
  const uint8_t dip = schleife == 0 ? werte_.dip_a : werte_.dip_b;
  // Switching threshold of the sensitivity level: 0.5 %, 0.25 %, 0.12 %, 0.06 %.
  static constexpr double schwelle[4] = {0.005, 0.0025, 0.0012, 0.0006};
  const double verstimmt = s.grund_periode * (1.0 - fahrzeug_verstimmung * s.belegung);
  return s.ref_periode - verstimmt > s.ref_periode * schwelle[(dip >> 4) & 3];
}

uint32_t SimDetektor::status_wort(int schleife) const {
  const uint8_t dip = schleife == 0 ? werte_.dip_a : werte_.dip_b;
  uint32_t w = dip & 0x7Fu;
  if (belegt(schleife)) w |= 1u << 7;
  if (abgleich_laeuft(schleife)) w |= 1u << 9;
  return w;
}

uint32_t SimDetektor::richtungslogik() const {
  const bool a = belegt(0), b = belegt(1);
  uint32_t w = (a ? 1u : 0u) | (b ? 2u : 0u);
  if (drauffahrt_ab_) w |= 1u << 2;
  if (drauffahrt_ba_) w |= 1u << 3;
  if (a && !b) w |= 1u << 4;
  if (b && !a) w |= 1u << 5;
  w |= 1u << (16 + (werte_.dip_a & 0x0F));
  return w;
}

uint32_t SimDetektor::ausgaenge() const {
  if (testbetrieb_) return test_ausgaenge_;
  uint32_t w = 0;
  for (int s = 0; s < 2; ++s) {
    const bool an = belegt(s);
    if (an) w |= (1u << s) | (1u << (2 + s));                       // relay and its LED
    const unsigned led = abgleich_laeuft(s) ? 0u : (an ? 2u : 1u);  // blue, green, red
    w |= 1u << (4 + 3 * s + led);
  }
  return w;
}

void SimDetektor::fahrzeug(int schleife, bool auf_schleife) {
  if (schleife == 0 || schleife == 1) schleifen_[schleife].fahrzeug = auf_schleife;
}

void SimDetektor::schritt(int ms) {
  jetzt_ms_ += ms;
  rauschen_ = rauschen_ * 1103515245u + 12345u;

  betriebszeit_rest_ms_ += ms;
  while (betriebszeit_rest_ms_ >= betriebstick_ms) {
    betriebszeit_rest_ms_ -= betriebstick_ms;
    ++werte_.betriebsstunden;
  }

  if (verkehr_) {
    const int64_t phase = jetzt_ms_ % verkehr_periode_ms;
    schleifen_[0].fahrzeug = phase >= 1000 && phase < 3000;
    schleifen_[1].fahrzeug = phase >= 1600 && phase < 3600;
  }

  const bool a_vorher = belegt(0), b_vorher = belegt(1);
  for (int s = 0; s < 2; ++s) {
    t_schleife& sl = schleifen_[s];
    const double ziel = sl.fahrzeug ? 1.0 : 0.0;
    const double d = static_cast<double>(ms) / einfahrzeit_ms;
    sl.belegung =
        sl.belegung < ziel ? std::min(ziel, sl.belegung + d) : std::max(ziel, sl.belegung - d);
    if (sl.abgleich_bis_ms >= 0 && sl.abgleich_bis_ms <= jetzt_ms_) {
      // Calibration done: what the loop measures now is its new reference.
      sl.ref_periode = static_cast<uint32_t>(
          std::lround(sl.grund_periode * (1.0 - fahrzeug_verstimmung * sl.belegung)));
      sl.abgleich_bis_ms = -1;
      uint16_t& zaehler = s == 0 ? werte_.abgleich_a : werte_.abgleich_b;
      ++zaehler;
    }
  }
  const bool a = belegt(0), b = belegt(1);
  if (a && !a_vorher && !b_vorher) drauffahrt_ab_ = true;
  if (b && !b_vorher && !a_vorher) drauffahrt_ba_ = true;
  if (!a && !b) drauffahrt_ab_ = drauffahrt_ba_ = false;
}

void SimDetektor::zeit_vorruecken(int ms) {
  const int64_t ende = jetzt_ms_ + std::max(0, ms);
  for (;;) {
    // Deliver everything due by now that was queued before this pass, in
    // sending order. The handler may send (queueing new answers, which come
    // one step later at the earliest, so a handler that asks again on every
    // answer cannot keep time from moving on) or unplug the detector
    // (clearing the queue).
    std::size_t vorher_eingereiht = warteschlange_.size();
    while (aktiv_ && vorher_eingereiht > 0 && !warteschlange_.empty() &&
           warteschlange_.front().faellig_ms <= jetzt_ms_) {
      --vorher_eingereiht;
      std::vector<uint8_t> report = std::move(warteschlange_.front().report);
      warteschlange_.pop_front();
      deliver(report.data(), report.size());
    }
    if (jetzt_ms_ >= ende) break;
    int64_t naechster = std::min<int64_t>(ende, jetzt_ms_ + 10);
    if (!warteschlange_.empty())
      naechster = std::min(naechster, std::max(jetzt_ms_ + 1, warteschlange_.front().faellig_ms));
    schritt(static_cast<int>(naechster - jetzt_ms_));
  }
}

}  // namespace quva
