#pragma once
// The debug-messages window: a read-only log of the device discovery that
// keeps every line from program start. Closing it only hides it.

#include <QWidget>
#include <string>

class QPlainTextEdit;
class QPushButton;

namespace quva {

class TFormDebugmeldungen : public QWidget {
  Q_OBJECT

 public:
  explicit TFormDebugmeldungen(QWidget* parent = nullptr);

  // Appends one finished line (UTF-8, already numbered by debug_zeile),
  // whether or not the window is shown.
  void zeile_anhaengen(const std::string& zeile);

  // "Beenden": hides the window; its lines stay.
  void ButtonBeendenClick();

  QPlainTextEdit* MemoDebug = nullptr;
  QPushButton* ButtonBeenden = nullptr;
};

}  // namespace quva
