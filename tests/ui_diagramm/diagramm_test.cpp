#include <gtest/gtest.h>

#include <QApplication>
#include <QChart>
#include <QChartView>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QDir>
#include <QGraphicsScene>
#include <QGraphicsTextItem>
#include <QImageReader>
#include <QLabel>
#include <QLegend>
#include <QLineSeries>
#include <QMimeData>
#include <QPainter>
#include <QPushButton>
#include <QSvgRenderer>
#include <QTemporaryDir>
#include <QValueAxis>

#include "device/abfrage.h"
#include "ui/diagramm/frm_diagramm.h"

namespace quva {
namespace {

class Diagramm : public testing::Test {
 protected:
  void SetUp() override {
    abfrage = t_abfrage{};
    form.info_melden = [this](const QString& t) { infos << t; };
    form.fehler_melden = [this](const QString& t) { fehler << t; };
  }
  // Adds n samples; loop A deviation -i, loop B +i, reference 10 kHz, level 0.
  void proben(int n) {
    for (int i = 0; i < n; ++i)
      form.diagramm_messpunkt(-i, i, 10000, 10000, 7200000, 7200000, 0, 0);
    QCoreApplication::processEvents();  // the chart is drawn from the event loop
  }
  TFormDiagramm form;
  QStringList infos, fehler;
};

TEST_F(Diagramm, SeriesAxesAndTitle) {
  struct Erwartet {
    TFormDiagramm::Serie s;
    const char* titel;
    QColor farbe;
    int breite;
  };
  const Erwartet tabelle[] = {
      {TFormDiagramm::a_delta, "Veränderung A", {255, 0, 0}, 2},
      {TFormDiagramm::a_schwelle_ein, "Schwelle Belegt A", {128, 0, 0}, 1},
      {TFormDiagramm::a_schwelle_aus, "Schwelle Frei A", {255, 128, 128}, 1},
      {TFormDiagramm::b_delta, "Veränderung B", {0, 128, 64}, 2},
      {TFormDiagramm::b_schwelle_ein, "Schwelle Belegt B", {0, 128, 128}, 1},
      {TFormDiagramm::b_schwelle_aus, "Schwelle Frei B", {0, 255, 128}, 1},
  };
  const auto serien = form.chart()->series();
  ASSERT_EQ(serien.size(), 6);
  for (int i = 0; i < 6; ++i) {
    const Erwartet& e = tabelle[i];
    QLineSeries* s = form.serie(e.s);
    EXPECT_EQ(serien[i], s);  // order on the chart and in the legend
    EXPECT_EQ(s->name(), QString::fromUtf8(e.titel));
    EXPECT_EQ(s->pen().color(), e.farbe) << e.titel;
    EXPECT_EQ(s->pen().width(), e.breite) << e.titel;
    EXPECT_FALSE(s->pointsVisible());
    EXPECT_FALSE(s->pointLabelsVisible());
  }
  EXPECT_EQ(form.chart()->title(), QStringLiteral("Frequenzänderung und Schaltschwellen QUVA"));
  EXPECT_EQ(form.chart()->titleBrush().color(), QColor(0, 0, 128));
  EXPECT_EQ(form.chart()->titleFont().pixelSize(), 15);
  EXPECT_EQ(form.chart()->legend()->alignment(), Qt::AlignTop);
  EXPECT_EQ(form.achse_hz()->min(), -2500);
  EXPECT_EQ(form.achse_hz()->max(), 1000);
  EXPECT_EQ(form.achse_hz()->titleText(), QStringLiteral("Hz"));
  EXPECT_EQ(form.achse_zeit()->titleText(), QStringLiteral("Sekunden"));
  for (QAbstractAxis* achse : form.chart()->axes())  // no right axis
    EXPECT_NE(achse->alignment(), Qt::AlignRight);
  EXPECT_EQ(form.size(), QSize(794, 428));
  EXPECT_EQ(form.ChartZeitdarstellung->geometry(), QRect(8, 8, 665, 412));
  EXPECT_EQ(form.abtastrate_index(), 0);
  EXPECT_EQ(form.ComboBoxIntervall->currentText(), QStringLiteral("10s"));
  EXPECT_FALSE(form.ComboBoxAbtastrate->isEditable());
}

TEST_F(Diagramm, TimeAxisFollowsEverySampleAndSeriesKeepOneInterval) {
  struct Fall {
    int abtastrate, intervall, proben;
    double t, von, schritt;
    int punkte;  // per series
  };
  const Fall faelle[] = {
      {2, 0, 15, 15, 5, 1, 11},           // "1s", "10s": 5 ... 15, one label a second
      {2, 0, 5, 5, -5, 1, 5},             // before the first full interval
      {5, 7, 200, 6000, 2400, 360, 121},  // "30s", "1h"
      {3, 3, 30, 150, 30, 12, 25},        // "5s", "2min"
      {1, 1, 41, 20.5, 0.5, 2, 41},       // "500ms", "20s"
      {0, 0, 250, 25, 15, 1, 101},        // "100ms": no drift, the point at t - L stays
  };
  for (const Fall& f : faelle) {
    SCOPED_TRACE(testing::Message() << "rate " << f.abtastrate << ", interval " << f.intervall);
    form.ButtonClearClick();
    form.ComboBoxAbtastrate->setCurrentIndex(f.abtastrate);
    form.ComboBoxIntervall->setCurrentIndex(f.intervall);
    proben(f.proben);
    EXPECT_DOUBLE_EQ(form.diagramm_zeit(), f.t);
    EXPECT_DOUBLE_EQ(form.achse_zeit()->min(), f.von);
    EXPECT_DOUBLE_EQ(form.achse_zeit()->max(), f.t);
    EXPECT_EQ(form.achse_zeit()->tickInterval(), f.schritt);
    EXPECT_EQ(form.achse_zeit()->tickType(), QValueAxis::TicksDynamic);
    for (int s = 0; s < TFormDiagramm::serien_anzahl; ++s) {
      const auto& p = form.punkte(static_cast<TFormDiagramm::Serie>(s));
      ASSERT_EQ(static_cast<int>(p.size()), f.punkte) << s;
      EXPECT_GE(p.front().x(), f.von);
      EXPECT_DOUBLE_EQ(p.back().x(), f.t);
    }
    // Newest values in their series; the shown points are a subset.
    EXPECT_EQ(form.punkte(TFormDiagramm::a_delta).back().y(), -(f.proben - 1));
    EXPECT_EQ(form.punkte(TFormDiagramm::b_delta).back().y(), f.proben - 1);
    EXPECT_EQ(form.serie(TFormDiagramm::a_delta)->count(), f.punkte);
  }
}

// Vertical grid lines of the time axis crossing the middle of the plot.
int gitterlinien(TFormDiagramm& form) {
  const QImage bild = form.chart_bild();
  const QRectF feld = form.chart()->plotArea();
  const QColor gitter = form.achse_zeit()->gridLineColor();
  const int y = static_cast<int>(feld.top() + feld.height() * 0.85);  // far from the lines
  int linien = 0;
  bool auf_linie = false;
  for (int x = static_cast<int>(feld.left()) + 2; x < feld.right() - 2; ++x) {
    const bool jetzt = bild.pixelColor(x, y) == gitter;
    linien += jetzt && !auf_linie;
    auf_linie = jetzt;
  }
  return linien;
}

TEST_F(Diagramm, DrawnTimeAxisHasOneLabelPerStep) {
  struct Fall {
    int abtastrate, intervall, proben, linien;  // inner grid lines of the plot
  };
  // Longer and shorter intervals one after the other, on a running recording.
  const Fall faelle[] = {{2, 3, 300, 9}, {0, 0, 35, 10}, {5, 7, 200, 10}, {2, 1, 10, 10}};
  form.show();
  for (const Fall& f : faelle) {
    SCOPED_TRACE(testing::Message() << "interval " << f.intervall);
    form.ComboBoxAbtastrate->setCurrentIndex(f.abtastrate);
    form.ComboBoxIntervall->setCurrentIndex(f.intervall);
    proben(f.proben);
    EXPECT_EQ(gitterlinien(form), f.linien);
  }
}

TEST_F(Diagramm, TimeLabelsStayExactOnLongRecordings) {
  form.show();
  form.ComboBoxAbtastrate->setCurrentIndex(5);  // 30 s for eleven and a half days
  proben(33400);
  form.ComboBoxAbtastrate->setCurrentIndex(2);  // then 1 s
  proben(20);
  ASSERT_DOUBLE_EQ(form.diagramm_zeit(), 1002020);
  form.chart_bild();
  QStringList texte;
  for (QGraphicsItem* element : form.chart()->scene()->items())
    if (auto* text = dynamic_cast<QGraphicsTextItem*>(element)) texte << text->toPlainText();
  for (int sekunde = 1002010; sekunde <= 1002020; ++sekunde)
    EXPECT_TRUE(texte.contains(QString::number(sekunde)))
        << sekunde << ": " << texte.join('|').toStdString();
}

TEST_F(Diagramm, ChangingTheRateChangesOnlyTheNextSteps) {
  form.ComboBoxIntervall->setCurrentIndex(2);   // 50 s
  form.ComboBoxAbtastrate->setCurrentIndex(2);  // 1 s
  proben(3);
  form.ComboBoxAbtastrate->setCurrentIndex(3);  // 5 s
  proben(2);
  std::vector<double> zeiten;
  for (const QPointF& p : form.punkte(TFormDiagramm::b_schwelle_aus)) zeiten.push_back(p.x());
  EXPECT_EQ(zeiten, (std::vector<double>{1, 2, 3, 8, 13}));
}

TEST_F(Diagramm, Thresholds) {
  struct Fall {
    uint32_t ref, status;
    double f_ref, ein, aus;
  };
  const Fall faelle[] = {
      {7200000, 0x00, 10000, -25.06, -18.79},     // level 0, k 400
      {7200000, 0x30, 10000, -0.78, -0.59},       // level 3, k 12800
      {7200000, 0xFFCF, 10000, -25.06, -18.79},   // other bits do not count
      {7200000, 0x10, 10000, -5.5586, -4.1684},   // level 1, k 1800
      {0, 0x20, 0, 0, 0},                         // no reference
      {4000000000u, 0x00, 18, -0.0451, -0.0338},  // large unsigned period
  };
  for (const Fall& f : faelle) {
    SCOPED_TRACE(testing::Message() << f.ref << " / " << f.status);
    const t_schwellen s = schwellen_berechnen(f.ref, f.status, f.f_ref);
    EXPECT_NEAR(s.ein, f.ein, 0.005);
    EXPECT_NEAR(s.aus, f.aus, 0.005);
  }
  // Loop A's thresholds follow status A and ref A, loop B's follow B.
  form.diagramm_messpunkt(-3, 4, 10000, 20000, 7200000, 0, 0x30, 0x00);
  EXPECT_NEAR(form.punkte(TFormDiagramm::a_schwelle_ein).back().y(), -0.78, 0.005);
  EXPECT_NEAR(form.punkte(TFormDiagramm::a_schwelle_aus).back().y(), -0.59, 0.005);
  EXPECT_EQ(form.punkte(TFormDiagramm::b_schwelle_ein).back().y(), 0);
  EXPECT_EQ(form.punkte(TFormDiagramm::b_schwelle_aus).back().y(), 0);
  EXPECT_EQ(form.punkte(TFormDiagramm::a_delta).back().y(), -3);
  EXPECT_EQ(form.punkte(TFormDiagramm::b_delta).back().y(), 4);
}

TEST_F(Diagramm, CheckBoxesAndClear) {
  using S = TFormDiagramm;
  const auto sichtbar = [&](S::Serie s) { return form.serie(s)->isVisible(); };
  proben(3);
  form.CheckBoxSchleifeA->click();
  for (S::Serie s : {S::a_delta, S::a_schwelle_ein, S::a_schwelle_aus}) EXPECT_FALSE(sichtbar(s));
  for (S::Serie s : {S::b_delta, S::b_schwelle_ein, S::b_schwelle_aus}) EXPECT_TRUE(sichtbar(s));
  proben(2);  // hidden series still receive their points
  EXPECT_EQ(form.punkte(S::a_delta).size(), 5u);
  form.CheckBoxSchleifeA->click();
  EXPECT_TRUE(sichtbar(S::a_delta));
  EXPECT_EQ(form.serie(S::a_delta)->count(), 5);  // drawn again when shown

  // Clear empties everything, restarts the time and re-applies both boxes.
  form.serie(S::b_delta)->setVisible(false);
  form.CheckBoxSchleifeA->click();
  form.ButtonClearClick();
  EXPECT_EQ(form.diagramm_zeit(), 0);
  for (int s = 0; s < S::serien_anzahl; ++s) {
    EXPECT_TRUE(form.punkte(static_cast<S::Serie>(s)).empty());
    EXPECT_EQ(form.serie(static_cast<S::Serie>(s))->count(), 0);
    EXPECT_EQ(sichtbar(static_cast<S::Serie>(s)), s >= S::b_delta) << s;
  }
  proben(1);
  EXPECT_DOUBLE_EQ(form.diagramm_zeit(), 0.1);  // one step after Clear
}

TEST_F(Diagramm, RunStopAndFertigSwitchThePolling) {
  struct Schritt {
    const char* was;
    bool aktiv, laeuft;
    const char* beschriftung;
  };
  const Schritt ablauf[] = {
      {"run", false, true, "Stop"},
      {"run", true, false, "Run"},
      {"run", false, true, "Stop"},
      // The main window's activation stops the recording but leaves the caption.
      {"aktivierung", true, false, "Stop"},
      {"run", false, true, "Stop"},
      {"fertig", true, false, "Run"},
  };
  form.show();
  for (const Schritt& s : ablauf) {
    SCOPED_TRACE(s.was);
    if (std::string(s.was) == "run") {
      form.ButtonRun->click();
    } else if (std::string(s.was) == "fertig") {
      form.ButtonFertig->click();
      EXPECT_FALSE(form.isVisible());
    } else {
      abfrage.abfrage_aktiv = true;
      abfrage.diagramm_laeuft = false;
    }
    EXPECT_EQ(abfrage.abfrage_aktiv, s.aktiv);
    EXPECT_EQ(abfrage.diagramm_laeuft, s.laeuft);
    EXPECT_EQ(form.ButtonRun->text(), QString::fromLatin1(s.beschriftung));
  }
}

TEST(DiagrammDatei, NameFromDayCountAndMilliseconds) {
  EXPECT_EQ(tag_nummer(QDate(1, 1, 1)), 1);
  EXPECT_EQ(tag_nummer(QDate(1899, 12, 30)), 693594);
  EXPECT_EQ(tag_nummer(QDate(2012, 9, 7)), 734753);
  EXPECT_EQ(diagramm_dateiname(QDateTime(QDate(2012, 9, 7), QTime(12, 0))),
            QStringLiteral("QUVA-Diagramm_734753_43200000.bmp"));
  EXPECT_EQ(diagramm_dateiname(QDateTime(QDate(2026, 1, 1), QTime(0, 0, 0, 7))),
            QStringLiteral("QUVA-Diagramm_739617_7.bmp"));
}

TEST_F(Diagramm, ClipboardAndBitmapOfTheChartsSize) {
  QTemporaryDir ordner;
  ASSERT_TRUE(ordner.isValid());
  form.speicherordner = ordner.path();
  form.uhr = [] { return QDateTime(QDate(2012, 9, 7), QTime(12, 0)); };
  proben(20);
  form.ButtonChart2Clipboard->click();

  ASSERT_TRUE(fehler.isEmpty()) << fehler.join("|").toStdString();
  ASSERT_EQ(infos.size(), 1);
  EXPECT_EQ(infos[0], QStringLiteral("Das Diagramm wurde in die Zwischenablage kopiert und\r"
                                     "als Bitmap im Programmverzeichnis gespeichert."));
  const QString datei = ordner.filePath("QUVA-Diagramm_734753_43200000.bmp");
  QImageReader leser(datei);
  EXPECT_EQ(leser.format(), "bmp");
  const QImage bild = leser.read();
  EXPECT_EQ(bild.size(), QSize(665, 412));
  EXPECT_EQ(QDir(ordner.path()).entryList(QDir::Files).size(), 1);  // no temporary left

  const QMimeData* mime = QApplication::clipboard()->mimeData();
  ASSERT_NE(mime, nullptr);
  EXPECT_TRUE(mime->hasImage());
  EXPECT_EQ(qvariant_cast<QImage>(mime->imageData()).size(), QSize(665, 412));
  QSvgRenderer svg(mime->data(QStringLiteral("image/svg+xml")));
  EXPECT_TRUE(svg.isValid());
  EXPECT_EQ(svg.viewBox(), QRect(0, 0, 665, 412));
}

TEST_F(Diagramm, UnwritableFolderGivesAnErrorAndNoInfo) {
  QTemporaryDir ordner;
  form.speicherordner = ordner.filePath("gibt-es-nicht");
  QApplication::clipboard()->clear();
  form.ButtonChart2Clipboard->click();
  ASSERT_EQ(fehler.size(), 1);
  EXPECT_TRUE(fehler[0].startsWith(QStringLiteral("Das Diagramm konnte nicht")));
  EXPECT_TRUE(fehler[0].contains(QStringLiteral("gibt-es-nicht")));
  EXPECT_TRUE(infos.isEmpty());
  // The clipboard copy was made before the save failed.
  ASSERT_NE(QApplication::clipboard()->mimeData(), nullptr);
  EXPECT_TRUE(QApplication::clipboard()->mimeData()->hasFormat(QStringLiteral("image/svg+xml")));
}

// Top and bottom row of the pixels of loop A's deviation colour.
std::pair<int, int> rote_zeilen(const QImage& bild) {
  int oben = -1, unten = -1;
  for (int y = 0; y < bild.height(); ++y)
    for (int x = 0; x < bild.width(); ++x)
      if (bild.pixelColor(x, y) == QColor(255, 0, 0)) {
        if (oben < 0) oben = y;
        unten = y;
        break;
      }
  return {oben, unten};
}

TEST_F(Diagramm, DrawnPicturesShowTheExtremesOfTheFullData) {
  using S = TFormDiagramm;
  form.CheckBoxSchleifeB->click();
  form.ComboBoxAbtastrate->setCurrentIndex(2);  // 1 s
  form.ComboBoxIntervall->setCurrentIndex(7);   // 1 h: 3600 points, more than the plot's pixels
  form.show();
  for (int i = 0; i < 4000; ++i) {
    // A flat line with one-sample spikes, the deepest at sample 3000.
    const double y =
        i == 3000 ? -2300 : (i == 1234 || i == 3500 ? 800 : (i % 500 == 17 ? -900 : 0));
    form.diagramm_messpunkt(y, 0, 10000, 10000, 7200000, 7200000, 0, 0);
  }
  ASSERT_GT(form.punkte(S::a_delta).size(), 3000u);
  ASSERT_LT(form.serie(S::a_delta)->count(), 3000);  // the chart got a reduction

  const QImage reduziert = form.chart_bild();
  QImage svg_bild(reduziert.size(), QImage::Format_RGB32);
  svg_bild.fill(Qt::white);
  {
    QPainter maler(&svg_bild);
    QSvgRenderer(form.chart_svg()).render(&maler);
  }
  QList<QPointF> alle(form.punkte(S::a_delta).begin(), form.punkte(S::a_delta).end());
  for (QPointF& p : alle) p.rx() -= form.achse_zeit()->min();
  form.serie(S::a_delta)->replace(alle);
  const QImage voll = form.chart_bild();

  const auto soll = rote_zeilen(voll);
  EXPECT_GT(soll.second - soll.first, 200);  // the spikes are there
  EXPECT_EQ(rote_zeilen(reduziert), soll);
  const auto svg = rote_zeilen(svg_bild);
  EXPECT_NEAR(svg.first, soll.first, 1);
  EXPECT_NEAR(svg.second, soll.second, 1);
}

}  // namespace
}  // namespace quva
