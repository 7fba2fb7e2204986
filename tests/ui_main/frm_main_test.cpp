// The main window with its three companion windows on a recording fake link
// and on the simulated detector: hooks and their tables, buttons and the
// bytes they send, activation, the test-window pause, normal vs expert mode.
#include "ui/main/frm_main.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFontMetricsF>
#include <QLabel>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <stdexcept>
#include <string>
#include <vector>

#include "device/abfrage.h"
#include "device/callback.h"
#include "device/discovery.h"
#include "device/quva_usb.h"
#include "sim/detector/sim_detektor.h"
#include "ui/diagramm/frm_diagramm.h"
#include "ui/info/frm_debugmeldungen.h"
#include "ui/info/frm_info.h"
#include "ui/main/frm_pruefen.h"
#include "ui/main/programm.h"
#include "ui/main/shape.h"
#include "ui/main/wertliste.h"
#include "tests/support/aufzeichnender_link.h"

namespace quva {
namespace {


std::string bytes(std::initializer_list<uint8_t> b) { return std::string(b.begin(), b.end()); }

// Fresh program state, a working directory of its own (with or without the
// logo) and the four windows created in their start-up order.
template <typename Link>
class FensterTest : public ::testing::Test {
 protected:
  void SetUp() override {
    geraetedaten_zuruecksetzen();
    abfrage_zuruecksetzen();
    callbacks_loeschen();
    alt_ = QDir::currentPath();
    ASSERT_TRUE(dir_.isValid());
    QDir::setCurrent(dir_.path());
    logo_ablegen(true);
    main_ = std::make_unique<TFormMain>(link_);
    diagramm_ = std::make_unique<TFormDiagramm>();
    debug_ = std::make_unique<TFormDebugmeldungen>();
    pruefen_ = std::make_unique<TFormPruefen>();
    main_->fenster_setzen(diagramm_.get(), debug_.get(), pruefen_.get());
    main_->fehler_melden_setzen([this](const QString& t) { fehler_.push_back(t); });
  }
  void TearDown() override {
    pruefen_.reset();
    debug_.reset();
    diagramm_.reset();
    main_.reset();
    QDir::setCurrent(alt_);
  }

  void logo_ablegen(bool da) {
    QFile::remove("logo_100_200.bmp");
    if (da) {
      ASSERT_TRUE(QFile::copy(QUVA_LOGO_QUELLE, "logo_100_200.bmp"));
    }
  }
  template <typename W>
  W* kind(const char* name) {
    auto* w = main_->findChild<W*>(name);
    EXPECT_NE(w, nullptr) << name;
    return w;
  }
  TValueListEditor* tabelle(const char* name) { return kind<TValueListEditor>(name); }
  QStringList zeilen(const char* name) {
    QStringList z;
    auto* t = tabelle(name);
    for (int i = 0; i < t->rowCount(); ++i) z << t->schluessel(i) + "=" + t->wert(i);
    return z;
  }
  QStringList memo(QPlainTextEdit* m) {
    QStringList z = m->toPlainText().split('\n');
    if (z == QStringList{""}) z.clear();
    return z;
  }

