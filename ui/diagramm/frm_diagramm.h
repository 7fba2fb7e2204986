#pragma once
// The diagram window: records how the frequencies of loops A and B move away
// from their references, with the switching thresholds, against time.
//
// Every sample of the shown interval is kept in one buffer per series (the
// data the trimming, "Clear" and hidden series act on). A series on the chart
// only gets a per-pixel-column reduction of its buffer (first, lowest,
// highest and last point of each column), so one sample costs the same at
// 36,000 points as at 360 while every spike and edge stays visible.

#include <QDateTime>
#include <QList>
#include <QPointF>
#include <QWidget>
#include <array>
#include <cstdint>
#include <deque>
#include <functional>

#include "device/quva_usb.h"
#include "ui/diagramm/serienpuffer.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;
class QChart;
class QChartView;
class QLineSeries;
class QValueAxis;

namespace quva {

// Sensitivity divider by a loop's level (bits 4-5 of its status word).
inline constexpr std::array<uint16_t, 4> schwellen_teiler = {400, 1800, 5000, 12800};

struct t_anzeigeintervall {
  double laenge;        // shown interval L in seconds
  double beschriftung;  // label step in seconds
};
// By the index of "Anzeigeintervall".
inline constexpr std::array<t_anzeigeintervall, 8> anzeigeintervalle = {
    {{10, 1}, {20, 2}, {50, 5}, {120, 12}, {300, 30}, {900, 90}, {1800, 180}, {3600, 360}}};

// Switching thresholds of one loop in hertz (deviations, negative for a
// non-zero reference; both 0 for a reference period of 0).
struct t_schwellen {
  double ein = 0;
  double aus = 0;
};
t_schwellen schwellen_berechnen(uint32_t ref_periode, uint32_t status, double f_ref);

// Day count of a date with 1 January of the year 1 as day 1.
qint64 tag_nummer(const QDate& datum);
// "QUVA-Diagramm_" + day count + "_" + milliseconds since midnight + ".bmp"
QString diagramm_dateiname(const QDateTime& zeitpunkt);

class TFormDiagramm : public QWidget {
  Q_OBJECT

 public:
  // The series in their order on the chart.
  enum Serie {
    a_delta,
    a_schwelle_ein,
    a_schwelle_aus,
    b_delta,
    b_schwelle_ein,
    b_schwelle_aus,
    serien_anzahl
  };

  explicit TFormDiagramm(QWidget* parent = nullptr);
  ~TFormDiagramm() override;

  // Adds one sample at the next time step. Called by the periods hook only
  // while a recording runs; reads the sensitivity levels from the device
  // data (geraet.tele_status).
  void diagramm_messpunkt(double dA, double dB, double fA_ref, double fB_ref, uint32_t ref_a,
                          uint32_t ref_b) {
    diagramm_messpunkt(dA, dB, fA_ref, fB_ref, ref_a, ref_b, geraet.tele_status.status_a,
                       geraet.tele_status.status_b);
  }
  // The same with the two status words given.
  void diagramm_messpunkt(double dA, double dB, double fA_ref, double fB_ref, uint32_t ref_a,
                          uint32_t ref_b, uint32_t status_a, uint32_t status_b);

  // Brings the chart up to date with the samples added so far: the time
  // axis and the reduced series. Runs by itself from the event loop after
  // samples came in (several samples before one turn of the loop are drawn
  // once); call it to draw at once.
  void zeichnen();

  // Selected entry of "Abtastrate" (index into abtast_teiler), read by the
  // main window's 50 ms tick.
  int abtastrate_index() const;

  // Time of the newest sample in seconds.
  double diagramm_zeit() const { return sekunden(diagramm_takte_); }

  // Every sample of the shown interval of one series.
  const std::deque<QPointF>& punkte(Serie s) const { return puffer_[s].punkte(); }
  // A series on the chart: the reduction of its samples, x measured from the
  // start of the shown time range.
  QLineSeries* serie(Serie s) const { return serien_[s]; }
  QChart* chart() const { return chart_; }
  QValueAxis* achse_zeit() const { return achse_x_; }
  QValueAxis* achse_hz() const { return achse_y_; }

  // The chart as drawn, at the chart's size: a bitmap and an SVG picture.
  QImage chart_bild();
  QByteArray chart_svg();

  // Where "-> Clipboard" reports; by default message boxes. Tests replace
  // them so nothing blocks.
  std::function<void(const QString& text)> info_melden;
  std::function<void(const QString& text)> fehler_melden;
  // The clock for the file name; by default the local time.
  std::function<QDateTime()> uhr;
  // Folder for the bitmap; empty is the working directory.
  QString speicherordner;

  QChartView* ChartZeitdarstellung = nullptr;
  QLabel* LabelFreqA = nullptr;
  QLabel* LabelFreqB = nullptr;
  QCheckBox* CheckBoxSchleifeA = nullptr;
  QCheckBox* CheckBoxSchleifeB = nullptr;
  QComboBox* ComboBoxAbtastrate = nullptr;
  QComboBox* ComboBoxIntervall = nullptr;
  QPushButton* ButtonRun = nullptr;
  QPushButton* ButtonClear = nullptr;
  QPushButton* ButtonChart2Clipboard = nullptr;
  QPushButton* ButtonFertig = nullptr;

  void ButtonRunClick();
  void ButtonClearClick();
  void ButtonFertigClick();
  void ButtonChart2ClipboardClick();
  void CheckBoxSchleifeAClick();
  void CheckBoxSchleifeBClick();

 private:
  void punkt_anhaengen(Serie s, double t, double y);
  void sichtbarkeit_setzen(bool schleife_b, bool sichtbar);
  void achse_anwenden();
  void serie_zeichnen(Serie s);
  void alle_zeichnen();
  void spalten_pruefen();

  QChart* chart_ = nullptr;
  QValueAxis* achse_x_ = nullptr;
  QValueAxis* achse_y_ = nullptr;
  QValueAxis* achse_serien_ = nullptr;  // hidden; the series' x is time - shown start
  std::array<QLineSeries*, serien_anzahl> serien_{};
  std::array<t_serienpuffer, serien_anzahl> puffer_;
  QList<QPointF> reduziert_;  // reused for every series
  int spalten_ = 0;
  // The time is counted in 50 ms ticks, of which every sample step is a whole
  // number: adding up the steps in seconds would drift (0.1 is no binary
  // fraction), and a point exactly at the start of the interval would then
  // be trimmed now and then.
  static double sekunden(int64_t takte) { return static_cast<double>(takte) * 0.05; }
  int64_t diagramm_takte_ = 0;
  double ansicht_von_ = 0;  // shown time range and label step after the last sample
  double ansicht_bis_ = 0;
  double ansicht_schritt_ = 0;
  double ansicht_laenge_ = anzeigeintervalle[0].laenge;
  bool achse_ausstehend_ = false;
  bool zeichnen_ausstehend_ = false;
  bool zeichnen_geplant_ = false;
};

}  // namespace quva
