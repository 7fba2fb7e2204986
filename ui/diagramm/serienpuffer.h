#pragma once
// Every sample of one chart series within the shown interval, and what a
// plot of a given pixel width can show of it: per pixel column the first,
// the lowest, the highest and the last point, in their original order. The
// drawn line then reaches every extreme and every column edge of the full
// data, so no one-sample spike and no step is lost, while the chart only
// strokes a few points per column.
//
// The columns lie on a fixed grid of the time axis (column k holds
// k * breite <= x < (k + 1) * breite), so a column's summary stays valid
// while the interval scrolls: a new sample updates the last column, trimming
// recomputes the first, and the reduction costs the number of columns, not
// the number of samples.

#include <QList>
#include <QPointF>
#include <cstdint>
#include <deque>

namespace quva {

class t_serienpuffer {
 public:
  // Column width in x units; 0 (or less) keeps every point in the reduction.
  // A new width rebuilds the summaries from the samples.
  void spaltenbreite_setzen(double breite);

  // Appends a point; x must not be below the last point's x.
  void anhaengen(const QPointF& p);
  // Removes the points with x below `x_min` from the front.
  void vorne_kuerzen(double x_min);
  void leeren();

  const std::deque<QPointF>& punkte() const { return punkte_; }

  // The reduction of all points into `aus` (cleared first), x shifted by
  // `x_versatz`: per column its first, lowest, highest and last point in
  // order, each once (every point while there are no more than four per
  // column on average), and inner points of horizontal runs left out (a line
  // through them is the same as the line from the run's first to its last
  // point, so a threshold that does not change costs two points).
  void reduktion(QList<QPointF>& aus, double x_versatz = 0) const;

 private:
  struct Spalte {
    int64_t k;
    QPointF erster, tief, hoch, letzter;
    // Sample numbers of the four points: their order within the column.
    uint64_t n_erster, n_tief, n_hoch, n_letzter;
  };
  int64_t spalte_von(double x) const;
  void einordnen(const QPointF& p, uint64_t n);
  void summen_neu();

  std::deque<QPointF> punkte_;
  std::deque<Spalte> spalten_;
  uint64_t naechste_nummer_ = 0;  // sample number of the next point
  double breite_ = 0;
};

}  // namespace quva