  Link link_;
  QTemporaryDir dir_;
  QString alt_;
  std::unique_ptr<TFormMain> main_;
  std::unique_ptr<TFormDiagramm> diagramm_;
  std::unique_ptr<TFormDebugmeldungen> debug_;
  std::unique_ptr<TFormPruefen> pruefen_;
  std::vector<QString> fehler_;
};

using MainTest = FensterTest<AufzeichnenderLink>;

TEST_F(MainTest, ErzeugungUndHooksNachModus) {
  EXPECT_EQ(main_->windowTitle(), "QUVA Analyseprogramm V2");
  EXPECT_EQ(main_->size(), QSize(841, 425));
  EXPECT_EQ(main_->minimumSize(), main_->maximumSize());
  EXPECT_FALSE(main_->TimerMain->isActive());
  EXPECT_EQ(main_->TimerMain->interval(), 50);
  EXPECT_EQ(kind<QLabel>("LabelUSB")->text(), "kein Kontakt");
  EXPECT_EQ(static_cast<bool>(callbacks.cb_meldung), expertenmodus == 1);
  for (bool gesetzt :
       {static_cast<bool>(callbacks.cb_perioden), static_cast<bool>(callbacks.cb_seriennummer),
        static_cast<bool>(callbacks.cb_programmversion),
        static_cast<bool>(callbacks.cb_betriebsstunden),
        static_cast<bool>(callbacks.cb_abgleichcounter), static_cast<bool>(callbacks.cb_portstatus),
        static_cast<bool>(callbacks.cb_analogwerte), static_cast<bool>(callbacks.cb_status)})
    EXPECT_TRUE(gesetzt);

  // Layout of a few controls and the table titles and widths.
  EXPECT_EQ(kind<QWidget>("ImageFront")->geometry(), QRect(8, 8, 200, 300));
  EXPECT_EQ(kind<QWidget>("ValueListEditorParameter")->geometry(), QRect(214, 172, 379, 121));
  EXPECT_EQ(kind<QPushButton>("ButtonPruefen")->text(), QString::fromUtf8("Prüfen"));
  EXPECT_EQ(kind<QPushButton>("ButtonBefResetAbgleichB")->text(),
            QString::fromUtf8("Lösche Abgleichzähler B"));
  struct Titel {
    const char* name;
    const char* titel;
    int b0, b1;
  };
  for (const auto& t :
       {Titel{"ValueListEditorStatusSchleifeA", "Status Schleife A", 126, 95},
        Titel{"ValueListEditorStatusSchleifeB", "Status Schleife B", 125, 96},
        Titel{"ValueListEditorParameter", "Parameter", 142, 231},
        Titel{"ValueListEditorInduktionsschleifenmesswerte", "Messwerte", 142, 102}}) {
    auto* tab = tabelle(t.name);
    EXPECT_EQ(tab->horizontalHeaderItem(0)->text(), t.titel);
    EXPECT_EQ(tab->horizontalHeaderItem(1)->text(), "Wert");
    EXPECT_EQ(tab->columnWidth(0), t.b0);
    EXPECT_EQ(tab->columnWidth(1), t.b1);
    EXPECT_EQ(tab->rowCount(), 0);  // empty before the first telegram
  }
}

TEST_F(MainTest, KnoepfeSendenGenauDieBytes) {
  struct Fall {
    const char* knopf;
    uint8_t auswahl;
  };
  const Fall faelle[] = {{"ButtonBefAbgleichA", 0},
                         {"ButtonBefAbgleichB", 1},
                         {"ButtonBefResetAbgleichA", 2},
                         {"ButtonBefResetAbgleichB", 3}};
  for (const auto& f : faelle) {
    link_.aktiv = false;
    QTest::mouseClick(kind<QPushButton>(f.knopf), Qt::LeftButton);
    EXPECT_TRUE(link_.gesendet.empty()) << f.knopf;
    link_.aktiv = true;
    QTest::mouseClick(kind<QPushButton>(f.knopf), Qt::LeftButton);
    EXPECT_EQ(link_.gesendet, std::vector<std::string>{bytes({0x06, 0x02, f.auswahl})}) << f.knopf;
    link_.gesendet.clear();
  }
  // In the expert program every send leaves a numbered line in the test
  // window's memo; the normal program produces no text at all.
  const QStringList erwartet = expertenmodus == 1
                                   ? QStringList{"00000000 Sende Befehlstelegramm auswahl=0x00",
                                                 "00000001 Sende Befehlstelegramm auswahl=0x01",
                                                 "00000002 Sende Befehlstelegramm auswahl=0x02",
                                                 "00000003 Sende Befehlstelegramm auswahl=0x03"}
                                   : QStringList{};
  EXPECT_EQ(memo(pruefen_->MemoDebug), erwartet);
  EXPECT_EQ(meldungs_zaehler, expertenmodus == 1 ? 4u : 0u);
}

TEST_F(MainTest, TelegrammeFuellenTabellenBildUndFrequenzen) {
  EXPECT_TRUE(main_->front_bild().isNull());  // nothing drawn before the first status
  kind<QLabel>("ImageFront");

  link_.liefern({0x03, 0x02, 0x78, 0x56, 0x34, 0x12});  // serial number first
  EXPECT_EQ(zeilen("ValueListEditorParameter"),
            (QStringList{"Programmversion=", "Seriennummer=0x12345678",
                         QString::fromUtf8(
                             "Betriebsstundenzähler=00 Jahre, 000 Tage, 00 Stunden, 00 Minuten."),
                         QString::fromUtf8("Abgleichzähler Schleife A=0000"),
                         QString::fromUtf8("Abgleichzähler Schleife B=0000")}));
  link_.liefern({0x02, 0x01, 0x01, 0x00});
  link_.liefern({0x03, 0x01, 0x90, 0x01, 0x00, 0x00});
  link_.liefern({0x03, 0x03, 0x39, 0x30, 0x07, 0x00});
  EXPECT_EQ(zeilen("ValueListEditorParameter"),
            (QStringList{"Programmversion=QUVA-1V0", "Seriennummer=0x12345678",
                         QString::fromUtf8(
                             "Betriebsstundenzähler=00 Jahre, 002 Tage, 18 Stunden, 40 Minuten."),
                         QString::fromUtf8("Abgleichzähler Schleife A=12345"),
                         QString::fromUtf8("Abgleichzähler Schleife B=0007")}));

  // Status: status_a 0x2B5, status_b 0x140, ausgaenge 0x074.
  link_.liefern({0x04, 0x03, 0xB5, 0x02, 0, 0, 0x40, 0x01, 0, 0, 0, 0, 0, 0, 0x74, 0, 0, 0});
  EXPECT_EQ(zeilen("ValueListEditorStatusSchleifeA"),
            (QStringList{"Betriebsart=betriebsart 5", "Empfindlichkeitsstufe=stufe 3",
                         "Haltezeitstufe=5 min", "Schleife Belegt / Frei=Belegt",
                         "Schleife Defekt / OK=OK", "Betrieb / Abgleichen=Abgleichen"}));
  EXPECT_EQ(zeilen("ValueListEditorStatusSchleifeB"),
            (QStringList{"Betriebsart=betriebsart 0", "Empfindlichkeitsstufe=stufe 0",
                         "Haltezeitstufe=unendlich", "Schleife Belegt / Frei=Frei",
                         "Schleife Defekt / OK=Defekt", "Betrieb / Abgleichen=Betrieb"}));
  const QImage& bild = main_->front_bild();
  ASSERT_EQ(bild.size(), QSize(200, 300));
  EXPECT_EQ(bild.pixelColor(120, 150), QColor(255, 255, 255));         // LED A code 7
  EXPECT_EQ(bild.pixelColor(120, 190), QColor(0, 255, 0));             // relay-1 LED
  EXPECT_EQ(bild.pixelColor(20 + 27, 10 + 16 + 10), QColor(0, 0, 0));  // level bit 1 of A
  const QPixmap angezeigt = kind<QLabel>("ImageFront")->pixmap();
  EXPECT_EQ(angezeigt.toImage().convertToFormat(QImage::Format_RGB32), bild);

  // Periods: A 7 182 000 against 7 200 000, B the other way round.
  link_.liefern({0x04, 0x01, 0xB0, 0x96, 0x6D, 0x00, 0x00, 0xDD, 0x6D, 0x00, 0x00, 0xDD, 0x6D, 0x00,
                 0xB0, 0x96, 0x6D, 0x00});
  EXPECT_EQ(
      zeilen("ValueListEditorInduktionsschleifenmesswerte"),
      (QStringList{"Frequenz Schleife A= 010025.1 Hz", "Abweichung Schleife A= -000025.1 Hz",
                   "Frequenz Schleife B= 010000.0 Hz", "Abweichung Schleife B= +000025.1 Hz"}));
  EXPECT_EQ(diagramm_->LabelFreqA->text(), "010025.1 Hz");
  EXPECT_EQ(diagramm_->LabelFreqB->text(), "010000.0 Hz");

  // Every key and value is readable in full within the fixed column widths,
  // whatever font stands in for the window's.
  for (const char* name :
       {"ValueListEditorStatusSchleifeA", "ValueListEditorStatusSchleifeB",
        "ValueListEditorParameter", "ValueListEditorInduktionsschleifenmesswerte"}) {
    auto* tab = tabelle(name);
    for (int r = 0; r < tab->rowCount(); ++r) {
      for (int c = 0; c < 2; ++c) {
        const QTableWidgetItem* it = tab->item(r, c);
        EXPECT_LE(QFontMetricsF(it->font()).horizontalAdvance(it->text()),
                  tab->textbreite_verfuegbar(c))
            << name << ": " << it->text().toStdString();
      }
    }
  }

  // No table keeps a selection or a current cell after a refresh.
  auto* t = tabelle("ValueListEditorParameter");
  t->setSelectionMode(QAbstractItemView::SingleSelection);
  t->setCurrentCell(1, 1);
  t->selectRow(2);
  t->setSelectionMode(QAbstractItemView::NoSelection);
  link_.liefern({0x03, 0x02, 0x01, 0, 0, 0});
  EXPECT_TRUE(t->selectedItems().isEmpty());
  EXPECT_FALSE(t->currentIndex().isValid());
}

TEST_F(MainTest, ChartPunktNurWaehrendDerAufnahme) {
  const std::vector<uint8_t> perioden{0x04, 0x01, 0xB0, 0x96, 0x6D, 0x00, 0xB0, 0x96, 0x6D,
                                      0x00, 0x00, 0xDD, 0x6D, 0x00, 0x00, 0xDD, 0x6D, 0x00};
  link_.liefern(perioden);
  EXPECT_EQ(diagramm_->diagramm_zeit(), 0.0);
  abfrage.diagramm_laeuft = true;
  link_.liefern(perioden);
  link_.liefern(perioden);
  EXPECT_NEAR(diagramm_->diagramm_zeit(), 0.2, 1e-9);  // two samples of 100 ms
}

TEST_F(MainTest, AktivierungMitUndOhneLogo) {
  // Missing logo: an error box, and neither the switches nor the discovery
  // nor the timer are touched on this activation.
  logo_ablegen(false);
  abfrage.diagramm_laeuft = true;
  main_->FormActivate();
  ASSERT_EQ(fehler_.size(), 1u);
  EXPECT_TRUE(fehler_[0].contains("logo_100_200.bmp"));
  EXPECT_FALSE(abfrage.abfrage_aktiv);
  EXPECT_TRUE(abfrage.diagramm_laeuft);
  EXPECT_EQ(link_.updates, 0);
  EXPECT_FALSE(main_->TimerMain->isActive());
  EXPECT_EQ(kind<QPushButton>("ButtonDebug")->isVisibleTo(main_.get()), expertenmodus != 0);
  EXPECT_EQ(kind<QPushButton>("ButtonPruefen")->isVisibleTo(main_.get()), expertenmodus != 0);

  // A file that is no picture is just as unreadable.
  QFile kaputt("logo_100_200.bmp");
  ASSERT_TRUE(kaputt.open(QIODevice::WriteOnly));
  kaputt.write("BM kein Bild");
  kaputt.close();
  main_->FormActivate();
  EXPECT_EQ(fehler_.size(), 2u);
  EXPECT_FALSE(main_->TimerMain->isActive());

  // The next activation with the logo in place does everything.
  logo_ablegen(true);
  main_->FormActivate();
  EXPECT_EQ(fehler_.size(), 2u);
  EXPECT_FALSE(kind<QLabel>("ImageLogo")->pixmap().isNull());
  EXPECT_TRUE(abfrage.abfrage_aktiv);
  EXPECT_FALSE(abfrage.diagramm_laeuft);
  EXPECT_EQ(link_.updates, 1);
  EXPECT_TRUE(link_.aktiv);  // the detector was found and opened
  EXPECT_TRUE(main_->TimerMain->isActive());
  EXPECT_TRUE(memo(debug_->MemoDebug)
                  .contains(QString::fromUtf8(
                      "00000000 Mein gesuchtes Gerät Vid=0x0483 und Did=0xA082 wurde gefunden.")));

  // A failing discovery is reported and the timer is not started.
  main_->TimerMain->stop();
  link_.update_wirft = true;
  main_->FormActivate();
  ASSERT_EQ(fehler_.size(), 3u);
  EXPECT_TRUE(fehler_[2].contains(QString::fromUtf8("Geräteliste nicht lesbar")));
  EXPECT_FALSE(main_->TimerMain->isActive());
}

TEST_F(MainTest, TimerZeigtVerbindung) {
  auto* label = kind<QLabel>("LabelUSB");
  auto* shape = kind<TShape>("ShapeUSB");
  main_->TimerMainTimer();
  EXPECT_EQ(label->text(), "kein Kontakt");
  EXPECT_EQ(shape->farbe(), QColor(255, 255, 255));
  EXPECT_TRUE(link_.gesendet.empty());
  link_.aktiv = true;
  main_->TimerMainTimer();
  EXPECT_EQ(label->text(), "verbunden");
  EXPECT_EQ(shape->farbe(), QColor(255, 255, 0));
  EXPECT_EQ(label->palette().color(QPalette::Window), QColor(255, 255, 0));
  EXPECT_EQ(link_.gesendet.front(), bytes({0x06, 0x01, 0x01}));  // status query
}

TEST_F(MainTest, FensterAktivierungPruefenPauseUndBeenden) {
  main_->show();
  main_->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(main_.get()));
  // The window system's activation ran FormActivate.
  EXPECT_TRUE(main_->TimerMain->isActive());
  EXPECT_TRUE(abfrage.abfrage_aktiv);
  const int suchen = link_.updates;
  EXPECT_EQ(suchen, 1);

