#pragma once
// The drawn front of the detector: two blocks of eight DIP switches, the two
// three-colour loop LEDs and the two relay LEDs, as the status telegram
// reports them. Drawn on a 200 x 300 image.

#include <QColor>
#include <QImage>
#include <QPainter>
#include <array>
#include <cstdint>

#include "device/quva_usb.h"

namespace quva {

inline constexpr int front_breite = 200;
inline constexpr int front_hoehe = 300;

// Size of one DIP-switch block: block height, block width, pitch from one
// switch to the next, slot height, slot width, slot inset from the left edge,
// inset of the first slot from the top edge.
inline constexpr std::array<uint16_t, 7> dip_geometrie{100, 40, 10, 8, 30, 5, 12};

// Colour of a three-colour LED from its code: bit 0 blue, bit 1 green,
// bit 2 red; 0 is off (gray). Only the three low bits are used.
QColor led_farbe(uint32_t code);

// One block of eight switches with its top-left corner at (x, y); bit i of
// value and mask belongs to switch i (0 at the top). A set mask bit leaves
// the slot empty.
void dip_reihe_zeichnen(QPainter& p, int x, int y, uint8_t wert, uint8_t maske);

// The whole picture from status_a, status_b and ausgaenge, starting with a
// cleared area in the button-face colour inside a black frame.
void front_zeichnen(QPainter& p, const t_tele_status& status, const QColor& knopfflaeche);

}  // namespace quva
