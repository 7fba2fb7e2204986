#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "device/callback.h"
#include "device/hid_link.h"
#include "device/quva_usb.h"
#include "tests/support/aufzeichnender_link.h"

namespace quva {
namespace {

// Fresh block and a hook table that logs every call, in order.
class Codec : public ::testing::Test {
 protected:
  std::vector<std::string> log;

  void SetUp() override {
    geraetedaten_zuruecksetzen();
    alle_hooks_setzen();
  }
  void TearDown() override { callbacks_loeschen(); }

  void alle_hooks_setzen() {
    // Each data hook checks that it gets the record inside the block.
    callbacks_setzen(
        [this](const std::string& m) { log.push_back(m); },
        [this](const t_tele_perioden& r) { hook("perioden", &r == &geraet.tele_perioden); },
        [this](const t_tele_seriennummer& r) {
          hook("seriennummer", &r == &geraet.tele_seriennummer);
        },
        [this](const t_tele_programmversion& r) {
          hook("programmversion", &r == &geraet.tele_programmversion);
        },
        [this](const t_tele_betriebsstunden& r) {
          hook("betriebsstunden", &r == &geraet.tele_betriebsstunden);
        },
        [this](const t_tele_abgleichcounter& r) {
          hook("abgleichcounter", &r == &geraet.tele_abgleichcounter);
        },
        [this](const t_tele_portstatus& r) { hook("portstatus", &r == &geraet.tele_portstatus); },
        [this](const t_tele_analogwerte& r) {
          hook("analogwerte", &r == &geraet.tele_analogwerte);
        },
        [this](const t_tele_status& r) { hook("status", &r == &geraet.tele_status); });
  }

  void hook(const char* name, bool imBlock) {
    EXPECT_TRUE(imBlock) << name;
    log.push_back(std::string("hook:") + name);
  }

