#include "ui/main/frm_pruefen.h"

#include <QCloseEvent>
#include <QFont>
#include <QPlainTextEdit>

#include "device/abfrage.h"

namespace quva {

TFormPruefen::TFormPruefen(QWidget* parent) : QWidget(parent, Qt::Window) {
  setObjectName(QStringLiteral("FormPruefen"));
  setWindowTitle(QStringLiteral("Prüfen"));
  setFixedSize(789, 563);
  QFont schrift(QStringLiteral("Tahoma"));
  schrift.setPointSize(8);
  setFont(schrift);

  MemoDebug = new QPlainTextEdit(this);
  MemoDebug->setObjectName(QStringLiteral("MemoDebug"));
  MemoDebug->setGeometry(8, 483, 643, 74);
  MemoDebug->setReadOnly(true);
  MemoDebug->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  MemoDebug->setLineWrapMode(QPlainTextEdit::NoWrap);
  QFont memo_schrift(QStringLiteral("Courier New"));
  memo_schrift.setStyleHint(QFont::Monospace);
  memo_schrift.setPixelSize(13);
  MemoDebug->setFont(memo_schrift);
}

void TFormPruefen::meldung_anhaengen(const std::string& zeile) {
  MemoDebug->appendPlainText(QString::fromStdString(zeile));
}

void TFormPruefen::portstatus_anzeigen(const t_tele_portstatus&) {}

void TFormPruefen::analogwerte_anzeigen(const t_tele_analogwerte&) {}

void TFormPruefen::status_anzeigen(const t_tele_status&) {}

void TFormPruefen::closeEvent(QCloseEvent* event) {
  abfrage.abfrage_aktiv = true;
  QWidget::closeEvent(event);
}

}  // namespace quva
