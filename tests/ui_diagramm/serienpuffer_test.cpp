#include "ui/diagramm/serienpuffer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <random>

namespace quva {
namespace {

struct Spalte {
  QPointF erster, letzter;
  double tief = 1e300, hoch = -1e300;
};

// Per-column summary of the buffer's points, straight from the points.
std::map<int64_t, Spalte> von_hand(const std::deque<QPointF>& punkte, double breite) {
  std::map<int64_t, Spalte> spalten;
  for (const QPointF& p : punkte) {
    const auto k = static_cast<int64_t>(std::floor(p.x() / breite));
    auto [it, neu] = spalten.try_emplace(k);
    if (neu) it->second.erster = p;
    it->second.letzter = p;
    it->second.tief = std::min(it->second.tief, p.y());
    it->second.hoch = std::max(it->second.hoch, p.y());
  }
  return spalten;
}

TEST(Serienpuffer, ScrollingReductionKeepsEveryColumnsEdgesAndExtremes) {
  struct Fall {
    int proben;
    double schritt_min, schritt_max, intervall;
    int spalten;
  };
  const Fall faelle[] = {
      {40000, 0.1, 0.1, 3600, 528},  // 100 ms for an hour
      {9000, 0.05, 1.0, 600, 97},    // uneven steps
      {3000, 1, 1, 120, 528},        // fewer points than columns
  };
  for (const Fall& f : faelle) {
    SCOPED_TRACE(testing::Message() << f.proben << " samples, " << f.spalten << " columns");
    std::mt19937 zufall(f.proben);
    std::uniform_real_distribution<double> schritt(f.schritt_min, f.schritt_max), rauschen(-5, 5);
    const double breite = f.intervall / f.spalten;
    t_serienpuffer puffer;
    puffer.spaltenbreite_setzen(breite);
    double t = 0, y = 0;
    for (int i = 1; i <= f.proben; ++i) {
      t += schritt(zufall);
      y += rauschen(zufall);
      // One-sample spikes now and then, and stretches of a constant value.
      const double wert = i % 997 == 500       ? y - 2000
                          : i % 1301 == 7      ? y + 900
                          : (i / 700) % 5 == 2 ? 3
                                               : y;
      puffer.anhaengen({t, wert});
      puffer.vorne_kuerzen(t - f.intervall);
      if (i % 2999 != 0 && i != f.proben) continue;

      ASSERT_GE(puffer.punkte().front().x(), t - f.intervall);
      QList<QPointF> aus;
      const double von = t - f.intervall;
      puffer.reduktion(aus, von);
      for (qsizetype j = 1; j < aus.size(); ++j) ASSERT_LT(aus[j - 1].x(), aus[j].x()) << j;
      const auto spalten = von_hand(puffer.punkte(), breite);
      EXPECT_LE(aus.size(), 4 * static_cast<qsizetype>(spalten.size()));
      const auto enthalten = [&](const QPointF& p) { return aus.contains(p - QPointF(von, 0)); };
      const auto hat_y = [&](double w) {
        return std::any_of(aus.begin(), aus.end(), [&](const QPointF& p) { return p.y() == w; });
      };
      for (const auto& [k, s] : spalten) {
        // Edges may only be missing inside a horizontal run, where the line
        // passes through them anyway.
        EXPECT_TRUE(enthalten(s.erster) || s.erster.y() == 3) << k;
        EXPECT_TRUE(enthalten(s.letzter) || s.letzter.y() == 3) << k;
        EXPECT_TRUE(hat_y(s.tief)) << k;
        EXPECT_TRUE(hat_y(s.hoch)) << k;
      }
      // Kept up sample by sample, the summary equals one built from scratch.
      t_serienpuffer neu;
      for (const QPointF& p : puffer.punkte()) neu.anhaengen(p);
      neu.spaltenbreite_setzen(breite);
      QList<QPointF> soll;
      neu.reduktion(soll, von);
      EXPECT_EQ(aus, soll);
    }
  }
}

TEST(Serienpuffer, HorizontalRunsShrinkToTheirEnds) {
  // A constant threshold that steps once. With columns of seven samples the
  // step's column is drawn from its first point (1498) to its highest (1500).
  const std::pair<double, double> faelle[] = {{0.0, 1399}, {1.0, 1399}, {7.0, 1398}};
  for (const auto& [breite, letzter_tiefer] : faelle) {
    t_serienpuffer puffer;
    puffer.spaltenbreite_setzen(breite);
    for (int i = 0; i < 3000; ++i) puffer.anhaengen({double(i), i < 1500 ? -25.0 : -18.0});
    QList<QPointF> aus;
    puffer.reduktion(aus, 100);
    EXPECT_EQ(aus, (QList<QPointF>{{-100, -25}, {letzter_tiefer, -25}, {1400, -18}, {2899, -18}}))
        << breite;
  }
}

TEST(Serienpuffer, WithoutColumnsEveryPointAndClearEmpties) {
  t_serienpuffer puffer;
  for (int i = 0; i < 10; ++i) puffer.anhaengen({i * 0.5, double(i % 3)});
  puffer.vorne_kuerzen(1.0);  // a point exactly at the start stays
  QList<QPointF> aus;
  puffer.reduktion(aus);
  EXPECT_EQ(aus.size(), 8);
  EXPECT_EQ(aus.front(), QPointF(1.0, 2));
  puffer.leeren();
  puffer.reduktion(aus);
  EXPECT_TRUE(aus.isEmpty());
  EXPECT_TRUE(puffer.punkte().empty());
}

}  // namespace
}  // namespace quva
