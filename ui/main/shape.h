#pragma once
// A filled rectangle with rounded corners and a one-pixel black outline (the
// background of the main window's link indicator).

#include <QColor>
#include <QWidget>

namespace quva {

class TShape : public QWidget {
  Q_OBJECT

 public:
  explicit TShape(QWidget* parent = nullptr);

  void farbe_setzen(const QColor& farbe);
  QColor farbe() const { return farbe_; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QColor farbe_ = Qt::white;
};

}  // namespace quva