  if (expertenmodus == 1) {
    QTest::mouseClick(kind<QPushButton>("ButtonPruefen"), Qt::LeftButton);
    EXPECT_FALSE(abfrage.abfrage_aktiv);  // the polling cycle pauses
    EXPECT_TRUE(pruefen_->isVisible());
    EXPECT_TRUE(QTest::qWaitForWindowActive(pruefen_.get()));
    // Closing the test window resumes it.
    pruefen_->close();
    EXPECT_FALSE(pruefen_->isVisible());
    EXPECT_TRUE(abfrage.abfrage_aktiv);

    // Back into the main window with the test window still open: activation
    // re-enables the cycle, stops a recording and searches again.
    QTest::mouseClick(kind<QPushButton>("ButtonPruefen"), Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitForWindowActive(pruefen_.get()));
    abfrage.diagramm_laeuft = true;
    main_->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(main_.get()));
    EXPECT_TRUE(abfrage.abfrage_aktiv);
    EXPECT_FALSE(abfrage.diagramm_laeuft);
    EXPECT_GT(link_.updates, suchen);

    QTest::mouseClick(kind<QPushButton>("ButtonDebug"), Qt::LeftButton);
    EXPECT_TRUE(debug_->isVisible());
  }

  // Leaving the program and coming straight back to the main window is no
  // activation within the program: a recording goes on, no new search.
  const int vorher = link_.updates;
  abfrage.diagramm_laeuft = true;
  int aktivierungen = 0;
  struct Zaehler : QObject {
    int& n;
    explicit Zaehler(int& z) : n(z) {}
    bool eventFilter(QObject*, QEvent* e) override {
      if (e->type() == QEvent::WindowActivate) ++n;
      return false;
    }
  } zaehler(aktivierungen);
  main_->installEventFilter(&zaehler);
  QApplication::setActiveWindow(nullptr);
  QApplication::setActiveWindow(main_.get());
  ASSERT_EQ(aktivierungen, 1);
  EXPECT_TRUE(abfrage.diagramm_laeuft);
  EXPECT_EQ(link_.updates, vorher);

