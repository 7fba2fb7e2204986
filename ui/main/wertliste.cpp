#include "ui/main/wertliste.h"

#include <QFontMetricsF>
#include <QHeaderView>
#include <QPalette>
#include <QStyle>

namespace quva {

TValueListEditor::TValueListEditor(QWidget* parent) : QTableWidget(0, 2, parent) {
  verticalHeader()->hide();
  verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 5);
  horizontalHeader()->setStretchLastSection(false);
  horizontalHeader()->setHighlightSections(false);
  setShowGrid(true);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  setSelectionMode(QAbstractItemView::NoSelection);
  setFocusPolicy(Qt::NoFocus);
  setWordWrap(false);
  // Disabled for input; the disabled colours are replaced by the active ones
  // so that the text is not greyed out.
  QPalette p = palette();
  for (int rolle = 0; rolle < QPalette::NColorRoles; ++rolle) {
    const auto r = static_cast<QPalette::ColorRole>(rolle);
    p.setColor(QPalette::Disabled, r, p.color(QPalette::Active, r));
  }
  setPalette(p);
  setEnabled(false);
}

void TValueListEditor::titel_setzen(const QString& schluessel, const QString& wert) {
  setHorizontalHeaderLabels({schluessel, wert});
}

void TValueListEditor::spaltenbreiten_setzen(int schluessel, int wert) {
  setColumnWidth(0, schluessel);
  setColumnWidth(1, wert);
  for (int r = 0; r < rowCount(); ++r) {
    einpassen(r, 0);
    einpassen(r, 1);
  }
}

int TValueListEditor::textbreite_verfuegbar(int spalte) const {
  // The view draws a cell's text inside the focus-frame margin plus one
  // pixel on either side; the grid line takes one more.
  const int rand = style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, this) + 1;
  return columnWidth(spalte) - 2 * rand - 1;
}

void TValueListEditor::einpassen(int zeile, int spalte) {
  QTableWidgetItem* it = item(zeile, spalte);
  if (!it) return;
  // The column widths are fixed and the table cannot scroll sideways: a text
  // that would be cut off (the window's font is often replaced by a wider
  // one) is drawn narrower instead, so the whole value stays readable.
  QFont f = font();
  const int platz = textbreite_verfuegbar(spalte);
  for (int stretch = 100; stretch > 50; stretch -= 2) {
    f.setStretch(stretch);
    if (QFontMetricsF(f).horizontalAdvance(it->text()) <= platz) break;
  }
  it->setFont(f);
}

void TValueListEditor::leeren() { setRowCount(0); }

void TValueListEditor::zeile_anhaengen(const std::string& zeile) {
  const auto gleich = zeile.find('=');
  const std::string key = zeile.substr(0, gleich);
  const std::string val = gleich == std::string::npos ? std::string() : zeile.substr(gleich + 1);
  const int r = rowCount();
  insertRow(r);
  setItem(r, 0, new QTableWidgetItem(QString::fromStdString(key)));
  setItem(r, 1, new QTableWidgetItem(QString::fromStdString(val)));
  einpassen(r, 0);
  einpassen(r, 1);
}

void TValueListEditor::zeilen_setzen(const std::vector<std::string>& zeilen) {
  leeren();
  for (const auto& z : zeilen) zeile_anhaengen(z);
}

void TValueListEditor::auswahl_aufheben() {
  clearSelection();
  setCurrentIndex(QModelIndex());
}

QString TValueListEditor::schluessel(int zeile) const {
  const auto* it = item(zeile, 0);
  return it ? it->text() : QString();
}

QString TValueListEditor::wert(int zeile) const {
  const auto* it = item(zeile, 1);
  return it ? it->text() : QString();
}

}  // namespace quva