  // Decodes from a heap buffer of exactly the report's size, so that the
  // sanitizer build catches any read past `laenge`.
  static void auswerten(const std::vector<uint8_t>& bytes) {
    auto buf = std::make_unique<uint8_t[]>(bytes.size());
    std::copy(bytes.begin(), bytes.end(), buf.get());
    telegramm_auswerten(buf.get(), bytes.size());
  }
};

// A report of 18 bytes: the given head, then zeros.
std::vector<uint8_t> report(std::vector<uint8_t> kopf, std::size_t laenge = 18) {
  kopf.resize(std::max(laenge, kopf.size()), 0);
  return kopf;
}

TEST_F(Codec, SendWritesThreeBytesThenMessage) {
  struct Case {
    void (*senden)(HidLink&, uint8_t);
    uint8_t auswahl;
    std::string bytes;
    std::string meldung;
  };
  const std::vector<Case> cases = {
      {sende_abfrage, 0, std::string("\x06\x01\x00", 3), "Sende Abfragetelegramm auswahl=0x00"},
      {sende_abfrage, 3, "\x06\x01\x03", "Sende Abfragetelegramm auswahl=0x03"},
      {sende_befehl, 2, "\x06\x02\x02", "Sende Befehlstelegramm auswahl=0x02"},
      {sende_pruefbefehl, 22, "\x06\x03\x16", "Sende Prüfbefehlstelegramm auswahl=0x16"},
      {sende_pruefbefehl, 0xAB, "\x06\x03\xab", "Sende Prüfbefehlstelegramm auswahl=0xab"},
  };
  for (const auto& c : cases) {
    AufzeichnenderLink link(true);
    log.clear();
    c.senden(link, c.auswahl);
    ASSERT_EQ(link.gesendet.size(), 1u);
    EXPECT_EQ(link.gesendet[0], c.bytes);
    EXPECT_EQ(log, std::vector<std::string>{c.meldung});

    // Closed link: nothing written, no message.
    link.aktiv = false;
    log.clear();
    c.senden(link, c.auswahl);
    EXPECT_EQ(link.gesendet.size(), 1u);
    EXPECT_TRUE(log.empty());

    // Slot 1 empty (normal build): the bytes still go out, silently.
    callbacks_loeschen();
    link.aktiv = true;
    c.senden(link, c.auswahl);
    EXPECT_EQ(link.gesendet.size(), 2u);
    EXPECT_EQ(link.gesendet[1], c.bytes);
    EXPECT_TRUE(log.empty());
    alle_hooks_setzen();
  }
}

TEST_F(Codec, DecodesEveryRecordFromFixture) {
  auswerten(report({0x02, 0x01, 0x34, 0x12}));
  EXPECT_EQ(geraet.tele_programmversion, (t_tele_programmversion{0x1234, "0x1234", true}));
  auswerten(report({0x02, 0x01, 0x01, 0x00}, 4));  // exactly the needed length
  EXPECT_EQ(geraet.tele_programmversion, (t_tele_programmversion{1, "QUVA-1V0", true}));
  auswerten(report({0x02, 0x01, 0x02, 0x00}));
  EXPECT_EQ(geraet.tele_programmversion.name, "0x0002");

  auswerten(report({0x03, 0x01, 0x90, 0x01, 0x00, 0x00}));
  EXPECT_EQ(geraet.tele_betriebsstunden, (t_tele_betriebsstunden{400, true}));
  auswerten(report({0x03, 0x02, 0x78, 0x56, 0x34, 0x12}, 6));
  EXPECT_EQ(geraet.tele_seriennummer, (t_tele_seriennummer{0x12345678, true}));
  auswerten(report({0x03, 0x03, 0x01, 0x02, 0xFF, 0xEE}));
  EXPECT_EQ(geraet.tele_abgleichcounter, (t_tele_abgleichcounter{0x0201, 0xEEFF, true}));

  auswerten({0x04, 0x01, 0x01, 0x02, 0x03, 0x04, 0x11, 0x12, 0x13, 0x14, 0x21, 0x22, 0x23, 0x24,
             0x31, 0x32, 0x33, 0x34});
  EXPECT_EQ(geraet.tele_perioden,
            (t_tele_perioden{0x04030201, 0x14131211, 0x24232221, 0x34333231, true}));
  auswerten({0x04, 0x02, 0x01, 0xA0, 0x02, 0xA0, 0x03, 0xA0, 0x04, 0xA0, 0x05, 0xA0, 0x06, 0xA0,
             0x07, 0xA0});
  EXPECT_EQ(geraet.tele_analogwerte,
            (t_tele_analogwerte{0xA001, 0xA002, 0xA003, 0xA004, 0xA005, 0xA006, 0xA007, true}));
  auswerten({0x04, 0x03, 0x81, 0x02, 0x00, 0x00, 0x42, 0x03, 0x00, 0x00, 0x05, 0x00, 0x01, 0x80,
             0xFF, 0x03, 0x00, 0x00, 0x99});
  EXPECT_EQ(geraet.tele_status, (t_tele_status{0x281, 0x342, 0x80010005, 0x3FF, true}));

  auswerten(report({0x05, 0x01, 0xA5, 0x34, 0x12, 0x78, 0x56, 0xBC, 0x9A}));
  EXPECT_EQ(geraet.tele_portstatus, (t_tele_portstatus{0xA5, 0x1234, 0x5678, 0x9ABC, true}));

  auswerten(report({0x01, 0x01}, 2));
  auswerten(report({0x01, 0x02}));
  auswerten(report({0x01, 0x03}));
  EXPECT_TRUE(geraet.ack_empfangen && geraet.nak_empfangen && geraet.busy_empfangen);
}

TEST_F(Codec, HookThenMessageExceptPeriods) {
  struct Case {
    std::vector<uint8_t> kopf;
    std::vector<std::string> erwartet;
  };
  const std::vector<Case> cases = {
      {{1, 1}, {"ACK empfangen."}},
      {{1, 2}, {"NAK empfangen."}},
      {{1, 3}, {"BUSY empfangen."}},
      {{2, 1}, {"hook:programmversion", "Programmversion empfangen."}},
      {{3, 1}, {"hook:betriebsstunden", "Betriebsstundenzähler empfangen."}},
      {{3, 2}, {"hook:seriennummer", "Seriennummer empfangen."}},
      {{3, 3}, {"hook:abgleichcounter", "Schleifenabgleichcounter empfangen."}},
      {{4, 1}, {"Induktionsschleifenperioden empfangen.", "hook:perioden"}},
      {{4, 2}, {"hook:analogwerte", "Analogwerte empfangen."}},
      {{4, 3}, {"hook:status", "Statustelegramm empfangen."}},
      {{5, 1}, {"hook:portstatus", "Portstatus empfangen."}},
  };
  for (const auto& c : cases) {
    log.clear();
    auswerten(report(c.kopf));
    EXPECT_EQ(log, c.erwartet) << int(c.kopf[0]) << "/" << int(c.kopf[1]);
  }
}

TEST_F(Codec, HookSeesRecordAlreadyStored) {
  uint32_t gesehen = 0;
  callbacks.cb_seriennummer = [&](const t_tele_seriennummer& r) {
    EXPECT_TRUE(r.empfangen);
    gesehen = r.nummer;
  };
  auswerten(report({0x03, 0x02, 0x2A}));
  EXPECT_EQ(gesehen, 42u);
}

TEST_F(Codec, EmptySlotsStillStore) {
  callbacks_loeschen();
  auswerten(report({0x03, 0x01, 0x05}));
  auswerten(report({0x04, 0x01, 0x07}));
  auswerten(report({0x09, 0x09}));
  EXPECT_EQ(geraet.tele_betriebsstunden.zaehler, 5u);
  EXPECT_EQ(geraet.tele_perioden.periode_a, 7u);
  EXPECT_TRUE(log.empty());
}

TEST_F(Codec, UnknownTelegramsOnlyReport) {
  // Fill the block so that an accidental write would show.
  for (const auto& k : {std::vector<uint8_t>{2, 1, 9, 9},
                        {3, 1, 9},
                        {3, 2, 9},
                        {3, 3, 9},
                        {4, 1, 9},
                        {4, 2, 9},
                        {4, 3, 9},
                        {5, 1, 9}}) {
    auswerten(report(k));
  }
  const t_geraetedaten vorher = geraet;
  const std::vector<std::pair<std::vector<uint8_t>, std::string>> cases = {
      {{0x02, 0x05}, "Unbekanntes Telegramm empfangen: ID=0x02, Kennung = 0x05"},
      {{0x00, 0x01}, "Unbekanntes Telegramm empfangen: ID=0x00, Kennung = 0x01"},
      {{0x07, 0x01}, "Unbekanntes Telegramm empfangen: ID=0x07, Kennung = 0x01"},
      {{0x01, 0x00}, "Unbekanntes Telegramm empfangen: ID=0x01, Kennung = 0x00"},
      {{0x01, 0x04}, "Unbekanntes Telegramm empfangen: ID=0x01, Kennung = 0x04"},
      {{0x03, 0x04}, "Unbekanntes Telegramm empfangen: ID=0x03, Kennung = 0x04"},
      {{0x04, 0xff}, "Unbekanntes Telegramm empfangen: ID=0x04, Kennung = 0xff"},
      {{0x05, 0x02}, "Unbekanntes Telegramm empfangen: ID=0x05, Kennung = 0x02"},
      {{0xab, 0xcd}, "Unbekanntes Telegramm empfangen: ID=0xab, Kennung = 0xcd"},
  };
  for (const auto& [kopf, meldung] : cases) {
    for (std::size_t laenge : {std::size_t{2}, std::size_t{18}}) {
      log.clear();
      auswerten(report(kopf, laenge));
      EXPECT_EQ(log, std::vector<std::string>{meldung});
    }
  }
  EXPECT_EQ(geraet, vorher);
  EXPECT_FALSE(geraet.ack_empfangen || geraet.nak_empfangen || geraet.busy_empfangen);
}

TEST_F(Codec, ShortReportsAreDroppedWithMessage) {
  // Needed length (ID + Kennung + payload) of every kind with a payload.
  const std::vector<std::pair<std::vector<uint8_t>, std::size_t>> arten = {
      {{2, 1}, 4},  {{3, 1}, 6},  {{3, 2}, 6},  {{3, 3}, 6},
      {{4, 1}, 18}, {{4, 2}, 16}, {{4, 3}, 18}, {{5, 1}, 9},
  };
  for (const auto& [kopf, noetig] : arten) {
    for (std::size_t laenge = 2; laenge < noetig; ++laenge) {
      std::vector<uint8_t> r(laenge, 0x5A);
      r[0] = kopf[0];
      r[1] = kopf[1];
      log.clear();
      auswerten(r);
      EXPECT_EQ(log, std::vector<std::string>{"Zu kurzes Telegramm empfangen: ID=0x0" +
                                              std::to_string(kopf[0]) + ", Kennung = 0x0" +
                                              std::to_string(kopf[1]) +
                                              ", Länge = " + std::to_string(laenge)});
    }
  }
  log.clear();
  auswerten({0x04});
  auswerten({});
  telegramm_auswerten(nullptr, 5);
  EXPECT_EQ(log, (std::vector<std::string>{"Zu kurzes Telegramm empfangen: ID=0x04, Länge = 1",
                                           "Zu kurzes Telegramm empfangen: Länge = 0",
                                           "Zu kurzes Telegramm empfangen: Länge = 0"}));
  EXPECT_EQ(geraet, t_geraetedaten{});
}

TEST_F(Codec, ResetAndClear) {
  auswerten(report({0x02, 0x01, 0x01}));
  auswerten(report({0x01, 0x01}));
  geraetedaten_zuruecksetzen();
  EXPECT_EQ(geraet, t_geraetedaten{});
  callbacks_loeschen();
  EXPECT_FALSE(callbacks.cb_meldung || callbacks.cb_perioden || callbacks.cb_seriennummer ||
               callbacks.cb_programmversion || callbacks.cb_betriebsstunden ||
               callbacks.cb_abgleichcounter || callbacks.cb_portstatus ||
               callbacks.cb_analogwerte || callbacks.cb_status);
}

TEST_F(Codec, HookMayReplaceTheTableWhileRunning) {
  // The closure owns heap memory, so using it after the table dropped it
  // fails in the sanitizer build.
  callbacks.cb_status = [this, text = std::string(64, 'x')](const t_tele_status&) {
    callbacks_loeschen();
    log.push_back(text);
  };
  auswerten(report({0x04, 0x03}));
  EXPECT_EQ(log, std::vector<std::string>{std::string(64, 'x')});  // slot 1 is gone by then
}

TEST(NameTables, Entries) {
  EXPECT_EQ(stufe_namen, (std::array<std::string, 4>{"stufe 0", "stufe 1", "stufe 2", "stufe 3"}));
  for (std::size_t i = 0; i < betriebsart_namen.size(); ++i) {
    EXPECT_EQ(betriebsart_namen[i], "betriebsart " + std::to_string(i));
  }
  EXPECT_EQ(haltezeit_namen, (std::array<std::string, 2>{"5 min", "unendlich"}));
}

// Random reports of every length 0..64 with all hooks set: there for the
// sanitizer build, which fails on any read past the report.
TEST_F(Codec, RandomReportsDoNotCrash) {
  std::mt19937 zufall(20261211);
  std::uniform_int_distribution<int> byte(0, 255), id(0, 6), kennung(0, 4);
  AufzeichnenderLink link(true);
  callbacks.cb_status = [&](const t_tele_status& r) {
    sende_abfrage(link, static_cast<uint8_t>(r.status_a));  // a hook may send
  };
  for (int runde = 0; runde < 50; ++runde) {
    for (std::size_t laenge = 0; laenge <= 64; ++laenge) {
      std::vector<uint8_t> r(laenge);
      for (auto& b : r) b = static_cast<uint8_t>(byte(zufall));
      // Mostly known IDs and Kennungen, so that the decoders are exercised.
      if (laenge > 0) r[0] = static_cast<uint8_t>(id(zufall));
      if (laenge > 1) r[1] = static_cast<uint8_t>(kennung(zufall));
      auswerten(r);
    }
  }
  SUCCEED();
}

}  // namespace
}  // namespace quva
