#pragma once
// The diagram window: records how the frequencies of loops A and B move away
// from their references, with the switching thresholds, against time.

#include <QWidget>
#include <cstdint>

class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;

namespace quva {

class TFormDiagramm : public QWidget {
  Q_OBJECT

 public:
  explicit TFormDiagramm(QWidget* parent = nullptr);
  ~TFormDiagramm() override;

  // Adds one sample at the next time step. Called by the periods hook only
  // while a recording runs; reads the sensitivity levels from the device data.
  void diagramm_messpunkt(double dA, double dB, double fA_ref, double fB_ref, uint32_t ref_a,
                          uint32_t ref_b);

  // Selected entry of "Abtastrate" (index into abtast_teiler), read by the
  // main window's 50 ms tick.
  int abtastrate_index() const;

  // Time of the newest sample in seconds.
  double diagramm_zeit() const { return diagramm_zeit_; }

  QLabel* LabelFreqA = nullptr;
  QLabel* LabelFreqB = nullptr;
  QCheckBox* CheckBoxSchleifeA = nullptr;
  QCheckBox* CheckBoxSchleifeB = nullptr;
  QComboBox* ComboBoxAbtastrate = nullptr;
  QComboBox* ComboBoxIntervall = nullptr;
  QPushButton* ButtonRun = nullptr;
  QPushButton* ButtonClear = nullptr;
  QPushButton* ButtonChart2Clipboard = nullptr;
  QPushButton* ButtonFertig = nullptr;

 private:
  double diagramm_zeit_ = 0;
};

}  // namespace quva
