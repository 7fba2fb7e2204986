// The device front, checked on pixels of the rendered image: frame, block
// bodies and their edges, the knob of every switch, the empty slots and the
// colour of every LED.
#include "ui/main/front_bild.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>
#include <string>

namespace quva {
namespace {

const QColor knopfflaeche(212, 208, 200);
const QColor schwarz(0, 0, 0), weiss(255, 255, 255), rot(255, 0, 0), lime(0, 255, 0),
    grau(128, 128, 128), blau(0, 0, 255), oliv(128, 128, 0), lila(128, 0, 128), gelb(255, 255, 0);

QImage zeichnen(uint32_t status_a, uint32_t status_b, uint32_t ausgaenge) {
  QImage bild(front_breite, front_hoehe, QImage::Format_RGB32);
  bild.fill(Qt::darkCyan);  // nothing of this may remain
  t_tele_status s;
  s.status_a = status_a;
  s.status_b = status_b;
  s.ausgaenge = ausgaenge;
  s.richtungslogik = 0xFFFFFFFF;  // not used by the picture
  QPainter p(&bild);
  front_zeichnen(p, s, knopfflaeche);
  return bild;
}

QColor farbe(const QImage& bild, int x, int y) { return bild.pixelColor(x, y); }

// Position of the knob of switch i in a block at (x, y): 'L' left, 'R'
// right, '-' empty slot. Reads the middle of each half of the slot.
char knopf(const QImage& bild, int x, int y, int i) {
  const int mitte_y = y + 16 + 10 * i;
  const bool links = farbe(bild, x + 13, mitte_y) == schwarz;
  const bool rechts = farbe(bild, x + 27, mitte_y) == schwarz;
  EXPECT_FALSE(links && rechts) << "switch " << i;
  // The slot around the knob is white.
  EXPECT_EQ(farbe(bild, x + 6, mitte_y), weiss) << "switch " << i;
  EXPECT_EQ(farbe(bild, x + 33, mitte_y), weiss) << "switch " << i;
  return links ? 'L' : rechts ? 'R' : '-';
}

std::string block(const QImage& bild, int x, int y) {
  std::string s;
  for (int i = 0; i < 8; ++i) s += knopf(bild, x, y, i);
  return s;
}
std::string oben(const QImage& bild) { return block(bild, 20, 10); }
std::string unten(const QImage& bild) { return block(bild, 20, 130); }

TEST(FrontBild, RahmenFlaecheUndBloecke) {
  const QImage b = zeichnen(0, 0, 0);
  // Black frame on the outermost pixels, button face inside.
  for (auto [x, y] : {std::pair{0, 0}, {199, 0}, {0, 299}, {199, 299}, {100, 0}, {0, 150}})
    EXPECT_EQ(farbe(b, x, y), schwarz) << x << "," << y;
  for (auto [x, y] : {std::pair{1, 1}, {198, 298}, {150, 50}, {100, 260}, {61, 50}})
    EXPECT_EQ(farbe(b, x, y), knopfflaeche) << x << "," << y;
  // Block bodies: outline on (20,10)-(59,109) and (20,130)-(59,229), red inside.
  for (int y0 : {10, 130}) {
    EXPECT_EQ(farbe(b, 20, y0), schwarz);
    EXPECT_EQ(farbe(b, 59, y0 + 99), schwarz);
    EXPECT_EQ(farbe(b, 60, y0 + 50), knopfflaeche);
    EXPECT_EQ(farbe(b, 20, y0 + 100), knopfflaeche);
    EXPECT_EQ(farbe(b, 21, y0 + 1), rot);
    EXPECT_EQ(farbe(b, 58, y0 + 98), rot);
    EXPECT_EQ(farbe(b, 22, y0 + 50), rot);  // left of the slots
    // Slot 0 spans x 25..54, y 22..29 (outline), knob y 24..27.
    EXPECT_EQ(farbe(b, 25, y0 + 12), schwarz);
    EXPECT_EQ(farbe(b, 54, y0 + 19), schwarz);
    EXPECT_EQ(farbe(b, 55, y0 + 15), rot);
    EXPECT_EQ(farbe(b, 40, y0 + 11), rot);
  }
  // Left knob of switch 0 in the lower block: x 27..39, y 144..147.
  EXPECT_EQ(farbe(b, 27, 144), schwarz);
  EXPECT_EQ(farbe(b, 39, 147), schwarz);
  EXPECT_EQ(farbe(b, 40, 145), weiss);
  EXPECT_EQ(farbe(b, 27, 148), weiss);
}

TEST(FrontBild, SchalterStellungen) {
  struct Fall {
    uint32_t a, b;
    const char* oben;
    const char* unten;
  };
  const Fall faelle[] = {
      {0x000, 0x000, "LLL-LLL-", "LLLLLLLL"},
      {0x07F, 0x000, "RRR-LLL-", "RRRRLLLL"},
      {0x000, 0x07F, "LLL-RRR-", "LLLLRRRR"},
      {0x3FF, 0x000, "RRR-LLL-", "RRRRLLLL"},  // bits 7-9 change nothing
      {0x025, 0x04A, "LRL-LLR-", "RLRLLRLR"},  // a: mode 5 level 2; b: mode 10 hold 1
      {0x010, 0x020, "RLL-LRL-", "LLLLLLLL"},
  };
  for (const auto& f : faelle) {
    const QImage b = zeichnen(f.a, f.b, 0);
    EXPECT_EQ(oben(b), f.oben) << std::hex << f.a << " " << f.b;
    EXPECT_EQ(unten(b), f.unten) << std::hex << f.a << " " << f.b;
  }
}

TEST(FrontBild, LedFarben) {
  // Centres of the LEDs: A, B, relay 1, relay 2.
  const int x = 120, y_a = 150, y_b = 170, y_r1 = 190, y_r2 = 210;
  struct Fall {
    uint32_t ausgaenge;
    QColor a, b, r1, r2;
  };
  const Fall faelle[] = {
      {0x000, grau, grau, grau, grau},      {0x074, weiss, grau, lime, grau},
      {0x030, oliv, grau, grau, grau},      {0x008, grau, grau, grau, lime},
      {0x010, blau, grau, grau, grau},      {0x020, lime, grau, grau, grau},
      {0x040, rot, grau, grau, grau},       {0x050, lila, grau, grau, grau},
      {0x060, gelb, grau, grau, grau},      {0x080, grau, blau, grau, grau},
      {0x100, grau, lime, grau, grau},      {0x200, grau, rot, grau, grau},
      {0x180, grau, oliv, grau, grau},      {0x280, grau, lila, grau, grau},
      {0x300, grau, gelb, grau, grau},      {0x38C, grau, weiss, lime, lime},
      {0xFFFFFC03, grau, grau, grau, grau},  // relays and higher bits draw nothing
  };
  for (const auto& f : faelle) {
    const QImage b = zeichnen(0, 0, f.ausgaenge);
    EXPECT_EQ(farbe(b, x, y_a), f.a) << std::hex << f.ausgaenge;
    EXPECT_EQ(farbe(b, x, y_b), f.b) << std::hex << f.ausgaenge;
    EXPECT_EQ(farbe(b, x, y_r1), f.r1) << std::hex << f.ausgaenge;
    EXPECT_EQ(farbe(b, x, y_r2), f.r2) << std::hex << f.ausgaenge;
  }
  // A circle, not a square: the corners of each box stay button face, the
  // outline is black at the box's edge.
  const QImage b = zeichnen(0, 0, 0x3FC);
  for (int y0 : {142, 162, 182, 202}) {
    EXPECT_EQ(farbe(b, 112, y0), knopfflaeche);
    EXPECT_EQ(farbe(b, 127, y0 + 15), knopfflaeche);
    EXPECT_EQ(farbe(b, 112, y0 + 8), schwarz);
    EXPECT_EQ(farbe(b, 120, y0 + 15), schwarz);
    EXPECT_EQ(farbe(b, 120, y0 + 16), knopfflaeche);
  }
}

TEST(FrontBild, NeuZeichnenLaesstKeineSpur) {
  QImage b(front_breite, front_hoehe, QImage::Format_RGB32);
  t_tele_status s{0x07F, 0x07F, 0, 0x3FC, true};
  {
    QPainter p(&b);
    front_zeichnen(p, s, knopfflaeche);
    front_zeichnen(p, t_tele_status{}, knopfflaeche);
  }
  EXPECT_EQ(b, zeichnen(0, 0, 0));
}

}  // namespace
}  // namespace quva
