#include "ui/diagramm/frm_diagramm.h"

#include <QApplication>
#include <QBuffer>
#include <QChart>
#include <QChartView>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QImageWriter>
#include <QLabel>
#include <QLegend>
#include <QLineSeries>
#include <QMessageBox>
#include <QMimeData>
#include <QPainter>
#include <QPushButton>
#include <QSaveFile>
#include <QSvgGenerator>
#include <QValueAxis>
#include <cmath>

#include "device/abfrage.h"

namespace quva {

namespace {

struct t_serien_art {
  const char* titel;
  QColor farbe;
  int breite;
};

const std::array<t_serien_art, TFormDiagramm::serien_anzahl> serien_arten = {{
    {"Veränderung A", QColor(255, 0, 0), 2},
    {"Schwelle Belegt A", QColor(128, 0, 0), 1},
    {"Schwelle Frei A", QColor(255, 128, 128), 1},
    {"Veränderung B", QColor(0, 128, 64), 2},
    {"Schwelle Belegt B", QColor(0, 128, 128), 1},
    {"Schwelle Frei B", QColor(0, 255, 128), 1},
}};

constexpr double perioden_takt = 72'000'000'000.0;  // a period value p stands for this / p Hz

// Sample step in 50 ms ticks by the index of "Abtastrate".
int abtast_schritt(int index) {
  if (index < 0 || index >= static_cast<int>(abtast_teiler.size())) index = 0;
  return abtast_teiler[index];
}

}  // namespace

t_schwellen schwellen_berechnen(uint32_t ref_periode, uint32_t status, double f_ref) {
  const uint32_t k = schwellen_teiler[(status >> 4) & 3];
  const uint32_t q = ref_periode / k;
  if (ref_periode - q == 0) return {};
  const double qd = q;
  return {f_ref - perioden_takt / static_cast<double>(ref_periode - q),
          f_ref - perioden_takt / (static_cast<double>(ref_periode) - (qd - qd / 4))};
}

qint64 tag_nummer(const QDate& datum) {
  return datum.toJulianDay() - QDate(1, 1, 1).toJulianDay() + 1;
}

QString diagramm_dateiname(const QDateTime& zeitpunkt) {
  return QStringLiteral("QUVA-Diagramm_%1_%2.bmp")
      .arg(tag_nummer(zeitpunkt.date()))
      .arg(zeitpunkt.time().msecsSinceStartOfDay());
}

TFormDiagramm::TFormDiagramm(QWidget* parent) : QWidget(parent, Qt::Tool) {
  setObjectName(QStringLiteral("FormDiagramm"));
  setWindowTitle(QStringLiteral("Diagramm"));
  setFixedSize(794, 428);
  setFont(QFont(QStringLiteral("Tahoma"), 8));

  info_melden = [this](const QString& text) {
    QMessageBox::information(this, QStringLiteral("Information"), text);
  };
  fehler_melden = [this](const QString& text) {
    QMessageBox::critical(this, QStringLiteral("Fehler"), text);
  };
  uhr = [] { return QDateTime::currentDateTime(); };

  chart_ = new QChart();
  chart_->setTitle(QStringLiteral("Frequenzänderung und Schaltschwellen QUVA"));
  QFont titel_schrift = chart_->titleFont();
  titel_schrift.setPixelSize(15);
  chart_->setTitleFont(titel_schrift);
  chart_->setTitleBrush(QColor(0, 0, 128));
  chart_->legend()->setAlignment(Qt::AlignTop);
  // Small enough that all six titles fit in one row, as on the original.
  QFont legenden_schrift = chart_->legend()->font();
  legenden_schrift.setPixelSize(10);
  chart_->legend()->setFont(legenden_schrift);
  chart_->legend()->setMarkerShape(QLegend::MarkerShapeRectangle);
  chart_->setMargins(QMargins(4, 2, 4, 2));
  chart_->setBackgroundRoundness(0);
  chart_->setAnimationOptions(QChart::NoAnimation);

  achse_y_ = new QValueAxis(chart_);
  achse_y_->setRange(-2500, 1000);
  achse_y_->setTitleText(QStringLiteral("Hz"));
  achse_y_->setLabelFormat(QStringLiteral("%g"));
  achse_y_->setTickCount(8);  // a label every 500 Hz
  achse_x_ = new QValueAxis(chart_);
  achse_x_->setTitleText(QStringLiteral("Sekunden"));
  // Whole seconds in full: every label step is whole and anchored at 0, and
  // "%g" would show a recording of more than eleven days (10^6 s) with six
  // digits in exponent form, every label alike.
  achse_x_->setLabelFormat(QStringLiteral("%.0f"));
  // Small enough that seven digits fit between two labels a tenth of the
  // plot apart (the chart elides what does not fit).
  QFont zeit_schrift = achse_x_->labelsFont();
  zeit_schrift.setPixelSize(10);
  achse_x_->setLabelsFont(zeit_schrift);
  achse_x_->setTickType(QValueAxis::TicksDynamic);
  achse_x_->setTickAnchor(0);
  achse_x_->setRange(0, anzeigeintervalle[0].laenge);
  achse_x_->setTickInterval(anzeigeintervalle[0].beschriftung);
  chart_->addAxis(achse_x_, Qt::AlignBottom);
  chart_->addAxis(achse_y_, Qt::AlignLeft);
  // The series sit on a hidden time axis that always spans 0 ... L, and get
  // their points relative to the start of the shown range. Moving the shown
  // range then only relabels the visible axis instead of making the chart
  // map every series again before the new points replace them anyway.
  achse_serien_ = new QValueAxis(chart_);
  achse_serien_->setRange(0, anzeigeintervalle[0].laenge);
  achse_serien_->setVisible(false);
  chart_->addAxis(achse_serien_, Qt::AlignBottom);

  for (int i = 0; i < serien_anzahl; ++i) {
    auto* s = new QLineSeries(chart_);
    s->setName(QString::fromUtf8(serien_arten[i].titel));
    s->setPen(QPen(serien_arten[i].farbe, serien_arten[i].breite));
    s->setPointsVisible(false);
    s->setPointLabelsVisible(false);
    chart_->addSeries(s);
    s->attachAxis(achse_serien_);
    s->attachAxis(achse_y_);
    serien_[i] = s;
  }

  ChartZeitdarstellung = new QChartView(chart_, this);
  ChartZeitdarstellung->setObjectName(QStringLiteral("ChartZeitdarstellung"));
  ChartZeitdarstellung->setGeometry(8, 8, 665, 412);
  connect(chart_, &QChart::plotAreaChanged, this, [this] { spalten_pruefen(); });

  const auto neu = [this](auto* w, const char* name, int x, int y, int b, int h) {
    w->setObjectName(QString::fromLatin1(name));
    if (b > 0)
      w->setGeometry(x, y, b, h);
    else
      w->move(x, y);
    return w;
  };
  CheckBoxSchleifeA =
      neu(new QCheckBox(QStringLiteral("Schleife A"), this), "CheckBoxSchleifeA", 687, 8, 88, 17);
  CheckBoxSchleifeB =
      neu(new QCheckBox(QStringLiteral("Schleife B"), this), "CheckBoxSchleifeB", 687, 31, 88, 17);
  CheckBoxSchleifeA->setChecked(true);
  CheckBoxSchleifeB->setChecked(true);
  neu(new QLabel(QStringLiteral("Abtastrate"), this), "Label1", 687, 68, 0, 0);
  ComboBoxAbtastrate = neu(new QComboBox(this), "ComboBoxAbtastrate", 687, 87, 96, 21);
  ComboBoxAbtastrate->addItems({QStringLiteral("100ms"), QStringLiteral("500ms"),
                                QStringLiteral("1s"), QStringLiteral("5s"), QStringLiteral("10s"),
                                QStringLiteral("30s")});
  neu(new QLabel(QStringLiteral("Anzeigeintervall"), this), "Label2", 687, 114, 0, 0);
  ComboBoxIntervall = neu(new QComboBox(this), "ComboBoxIntervall", 687, 133, 96, 21);
  ComboBoxIntervall->addItems({QStringLiteral("10s"), QStringLiteral("20s"), QStringLiteral("50s"),
                               QStringLiteral("2min"), QStringLiteral("5min"),
                               QStringLiteral("15min"), QStringLiteral("30min"),
                               QStringLiteral("1h")});
  ComboBoxAbtastrate->setCurrentIndex(0);
  ComboBoxIntervall->setCurrentIndex(0);

  neu(new QLabel(QStringLiteral("Frequenz A"), this), "Label3", 687, 160, 0, 0);
  neu(new QLabel(QStringLiteral("Frequenz B"), this), "Label4", 687, 202, 0, 0);
  LabelFreqA = neu(new QLabel(QStringLiteral("A"), this), "LabelFreqA", 687, 179, 96, 17);
  LabelFreqB = neu(new QLabel(QStringLiteral("B"), this), "LabelFreqB", 687, 221, 96, 17);
  for (QLabel* l : {LabelFreqA, LabelFreqB}) {
    l->setAlignment(Qt::AlignCenter);
    l->setFont(QFont(QStringLiteral("MS Sans Serif"), 8));
    l->setAutoFillBackground(true);
    QPalette p = l->palette();
    p.setColor(QPalette::Window, Qt::white);
    p.setColor(QPalette::WindowText, Qt::black);
    l->setPalette(p);
  }

  ButtonRun = neu(new QPushButton(QStringLiteral("Run"), this), "ButtonRun", 690, 268, 96, 25);
  ButtonClear =
      neu(new QPushButton(QStringLiteral("Clear"), this), "ButtonClear", 690, 299, 96, 25);
  ButtonChart2Clipboard = neu(new QPushButton(QStringLiteral("-> Clipboard"), this),
                              "ButtonChart2Clipboard", 690, 330, 96, 25);
  ButtonFertig =
      neu(new QPushButton(QStringLiteral("Fertig"), this), "ButtonFertig", 690, 387, 96, 33);

  connect(ButtonRun, &QPushButton::clicked, this, &TFormDiagramm::ButtonRunClick);
  connect(ButtonClear, &QPushButton::clicked, this, &TFormDiagramm::ButtonClearClick);
  connect(ButtonFertig, &QPushButton::clicked, this, &TFormDiagramm::ButtonFertigClick);
  connect(ButtonChart2Clipboard, &QPushButton::clicked, this,
          &TFormDiagramm::ButtonChart2ClipboardClick);
  connect(CheckBoxSchleifeA, &QCheckBox::toggled, this, &TFormDiagramm::CheckBoxSchleifeAClick);
  connect(CheckBoxSchleifeB, &QCheckBox::toggled, this, &TFormDiagramm::CheckBoxSchleifeBClick);
}

TFormDiagramm::~TFormDiagramm() = default;

int TFormDiagramm::abtastrate_index() const {
  const int i = ComboBoxAbtastrate->currentIndex();
  return i < 0 ? 0 : i;
}

void TFormDiagramm::diagramm_messpunkt(double dA, double dB, double fA_ref, double fB_ref,
                                       uint32_t ref_a, uint32_t ref_b, uint32_t status_a,
                                       uint32_t status_b) {
  diagramm_takte_ += abtast_schritt(ComboBoxAbtastrate->currentIndex());
  const double t = sekunden(diagramm_takte_);
  const t_schwellen a = schwellen_berechnen(ref_a, status_a, fA_ref);
  const t_schwellen b = schwellen_berechnen(ref_b, status_b, fB_ref);
  punkt_anhaengen(a_delta, t, dA);
  punkt_anhaengen(a_schwelle_ein, t, a.ein);
  punkt_anhaengen(a_schwelle_aus, t, a.aus);
  punkt_anhaengen(b_delta, t, dB);
  punkt_anhaengen(b_schwelle_ein, t, b.ein);
  punkt_anhaengen(b_schwelle_aus, t, b.aus);

  int i = ComboBoxIntervall->currentIndex();
  if (i < 0 || i >= static_cast<int>(anzeigeintervalle.size())) i = 0;
  // t - L, computed from ticks as the points' times are, so that a point
  // exactly at the start of the interval compares equal and stays.
  ansicht_von_ = sekunden(diagramm_takte_ - std::llround(anzeigeintervalle[i].laenge / 0.05));
  ansicht_bis_ = t;
  ansicht_schritt_ = anzeigeintervalle[i].beschriftung;
  ansicht_laenge_ = anzeigeintervalle[i].laenge;
  achse_ausstehend_ = true;

  // A point exactly at the start of the interval stays.
  for (auto& puffer : puffer_) puffer.vorne_kuerzen(ansicht_von_);

  zeichnen_ausstehend_ = true;
  if (!zeichnen_geplant_) {
    zeichnen_geplant_ = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
          zeichnen_geplant_ = false;
          zeichnen();
        },
        Qt::QueuedConnection);
  }
}

