#include "ui/info/frm_info.h"

#include <QLabel>
#include <QPushButton>

namespace quva {

TFormInfo::TFormInfo(QWidget* parent) : QDialog(parent) {
  setFixedSize(447, 395);
  Image1 = new QLabel(this);
  LabelName = new QLabel(QStringLiteral("name"), this);
  LabelBuild = new QLabel(QStringLiteral("build"), this);
  ButtonFertig = new QPushButton(QStringLiteral("ok"), this);
  connect(ButtonFertig, &QPushButton::clicked, this, &QDialog::accept);
}

}  // namespace quva
