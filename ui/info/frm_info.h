#pragma once
// The info window: a picture, the program file's name and its build number.
// Created afresh for every "Info" click and shown modally (exec()).

#include <QDialog>

class QLabel;
class QPushButton;

namespace quva {

class TFormInfo : public QDialog {
  Q_OBJECT

 public:
  explicit TFormInfo(QWidget* parent = nullptr);

  QLabel* Image1 = nullptr;
  QLabel* LabelName = nullptr;
  QLabel* LabelBuild = nullptr;
  QPushButton* ButtonFertig = nullptr;
};

}  // namespace quva
