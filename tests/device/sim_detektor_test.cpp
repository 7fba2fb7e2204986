// The simulated detector as the program sees it: its answers decoded by the
// real telegram decoder.

#include "sim/detector/sim_detektor.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "device/callback.h"
#include "device/quva_usb.h"

namespace quva {
namespace {

class SimDetektorTest : public ::testing::Test {
 protected:
  void SetUp() override {
    geraetedaten_zuruecksetzen();
    callbacks_loeschen();
    sim.SetOnAfterReceive([this](const uint8_t* p, std::size_t n) {
      EXPECT_EQ(n, 18u);
      ids.push_back(std::to_string(p[0]) + "," + std::to_string(p[1]));
      telegramm_auswerten(p, n);
    });
    sim.Update();
    sim.SetActive(true);
  }
  void senden(uint8_t art, uint8_t auswahl) {
    const char t[3] = {0x06, static_cast<char>(art), static_cast<char>(auswahl)};
    sim.SendString(std::string(t, 3));
  }
  // Query and deliver at once.
  void abfragen(uint8_t auswahl) {
    senden(1, auswahl);
    sim.zeit_vorruecken(0);
  }
  SimDetektor sim;
  std::vector<std::string> ids;
};

TEST_F(SimDetektorTest, EveryQueryGetsItsTelegramAndUnknownOnesANak) {
  for (uint8_t a = 0; a <= 8; ++a) abfragen(a);
  EXPECT_EQ(ids, (std::vector<std::string>{"2,1", "4,3", "3,2", "4,1", "3,1", "3,3", "5,1", "4,2",
                                           "1,2"}));
  EXPECT_EQ(geraet.tele_programmversion.name, "QUVA-1V0");
  EXPECT_NEAR(72e9 / geraet.tele_perioden.periode_a, 10000.0, 50.0);  // about 10 kHz
  EXPECT_EQ(geraet.tele_status.status_a & 0x7Fu, sim.werte().dip_a);
  EXPECT_TRUE(geraet.nak_empfangen);
}

TEST_F(SimDetektorTest, VehicleShiftsThePeriodAndSetsOccupiedBitAndRelay) {
  abfragen(3);
  const uint32_t frei = geraet.tele_perioden.periode_a;
  sim.fahrzeug(0, true);
  sim.zeit_vorruecken(500);
  abfragen(3);
  abfragen(1);
  EXPECT_LT(geraet.tele_perioden.periode_a, frei - 50000);  // frequency up by about 1 %
  EXPECT_TRUE(geraet.tele_status.status_a & (1u << 7));
  EXPECT_FALSE(geraet.tele_status.status_b & (1u << 7));
  EXPECT_EQ(geraet.tele_status.ausgaenge & 0x3u, 0x1u);  // relay 1 only
  sim.fahrzeug(0, false);
  sim.zeit_vorruecken(500);
  abfragen(1);
  EXPECT_FALSE(geraet.tele_status.status_a & (1u << 7));
  EXPECT_EQ(geraet.tele_status.ausgaenge & 0x3u, 0x0u);
}

TEST_F(SimDetektorTest, CalibrationIsAcknowledgedCountedAndTakesTheCurrentPeriodAsReference) {
  sim.fahrzeug(1, true);
  sim.zeit_vorruecken(500);
  const uint16_t vorher = sim.werte().abgleich_b;
  senden(2, 1);
  sim.zeit_vorruecken(0);
  EXPECT_TRUE(geraet.ack_empfangen);
  abfragen(1);
  EXPECT_TRUE(geraet.tele_status.status_b & (1u << 9));  // calibrating
  sim.zeit_vorruecken(1100);
  abfragen(1);
  abfragen(5);
  EXPECT_FALSE(geraet.tele_status.status_b & (1u << 9));
  EXPECT_FALSE(geraet.tele_status.status_b & (1u << 7));  // the vehicle is now the reference
  EXPECT_EQ(geraet.tele_abgleichcounter.zaehler_b, vorher + 1);
  senden(2, 3);  // clear counter B
  abfragen(5);
  EXPECT_EQ(geraet.tele_abgleichcounter.zaehler_b, 0);
}

TEST_F(SimDetektorTest, TestCommandsSwitchOutputsUntilDefault) {
  struct Fall {
    uint8_t auswahl;
    uint32_t bit;
    bool an;
  };
  for (const Fall f : {Fall{1, 1u << 0, true}, Fall{4, 1u << 1, false}, Fall{13, 1u << 6, true},
                       Fall{19, 1u << 9, true}, Fall{2, 1u << 0, false}}) {
    senden(3, f.auswahl);
    abfragen(1);
    EXPECT_EQ((geraet.tele_status.ausgaenge & f.bit) != 0, f.an) << int(f.auswahl);
  }
  senden(3, 22);  // operating hours to zero
  senden(3, 21);  // back to normal operation
  abfragen(4);
  abfragen(1);
  EXPECT_EQ(geraet.tele_betriebsstunden.zaehler, 0u);
  EXPECT_EQ(geraet.tele_status.ausgaenge, 0x2u << 4 | 0x2u << 7);  // both loops green
}

TEST_F(SimDetektorTest, AHandlerThatAsksAgainOnEveryAnswerCannotStopTime) {
  int antworten = 0;
  sim.SetOnAfterReceive([&](const uint8_t*, std::size_t) {
    if (++antworten < 1000) senden(1, 0);
  });
  abfragen(0);
  EXPECT_EQ(antworten, 1);  // the answer to the handler's own query comes later
  sim.zeit_vorruecken(50);
  EXPECT_GT(antworten, 1);
  EXPECT_LE(antworten, 52);  // one round trip now and one per simulated millisecond
}

TEST_F(SimDetektorTest, SilentLateAndUnpluggedDetector) {
  sim.antwortverzoegerung_setzen(std::nullopt);
  abfragen(0);
  EXPECT_TRUE(ids.empty());

  sim.antwortverzoegerung_setzen(100);
  senden(1, 0);
  sim.zeit_vorruecken(99);
  EXPECT_TRUE(ids.empty());
  sim.zeit_vorruecken(1);
  EXPECT_EQ(ids.size(), 1u);

  senden(1, 2);
  sim.ausstecken();  // the answer on its way is lost
  EXPECT_FALSE(sim.Active());
  EXPECT_FALSE(sim.SendString(std::string("\x06\x01\x00", 3)));
  sim.zeit_vorruecken(500);
  EXPECT_EQ(ids.size(), 1u);
  sim.Update();
  EXPECT_EQ(sim.DeviceCount(), 0);
  sim.SetActive(true);
  EXPECT_FALSE(sim.Active());

  sim.einstecken();
  sim.Update();
  sim.oeffnen_verweigern(true);
  sim.SetActive(true);
  EXPECT_FALSE(sim.Active());
  sim.oeffnen_verweigern(false);
  sim.SetActive(true);
  EXPECT_TRUE(sim.Active());
}

}  // namespace
}  // namespace quva
