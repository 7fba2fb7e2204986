#include "sim/detector/sim_detektor_treiber.h"

#include <algorithm>

namespace quva {

SimDetektorTreiber::SimDetektorTreiber(QObject* parent, int verzoegerung_ms) : QObject(parent) {
  detektor_.antwortverzoegerung_setzen(verzoegerung_ms);
  detektor_.verkehr_setzen(true);
  // A PC has more HID devices than the detector; the inventory shows them.
  HidDeviceInfo tastatur;
  tastatur.Description = "USB-Eingabegerät";
  tastatur.VendorId = 0x046D;
  tastatur.ProductId = 0xC31C;
  tastatur.InputReportLength = 9;
  tastatur.OutputReportLength = 2;
  HidDeviceInfo maus = tastatur;
  maus.ProductId = 0xC077;
  maus.InputReportLength = 8;
  maus.OutputReportLength = 0;
  detektor_.weitere_geraete_setzen({tastatur, maus}, 2);
  // Queued, so the discovery runs from the message loop and not inside the
  // caller that unplugged the detector.
  detektor_.geraeteaenderung_setzen([this] {
    QMetaObject::invokeMethod(this, &SimDetektorTreiber::geraeteaenderung, Qt::QueuedConnection);
  });
  timer_.setTimerType(Qt::PreciseTimer);
  timer_.setInterval(2);
  connect(&timer_, &QTimer::timeout, this, &SimDetektorTreiber::takt);
  uhr_.start();
  timer_.start();
}

void SimDetektorTreiber::takt() {
  const qint64 jetzt = uhr_.elapsed();
  const qint64 schritt = jetzt - vorgerueckt_ms_;
  vorgerueckt_ms_ = jetzt;
  detektor_.zeit_vorruecken(static_cast<int>(std::min<qint64>(schritt, 1000)));
}

}  // namespace quva
