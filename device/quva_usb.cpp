#include "device/quva_usb.h"

#include <cstddef>
#include <cstdint>
#include <string>

#include "common/konvert.h"
#include "device/callback.h"

namespace quva {

t_geraetedaten geraet;

void geraetedaten_zuruecksetzen() { geraet = t_geraetedaten{}; }

const std::array<std::string, 4> stufe_namen = {"stufe 0", "stufe 1", "stufe 2", "stufe 3"};

const std::array<std::string, 16> betriebsart_namen = {
    "betriebsart 0",  "betriebsart 1",  "betriebsart 2",  "betriebsart 3",
    "betriebsart 4",  "betriebsart 5",  "betriebsart 6",  "betriebsart 7",
    "betriebsart 8",  "betriebsart 9",  "betriebsart 10", "betriebsart 11",
    "betriebsart 12", "betriebsart 13", "betriebsart 14", "betriebsart 15"};

const std::array<std::string, 2> haltezeit_namen = {"5 min", "unendlich"};

namespace {

// Slot 1, if set. A copy of the hook is called so that a hook that replaces
// the table while it runs does not destroy itself mid-call.
void meldung(const std::string& text) {
  if (auto hook = callbacks.cb_meldung) hook(text);
}

template <typename Hook, typename Record>
void rufe(const Hook& slot, const Record& record) {
  if (auto hook = slot) hook(record);
}

void sende(HidLink& link, uint8_t kennung, uint8_t auswahl, const char* text) {
  if (!link.Active()) return;
  const char bytes[3] = {static_cast<char>(tele_erstes_byte), static_cast<char>(kennung),
                         static_cast<char>(auswahl)};
  link.SendString(std::string(bytes, sizeof bytes));  // outcome not examined
  if (callbacks.cb_meldung) meldung(text + ByteToHex(auswahl));
}

// Little-endian fields at any (also odd) offset; the caller has checked the
// length.
uint16_t wort(const uint8_t* p, std::size_t i) {
  return static_cast<uint16_t>(p[i] | (p[i + 1] << 8));
}

uint32_t langwort(const uint8_t* p, std::size_t i) {
  return static_cast<uint32_t>(p[i]) | (static_cast<uint32_t>(p[i + 1]) << 8) |
         (static_cast<uint32_t>(p[i + 2]) << 16) | (static_cast<uint32_t>(p[i + 3]) << 24);
}

// Bytes a telegram of the known kind needs (ID, Kennung and payload); 0 for
// an unknown kind.
std::size_t benoetigte_laenge(uint8_t id, uint8_t kennung) {
  switch (id) {
    case 1:
      return kennung >= 1 && kennung <= 3 ? 2 : 0;
    case 2:
      return kennung == 1 ? 4 : 0;
    case 3:
      return kennung >= 1 && kennung <= 3 ? 6 : 0;
    case 4:
      if (kennung == 1 || kennung == 3) return 18;
      return kennung == 2 ? 16 : 0;
    case 5:
      return kennung == 1 ? 9 : 0;
    default:
      return 0;
  }
}

// A report too short for its kind is dropped: nothing is stored and no data
// hook runs, and the technician sees in the message log which telegram came
// short and how long it was.
void zu_kurz(const uint8_t* puffer, std::size_t laenge) {
  if (!callbacks.cb_meldung) return;
  std::string text = "Zu kurzes Telegramm empfangen: ";
  if (laenge >= 1) text += "ID=0x" + ByteToHex(puffer[0]) + ", ";
  if (laenge >= 2) text += "Kennung = 0x" + ByteToHex(puffer[1]) + ", ";
  meldung(text + "Länge = " + std::to_string(laenge));
}

void unbekannt(uint8_t id, uint8_t kennung) {
  if (!callbacks.cb_meldung) return;
  meldung("Unbekanntes Telegramm empfangen: ID=0x" + ByteToHex(id) + ", Kennung = 0x" +
          ByteToHex(kennung));
}

}  // namespace

void sende_abfrage(HidLink& link, uint8_t auswahl) {
  sende(link, tele_kennung_abfrage, auswahl, "Sende Abfragetelegramm auswahl=0x");
}

void sende_befehl(HidLink& link, uint8_t auswahl) {
  sende(link, tele_kennung_befehl, auswahl, "Sende Befehlstelegramm auswahl=0x");
}

void sende_pruefbefehl(HidLink& link, uint8_t auswahl) {
  sende(link, tele_kennung_pruefbefehl, auswahl, "Sende Prüfbefehlstelegramm auswahl=0x");
}

void telegramm_auswerten(const uint8_t* puffer, std::size_t laenge) {
  if (puffer == nullptr) laenge = 0;
  if (laenge < 2) {
    zu_kurz(puffer, laenge);
    return;
  }
  const uint8_t id = puffer[0];
  const uint8_t kennung = puffer[1];
  const std::size_t noetig = benoetigte_laenge(id, kennung);
  if (noetig == 0) {
    unbekannt(id, kennung);
    return;
  }
  if (laenge < noetig) {
    zu_kurz(puffer, laenge);
    return;
  }
  const uint8_t* p = puffer;
  t_geraetedaten& g = geraet;
  switch (id) {
    case 1:
      if (kennung == 1) {
        g.ack_empfangen = true;
        meldung("ACK empfangen.");
      } else if (kennung == 2) {
        g.nak_empfangen = true;
        meldung("NAK empfangen.");
      } else {
        g.busy_empfangen = true;
        meldung("BUSY empfangen.");
      }
      break;
    case 2: {
      auto& r = g.tele_programmversion;
      r.kennung = wort(p, 2);
      r.name = r.kennung == 1 ? "QUVA-1V0" : "0x" + WordToHex(r.kennung);
      r.empfangen = true;
      rufe(callbacks.cb_programmversion, r);
      meldung("Programmversion empfangen.");
      break;
    }
    case 3:
      if (kennung == 1) {
        auto& r = g.tele_betriebsstunden;
        r.zaehler = langwort(p, 2);
        r.empfangen = true;
        rufe(callbacks.cb_betriebsstunden, r);
        meldung("Betriebsstundenzähler empfangen.");
      } else if (kennung == 2) {
        auto& r = g.tele_seriennummer;
        r.nummer = langwort(p, 2);
        r.empfangen = true;
        rufe(callbacks.cb_seriennummer, r);
        meldung("Seriennummer empfangen.");
      } else {
        auto& r = g.tele_abgleichcounter;
        r.zaehler_a = wort(p, 2);
        r.zaehler_b = wort(p, 4);
        r.empfangen = true;
        rufe(callbacks.cb_abgleichcounter, r);
        meldung("Schleifenabgleichcounter empfangen.");
      }
      break;
    case 4:
      if (kennung == 1) {
        auto& r = g.tele_perioden;
        r.periode_a = langwort(p, 2);
        r.periode_b = langwort(p, 6);
        r.ref_periode_a = langwort(p, 10);
        r.ref_periode_b = langwort(p, 14);
        r.empfangen = true;
        // The only kind whose message comes before its hook.
        meldung("Induktionsschleifenperioden empfangen.");
        rufe(callbacks.cb_perioden, r);
      } else if (kennung == 2) {
        auto& r = g.tele_analogwerte;
        r.dip_b5_b6 = wort(p, 2);
        r.dip_b3_b4 = wort(p, 4);
        r.dip_b7_b8 = wort(p, 6);
        r.dip_b1_b2 = wort(p, 8);
        r.dip_a6_a7 = wort(p, 10);
        r.dip_a3_a5 = wort(p, 12);
        r.dip_a1_a2 = wort(p, 14);
        r.empfangen = true;
        rufe(callbacks.cb_analogwerte, r);
        meldung("Analogwerte empfangen.");
      } else {
        auto& r = g.tele_status;
        r.status_a = langwort(p, 2);
        r.status_b = langwort(p, 6);
        r.richtungslogik = langwort(p, 10);
        r.ausgaenge = langwort(p, 14);
        r.empfangen = true;
        rufe(callbacks.cb_status, r);
        meldung("Statustelegramm empfangen.");
      }
      break;
    case 5: {
      auto& r = g.tele_portstatus;
      r.zustand = p[2];
      r.port_a = wort(p, 3);
      r.port_b = wort(p, 5);
      r.port_c = wort(p, 7);
      r.empfangen = true;
      rufe(callbacks.cb_portstatus, r);
      meldung("Portstatus empfangen.");
      break;
    }
  }
}

}  // namespace quva
