#include "ui/main/frm_main.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QEvent>
#include <QFont>
#include <QImage>
#include <QLabel>
#include <QMessageBox>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QTimer>
#include <QWindow>
#include <exception>

#include "common/konvert.h"
#include "device/callback.h"
#include "device/discovery.h"
#include "ui/diagramm/frm_diagramm.h"
#include "ui/info/frm_debugmeldungen.h"
#include "ui/info/frm_info.h"
#include "ui/main/frm_pruefen.h"
#include "ui/main/front_bild.h"
#include "ui/main/programm.h"
#include "ui/main/shape.h"
#include "ui/main/ui_frm_main.h"
#include "ui/main/wertanzeige.h"
#include "ui/main/wertliste.h"

namespace quva {

namespace {

// Name of the logo file, read from the current working directory.
const QString logo_datei = QStringLiteral("logo_100_200.bmp");

void tabelle_einrichten(TValueListEditor* t, const char* titel, int breite_schluessel,
                        int breite_wert) {
  t->titel_setzen(QString::fromUtf8(titel), QStringLiteral("Wert"));
  t->spaltenbreiten_setzen(breite_schluessel, breite_wert);
}

void zeilen_zeigen(TValueListEditor* t, const std::vector<std::string>& zeilen) {
  t->zeilen_setzen(zeilen);
  t->auswahl_aufheben();
}

}  // namespace

void fenster_zentrieren(QWidget* w, const QWidget* o) {
  const QRect wg = w->frameGeometry();
  const QRect og = o->frameGeometry();
  t_rechteck r{wg.x(), wg.y(), wg.width(), wg.height()};
  CenterForm(r, t_rechteck{og.x(), og.y(), og.width(), og.height()});
  w->move(r.Left, r.Top);
}

TFormMain::TFormMain(HidLink& link, QWidget* parent)
    : QWidget(parent), ui_(std::make_unique<Ui::TFormMain>()), link_(link) {
  ui_->setupUi(this);
  setObjectName(QStringLiteral("FormMain"));
  setWindowFlags(windowFlags() | Qt::MSWindowsFixedSizeDialogHint);
  setFixedSize(841, 425);

  QFont usb_schrift(QStringLiteral("Courier New"));
  usb_schrift.setStyleHint(QFont::Monospace);
  usb_schrift.setPixelSize(16);
  usb_schrift.setBold(true);
  ui_->LabelUSB->setFont(usb_schrift);

  tabelle_einrichten(ui_->ValueListEditorStatusSchleifeA, "Status Schleife A", 126, 95);
  tabelle_einrichten(ui_->ValueListEditorStatusSchleifeB, "Status Schleife B", 125, 96);
  tabelle_einrichten(ui_->ValueListEditorParameter, "Parameter", 142, 231);
  tabelle_einrichten(ui_->ValueListEditorInduktionsschleifenmesswerte, "Messwerte", 142, 102);

  connect(ui_->ButtonBefAbgleichA, &QPushButton::clicked, this,
          &TFormMain::ButtonBefAbgleichAClick);
  connect(ui_->ButtonBefAbgleichB, &QPushButton::clicked, this,
          &TFormMain::ButtonBefAbgleichBClick);
  connect(ui_->ButtonBefResetAbgleichA, &QPushButton::clicked, this,
          &TFormMain::ButtonBefResetAbgleichAClick);
  connect(ui_->ButtonBefResetAbgleichB, &QPushButton::clicked, this,
          &TFormMain::ButtonBefResetAbgleichBClick);
  connect(ui_->ButtonDiagramm, &QPushButton::clicked, this, &TFormMain::ButtonDiagrammClick);
  connect(ui_->ButtonDebug, &QPushButton::clicked, this, &TFormMain::ButtonDebugClick);
  connect(ui_->ButtonPruefen, &QPushButton::clicked, this, &TFormMain::ButtonPruefenClick);
  connect(ui_->ButtonInfo, &QPushButton::clicked, this, &TFormMain::ButtonInfoClick);
  connect(ui_->ButtonBeenden, &QPushButton::clicked, this, &TFormMain::ButtonBeendenClick);

  TimerMain = new QTimer(this);
  TimerMain->setObjectName(QStringLiteral("TimerMain"));
  TimerMain->setInterval(50);
  TimerMain->setTimerType(Qt::PreciseTimer);
  connect(TimerMain, &QTimer::timeout, this, &TFormMain::TimerMainTimer);

  usb_status_anzeigen("kein Kontakt", farbe_weiss);
  link_.SetOnAfterReceive([this](const uint8_t* buffer, std::size_t received) {
    nrHid1AfterReceive(buffer, received);
  });
  sanduhr_setzen([](bool sanduhr) {
    if (sanduhr) {
      QApplication::setOverrideCursor(Qt::WaitCursor);
    } else {
      QApplication::restoreOverrideCursor();
    }
  });
  connect(qGuiApp, &QGuiApplication::focusWindowChanged, this, [this](QWindow* fenster) {
    if (fenster && fenster != windowHandle()) anderes_fenster_aktiv_ = true;
  });
  fehler_melden_ = [this](const QString& text) {
    QMessageBox::critical(this, QString::fromUtf8(programm_titel), text);
  };

  FormCreate();
}

TFormMain::~TFormMain() {
  TimerMain->stop();
  // The hooks and sinks point into this window.
  callbacks_loeschen();
  debug_senke_setzen(nullptr);
  sanduhr_setzen(nullptr);
  link_.SetOnAfterReceive(nullptr);
}

void TFormMain::FormCreate() {
  meldungs_zaehler = 0;
  setWindowTitle(QString::fromUtf8(programm_titel));
  hooks_registrieren();
}

void TFormMain::hooks_registrieren() {
  auto parameter = [this](const auto&) { parameter_anzeigen(); };
  cb_meldung_t meldung;
  if (expertenmodus == 1) {
    meldung = [this](const std::string& text) { cb_meldung(text); };
  }
  if (expertenmodus == 0 || expertenmodus == 1) {
    callbacks_setzen(
        meldung, [this](const t_tele_perioden& p) { cb_perioden(p); }, parameter, parameter,
        parameter, parameter, [this](const t_tele_portstatus& p) { cb_portstatus(p); },
        [this](const t_tele_analogwerte& a) { cb_analogwerte(a); },
        [this](const t_tele_status& s) { cb_status(s); });
  } else {
    callbacks_loeschen();
  }
}

void TFormMain::fenster_setzen(TFormDiagramm* diagramm, TFormDebugmeldungen* debugmeldungen,
                               TFormPruefen* pruefen) {
  diagramm_ = diagramm;
  debugmeldungen_ = debugmeldungen;
  pruefen_ = pruefen;
  if (debugmeldungen_) {
    debug_senke_setzen([this](const std::string& zeile) {
      if (debugmeldungen_) debugmeldungen_->zeile_anhaengen(zeile);
    });
  } else {
    debug_senke_setzen(nullptr);
  }
}

bool TFormMain::event(QEvent* e) {
  if (e->type() == QEvent::Show && !gezeigt_) {
    gezeigt_ = true;
    // The first showing is an activation even where the window system keeps
    // the focus from a new window. Run it once the window is up, unless the
    // window system's activation has come first.
    QTimer::singleShot(0, this, [this] {
      if (anderes_fenster_aktiv_ && !fehlerbox_offen_) {
        anderes_fenster_aktiv_ = false;
        FormActivate();
      }
    });
  }
  if (e->type() == QEvent::WindowActivate) {
    if (fehlerbox_offen_ || aktivierung_nach_fehlerbox_) {
      aktivierung_nach_fehlerbox_ = false;
    } else if (anderes_fenster_aktiv_) {
      anderes_fenster_aktiv_ = false;
      FormActivate();
    }
  }
  return QWidget::event(e);
}

void TFormMain::fehler(const QString& text) {
  // The box is no other window of the program: taking the focus to it does
  // not make the next return from another program an activation.
  const bool anderes_fenster_vorher = anderes_fenster_aktiv_;
  fehlerbox_offen_ = true;
  if (fehler_melden_) fehler_melden_(text);
  fehlerbox_offen_ = false;
  anderes_fenster_aktiv_ = anderes_fenster_vorher;
  // The box took the activation; this window gets it back from the box.
  aktivierung_nach_fehlerbox_ = isVisible() && !isActiveWindow();
}

void TFormMain::FormActivate() {
  const bool experte = expertenmodus == 1;
  if (expertenmodus == 0 || experte) {
    ui_->ButtonDebug->setVisible(experte);
    ui_->ButtonPruefen->setVisible(experte);
  }

  QImage logo;
  if (!logo.load(logo_datei)) {
    fehler(QStringLiteral("Das Logo \"%1\" kann nicht geladen werden: die Datei fehlt oder ist "
                          "kein lesbares Bild.")
               .arg(QDir::current().absoluteFilePath(logo_datei)));
    return;
  }
  ui_->ImageLogo->setPixmap(QPixmap::fromImage(logo));

  abfrage.abfrage_aktiv = true;
  abfrage.diagramm_laeuft = false;

  try {
    hid_geraet_suchen(link_);
  } catch (const std::exception& ex) {
    fehler(QStringLiteral("Fehler bei der Gerätesuche: %1").arg(QString::fromUtf8(ex.what())));
    return;
  }

  if (!TimerMain->isActive()) TimerMain->start();
}

void TFormMain::nrHid1AfterReceive(const uint8_t* buffer, std::size_t received) {
  telegramm_auswerten(buffer, received);
}

void TFormMain::TimerMainTimer() {
  abfrage_tick(
      link_, [this](const std::string& text, t_farbe farbe) { usb_status_anzeigen(text, farbe); },
      diagramm_ ? diagramm_->abtastrate_index() : 0);
}

void TFormMain::usb_status_anzeigen(const std::string& text, t_farbe farbe) {
  const QColor c(farbe.rot, farbe.gruen, farbe.blau);
  ui_->ShapeUSB->farbe_setzen(c);
  const QString t = QString::fromStdString(text);
  if (ui_->LabelUSB->text() != t) ui_->LabelUSB->setText(t);
  QPalette p = ui_->LabelUSB->palette();
  if (p.color(QPalette::Window) != c) {
    p.setColor(QPalette::Window, c);
    ui_->LabelUSB->setPalette(p);
  }
}

void TFormMain::WMDeviceChange() { quva::WMDeviceChange(link_); }

void TFormMain::ButtonBefAbgleichAClick() { sende_befehl(link_, 0); }
void TFormMain::ButtonBefAbgleichBClick() { sende_befehl(link_, 1); }
void TFormMain::ButtonBefResetAbgleichAClick() { sende_befehl(link_, 2); }
void TFormMain::ButtonBefResetAbgleichBClick() { sende_befehl(link_, 3); }

void TFormMain::ButtonDiagrammClick() {
  if (!diagramm_) return;
  fenster_zentrieren(diagramm_, this);
  diagramm_->show();
  diagramm_->raise();
  diagramm_->activateWindow();
}

void TFormMain::ButtonDebugClick() {
  if (!debugmeldungen_) return;
  fenster_zentrieren(debugmeldungen_, this);
  debugmeldungen_->show();
  debugmeldungen_->raise();
  debugmeldungen_->activateWindow();
}

void TFormMain::ButtonPruefenClick() {
  abfrage.abfrage_aktiv = false;
  if (!pruefen_) return;
  fenster_zentrieren(pruefen_, this);
  pruefen_->show();
  pruefen_->raise();
  pruefen_->activateWindow();
}

void TFormMain::ButtonInfoClick() {
  auto info = std::make_unique<TFormInfo>(this);
  fenster_zentrieren(info.get(), this);
  info->exec();
}

void TFormMain::ButtonBeendenClick() { close(); }

void TFormMain::closeEvent(QCloseEvent* e) {
  // The other windows go with the main window, and so does the program.
  for (QWidget* w : {static_cast<QWidget*>(diagramm_), static_cast<QWidget*>(debugmeldungen_),
                     static_cast<QWidget*>(pruefen_)}) {
    if (w) w->hide();
  }
  TimerMain->stop();
  e->accept();
  QCoreApplication::quit();
}

void TFormMain::parameter_anzeigen() {
  zeilen_zeigen(ui_->ValueListEditorParameter, parameter_zeilen(geraet));
}

void TFormMain::cb_meldung(const std::string& text) {
  if (pruefen_) pruefen_->meldung_anhaengen(LongToHex(meldungs_zaehler) + " " + text);
  ++meldungs_zaehler;
}

void TFormMain::cb_perioden(const t_tele_perioden& perioden) {
  const t_frequenzen f = frequenzen_berechnen(perioden);
  zeilen_zeigen(ui_->ValueListEditorInduktionsschleifenmesswerte, messwerte_zeilen(f));
  if (!diagramm_) return;
  diagramm_->LabelFreqA->setText(QString::fromStdString(frequenz_text(f.fA) + " Hz"));
  diagramm_->LabelFreqB->setText(QString::fromStdString(frequenz_text(f.fB) + " Hz"));
  if (abfrage.diagramm_laeuft) {
    diagramm_->diagramm_messpunkt(f.dA, f.dB, f.fA_ref, f.fB_ref, perioden.ref_periode_a,
                                  perioden.ref_periode_b);
  }
}

void TFormMain::cb_portstatus(const t_tele_portstatus& portstatus) {
  if (pruefen_) pruefen_->portstatus_anzeigen(portstatus);
}

void TFormMain::cb_analogwerte(const t_tele_analogwerte& analogwerte) {
  if (pruefen_) pruefen_->analogwerte_anzeigen(analogwerte);
}

void TFormMain::cb_status(const t_tele_status& status) {
  if (bild_front_.isNull()) bild_front_ = QImage(front_breite, front_hoehe, QImage::Format_RGB32);
  {
    QPainter p(&bild_front_);
    front_zeichnen(p, status, palette().color(QPalette::Button));
  }
  ui_->ImageFront->setPixmap(QPixmap::fromImage(bild_front_));
  zeilen_zeigen(ui_->ValueListEditorStatusSchleifeA, schleifenstatus_zeilen(status.status_a));
  zeilen_zeigen(ui_->ValueListEditorStatusSchleifeB, schleifenstatus_zeilen(status.status_b));
  if (pruefen_) pruefen_->status_anzeigen(status);
}

}  // namespace quva
