#pragma once
// Two-column key/value table used by every table of the main and test
// windows. A row is given as one text "key=value" and split at the first
// equals sign; everything after it is the value, leading blanks included.
// The table is display-only: it takes no input, but keeps its normal colours
// so the values stay readable.

#include <QString>
#include <QTableWidget>
#include <string>
#include <vector>

namespace quva {

class TValueListEditor : public QTableWidget {
  Q_OBJECT

 public:
  explicit TValueListEditor(QWidget* parent = nullptr);

  // Column titles and widths in pixels.
  void titel_setzen(const QString& schluessel, const QString& wert);
  void spaltenbreiten_setzen(int schluessel, int wert);

  // Removes every row.
  void leeren();
  // Appends one row from "key=value" (UTF-8). A text without "=" is a key
  // with an empty value.
  void zeile_anhaengen(const std::string& zeile);
  // Empties the table and appends the rows in order.
  void zeilen_setzen(const std::vector<std::string>& zeilen);
  // Leaves no cell selected, current or highlighted.
  void auswahl_aufheben();

  QString schluessel(int zeile) const;
  QString wert(int zeile) const;

  // Width in pixels that a cell's text of this column has before the view
  // cuts it off.
  int textbreite_verfuegbar(int spalte) const;

 private:
  // Narrows the font of one cell until its text fits the column.
  void einpassen(int zeile, int spalte);
};

}  // namespace quva
