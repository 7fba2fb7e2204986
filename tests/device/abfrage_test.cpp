// The 50 ms tick stepped by hand against the simulated detector: query order,
// answer time-outs, link indicator, pause switch and sampling divider.

#include "device/abfrage.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "device/callback.h"
#include "device/discovery.h"
#include "device/quva_usb.h"
#include "sim/detector/sim_detektor.h"

namespace quva {
namespace {

class Abfrage : public ::testing::Test {
 protected:
  void SetUp() override {
    geraetedaten_zuruecksetzen();
    abfrage_zuruecksetzen();
    callbacks_loeschen();
    debug_senke_setzen(nullptr);
    meldungs_zaehler = 0;
    sim.SetOnAfterReceive(
        [](const uint8_t* puffer, std::size_t laenge) { telegramm_auswerten(puffer, laenge); });
    sim.Update();
    sim.SetActive(true);
    ASSERT_TRUE(sim.Active());
  }

  // One tick, then 50 ms of detector time. Returns the query selections the
  // tick sent, in order.
  std::vector<int> tick(int abtastrate_index = 0) {
    sim.gesendet_loeschen();
    abfrage_tick(
        sim,
        [this](const std::string& text, t_farbe farbe) {
          anzeige = text;
          anzeige_farbe = farbe;
        },
        abtastrate_index);
    std::vector<int> auswahl;
    for (const std::string& t : sim.gesendet()) {
      EXPECT_EQ(t.size(), 3u);
      EXPECT_EQ(t.substr(0, 2), std::string("\x06\x01", 2));
      auswahl.push_back(static_cast<uint8_t>(t[2]));
    }
    sim.zeit_vorruecken(50);
    return auswahl;
  }

  // Cycle queries only (the status query 1 filtered out).
  std::vector<int> zyklus_tick() {
    std::vector<int> a = tick();
    std::erase(a, 1);
    return a;
  }