  QTest::mouseClick(kind<QPushButton>("ButtonDiagramm"), Qt::LeftButton);
  EXPECT_TRUE(diagramm_->isVisible());
  // Centred over the main window.
  const QPoint mitte_main = main_->frameGeometry().center();
  EXPECT_LE((diagramm_->frameGeometry().center() - mitte_main).manhattanLength(), 2);

  QTest::mouseClick(kind<QPushButton>("ButtonBeenden"), Qt::LeftButton);
  EXPECT_FALSE(main_->isVisible());
  EXPECT_FALSE(diagramm_->isVisible());
  EXPECT_FALSE(debug_->isVisible());
  EXPECT_FALSE(pruefen_->isVisible());
}

TEST_F(MainTest, ErsteAnzeigeOhneFokusIstEineAktivierung) {
  // A window system that keeps the focus from a new window (focus-stealing
  // prevention) sends no activation; the first showing still searches for
  // the detector and starts the timer, once.
  struct KeinFokus : QObject {
    bool eventFilter(QObject*, QEvent* e) override { return e->type() == QEvent::WindowActivate; }
  } kein_fokus;
  main_->installEventFilter(&kein_fokus);
  main_->show();
  ASSERT_TRUE(QTest::qWaitFor([&] { return main_->TimerMain->isActive(); }, 1000));
  EXPECT_EQ(link_.updates, 1);
  EXPECT_TRUE(abfrage.abfrage_aktiv);
}

