#pragma once
// The test window of the test station. It is created hidden at program start
// and lives until the program ends; closing it only hides it and lets the
// polling cycle run again (opening it from the main window pauses it).
//
// So far it holds its message memo, which collects the numbered protocol
// messages of the expert program. The hooks of the main window already hand
// the port status, the analogue values and the status record over to it.

#include <QWidget>
#include <string>

#include "device/quva_usb.h"

class QPlainTextEdit;

namespace quva {

class TFormPruefen : public QWidget {
  Q_OBJECT

 public:
  explicit TFormPruefen(QWidget* parent = nullptr);

  // Appends one finished line to the message memo.
  void meldung_anhaengen(const std::string& zeile);

  // Table refreshes from the hooks cb_portstatus, cb_analogwerte and the
  // test-window part of cb_status. The window has no tables yet.
  void portstatus_anzeigen(const t_tele_portstatus& portstatus);
  void analogwerte_anzeigen(const t_tele_analogwerte& analogwerte);
  void status_anzeigen(const t_tele_status& status);

  QPlainTextEdit* MemoDebug = nullptr;

 protected:
  // FormClose: the window closes (close box or a button): polling resumes.
  void closeEvent(QCloseEvent* event) override;
};

}  // namespace quva
