#include "ui/diagramm/spalten_reduktion.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace quva {

namespace {

// Drops the inner points of horizontal runs: a line through them is the
// same line as the one from the run's first to its last point. A threshold
// that does not change then costs the chart two points instead of a few per
// column.
void waagrechte_zusammenfassen(QList<QPointF>& punkte) {
  if (punkte.size() < 3) return;
  qsizetype ziel = 1;
  for (qsizetype i = 1; i + 1 < punkte.size(); ++i) {
    if (punkte[i].y() == punkte[ziel - 1].y() && punkte[i].y() == punkte[i + 1].y()) continue;
    punkte[ziel++] = punkte[i];
  }
  punkte[ziel++] = punkte.back();
  punkte.resize(ziel);
}

}  // namespace

void spalten_reduktion(const std::deque<QPointF>& punkte, double x_min, double x_max, int spalten,
                       QList<QPointF>& aus) {
  aus.clear();
  const auto nach_x = [](const QPointF& p, double x) { return p.x() < x; };
  const auto anfang = std::lower_bound(punkte.begin(), punkte.end(), x_min, nach_x);
  const auto ende = std::upper_bound(punkte.begin(), punkte.end(), x_max,
                                     [](double x, const QPointF& p) { return x < p.x(); });
  if (anfang >= ende) return;
  const double breite = x_max - x_min;
  if (spalten < 1 || !(breite > 0) || ende - anfang <= 4 * spalten) {
    aus.reserve(ende - anfang);
    for (auto it = anfang; it != ende; ++it) aus.append(*it);
    waagrechte_zusammenfassen(aus);
    return;
  }
  aus.reserve(4 * spalten + 4);
  const double je_spalte = spalten / breite;
  const auto spalte_von = [&](double x) {
    return std::clamp(static_cast<int>(std::floor((x - x_min) * je_spalte)), 0, spalten - 1);
  };

  // Emits the column [erster, letzter] (inclusive iterators) as its first,
  // extreme and last points in order, each point once.
  const auto spalte_ausgeben = [&](auto erster, auto letzter, auto tief, auto hoch) {
    std::array<decltype(erster), 4> idx{erster, tief, hoch, letzter};
    std::sort(idx.begin(), idx.end());
    for (size_t i = 0; i < idx.size(); ++i)
      if (i == 0 || idx[i] != idx[i - 1]) aus.append(*idx[i]);
  };

  auto erster = anfang, tief = anfang, hoch = anfang;
  int spalte = spalte_von(anfang->x());
  for (auto it = anfang + 1; it != ende; ++it) {
    const int s = spalte_von(it->x());
    if (s != spalte) {
      spalte_ausgeben(erster, it - 1, tief, hoch);
      erster = tief = hoch = it;
      spalte = s;
      continue;
    }
    if (it->y() < tief->y()) tief = it;
    if (it->y() > hoch->y()) hoch = it;
  }
  spalte_ausgeben(erster, ende - 1, tief, hoch);
  waagrechte_zusammenfassen(aus);
}

}  // namespace quva
