#include "ui/diagramm/spalten_reduktion.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

namespace quva {
namespace {

// Random walk with one-sample spikes, x strictly rising with uneven steps.
std::deque<QPointF> zufallsdaten(int n, unsigned saat) {
  std::mt19937 zufall(saat);
  std::uniform_real_distribution<double> schritt(0.01, 0.2), wert(-5, 5);
  std::deque<QPointF> d;
  double x = 0, y = 0;
  for (int i = 0; i < n; ++i) {
    x += schritt(zufall);
    y += wert(zufall);
    d.emplace_back(x, i % 997 == 500 ? y - 2000 : (i % 1301 == 7 ? y + 900 : y));
  }
  return d;
}

TEST(SpaltenReduktion, KeepsFirstLastAndExtremesOfEveryColumnInOrder) {
  struct Fall {
    int n;
    int spalten;
    double von_anteil, bis_anteil;  // shown part of the data's x span
  };
  for (const Fall f : {Fall{36000, 600, 0, 1}, Fall{36000, 7, 0.2, 0.9}, Fall{5000, 333, 0.5, 1},
                       Fall{3000, 600, 0, 1}}) {
    SCOPED_TRACE(testing::Message() << f.n << " points, " << f.spalten << " columns");
    const auto daten = zufallsdaten(f.n, f.n + f.spalten);
    const double x0 = daten.front().x(), x1 = daten.back().x();
    const double von = x0 + f.von_anteil * (x1 - x0), bis = x0 + f.bis_anteil * (x1 - x0);
    QList<QPointF> aus;
    spalten_reduktion(daten, von, bis, f.spalten, aus);

    // Expected per column from a plain pass over the data.
    struct Spalte {
      bool belegt = false;
      QPointF erster, letzter;
      double tief = 1e300, hoch = -1e300;
    };
    std::vector<Spalte> erwartet(f.spalten);
    int im_bereich = 0;
    for (const QPointF& p : daten) {
      if (p.x() < von || p.x() > bis) continue;
      ++im_bereich;
      int c = std::clamp(static_cast<int>(std::floor((p.x() - von) * f.spalten / (bis - von))), 0,
                         f.spalten - 1);
      Spalte& s = erwartet[c];
      if (!s.belegt) s.erster = p;
      s.belegt = true;
      s.letzter = p;
      s.tief = std::min(s.tief, p.y());
      s.hoch = std::max(s.hoch, p.y());
    }
    if (im_bereich <= 4 * f.spalten) {
      EXPECT_EQ(aus.size(), im_bereich);
      continue;
    }
    EXPECT_LE(aus.size(), 4 * f.spalten);
    for (qsizetype i = 1; i < aus.size(); ++i) ASSERT_LT(aus[i - 1].x(), aus[i].x()) << i;
    for (int c = 0; c < f.spalten; ++c) {
      const Spalte& s = erwartet[c];
      if (!s.belegt) continue;
      EXPECT_TRUE(aus.contains(s.erster)) << c;
      EXPECT_TRUE(aus.contains(s.letzter)) << c;
      EXPECT_TRUE(std::any_of(aus.begin(), aus.end(), [&](auto& p) { return p.y() == s.tief; }));
      EXPECT_TRUE(std::any_of(aus.begin(), aus.end(), [&](auto& p) { return p.y() == s.hoch; }));
    }
  }
}

TEST(SpaltenReduktion, EdgesOfTheRange) {
  const std::deque<QPointF> daten{{1, 1}, {2, 2}, {3, 3}, {4, 4}};
  QList<QPointF> aus{{9, 9}};
  spalten_reduktion(daten, 2, 3, 100, aus);  // ends included
  EXPECT_EQ(aus, (QList<QPointF>{{2, 2}, {3, 3}}));
  spalten_reduktion(daten, 5, 9, 100, aus);
  EXPECT_TRUE(aus.isEmpty());
  spalten_reduktion({}, 0, 1, 100, aus);
  EXPECT_TRUE(aus.isEmpty());
  spalten_reduktion(daten, 0, 10, 0, aus);  // no columns known: everything
  EXPECT_EQ(aus.size(), 4);
}

TEST(SpaltenReduktion, HorizontalRunsShrinkToTheirEnds) {
  // A constant threshold, then a step, then constant again; long and short.
  for (int n : {30, 36000}) {
    std::deque<QPointF> daten;
    for (int i = 0; i < n; ++i) daten.emplace_back(i, i < n / 2 ? -25.0 : -18.0);
    QList<QPointF> aus;
    spalten_reduktion(daten, 0, n - 1, 600, aus);
    EXPECT_EQ(aus, (QList<QPointF>{{0, -25}, {n / 2 - 1.0, -25}, {n / 2.0, -18}, {n - 1.0, -18}}))
        << n;
  }
}

}  // namespace
}  // namespace quva