TEST_F(MainTest, FehlerboxLoestKeineNeueAktivierungAus) {
  // The real error box, closed as soon as it is up. The main window getting
  // the activation back from the box is no new activation, so no second box
  // follows; coming back from another window is one.
  logo_ablegen(false);
  int boxen = 0;
  main_->fehler_melden_setzen([&](const QString& text) {
    ++boxen;
    QTimer::singleShot(0, [] {
      if (auto* box = QApplication::activeModalWidget()) box->close();
    });
    QMessageBox::critical(main_.get(), "Fehler", text);
  });
  main_->show();
  main_->activateWindow();
  ASSERT_TRUE(QTest::qWaitFor([&] { return boxen == 1; }));
  main_->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(main_.get()));
  QTest::qWait(50);
  EXPECT_EQ(boxen, 1);
  EXPECT_FALSE(main_->TimerMain->isActive());
  // The box was no other window of the program either: leaving the program
  // and coming back is still no activation.
  QApplication::setActiveWindow(nullptr);
  QApplication::setActiveWindow(main_.get());
  QTest::qWait(50);
  EXPECT_EQ(boxen, 1);

  debug_->show();
  debug_->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(debug_.get()));
  main_->activateWindow();
  ASSERT_TRUE(QTest::qWaitFor([&] { return boxen == 2; }));
}

