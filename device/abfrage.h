#pragma once
// The 50 ms polling cycle: the link indicator, the status query until the
// first status telegram, the cycle over the five data sets with its ten-tick
// answer time-out, and the sampling divider of the diagram recording.
//
// The main window's timer calls abfrage_tick() once per tick; tests call it
// directly, tick by tick, without a timer.

#include <array>
#include <cstdint>
#include <functional>
#include <string>

#include "device/hid_link.h"

namespace quva {

// Polling state; one program-wide instance (`abfrage`), all zero at start.
struct t_abfrage {
  bool abfrage_aktiv = false;    // the polling cycle may run
  bool diagramm_laeuft = false;  // the diagram records; periods are sampled
  int abfrage_zustand = 0;       // state of the cycle, 1..10 (0 before the first step)
  int antwort_timeout = 0;       // ticks left for the answer to the last cycle query
  int abtast_zaehler = 0;        // tick counter of the sampling divider
};

extern t_abfrage abfrage;

// Puts the polling state back to its start values (all zero); for tests.
void abfrage_zuruecksetzen();

// Ticks per sample for each entry of the diagram window's sampling-rate list
// ("100ms", "500ms", "1s", "5s", "10s", "30s").
inline constexpr std::array<uint16_t, 6> abtast_teiler = {2, 10, 20, 100, 200, 600};

// Answer time-out of one cycle query, in ticks.
inline constexpr int antwort_timeout_ticks = 10;

// A plain RGB colour for the link indicator.
struct t_farbe {
  uint8_t rot = 0;
  uint8_t gruen = 0;
  uint8_t blau = 0;
  friend bool operator==(const t_farbe&, const t_farbe&) = default;
};

inline constexpr t_farbe farbe_gelb{255, 255, 0};
inline constexpr t_farbe farbe_weiss{255, 255, 255};

// Shows the link state in the main window: the text ("verbunden" or
// "kein Kontakt") and the background colour of the indicator.
using usb_status_anzeigen_t = std::function<void(const std::string& text, t_farbe farbe)>;

// One step of the cycle; called only by the tick.
void abfragezyklus(HidLink& link);

// One tick of the main timer (the body of TimerMainTimer): indicator and
// status query, cycle step, sampling. `abtastrate_index` is the selected entry
// of the diagram window's sampling-rate list; an index outside the list
// (no selection) counts as the first entry.
void abfrage_tick(HidLink& link, const usb_status_anzeigen_t& usb_status_anzeigen,
                  int abtastrate_index);

}  // namespace quva