  SimDetektor sim;
  std::string anzeige;
  t_farbe anzeige_farbe;
};

using V = std::vector<int>;

TEST_F(Abfrage, DetectorAnsweringAtOnceIsPolledInCycleOrder) {
  abfrage.abfrage_aktiv = true;
  // Tick 1: status query; the cycle goes from 0 to 1 without sending. Then one
  // query every second tick: 0, 2, 4, 5, 3, and 0 again.
  const std::vector<V> erwartet = {{1}, {0}, {}, {2}, {}, {4}, {}, {5}, {}, {3}, {}, {0}, {}};
  for (std::size_t i = 0; i < erwartet.size(); ++i) {
    EXPECT_EQ(tick(), erwartet[i]) << "tick " << i + 1;
    EXPECT_EQ(anzeige, "verbunden");
    EXPECT_EQ(anzeige_farbe, farbe_gelb);
  }
  EXPECT_TRUE(geraet.tele_seriennummer.empfangen);
  EXPECT_EQ(geraet.tele_seriennummer.nummer, sim.werte().seriennummer);
  EXPECT_EQ(geraet.tele_perioden.ref_periode_a, sim.ref_periode(0));
}

// Ticks from one cycle query to the next, for an answer that takes the given
// time. Ticks are 50 ms apart; the answer lets the cycle move on at the first
// tick after it arrived, and the next query goes out one tick later; without
// an answer the cycle gives up on the tenth tick after the send.
struct Zeitfall {
  std::optional<int> verzoegerung_ms;
  int ticks_bis_naechste_abfrage;
};

void PrintTo(const Zeitfall& f, std::ostream* os) {
  *os << (f.verzoegerung_ms ? std::to_string(*f.verzoegerung_ms) + " ms" : "no answer");
}

class AbfrageZeit : public Abfrage, public ::testing::WithParamInterface<Zeitfall> {};

TEST_P(AbfrageZeit, NextQueryFollowsAnswerOrTimeout) {
  sim.antwortverzoegerung_setzen(GetParam().verzoegerung_ms);
  abfrage.abfrage_aktiv = true;
  std::vector<int> sende_ticks;
  std::vector<int> gesendet;
  for (int t = 1; t <= 60 && sende_ticks.size() < 4; ++t) {
    for (int a : zyklus_tick()) {
      sende_ticks.push_back(t);
      gesendet.push_back(a);
    }
  }
  ASSERT_EQ(gesendet, (V{0, 2, 4, 5}));
  for (std::size_t i = 1; i < sende_ticks.size(); ++i) {
    EXPECT_EQ(sende_ticks[i] - sende_ticks[i - 1], GetParam().ticks_bis_naechste_abfrage)
        << "query " << i;
  }
}

INSTANTIATE_TEST_SUITE_P(Antwortzeiten, AbfrageZeit,
                         ::testing::Values(Zeitfall{0, 2}, Zeitfall{30, 2}, Zeitfall{70, 3},
                                           Zeitfall{440, 10}, Zeitfall{460, 11}, Zeitfall{600, 11},
                                           Zeitfall{std::nullopt, 11}));

TEST_F(Abfrage, LateAnswersAreStillDecodedButDoNotHoldUpTheCycle) {
  sim.antwortverzoegerung_setzen(700);
  abfrage.abfrage_aktiv = true;
  int geliefert_in_zustand = -1;
  for (int t = 0; t < 40 && geliefert_in_zustand < 0; ++t) {
    tick();
    if (geraet.tele_programmversion.empfangen) geliefert_in_zustand = abfrage.abfrage_zustand;
  }
  // The version answer came while the cycle waited for the serial number.
  EXPECT_EQ(geliefert_in_zustand, 4);
  EXPECT_EQ(geraet.tele_programmversion.name, "QUVA-1V0");
}

TEST_F(Abfrage, StatusIsAskedOnEveryTickUntilTheFirstStatusTelegram) {
  sim.antwortverzoegerung_setzen(120);  // the status answer needs three ticks
  EXPECT_EQ(tick(), V{1});
  EXPECT_EQ(tick(), V{1});
  EXPECT_EQ(tick(), V{1});
  EXPECT_TRUE(geraet.tele_status.empfangen);
  EXPECT_EQ(tick(), V{});
  EXPECT_EQ(tick(), V{});
}

TEST_F(Abfrage, ClosedLinkShowsKeinKontaktSendsNothingAndTheCycleTimesOut) {
  sim.SetActive(false);
  abfrage.abfrage_aktiv = true;
  EXPECT_EQ(tick(), V{});
  EXPECT_EQ(anzeige, "kein Kontakt");
  EXPECT_EQ(anzeige_farbe, farbe_weiss);
  EXPECT_EQ(abfrage.abfrage_zustand, 1);
  EXPECT_EQ(tick(), V{});  // state 1: the query is skipped by the closed link
  EXPECT_EQ(abfrage.abfrage_zustand, 2);
  for (int t = 1; t < 10; ++t) {
    tick();
    EXPECT_EQ(abfrage.abfrage_zustand, 2) << "tick " << t << " after the send";
  }
  tick();
  EXPECT_EQ(abfrage.abfrage_zustand, 3);
  EXPECT_TRUE(sim.gesendet().empty());
}

TEST_F(Abfrage, PausedCycleIsParkedAtStateOneAndKeepsItsTimeout) {
  abfrage.abfrage_aktiv = true;
  tick();
  tick();  // query 0 sent, waiting
  ASSERT_EQ(abfrage.abfrage_zustand, 2);
  abfrage.abfrage_aktiv = false;
  abfrage.antwort_timeout = 7;
  for (int t = 0; t < 5; ++t) {
    EXPECT_EQ(tick(), V{});
    EXPECT_EQ(abfrage.abfrage_zustand, 1);
    EXPECT_EQ(abfrage.antwort_timeout, 7);
  }
  abfrage.abfrage_aktiv = true;
  EXPECT_EQ(tick(), V{0});  // starts again from the beginning
}

TEST_F(Abfrage, UnplugShowsKeinKontaktAtTheNextTickAndADeviceChangeReopens) {
  std::vector<std::string> zeilen;
  debug_senke_setzen([&zeilen](const std::string& z) { zeilen.push_back(z); });
  sim.geraeteaenderung_setzen([this] { WMDeviceChange(sim); });
  abfrage.abfrage_aktiv = true;
  for (int t = 0; t < 6; ++t) tick();
  EXPECT_EQ(anzeige, "verbunden");

  sim.ausstecken();
  EXPECT_EQ(tick(), V{});
  EXPECT_EQ(anzeige, "kein Kontakt");
  for (int t = 0; t < 12; ++t) EXPECT_EQ(tick(), V{});  // the cycle passes silently

  zeilen.clear();
  sim.einstecken();  // the system reports the change; discovery opens it again
  EXPECT_TRUE(sim.Active());
  ASSERT_FALSE(zeilen.empty());
  EXPECT_EQ(zeilen.front(), "00000000 WMDeviceChange ist aufgetreten.");
  EXPECT_EQ(zeilen.back(), "00000000 Das Gerät QUVA Detektor wurde aktiviert.");
  bool abgefragt = false;
  for (int t = 0; t < 12 && !abgefragt; ++t) abgefragt = !zyklus_tick().empty();
  EXPECT_TRUE(abgefragt);
  EXPECT_EQ(anzeige, "verbunden");
}

struct Abtastfall {
  int index;
  bool diagramm_laeuft;
  int ticks;
  int erwartete_abfragen_3;
};

class Abtastung : public Abfrage, public ::testing::WithParamInterface<Abtastfall> {};

TEST_P(Abtastung, PeriodsAreSampledAtTheSelectedRate) {
  const Abtastfall f = GetParam();
  geraet.tele_status.empfangen = true;  // no status queries in the way
  abfrage.diagramm_laeuft = f.diagramm_laeuft;
  int n = 0;
  for (int t = 0; t < f.ticks; ++t) {
    for (int a : tick(f.index)) {
      EXPECT_EQ(a, 3);
      ++n;
    }
  }
  EXPECT_EQ(n, f.erwartete_abfragen_3);
  EXPECT_EQ(abfrage.abtast_zaehler,
            f.ticks % abtast_teiler[f.index >= 0 && f.index < 6 ? f.index : 0]);
}

INSTANTIATE_TEST_SUITE_P(Teiler, Abtastung,
                         ::testing::Values(Abtastfall{0, true, 10, 5}, Abtastfall{1, true, 25, 2},
                                           Abtastfall{2, true, 40, 2}, Abtastfall{5, true, 1201, 2},
                                           Abtastfall{0, false, 10, 0},
                                           // no selection or a bad index: the first entry
                                           Abtastfall{-1, true, 4, 2}, Abtastfall{6, true, 4, 2}));

TEST_F(Abfrage, SamplingAndCycleBothAskForPeriodsWhileRecordingWithTheCycleOn) {
  abfrage.abfrage_aktiv = true;
  abfrage.diagramm_laeuft = true;
  geraet.tele_status.empfangen = true;
  abfrage.abfrage_zustand = 9;
  abfrage.abtast_zaehler = 1;
  EXPECT_EQ(tick(0), (V{3, 3}));  // the cycle's own query, then the sample
}

TEST_F(Abfrage, SwitchingFrom30sTo100msCountsOnFromTheOldCounter) {
  geraet.tele_status.empfangen = true;
  abfrage.diagramm_laeuft = true;
  abfrage.abtast_zaehler = 150;
  EXPECT_EQ(tick(0), V{});  // 151 mod 2 = 1
  EXPECT_EQ(abfrage.abtast_zaehler, 1);
  EXPECT_EQ(tick(0), V{3});
}

}  // namespace
}  // namespace quva