void TFormDiagramm::achse_anwenden() {
  if (!achse_ausstehend_) return;
  achse_ausstehend_ = false;
  // setRange sets both ends at once, so the range never passes through an
  // inverted state. The label step goes first: the axis lays out its labels
  // when the range is set, and does so with the step it has then.
  achse_x_->setTickInterval(ansicht_schritt_);
  achse_x_->setRange(ansicht_von_, ansicht_bis_);
  achse_serien_->setRange(0, ansicht_bis_ - ansicht_von_);
}

void TFormDiagramm::zeichnen() {
  achse_anwenden();
  if (!zeichnen_ausstehend_) return;
  zeichnen_ausstehend_ = false;
  alle_zeichnen();
}

void TFormDiagramm::punkt_anhaengen(Serie s, double t, double y) { puffer_[s].anhaengen({t, y}); }

void TFormDiagramm::serie_zeichnen(Serie s) {
  if (!serien_[s]->isVisible()) return;  // drawn when it is shown again
  achse_anwenden();
  // One column per pixel of the plot, on the grid of the shown interval.
  puffer_[s].spaltenbreite_setzen(spalten_ > 0 ? ansicht_laenge_ / spalten_ : 0);
  puffer_[s].reduktion(reduziert_, achse_x_->min());
  serien_[s]->replace(reduziert_);
}

