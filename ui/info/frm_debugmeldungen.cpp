#include "ui/info/frm_debugmeldungen.h"

#include <QPlainTextEdit>
#include <QPushButton>

namespace quva {

TFormDebugmeldungen::TFormDebugmeldungen(QWidget* parent) : QWidget(parent, Qt::Window) {
  setObjectName(QStringLiteral("FormDebugmeldungen"));
  setWindowTitle(QStringLiteral("Debugmeldungen"));
  setFixedSize(659, 301);
  setFont(QFont(QStringLiteral("Tahoma"), 8));

  MemoDebug = new QPlainTextEdit(this);
  MemoDebug->setObjectName(QStringLiteral("MemoDebug"));
  MemoDebug->setGeometry(8, 8, 643, 193);
  MemoDebug->setReadOnly(true);
  // Long lines wrap, as in a memo with only a vertical scroll bar: unwrapped,
  // every appended line would scroll the view to its end and hide the
  // message numbers at the start of the lines.
  MemoDebug->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  MemoDebug->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  MemoDebug->setLineWrapMode(QPlainTextEdit::WidgetWidth);
  MemoDebug->setMaximumBlockCount(0);  // never drop old lines
  QFont memo_schrift(QStringLiteral("Courier New"));
  memo_schrift.setStyleHint(QFont::Monospace);
  memo_schrift.setPixelSize(13);
  MemoDebug->setFont(memo_schrift);

  ButtonBeenden = new QPushButton(QStringLiteral("Beenden"), this);
  ButtonBeenden->setObjectName(QStringLiteral("ButtonBeenden"));
  ButtonBeenden->setGeometry(513, 220, 138, 41);
  connect(ButtonBeenden, &QPushButton::clicked, this, &TFormDebugmeldungen::ButtonBeendenClick);
}

void TFormDebugmeldungen::zeile_anhaengen(const std::string& zeile) {
  MemoDebug->appendPlainText(QString::fromStdString(zeile));
}

void TFormDebugmeldungen::ButtonBeendenClick() { hide(); }

}  // namespace quva
