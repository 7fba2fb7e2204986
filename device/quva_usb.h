#pragma once
// Telegram protocol of the detector: framing of the outgoing query, command
// and test-command telegrams, decoding of every incoming telegram into the
// device data block, and the name tables of the status words.
//
// Texts are UTF-8.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

#include "device/hid_link.h"

namespace quva {

struct t_tele_programmversion {
  uint16_t kennung = 0;  // version code
  std::string name;      // derived version name
  bool empfangen = false;

  bool operator==(const t_tele_programmversion&) const = default;
};

struct t_tele_betriebsstunden {
  uint32_t zaehler = 0;  // 10-minute ticks
  bool empfangen = false;

  bool operator==(const t_tele_betriebsstunden&) const = default;
};

struct t_tele_status {
  uint32_t status_a = 0;
  uint32_t status_b = 0;
  uint32_t richtungslogik = 0;
  uint32_t ausgaenge = 0;
  bool empfangen = false;

  bool operator==(const t_tele_status&) const = default;
};

struct t_tele_seriennummer {
  uint32_t nummer = 0;
  bool empfangen = false;

  bool operator==(const t_tele_seriennummer&) const = default;
};

struct t_tele_abgleichcounter {
  uint16_t zaehler_a = 0;
  uint16_t zaehler_b = 0;
  bool empfangen = false;

  bool operator==(const t_tele_abgleichcounter&) const = default;
};

struct t_tele_perioden {
  uint32_t periode_a = 0;
  uint32_t periode_b = 0;
  uint32_t ref_periode_a = 0;
  uint32_t ref_periode_b = 0;
  bool empfangen = false;

  bool operator==(const t_tele_perioden&) const = default;
};

struct t_tele_analogwerte {
  uint16_t dip_b5_b6 = 0;
  uint16_t dip_b3_b4 = 0;
  uint16_t dip_b7_b8 = 0;
  uint16_t dip_b1_b2 = 0;
  uint16_t dip_a6_a7 = 0;
  uint16_t dip_a3_a5 = 0;
  uint16_t dip_a1_a2 = 0;
  bool empfangen = false;

  bool operator==(const t_tele_analogwerte&) const = default;
};

struct t_tele_portstatus {
  uint8_t zustand = 0;
  uint16_t port_a = 0;
  uint16_t port_b = 0;
  uint16_t port_c = 0;
  bool empfangen = false;

  bool operator==(const t_tele_portstatus&) const = default;
};

// The device data block: one program-wide instance, zero at start, kept for
// the whole run.
struct t_geraetedaten {
  bool ack_empfangen = false;
  bool nak_empfangen = false;
  bool busy_empfangen = false;
  t_tele_programmversion tele_programmversion;
  t_tele_betriebsstunden tele_betriebsstunden;
  t_tele_status tele_status;
  t_tele_seriennummer tele_seriennummer;
  t_tele_abgleichcounter tele_abgleichcounter;
  t_tele_perioden tele_perioden;
  t_tele_analogwerte tele_analogwerte;
  t_tele_portstatus tele_portstatus;

  bool operator==(const t_geraetedaten&) const = default;
};

extern t_geraetedaten geraet;

// Puts the data block back to its start state (all zero); for tests.
void geraetedaten_zuruecksetzen();

// Telegram kinds of the outgoing telegrams (byte 1).
inline constexpr uint8_t tele_kennung_abfrage = 0x01;
inline constexpr uint8_t tele_kennung_befehl = 0x02;
inline constexpr uint8_t tele_kennung_pruefbefehl = 0x03;
inline constexpr uint8_t tele_erstes_byte = 0x06;

// Query selections (byte 2 of a query): which data set the detector sends.
inline constexpr uint8_t auswahl_programmversion = 0;
inline constexpr uint8_t auswahl_status = 1;
inline constexpr uint8_t auswahl_seriennummer = 2;
inline constexpr uint8_t auswahl_perioden = 3;
inline constexpr uint8_t auswahl_betriebsstunden = 4;
inline constexpr uint8_t auswahl_abgleichcounter = 5;
inline constexpr uint8_t auswahl_portstatus = 6;
inline constexpr uint8_t auswahl_analogwerte = 7;

// Name tables of the status-word fields.
extern const std::array<std::string, 4> stufe_namen;
extern const std::array<std::string, 16> betriebsart_namen;
extern const std::array<std::string, 2> haltezeit_namen;

// Send one query, command or test-command telegram (three bytes) over the
// link. Nothing happens while the link is not active.
void sende_abfrage(HidLink& link, uint8_t auswahl);
void sende_befehl(HidLink& link, uint8_t auswahl);
void sende_pruefbefehl(HidLink& link, uint8_t auswahl);

// Decodes one received input report into the data block and calls the hooks.
// `laenge` is the number of valid bytes in `puffer`; nothing past it is read.
// A report too short for its kind (also one of length 0 or 1) is dropped: the
// block stays unchanged, no data hook runs, and slot 1 gets
// "Zu kurzes Telegramm empfangen: ID=0x.., Kennung = 0x.., Länge = n" (ID and
// Kennung only as far as present).
void telegramm_auswerten(const uint8_t* puffer, std::size_t laenge);

}  // namespace quva
