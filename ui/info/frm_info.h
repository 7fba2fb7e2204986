#pragma once
// The info window: a picture, the program file's name and its build number.
// Created afresh for every "Info" click and shown modally (exec()).

#include <QDialog>
#include <filesystem>
#include <functional>

class QLabel;
class QPushButton;

namespace quva {

class TFormInfo : public QDialog {
  Q_OBJECT

 public:
  explicit TFormInfo(QWidget* parent = nullptr);

  // Fills caption and labels from the program file. Runs once, on the
  // window's first activation (or right after its first showing where the
  // window system keeps the focus from it); a missing version is reported
  // through fehler_melden and leaves LabelBuild as it was.
  void FormActivate();
  void ButtonFertigClick();

  // The program file whose name is shown, and the file its version is read
  // from; by default the running program's own file (the version is read
  // through a path that still reaches it if it was replaced on disk).
  std::filesystem::path programmdatei_pfad;
  std::filesystem::path versionsdatei_pfad;
  // Where an error is reported; by default a message box.
  std::function<void(const QString& text)> fehler_melden;

  QLabel* Image1 = nullptr;
  QLabel* LabelName = nullptr;
  QLabel* LabelBuild = nullptr;
  QPushButton* ButtonFertig = nullptr;

 protected:
  void changeEvent(QEvent* ereignis) override;
  void showEvent(QShowEvent* ereignis) override;

 private:
  void einmal_fuellen();

  bool aktiviert_ = false;
};

}  // namespace quva
