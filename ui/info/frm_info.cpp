#include "ui/info/frm_info.h"

#include <QEvent>
#include <QFile>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <algorithm>
#include <stdexcept>

#include "platform/jpeg/jpeg_bild.h"
#include "platform/version/programmdatei.h"
#include "ui/main/programm.h"

namespace quva {

namespace {

QFont schrift(const char* familie, int pixel) {
  QFont f{QString::fromLatin1(familie)};
  f.setPixelSize(pixel);
  return f;
}

}  // namespace

TFormInfo::TFormInfo(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("FormInfo"));
  setWindowTitle(QStringLiteral("Info"));
  setFixedSize(447, 395);
  setFont(QFont(QStringLiteral("MS Sans Serif"), 8));
  setAutoFillBackground(true);
  QPalette p = palette();
  p.setColor(QPalette::Window, Qt::white);
  setPalette(p);

  programmdatei_pfad = programmdatei();
  versionsdatei_pfad = programmdatei_lesbar();
  fehler_melden = [this](const QString& text) {
    QMessageBox::critical(this, QString::fromUtf8(programm_titel), text);
  };

  Image1 = new QLabel(this);
  Image1->setObjectName(QStringLiteral("Image1"));
  Image1->setGeometry(32, 24, 385, 273);
  Image1->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  QFile datei(QStringLiteral(":/info/info_bild.jpg"));
  if (datei.open(QIODevice::ReadOnly)) {
    QImage bild = jpeg_dekodieren(datei.readAll());
    if (bild.width() > Image1->width() || bild.height() > Image1->height())
      bild = bild.scaled(Image1->size(), Qt::KeepAspectRatio, Qt::SmoothTransformation);
    Image1->setPixmap(QPixmap::fromImage(bild));
    // The window's own small icon: the picture's middle, squared.
    const int seite = std::min(bild.width(), bild.height());
    if (seite > 0)
      setWindowIcon(QPixmap::fromImage(
          bild.copy((bild.width() - seite) / 2, (bild.height() - seite) / 2, seite, seite)
              .scaled(32, 32, Qt::KeepAspectRatio, Qt::SmoothTransformation)));
  }

  LabelName = new QLabel(QStringLiteral("name"), this);
  LabelName->setObjectName(QStringLiteral("LabelName"));
  LabelName->move(8, 325);
  LabelBuild = new QLabel(QStringLiteral("build"), this);
  LabelBuild->setObjectName(QStringLiteral("LabelBuild"));
  LabelBuild->move(8, 362);
  for (QLabel* l : {LabelName, LabelBuild}) {
    l->setFont(schrift("Times New Roman", 16));
    l->setMinimumWidth(340);  // the text grows to the right as in an auto-sized label
  }
  ButtonFertig = new QPushButton(QStringLiteral("ok"), this);
  ButtonFertig->setObjectName(QStringLiteral("ButtonFertig"));
  ButtonFertig->setGeometry(352, 346, 65, 35);
  ButtonFertig->setFont(schrift("MS Sans Serif", 16));
  connect(ButtonFertig, &QPushButton::clicked, this, &TFormInfo::ButtonFertigClick);
}

void TFormInfo::changeEvent(QEvent* ereignis) {
  QDialog::changeEvent(ereignis);
  // Only the first activation fills the window: the error box of a missing
  // version hands the activation back when it closes, and filling again
  // would show it again, without end.
  if (ereignis->type() == QEvent::ActivationChange && isActiveWindow()) einmal_fuellen();
}

void TFormInfo::showEvent(QShowEvent* ereignis) {
  QDialog::showEvent(ereignis);
  // A window system with focus-stealing prevention may never activate the
  // new window; it is filled all the same once it is up.
  QTimer::singleShot(0, this, [this] { einmal_fuellen(); });
}

void TFormInfo::einmal_fuellen() {
  if (aktiviert_) return;
  aktiviert_ = true;
  FormActivate();
}

void TFormInfo::FormActivate() {
  LabelName->setText(QStringLiteral("Programm: ") +
                     QString::fromStdString(programmname(programmdatei_pfad)));
  setWindowTitle(QString::fromUtf8(programm_titel));
  try {
    LabelBuild->setText(QStringLiteral("( Build ") +
                        QString::fromStdString(versionsnummer_lesen(versionsdatei_pfad)) +
                        QStringLiteral(" )."));
  } catch (const std::runtime_error& e) {
    fehler_melden(QString::fromUtf8(e.what()));
  }
}

void TFormInfo::ButtonFertigClick() { accept(); }

}  // namespace quva