void TFormDiagramm::alle_zeichnen() {
  if (spalten_ == 0) spalten_pruefen();
  for (int s = 0; s < serien_anzahl; ++s) serie_zeichnen(static_cast<Serie>(s));
}

void TFormDiagramm::spalten_pruefen() {
  const int breite = static_cast<int>(std::ceil(chart_->plotArea().width()));
  const int spalten = breite > 0 ? breite : ChartZeitdarstellung->width();
  if (spalten == spalten_) return;
  spalten_ = spalten;
  alle_zeichnen();
}

void TFormDiagramm::sichtbarkeit_setzen(bool schleife_b, bool sichtbar) {
  const int erste = schleife_b ? b_delta : a_delta;
  for (int s = erste; s < erste + 3; ++s) {
    if (serien_[s]->isVisible() == sichtbar) continue;
    serien_[s]->setVisible(sichtbar);
    if (sichtbar) serie_zeichnen(static_cast<Serie>(s));
  }
}

void TFormDiagramm::ButtonRunClick() {
  const bool lief = abfrage.diagramm_laeuft;
  abfrage.abfrage_aktiv = lief;
  abfrage.diagramm_laeuft = !lief;
  ButtonRun->setText(abfrage.diagramm_laeuft ? QStringLiteral("Stop") : QStringLiteral("Run"));
}

