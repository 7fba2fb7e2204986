#include "ui/diagramm/frm_diagramm.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>

namespace quva {

TFormDiagramm::TFormDiagramm(QWidget* parent) : QWidget(parent, Qt::Tool) {
  setWindowTitle(QStringLiteral("Diagramm"));
  setFixedSize(794, 428);
  LabelFreqA = new QLabel(QStringLiteral("A"), this);
  LabelFreqB = new QLabel(QStringLiteral("B"), this);
  CheckBoxSchleifeA = new QCheckBox(QStringLiteral("Schleife A"), this);
  CheckBoxSchleifeB = new QCheckBox(QStringLiteral("Schleife B"), this);
  ComboBoxAbtastrate = new QComboBox(this);
  ComboBoxIntervall = new QComboBox(this);
  ButtonRun = new QPushButton(QStringLiteral("Run"), this);
  ButtonClear = new QPushButton(QStringLiteral("Clear"), this);
  ButtonChart2Clipboard = new QPushButton(QStringLiteral("-> Clipboard"), this);
  ButtonFertig = new QPushButton(QStringLiteral("Fertig"), this);
}

TFormDiagramm::~TFormDiagramm() = default;

void TFormDiagramm::diagramm_messpunkt(double, double, double, double, uint32_t, uint32_t) {}

int TFormDiagramm::abtastrate_index() const {
  return ComboBoxAbtastrate->currentIndex() < 0 ? 0 : ComboBoxAbtastrate->currentIndex();
}

}  // namespace quva
