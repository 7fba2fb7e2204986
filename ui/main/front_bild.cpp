#include "ui/main/front_bild.h"

namespace quva {

namespace {

const QColor farbe_rot(255, 0, 0);
const QColor farbe_weiss(255, 255, 255);
const QColor farbe_schwarz(0, 0, 0);
const QColor farbe_lime(0, 255, 0);
const QColor farbe_grau(128, 128, 128);

// A rectangle given by (x1, y1)-(x2, y2) covers the pixels x1..x2-1 and
// y1..y2-1: a one-pixel black outline on that box, the inside filled.
void rechteck(QPainter& p, int x1, int y1, int x2, int y2, const QColor& fuellung) {
  p.fillRect(x1, y1, x2 - x1, y2 - y1, farbe_schwarz);
  if (x2 - x1 > 2 && y2 - y1 > 2) p.fillRect(x1 + 1, y1 + 1, x2 - x1 - 2, y2 - y1 - 2, fuellung);
}

// The ellipse inscribed in the same box, black outline, filled.
void kreis(QPainter& p, int x1, int y1, int x2, int y2, const QColor& fuellung) {
  p.save();
  p.setRenderHint(QPainter::Antialiasing, false);
  p.setPen(QPen(farbe_schwarz, 1));
  p.setBrush(fuellung);
  // A stroked QRect covers its size plus the pen width.
  p.drawEllipse(QRect(x1, y1, x2 - x1 - 1, y2 - y1 - 1));
  p.restore();
}

}  // namespace

QColor led_farbe(uint32_t code) {
  static const std::array<QColor, 8> farben{
      farbe_grau,           // off
      QColor(0, 0, 255),    // blue
      farbe_lime,           // green
      QColor(128, 128, 0),  // olive
      farbe_rot,            // red
      QColor(128, 0, 128),  // purple
      QColor(255, 255, 0),  // yellow
      farbe_weiss,          // white
  };
  return farben[code & 7];
}

void dip_reihe_zeichnen(QPainter& p, int x, int y, uint8_t wert, uint8_t maske) {
  const auto& g = dip_geometrie;
  rechteck(p, x, y, x + g[1], y + g[0], farbe_rot);
  for (int i = 0; i < 8; ++i) {
    const int oben = y + g[6] + g[2] * i;
    rechteck(p, x + g[5], oben, x + g[5] + g[4], oben + g[3], farbe_weiss);
    if (maske & (1u << i)) continue;
    const int knopf_oben = oben + 2;
    const int knopf_unten = oben + g[3] - 2;
    if (wert & (1u << i)) {
      rechteck(p, x + g[5] + g[4] / 2, knopf_oben, x + g[5] + g[4] - 2, knopf_unten, farbe_schwarz);
    } else {
      rechteck(p, x + g[5] + 2, knopf_oben, x + g[5] + g[4] / 2, knopf_unten, farbe_schwarz);
    }
  }
}

void front_zeichnen(QPainter& p, const t_tele_status& status, const QColor& knopfflaeche) {
  rechteck(p, 0, 0, front_breite, front_hoehe, knopfflaeche);

  // Upper block: sensitivity level and hold time of loop A (switches 1-3) and
  // of loop B (switches 5-7); positions 4 and 8 have no switch.
  const uint8_t oben = static_cast<uint8_t>(((status.status_a >> 4) & 0x07) |
                                            (((status.status_b >> 4) & 0x07) << 4));
  dip_reihe_zeichnen(p, 20, 10, oben, 0x88);

  // Lower block: operating mode of loop A (switches 1-4) and loop B (5-8).
  const uint8_t unten =
      static_cast<uint8_t>((status.status_a & 0x0F) + 16 * (status.status_b & 0x0F));
  dip_reihe_zeichnen(p, 20, 130, unten, 0x00);

  const uint32_t a = status.ausgaenge;
  kreis(p, 112, 182, 128, 198, (a & 0x04) ? farbe_lime : farbe_grau);  // relay 1
  kreis(p, 112, 202, 128, 218, (a & 0x08) ? farbe_lime : farbe_grau);  // relay 2
  kreis(p, 112, 142, 128, 158, led_farbe((a >> 4) & 7));               // loop A
  kreis(p, 112, 162, 128, 178, led_farbe((a >> 7) & 7));               // loop B
}

}  // namespace quva
