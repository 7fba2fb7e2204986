#include <gtest/gtest.h>

#include <QApplication>
#include <QBuffer>
#include <QFile>
#include <QImageWriter>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>
#include <fstream>

#include "platform/jpeg/jpeg_bild.h"
#include "platform/version/programmdatei.h"
#include "ui/info/frm_debugmeldungen.h"
#include "ui/info/frm_info.h"

namespace quva {
namespace {

QByteArray info_bild_daten() {
  QFile datei(QStringLiteral(":/info/info_bild.jpg"));
  EXPECT_TRUE(datei.open(QIODevice::ReadOnly));
  return datei.readAll();
}

TEST(JpegBild, ResourcePictureDecodes) {
  QString fehler;
  const QImage bild = jpeg_dekodieren(info_bild_daten(), &fehler);
  ASSERT_FALSE(bild.isNull()) << fehler.toStdString();
  EXPECT_EQ(bild.size(), QSize(346, 269));
  // Sky at the top, road at the bottom: the colours of the picture, not noise.
  const QColor himmel = bild.pixelColor(5, 5), strasse = bild.pixelColor(5, 260);
  EXPECT_GT(himmel.blue(), 220);
  EXPECT_NEAR(strasse.red(), 90, 12);
  EXPECT_NEAR(strasse.blue(), 95, 12);
}

TEST(JpegBild, GreyAndProgressivePictures) {
  // Inputs written by Qt's own JPEG writer (a plugin; only the test uses it).
  if (!QImageWriter::supportedImageFormats().contains("jpeg")) GTEST_SKIP() << "no JPEG writer";
  QImage vorlage(40, 30, QImage::Format_RGB32);
  vorlage.fill(QColor(200, 40, 40));
  vorlage.setPixelColor(0, 0, Qt::black);
  for (const bool grau : {false, true}) {
    for (const bool progressiv : {false, true}) {
      const QImage quelle = grau ? vorlage.convertToFormat(QImage::Format_Grayscale8) : vorlage;
      QByteArray daten;
      QBuffer puffer(&daten);
      puffer.open(QIODevice::WriteOnly);
      QImageWriter schreiber(&puffer, "jpeg");
      schreiber.setProgressiveScanWrite(progressiv);
      schreiber.setQuality(95);
      ASSERT_TRUE(schreiber.write(quelle));
      const QImage bild = jpeg_dekodieren(daten);
      SCOPED_TRACE(testing::Message() << "grey " << grau << ", progressive " << progressiv);
      ASSERT_EQ(bild.size(), QSize(40, 30));
      const QColor mitte = bild.pixelColor(20, 15), soll = quelle.pixelColor(20, 15);
      EXPECT_NEAR(mitte.red(), soll.red(), 6);
      EXPECT_NEAR(mitte.green(), soll.green(), 6);
      EXPECT_NEAR(mitte.blue(), soll.blue(), 6);
    }
  }
}

TEST(JpegBild, BrokenDataGivesANullPictureAndAReason) {
  const QByteArray gut = info_bild_daten();
  for (const QByteArray& daten : {QByteArray(), QByteArray("kein jpeg"), gut.left(2), gut.left(600),
                                  gut.left(gut.size() / 2)}) {
    QString fehler;
    EXPECT_TRUE(jpeg_dekodieren(daten, &fehler).isNull()) << daten.size();
    EXPECT_FALSE(fehler.isEmpty()) << daten.size();
  }
}

class Info : public testing::Test {
 protected:
  void SetUp() override {
    form.fehler_melden = [this](const QString& t) { fehler << t; };
  }
  void aktivieren() {
    form.show();
    form.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
  }
  TFormInfo form;
  QStringList fehler;
};

TEST_F(Info, ShowsPictureNameTitleAndBuild) {
  EXPECT_EQ(form.LabelName->text(), QStringLiteral("name"));
  EXPECT_EQ(form.LabelBuild->text(), QStringLiteral("build"));
  EXPECT_EQ(form.Image1->pixmap().size(), QSize(346, 269));
  EXPECT_EQ(form.size(), QSize(447, 395));
  aktivieren();
  EXPECT_EQ(form.LabelName->text(), QStringLiteral("Programm: ui_info_tests"));
  EXPECT_EQ(form.windowTitle(), QStringLiteral("QUVA Analyseprogramm V2"));
  EXPECT_EQ(form.LabelBuild->text(), QStringLiteral("( Build " QUVA_PROJEKT_VERSION " )."));
  EXPECT_TRUE(fehler.isEmpty());
  form.ButtonFertig->click();
  EXPECT_FALSE(form.isVisible());
  EXPECT_EQ(form.result(), QDialog::Accepted);
}

TEST_F(Info, ProgramFileWithoutVersion) {
  const auto pfad = std::filesystem::temp_directory_path() / "Analyse.exe";
  std::ofstream(pfad) << "kein Programm";
  form.programmdatei_pfad = pfad;
  form.versionsdatei_pfad = pfad;
  aktivieren();
  EXPECT_EQ(fehler, QStringList{QStringLiteral("Keine Versionsinformationen vorhanden")});
  EXPECT_EQ(form.LabelName->text(), QStringLiteral("Programm: Analyse"));
  EXPECT_EQ(form.windowTitle(), QStringLiteral("QUVA Analyseprogramm V2"));
  EXPECT_EQ(form.LabelBuild->text(), QStringLiteral("build"));
  // Coming back to the window does not report again.
  form.hide();
  aktivieren();
  EXPECT_EQ(fehler.size(), 1);
  EXPECT_TRUE(form.ButtonFertig->isEnabled());
}

TEST_F(Info, FilledOnceWhenTheWindowSystemKeepsTheFocusAway) {
  struct KeinFokus : QObject {
    bool eventFilter(QObject*, QEvent* e) override {
      return e->type() == QEvent::ActivationChange || e->type() == QEvent::WindowActivate;
    }
  } kein_fokus;
  form.installEventFilter(&kein_fokus);
  const auto pfad = std::filesystem::temp_directory_path() / "Analyse.exe";
  std::ofstream(pfad) << "kein Programm";
  form.programmdatei_pfad = pfad;
  form.versionsdatei_pfad = pfad;
  form.show();
  ASSERT_TRUE(QTest::qWaitFor([&] { return !fehler.isEmpty(); }, 1000));
  EXPECT_EQ(form.LabelName->text(), QStringLiteral("Programm: Analyse"));
  EXPECT_EQ(form.windowTitle(), QStringLiteral("QUVA Analyseprogramm V2"));
  // An activation that comes after all does not fill (and report) again.
  form.removeEventFilter(&kein_fokus);
  aktivieren();
  EXPECT_EQ(fehler.size(), 1);
}

TEST(Debugmeldungen, KeepsEveryLineFromTheStart) {
  TFormDebugmeldungen form;
  for (int i = 0; i < 3000; ++i)
    form.zeile_anhaengen(
        QStringLiteral("%1 Zeile äöü").arg(i, 8, 16, QLatin1Char('0')).toStdString());
  form.show();
  form.ButtonBeenden->click();
  EXPECT_FALSE(form.isVisible());
  const std::string lang = "00000bb8 danach" + std::string(300, '.');
  form.zeile_anhaengen(lang);
  form.show();
  QCoreApplication::processEvents();
  const QStringList zeilen = form.MemoDebug->toPlainText().split('\n');
  ASSERT_EQ(zeilen.size(), 3001);
  EXPECT_EQ(zeilen.first(), QStringLiteral("00000000 Zeile äöü"));
  EXPECT_EQ(zeilen[2999], QStringLiteral("00000bb7 Zeile äöü"));
  EXPECT_EQ(zeilen.last(), QString::fromStdString(lang));
  // A long line does not scroll the line numbers out of view.
  EXPECT_EQ(form.MemoDebug->horizontalScrollBar()->value(), 0);
  EXPECT_TRUE(form.MemoDebug->isReadOnly());
  EXPECT_EQ(form.windowTitle(), QStringLiteral("Debugmeldungen"));
}

}  // namespace
}  // namespace quva
