#pragma once
// The main window: owns the use of the HID link and the 50 ms timer,
// registers the protocol hooks, shows the detector's state in four tables and
// the drawn device front, and opens the diagram, debug, test and info windows.
// Closing it ends the program.

#include <QImage>
#include <QString>
#include <QWidget>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "device/abfrage.h"
#include "device/hid_link.h"
#include "device/quva_usb.h"

class QTimer;

namespace Ui {
class TFormMain;
}

namespace quva {

class TFormDiagramm;
class TFormDebugmeldungen;
class TFormPruefen;
class TValueListEditor;

// Moves w so that its outer frame is centred over that of o.
void fenster_zentrieren(QWidget* w, const QWidget* o);

class TFormMain : public QWidget {
  Q_OBJECT

 public:
  // The constructor is the window's creation handler (FormCreate). The link
  // must outlive the window.
  explicit TFormMain(HidLink& link, QWidget* parent = nullptr);
  ~TFormMain() override;

  // The windows created after the main window at program start; the hooks
  // and buttons reach them through these. Any of them may be null.
  void fenster_setzen(TFormDiagramm* diagramm, TFormDebugmeldungen* debugmeldungen,
                      TFormPruefen* pruefen);

  // Reports a failure of the window toolkit (a missing logo, a failed
  // discovery): by default a modal error box. Tests replace it.
  using fehler_melden_t = std::function<void(const QString& text)>;
  void fehler_melden_setzen(fehler_melden_t melden) { fehler_melden_ = std::move(melden); }

  // Picture of the device front as last drawn (null before the first status
  // telegram).
  const QImage& front_bild() const { return bild_front_; }
  QTimer* TimerMain = nullptr;

  // Handlers (also callable directly by tests).
  void FormActivate();
  void nrHid1AfterReceive(const uint8_t* buffer, std::size_t received);
  void TimerMainTimer();
  void usb_status_anzeigen(const std::string& text, t_farbe farbe);
  void parameter_anzeigen();

 public slots:
  void WMDeviceChange();
  void ButtonBefAbgleichAClick();
  void ButtonBefAbgleichBClick();
  void ButtonBefResetAbgleichAClick();
  void ButtonBefResetAbgleichBClick();
  void ButtonDiagrammClick();
  void ButtonDebugClick();
  void ButtonPruefenClick();
  void ButtonInfoClick();
  void ButtonBeendenClick();

 protected:
  bool event(QEvent* e) override;
  void closeEvent(QCloseEvent* e) override;

 private:
  void FormCreate();
  void hooks_registrieren();
  void fehler(const QString& text);

  // Hook handlers (slots 1-9 of the hook table).
  void cb_meldung(const std::string& text);
  void cb_perioden(const t_tele_perioden& perioden);
  void cb_portstatus(const t_tele_portstatus& portstatus);
  void cb_analogwerte(const t_tele_analogwerte& analogwerte);
  void cb_status(const t_tele_status& status);

  std::unique_ptr<Ui::TFormMain> ui_;
  HidLink& link_;
  TFormDiagramm* diagramm_ = nullptr;
  TFormDebugmeldungen* debugmeldungen_ = nullptr;
  TFormPruefen* pruefen_ = nullptr;
  fehler_melden_t fehler_melden_;
  QImage bild_front_;
  // An error box of this window is open, or was just closed and the main
  // window has not yet been activated again: that activation is the return
  // from the box, not from another window, and does not count.
  bool fehlerbox_offen_ = false;
  bool aktivierung_nach_fehlerbox_ = false;
  // Another window of the program had the focus since the main window's last
  // activation (or the main window was never active). Coming back to the main
  // window from another program is no activation within the program.
  bool anderes_fenster_aktiv_ = true;
  // The window has been shown (its first showing counts as an activation).
  bool gezeigt_ = false;
};

}  // namespace quva
