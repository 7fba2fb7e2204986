#pragma once
// Reduction of a long, x-sorted point sequence to what a plot of a given
// pixel width can show: per pixel column the first, the lowest, the highest
// and the last point, in their original order. The drawn line then reaches
// every extreme and every column edge of the full data, so no one-sample
// spike and no step is lost, while the chart only strokes a few points per
// column.

#include <QList>
#include <QPointF>
#include <deque>

namespace quva {

// Inner points of horizontal runs are left out too, as they add nothing to
// the drawn line.
//
// Appends to `aus` (cleared first) the reduction of the points of `punkte`
// whose x lies in [x_min, x_max], for `spalten` columns of equal width.
// `punkte` must be sorted by x. With spalten < 1 or an empty range every
// point of the range is kept.
void spalten_reduktion(const std::deque<QPointF>& punkte, double x_min, double x_max, int spalten,
                       QList<QPointF>& aus);

}  // namespace quva
