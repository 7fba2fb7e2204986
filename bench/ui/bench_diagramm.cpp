// Cost of one diagram sample (buffer, trimming, reduction, replace, axis) and
// of one repaint (the window rendered offscreen into an image of its size),
// with full series of 36,000 and 3,600 points, against the same chart holding
// every point (append, trim, axis). Prints medians and their ratios.
//
// Run: QT_QPA_PLATFORM=offscreen bench_diagramm [repetitions]

#include <QApplication>
#include <QChart>
#include <QComboBox>
#include <QLineSeries>
#include <QPainter>
#include <QValueAxis>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <functional>
#include <vector>

#include "ui/diagramm/frm_diagramm.h"

using namespace quva;

namespace {

// Thread CPU time: the machine may be shared, and waiting for a core is not
// a cost of the code measured.
double cpu_ms() {
  timespec ts{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
  return ts.tv_sec * 1e3 + ts.tv_nsec / 1e6;
}

double median_ms(int wiederholungen, const std::function<void()>& schritt) {
  std::vector<double> zeiten;
  for (int i = 0; i < wiederholungen; ++i) {
    const double anfang = cpu_ms();
    schritt();
    zeiten.push_back(cpu_ms() - anfang);
  }
  std::sort(zeiten.begin(), zeiten.end());
  return zeiten[zeiten.size() / 2];
}

// Loop deviations that wander with noise and now and then drop for a
// passing vehicle: a worst case for the reduction (every column differs).
double abweichung(int i, int phase) {
  const double fahrzeug = std::sin((i + phase) * 0.004) > 0.9 ? -600 : 0;
  return fahrzeug + 30 * std::sin(i * 0.37 + phase) + 10 * std::sin(i * 2.1);
}

struct Messung {
  double probe, bild;
};

void probe(TFormDiagramm& form, int& i) {
  form.diagramm_messpunkt(abweichung(i, 0), abweichung(i, 900), 10000, 9800, 7200000, 7346938, 0x10,
                          0x20);
  ++i;
}

Messung reduziert_messen(int punkte, int abtastrate, int wiederholungen) {
  TFormDiagramm form;
  form.ComboBoxAbtastrate->setCurrentIndex(abtastrate);
  form.ComboBoxIntervall->setCurrentIndex(7);  // 1 h
  form.show();
  int i = 0;
  while (i < punkte) probe(form, i);  // the chart is drawn once, below
  form.zeichnen();
  QApplication::processEvents();
  if (static_cast<int>(form.punkte(TFormDiagramm::a_delta).size()) != punkte + 1 &&
      static_cast<int>(form.punkte(TFormDiagramm::a_delta).size()) != punkte)
    std::fprintf(stderr, "unexpected buffer size %zu\n",
                 form.punkte(TFormDiagramm::a_delta).size());
  QImage bild(form.size(), QImage::Format_RGB32);
  Messung m;
  m.probe = median_ms(wiederholungen, [&] {
    probe(form, i);
    form.zeichnen();
  });
  m.bild = median_ms(wiederholungen, [&] {
    QPainter maler(&bild);
    form.render(&maler);
  });
  return m;
}

// The same window's chart fed the plain way: every point on the series.
Messung voll_messen(int punkte, double schritt, int wiederholungen) {
  TFormDiagramm form;
  form.show();
  // Series straight on the visible time axis, as a chart without the
  // window's reduction would have them.
  for (int s = 0; s < TFormDiagramm::serien_anzahl; ++s) {
    QLineSeries* serie = form.serie(static_cast<TFormDiagramm::Serie>(s));
    for (QAbstractAxis* achse : serie->attachedAxes())
      if (achse->alignment() == Qt::AlignBottom) serie->detachAxis(achse);
    serie->attachAxis(form.achse_zeit());
  }
  std::array<QList<QPointF>, TFormDiagramm::serien_anzahl> daten;
  int i = 0;
  for (; i < punkte; ++i)
    for (int s = 0; s < TFormDiagramm::serien_anzahl; ++s)
      daten[s].append(QPointF(i * schritt, s % 3 == 0 ? abweichung(i, s * 300) : -20.0 - s));
  // Axis first: points handed to a series outside the current range are
  // not drawn until they change again.
  form.achse_zeit()->setTickInterval(360);
  form.achse_zeit()->setRange((i - 1) * schritt - 3600, (i - 1) * schritt);
  QApplication::processEvents();
  for (int s = 0; s < TFormDiagramm::serien_anzahl; ++s)
    form.serie(static_cast<TFormDiagramm::Serie>(s))->replace(daten[s]);
  QApplication::processEvents();
  QImage bild(form.size(), QImage::Format_RGB32);
  Messung m;
  m.probe = median_ms(wiederholungen, [&] {
    const double t = i * schritt;
    for (int s = 0; s < TFormDiagramm::serien_anzahl; ++s) {
      QLineSeries* serie = form.serie(static_cast<TFormDiagramm::Serie>(s));
      serie->append(t, s % 3 == 0 ? abweichung(i, s * 300) : -20.0 - s);
      serie->removePoints(0, 1);
    }
    form.achse_zeit()->setRange(t - 3600, t);
    ++i;
  });
  m.bild = median_ms(wiederholungen, [&] {
    QPainter maler(&bild);
    form.render(&maler);
  });
  return m;
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  const int wiederholungen = argc > 1 ? std::max(3, std::atoi(argv[1])) : 101;
  struct Fall {
    int punkte, abtastrate;
    double schritt;
  };
  std::printf("Diagram window, median of %d runs (full data: %d runs), CPU milliseconds\n",
              wiederholungen, std::max(3, wiederholungen / 5));
  std::printf("%8s | %9s %9s %9s | %9s %9s %9s | %7s %7s %7s\n", "points", "sample", "repaint",
              "sum", "full smp", "full rep", "full sum", "x smp", "x rep", "x sum");
  for (const Fall f : {Fall{36000, 0, 0.1}, Fall{3600, 2, 1.0}}) {
    const Messung r = reduziert_messen(f.punkte, f.abtastrate, wiederholungen);
    const Messung v = voll_messen(f.punkte, f.schritt, std::max(3, wiederholungen / 5));
    std::printf("%8d | %9.3f %9.3f %9.3f | %9.3f %9.3f %9.3f | %7.1f %7.1f %7.1f\n", f.punkte,
                r.probe, r.bild, r.probe + r.bild, v.probe, v.bild, v.probe + v.bild,
                v.probe / r.probe, v.bild / r.bild, (v.probe + v.bild) / (r.probe + r.bild));
    if (f.punkte == 36000)
      std::printf(
          "         target: sample + repaint <= 10 ms at 36,000 points: %.2f of the budget\n",
          (r.probe + r.bild) / 10.0);
  }
  return 0;
}
