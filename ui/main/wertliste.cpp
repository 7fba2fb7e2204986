#include "ui/main/wertliste.h"

#include <QHeaderView>
#include <QPalette>

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