TEST_F(MainTest, InfoFensterJedesMalNeuUndFreigegeben) {
  int erzeugt = 0, freigegeben = 0;
  // Closes each info window once it is up (and any box it shows first: the
  // test program carries no version information).
  QTimer schliesser;
  QObject::connect(&schliesser, &QTimer::timeout, [&] {
    auto* modal = QApplication::activeModalWidget();
    if (!modal) return;
    auto* info = qobject_cast<TFormInfo*>(modal);
    if (!info) {
      modal->close();
      return;
    }
    ++erzeugt;
    QObject::connect(info, &QObject::destroyed, [&] { ++freigegeben; });
    info->close();
  });
  schliesser.start(10);
  for (int klick = 1; klick <= 2; ++klick) {
    main_->ButtonInfoClick();
    EXPECT_EQ(erzeugt, klick);
    EXPECT_EQ(freigegeben, klick);
  }
  EXPECT_TRUE(main_->findChildren<TFormInfo*>().isEmpty());
}

// End to end against the simulated detector: activation finds and opens it,
// and the timer's polling fills every table of the main window.
using MainSimTest = FensterTest<SimDetektor>;

TEST_F(MainSimTest, SimulierterDetektorFuelltDieAnzeige) {
  main_->FormActivate();
  ASSERT_TRUE(link_.Active());
  main_->TimerMain->stop();  // stepped by hand below
  for (int tick = 0; tick < 60; ++tick) {
    main_->TimerMainTimer();
    link_.zeit_vorruecken(50);
  }
  EXPECT_EQ(kind<QLabel>("LabelUSB")->text(), "verbunden");
  const QStringList parameter = zeilen("ValueListEditorParameter");
  ASSERT_EQ(parameter.size(), 5);
  EXPECT_EQ(parameter[0], "Programmversion=QUVA-1V0");
  EXPECT_EQ(parameter[1], "Seriennummer=0x00012345");
  EXPECT_EQ(parameter[2],
            QString::fromUtf8("Betriebsstundenzähler=01 Jahre, 000 Tage, 00 Stunden, 00 Minuten."));
  EXPECT_EQ(zeilen("ValueListEditorStatusSchleifeA").size(), 6);
  EXPECT_EQ(zeilen("ValueListEditorStatusSchleifeB").size(), 6);
  EXPECT_EQ(zeilen("ValueListEditorInduktionsschleifenmesswerte").size(), 4);
  EXPECT_FALSE(main_->front_bild().isNull());
  if (expertenmodus == 1) {
    const QStringList m = memo(pruefen_->MemoDebug);
    ASSERT_FALSE(m.isEmpty());
    EXPECT_EQ(m.first(), "00000000 Sende Abfragetelegramm auswahl=0x01");
    EXPECT_FALSE(m.filter(" Statustelegramm empfangen.").isEmpty());
  } else {
    EXPECT_TRUE(memo(pruefen_->MemoDebug).isEmpty());
  }

  // "Run" in the diagram pauses the cycle: only the sampling queries go out,
  // every second tick, and each answer adds a sample. "Stop" resumes it.
  auto ticks = [&](int n) {
    for (int i = 0; i < n; ++i) {
      main_->TimerMainTimer();
      link_.zeit_vorruecken(50);
    }
  };
  diagramm_->ButtonRun->click();
  EXPECT_FALSE(abfrage.abfrage_aktiv);
  EXPECT_TRUE(abfrage.diagramm_laeuft);
  link_.gesendet_loeschen();
  ticks(20);
  EXPECT_EQ(link_.gesendet(), std::vector<std::string>(10, bytes({0x06, 0x01, 0x03})));
  EXPECT_NEAR(diagramm_->diagramm_zeit(), 1.0, 1e-9);
  diagramm_->ButtonRun->click();
  EXPECT_TRUE(abfrage.abfrage_aktiv);
  EXPECT_FALSE(abfrage.diagramm_laeuft);
  link_.gesendet_loeschen();
  ticks(4);
  EXPECT_EQ(link_.gesendet().front(), bytes({0x06, 0x01, 0x00}));  // the cycle starts over
  EXPECT_NEAR(diagramm_->diagramm_zeit(), 1.0, 1e-9);

  // Unplugged: "kein Kontakt" within one tick; the tables keep their values.
  link_.ausstecken();
  main_->TimerMainTimer();
  EXPECT_EQ(kind<QLabel>("LabelUSB")->text(), "kein Kontakt");
  EXPECT_EQ(zeilen("ValueListEditorParameter"), parameter);
  // Plugged in again: the device change finds and opens it.
  link_.einstecken();
  main_->WMDeviceChange();
  EXPECT_TRUE(link_.Active());
}

}  // namespace
}  // namespace quva
