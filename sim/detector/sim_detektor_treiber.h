#pragma once
// Runs a SimDetektor on real time for the demo program: a QTimer moves the
// simulated time on by the time that really passed, so answers arrive through
// the message loop like those of a real detector. Plugging and unplugging
// emit geraeteaenderung(), which the main window connects to its device-change
// handler just as it connects the real device monitor.

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include "sim/detector/sim_detektor.h"

namespace quva {

class SimDetektorTreiber : public QObject {
  Q_OBJECT

 public:
  // Answers come after `verzoegerung_ms` (a few milliseconds, like USB);
  // vehicles pass by themselves; a keyboard and a mouse are listed beside
  // the detector.
  explicit SimDetektorTreiber(QObject* parent = nullptr, int verzoegerung_ms = 4);

  SimDetektor& detektor() { return detektor_; }

 public slots:
  void ausstecken() { detektor_.ausstecken(); }
  void einstecken() { detektor_.einstecken(); }

 signals:
  void geraeteaenderung();

 private:
  void takt();

  SimDetektor detektor_;
  QTimer timer_;
  QElapsedTimer uhr_;
  qint64 vorgerueckt_ms_ = 0;
};

}  // namespace quva
