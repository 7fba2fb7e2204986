// The simulated detector on real time, as the demo program runs it.

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>

#include "device/abfrage.h"
#include "device/discovery.h"
#include "device/quva_usb.h"
#include "sim/detector/sim_detektor_treiber.h"

namespace quva {
namespace {

TEST(SimDetektorTreiber, AnswersThroughTheEventLoopAndSignalsPlugging) {
  static int argc = 1;
  static char name[] = "sim_treiber_test";
  static char* argv[] = {name, nullptr};
  QCoreApplication app(argc, argv);
  geraetedaten_zuruecksetzen();
  debug_senke_setzen(nullptr);

  SimDetektorTreiber treiber;
  SimDetektor& sim = treiber.detektor();
  sim.SetOnAfterReceive([](const uint8_t* p, std::size_t n) { telegramm_auswerten(p, n); });
  int aenderungen = 0;
  QObject::connect(&treiber, &SimDetektorTreiber::geraeteaenderung, [&] {
    ++aenderungen;
    WMDeviceChange(sim);
  });
  hid_geraet_suchen(sim);
  ASSERT_TRUE(sim.Active());

  auto warten_bis = [&app](auto bedingung) {
    QElapsedTimer uhr;
    uhr.start();
    while (!bedingung() && uhr.elapsed() < 2000) app.processEvents(QEventLoop::AllEvents, 10);
    return bedingung();
  };
  sende_abfrage(sim, 2);
  EXPECT_FALSE(geraet.tele_seriennummer.empfangen);  // not inside the send
  EXPECT_TRUE(warten_bis([] { return geraet.tele_seriennummer.empfangen; }));

  treiber.ausstecken();
  EXPECT_FALSE(sim.Active());
  EXPECT_EQ(aenderungen, 0);  // delivered from the event loop, not inside the call
  EXPECT_TRUE(warten_bis([&] { return aenderungen == 1; }));
  EXPECT_FALSE(sim.Active());
  treiber.einstecken();
  EXPECT_TRUE(warten_bis([&] { return aenderungen == 2 && sim.Active(); }));
}

}  // namespace
}  // namespace quva
