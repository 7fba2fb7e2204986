#pragma once
// A simulated QUVA detector behind the HID link interface. It answers every
// query with plausible, changing data (loop periods near 10 kHz that shift
// while a vehicle stands on a loop, status words whose occupied bits follow,
// counters, port status, DIP readings), acknowledges commands and test
// commands, can answer at once, late or never, and can be unplugged and
// plugged in again.
//
// It runs on simulated time: answers are queued by SendString() and handed to
// the receive handler only by zeit_vorruecken(), so tests step it without real
// time; SimDetektorTreiber (sim_detektor_treiber.h) advances it by a QTimer.

#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "device/hid_link.h"

namespace quva {

class SimDetektor : public HidLink {
 public:
  // Report lengths of the detector, report-ID byte included.
  static constexpr uint32_t input_report_laenge = 18;
  static constexpr uint32_t output_report_laenge = 3;

  SimDetektor();

  // --- HidLink
  void Update() override;
  int DeviceCount() const override;
  int DeviceIndex() const override;
  void SetDeviceIndex(int i) override;
  const HidDeviceInfo& HidDevice() const override;
  void UpdateDeviceDetails() override;
  bool Active() const override;
  void SetActive(bool active) override;
  bool SendString(const std::string& bytes) override;

  // --- Plugging. Both call the change hook (the system's device-change
  // notification). Unplugging closes the link at once and drops answers that
  // are still on their way; the device leaves the list at the next Update().
  void ausstecken();
  void einstecken();
  bool eingesteckt() const { return eingesteckt_; }
  void geraeteaenderung_setzen(std::function<void()> hook) { aenderung_ = std::move(hook); }

  // Other HID devices present besides the detector (for the inventory); the
  // detector is listed at `detektor_position` (clamped to the list's end).
  // These devices cannot be opened.
  void weitere_geraete_setzen(std::vector<HidDeviceInfo> geraete, int detektor_position);

  // When true, opening fails as if another program held the device.
  void oeffnen_verweigern(bool verweigern) { oeffnen_verweigert_ = verweigern; }

  // Time from a telegram to its answer in milliseconds: 0 answers with the
  // next zeit_vorruecken(), std::nullopt never answers.
  void antwortverzoegerung_setzen(std::optional<int> ms) { verzoegerung_ms_ = ms; }

  // Moves simulated time on by `ms` (0 delivers what is due now): the loops
  // follow their vehicles, and every answer whose time has come is handed to
  // the receive handler, in the order the telegrams were sent. An answer to a
  // telegram that the handler itself sends comes one millisecond later at
  // the earliest.
  void zeit_vorruecken(int ms);
  int64_t zeit_ms() const { return jetzt_ms_; }

  // A vehicle enters (true) or leaves (false) loop 0 (A) or 1 (B).
  void fahrzeug(int schleife, bool auf_schleife);
  // Vehicles pass over A then B every few seconds by themselves (demo).
  void verkehr_setzen(bool automatisch) { verkehr_ = automatisch; }

  // Every output report written while open, in order.
  const std::vector<std::string>& gesendet() const { return gesendet_; }
  void gesendet_loeschen() { gesendet_.clear(); }
  // Answers queued and not yet delivered.
  std::size_t ausstehend() const { return warteschlange_.size(); }

  // Device values that the answers carry.
  struct t_werte {
    uint16_t programmversion = 1;
    uint32_t seriennummer = 0x00012345;
    uint32_t betriebsstunden = 52560;  // 10-minute ticks (one year)
    uint16_t abgleich_a = 3;
    uint16_t abgleich_b = 2;
    uint8_t dip_a = 0x15;  // bits 0-3 operating mode, 4-5 level, 6 hold time
    uint8_t dip_b = 0x25;
  };
  t_werte& werte() { return werte_; }
  // Current outputs word (relays and LEDs) and loop periods, for tests.
  uint32_t ausgaenge() const;
  uint32_t periode(int schleife) const;
  uint32_t ref_periode(int schleife) const { return schleifen_[schleife].ref_periode; }

 private:
  struct t_schleife {
    uint32_t grund_periode = 7200000;  // free loop, about 10 kHz
    uint32_t ref_periode = 7200000;
    double belegung = 0.0;  // 0 free .. 1 vehicle fully on the loop
    bool fahrzeug = false;
    int64_t abgleich_bis_ms = -1;  // calibrating until then
  };
  struct t_antwort {
    int64_t faellig_ms;
    std::vector<uint8_t> report;
  };

  void liste_aufbauen();
  bool belegt(int schleife) const;
  bool abgleich_laeuft(int schleife) const;
  uint32_t status_wort(int schleife) const;
  uint32_t richtungslogik() const;
  std::vector<uint8_t> antwort_auf(uint8_t art, uint8_t auswahl);
  void schritt(int ms);

  std::vector<HidDeviceInfo> weitere_;
  int detektor_position_ = 0;
  std::vector<HidDeviceInfo> liste_;
  int detektor_index_ = -1;  // index of the detector in liste_, -1 when absent
  int index_ = 0;

  bool eingesteckt_ = true;
  bool aktiv_ = false;
  bool oeffnen_verweigert_ = false;
  std::optional<int> verzoegerung_ms_ = 0;
  std::function<void()> aenderung_;

  int64_t jetzt_ms_ = 0;
  int64_t betriebszeit_rest_ms_ = 0;
  uint32_t rauschen_ = 12345;
  bool verkehr_ = false;
  bool drauffahrt_ab_ = false;
  bool drauffahrt_ba_ = false;
  bool testbetrieb_ = false;
  uint32_t test_ausgaenge_ = 0;
  t_schleife schleifen_[2];
  t_werte werte_;
  std::deque<t_antwort> warteschlange_;
  std::vector<std::string> gesendet_;
};

}  // namespace quva
