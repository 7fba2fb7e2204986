#include "ui/diagramm/serienpuffer.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace quva {

namespace {

// Drops the inner points of horizontal runs.
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

int64_t t_serienpuffer::spalte_von(double x) const {
  return static_cast<int64_t>(std::clamp(std::floor(x / breite_), -9.0e18, 9.0e18));
}

void t_serienpuffer::spaltenbreite_setzen(double breite) {
  if (!(breite > 0)) breite = 0;
  if (breite == breite_) return;
  breite_ = breite;
  summen_neu();
}

void t_serienpuffer::summen_neu() {
  spalten_.clear();
  if (breite_ <= 0) return;
  uint64_t n = naechste_nummer_ - punkte_.size();
  for (const QPointF& p : punkte_) einordnen(p, n++);
}

void t_serienpuffer::einordnen(const QPointF& p, uint64_t n) {
  if (breite_ <= 0) return;
  const int64_t k = spalte_von(p.x());
  if (spalten_.empty() || spalten_.back().k != k) {
    spalten_.push_back({k, p, p, p, p, n, n, n, n});
    return;
  }
  Spalte& s = spalten_.back();
  s.letzter = p;
  s.n_letzter = n;
  if (p.y() < s.tief.y()) s.tief = p, s.n_tief = n;
  if (p.y() > s.hoch.y()) s.hoch = p, s.n_hoch = n;
}

void t_serienpuffer::anhaengen(const QPointF& p) {
  punkte_.push_back(p);
  einordnen(p, naechste_nummer_++);
}

void t_serienpuffer::vorne_kuerzen(double x_min) {
  bool gekuerzt = false;
  while (!punkte_.empty() && punkte_.front().x() < x_min) {
    punkte_.pop_front();
    gekuerzt = true;
  }
  if (!gekuerzt || breite_ <= 0) return;
  if (punkte_.empty()) {
    spalten_.clear();
    return;
  }
  const int64_t k0 = spalte_von(punkte_.front().x());
  while (!spalten_.empty() && spalten_.front().k < k0) spalten_.pop_front();
  const uint64_t n0 = naechste_nummer_ - punkte_.size();
  if (spalten_.empty() || spalten_.front().k != k0 || spalten_.front().n_erster == n0) return;
  // The first column lost its first points: summarise what is left of it.
  Spalte neu{k0, punkte_.front(), punkte_.front(), punkte_.front(), punkte_.front(), n0, n0, n0,
             n0};
  uint64_t n = n0;
  for (auto it = punkte_.begin() + 1; it != punkte_.end() && spalte_von(it->x()) == k0; ++it) {
    ++n;
    neu.letzter = *it, neu.n_letzter = n;
    if (it->y() < neu.tief.y()) neu.tief = *it, neu.n_tief = n;
    if (it->y() > neu.hoch.y()) neu.hoch = *it, neu.n_hoch = n;
  }
  spalten_.front() = neu;
}

void t_serienpuffer::leeren() {
  punkte_.clear();
  spalten_.clear();
}

void t_serienpuffer::reduktion(QList<QPointF>& aus, double x_versatz) const {
  aus.clear();
  const QPointF versatz(x_versatz, 0);
  // Up to four points a column cost no more than the reduction: keep them all.
  if (breite_ <= 0 || punkte_.size() <= 4 * spalten_.size()) {
    aus.reserve(static_cast<qsizetype>(punkte_.size()));
    for (const QPointF& p : punkte_) aus.append(p - versatz);
  } else {
    aus.reserve(static_cast<qsizetype>(4 * spalten_.size()));
    for (const Spalte& s : spalten_) {
      std::array<std::pair<uint64_t, QPointF>, 4> vier{{{s.n_erster, s.erster},
                                                        {s.n_tief, s.tief},
                                                        {s.n_hoch, s.hoch},
                                                        {s.n_letzter, s.letzter}}};
      std::sort(vier.begin(), vier.end(),
                [](const auto& a, const auto& b) { return a.first < b.first; });
      for (size_t i = 0; i < vier.size(); ++i)
        if (i == 0 || vier[i].first != vier[i - 1].first) aus.append(vier[i].second - versatz);
    }
  }
  waagrechte_zusammenfassen(aus);
}

}  // namespace quva
