#include "ui/info/frm_debugmeldungen.h"

#include <QPlainTextEdit>
#include <QPushButton>

namespace quva {

TFormDebugmeldungen::TFormDebugmeldungen(QWidget* parent) : QWidget(parent, Qt::Window) {
  setWindowTitle(QStringLiteral("Debugmeldungen"));
  setFixedSize(659, 301);
  MemoDebug = new QPlainTextEdit(this);
  MemoDebug->setReadOnly(true);
  ButtonBeenden = new QPushButton(QStringLiteral("Beenden"), this);
}

void TFormDebugmeldungen::zeile_anhaengen(const std::string& zeile) {
  MemoDebug->appendPlainText(QString::fromStdString(zeile));
}

}  // namespace quva