void TFormDiagramm::ButtonClearClick() {
  for (int s = 0; s < serien_anzahl; ++s) {
    puffer_[s].leeren();
    serien_[s]->clear();
  }
  sichtbarkeit_setzen(false, CheckBoxSchleifeA->isChecked());
  sichtbarkeit_setzen(true, CheckBoxSchleifeB->isChecked());
  diagramm_takte_ = 0;
}

void TFormDiagramm::CheckBoxSchleifeAClick() {
  sichtbarkeit_setzen(false, CheckBoxSchleifeA->isChecked());
}

void TFormDiagramm::CheckBoxSchleifeBClick() {
  sichtbarkeit_setzen(true, CheckBoxSchleifeB->isChecked());
}

void TFormDiagramm::ButtonFertigClick() {
  abfrage.diagramm_laeuft = false;
  abfrage.abfrage_aktiv = true;
  ButtonRun->setText(QStringLiteral("Run"));
  close();
}

QImage TFormDiagramm::chart_bild() {
  zeichnen();
  QImage bild(ChartZeitdarstellung->size(), QImage::Format_RGB32);
  bild.fill(Qt::white);
  QPainter maler(&bild);
  ChartZeitdarstellung->QWidget::render(&maler);
  return bild;
}

QByteArray TFormDiagramm::chart_svg() {
  zeichnen();
  QByteArray daten;
  QBuffer puffer(&daten);
  puffer.open(QIODevice::WriteOnly);
  QSvgGenerator svg;
  svg.setOutputDevice(&puffer);
  svg.setSize(ChartZeitdarstellung->size());
  svg.setViewBox(QRect(QPoint(0, 0), ChartZeitdarstellung->size()));
  svg.setTitle(chart_->title());
  QPainter maler(&svg);
  ChartZeitdarstellung->QWidget::render(&maler);
  maler.end();
  return daten;
}

void TFormDiagramm::ButtonChart2ClipboardClick() {
  const QImage bild = chart_bild();
  auto* mime = new QMimeData;
  mime->setData(QStringLiteral("image/svg+xml"), chart_svg());
  mime->setImageData(bild);
  QApplication::clipboard()->setMimeData(mime);

  const QString name = diagramm_dateiname(uhr());
  const QString pfad = speicherordner.isEmpty() ? name : QDir(speicherordner).filePath(name);
  QSaveFile datei(pfad);
  QString fehler;
  if (!datei.open(QIODevice::WriteOnly)) {
    fehler = datei.errorString();
  } else {
    QImageWriter schreiber(&datei, "bmp");
    if (!schreiber.write(bild))
      fehler = schreiber.errorString();
    else if (!datei.commit())
      fehler = datei.errorString();
  }
  if (!fehler.isEmpty()) {
    fehler_melden(QStringLiteral("Das Diagramm konnte nicht als Bitmap gespeichert werden:\n%1\n%2")
                      .arg(QDir::toNativeSeparators(QFileInfo(pfad).absoluteFilePath()), fehler));
    return;
  }
  info_melden(
      QStringLiteral("Das Diagramm wurde in die Zwischenablage kopiert und\r"
                     "als Bitmap im Programmverzeichnis gespeichert."));
}

}  // namespace quva
