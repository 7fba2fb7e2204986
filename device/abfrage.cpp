#include "device/abfrage.h"

#include "device/quva_usb.h"

namespace quva {

t_abfrage abfrage;

void abfrage_zuruecksetzen() { abfrage = t_abfrage{}; }

namespace {

// A send state: clear the awaited flag, then ask for the data set.
void anfordern(HidLink& link, bool& empfangen, uint8_t auswahl) {
  empfangen = false;
  sende_abfrage(link, auswahl);
  abfrage.antwort_timeout = antwort_timeout_ticks;
}

// A wait state: go on once the answer is there or the time-out has run out.
bool fertig(bool empfangen) { return empfangen || abfrage.antwort_timeout == 0; }

}  // namespace

void abfragezyklus(HidLink& link) {
  if (abfrage.antwort_timeout > 0) --abfrage.antwort_timeout;

  int& zustand = abfrage.abfrage_zustand;
  switch (zustand) {
    case 1:
      anfordern(link, geraet.tele_programmversion.empfangen, auswahl_programmversion);
      zustand = 2;
      break;
    case 2:
      if (fertig(geraet.tele_programmversion.empfangen)) zustand = 3;
      break;
    case 3:
      anfordern(link, geraet.tele_seriennummer.empfangen, auswahl_seriennummer);
      zustand = 4;
      break;
    case 4:
      if (fertig(geraet.tele_seriennummer.empfangen)) zustand = 5;
      break;
    case 5:
      anfordern(link, geraet.tele_betriebsstunden.empfangen, auswahl_betriebsstunden);
      zustand = 6;
      break;
    case 6:
      if (fertig(geraet.tele_betriebsstunden.empfangen)) zustand = 7;
      break;
    case 7:
      anfordern(link, geraet.tele_abgleichcounter.empfangen, auswahl_abgleichcounter);
      zustand = 8;
      break;
    case 8:
      if (fertig(geraet.tele_abgleichcounter.empfangen)) zustand = 9;
      break;
    case 9:
      anfordern(link, geraet.tele_perioden.empfangen, auswahl_perioden);
      zustand = 10;
      break;
    case 10:
      if (fertig(geraet.tele_perioden.empfangen)) zustand = 1;
      break;
    default:  // 0 at start: nothing is sent
      zustand = 1;
      break;
  }
}

void abfrage_tick(HidLink& link, const usb_status_anzeigen_t& usb_status_anzeigen,
                  int abtastrate_index) {
  // 1. Link indicator, and the status query until the first status telegram.
  if (link.Active()) {
    if (usb_status_anzeigen) usb_status_anzeigen("verbunden", farbe_gelb);
    if (!geraet.tele_status.empfangen) sende_abfrage(link, auswahl_status);
  } else {
    if (usb_status_anzeigen) usb_status_anzeigen("kein Kontakt", farbe_weiss);
  }

  // 2. Cycle, parked at its first state while paused.
  if (abfrage.abfrage_aktiv) {
    abfragezyklus(link);
  } else {
    abfrage.abfrage_zustand = 1;
  }

  // 3. Sampling divider; it counts on every tick, recording or not.
  if (abtastrate_index < 0 || abtastrate_index >= static_cast<int>(abtast_teiler.size())) {
    abtastrate_index = 0;
  }
  const int teiler = abtast_teiler[static_cast<std::size_t>(abtastrate_index)];
  // The counter may hold any value (a larger divisor was selected before);
  // keep it non-negative so the modulo stays in 0..teiler-1.
  abfrage.abtast_zaehler = static_cast<int>((static_cast<unsigned>(abfrage.abtast_zaehler) + 1u) %
                                            static_cast<unsigned>(teiler));
  if (abfrage.abtast_zaehler == 0 && abfrage.diagramm_laeuft) sende_abfrage(link, auswahl_perioden);
}

}  // namespace quva
