// Rows of the main window's tables from the device data, and the two-column
// table that shows them.
#include "ui/main/wertanzeige.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "device/quva_usb.h"
#include "ui/main/wertliste.h"

namespace quva {
namespace {

using Zeilen = std::vector<std::string>;

TEST(Parameter, ErstesTelegrammNurSeriennummer) {
  t_geraetedaten g;
  g.tele_seriennummer.nummer = 0x00ABCDEF;
  EXPECT_EQ(parameter_zeilen(g),
            (Zeilen{"Programmversion=", "Seriennummer=0x00abcdef",
                    "Betriebsstundenzähler=00 Jahre, 000 Tage, 00 Stunden, 00 Minuten.",
                    "Abgleichzähler Schleife A=0000", "Abgleichzähler Schleife B=0000"}));
}

TEST(Parameter, BetriebszeitUndZaehler) {
  struct Fall {
    uint32_t ticks;
    uint16_t a, b;
    std::string zeit, zeile_a, zeile_b;
  };
  const Fall faelle[] = {
      {400, 7, 65535, "00 Jahre, 002 Tage, 18 Stunden, 40 Minuten.", "0007", "65535"},
      {0xFFFFFFFF, 12345, 0, "99 Jahre, 364 Tage, 23 Stunden, 00 Minuten.", "12345", "0000"},
      {52560 + 145, 1, 10, "01 Jahre, 001 Tage, 00 Stunden, 10 Minuten.", "0001", "0010"},
  };
  for (const auto& f : faelle) {
    t_geraetedaten g;
    g.tele_programmversion.name = "QUVA-1V0";
    g.tele_betriebsstunden.zaehler = f.ticks;
    g.tele_abgleichcounter.zaehler_a = f.a;
    g.tele_abgleichcounter.zaehler_b = f.b;
    const Zeilen z = parameter_zeilen(g);
    ASSERT_EQ(z.size(), 5u);
    EXPECT_EQ(z[0], "Programmversion=QUVA-1V0");
    EXPECT_EQ(z[2], "Betriebsstundenzähler=" + f.zeit) << f.ticks;
    EXPECT_EQ(z[3], "Abgleichzähler Schleife A=" + f.zeile_a);
    EXPECT_EQ(z[4], "Abgleichzähler Schleife B=" + f.zeile_b);
  }
}

TEST(Schleifenstatus, BitsUndNamen) {
  EXPECT_EQ(schleifenstatus_zeilen(0x2B5),
            (Zeilen{"Betriebsart=betriebsart 5", "Empfindlichkeitsstufe=stufe 3",
                    "Haltezeitstufe=5 min", "Schleife Belegt / Frei=Belegt",
                    "Schleife Defekt / OK=OK", "Betrieb / Abgleichen=Abgleichen"}));
  // Mode 15, level 0, hold time "unendlich", free, defective, in operation;
  // bits above 9 are not shown.
  EXPECT_EQ(schleifenstatus_zeilen(0xFFFFFC00u | 0x14F),
            (Zeilen{"Betriebsart=betriebsart 15", "Empfindlichkeitsstufe=stufe 0",
                    "Haltezeitstufe=unendlich", "Schleife Belegt / Frei=Frei",
                    "Schleife Defekt / OK=Defekt", "Betrieb / Abgleichen=Betrieb"}));
}

TEST(Messwerte, FrequenzUndAbweichung) {
  struct Fall {
    uint32_t periode, ref;
    std::string frequenz, abweichung;
  };
  const Fall faelle[] = {
      {7182000, 7200000, "010025.1", "-000025.1"},
      {7200000, 7182000, "010000.0", "+000025.1"},
      {7200000, 0, "010000.0", "-010000.0"},
      {0, 0, "000000.0", "+000000.0"},
      {0, 7200000, "000000.0", "+010000.0"},
      {72, 72, "1000000000.0", "+000000.0"},              // not shortened
      {0xFFFFFFFF, 0xFFFFFFFF, "000016.8", "+000000.0"},  // unsigned
  };
  for (const auto& f : faelle) {
    t_tele_perioden p;
    p.periode_a = f.periode;
    p.ref_periode_a = f.ref;
    p.periode_b = f.ref;  // loop B swapped against loop A
    p.ref_periode_b = f.periode;
    const t_frequenzen fr = frequenzen_berechnen(p);
    const Zeilen z = messwerte_zeilen(fr);
    ASSERT_EQ(z.size(), 4u);
    EXPECT_EQ(z[0], "Frequenz Schleife A= " + f.frequenz + " Hz") << f.periode << " " << f.ref;
    EXPECT_EQ(z[1], "Abweichung Schleife A= " + f.abweichung + " Hz") << f.periode << " " << f.ref;
    EXPECT_EQ(z[2].substr(0, 21), "Frequenz Schleife B= ");
    EXPECT_EQ(z[3].substr(0, 23), "Abweichung Schleife B= ");
    EXPECT_DOUBLE_EQ(fr.dB, -fr.dA);
  }
}

TEST(Wertliste, ZeilenTeilungUndNurAnzeige) {
  TValueListEditor t;
  t.titel_setzen("Parameter", "Wert");
  t.spaltenbreiten_setzen(142, 231);
  t.zeile_anhaengen("Port A=0x1234=b00010010.00110100");
  t.zeile_anhaengen("Frequenz Schleife A= 010025.1 Hz");
  t.zeile_anhaengen("Programmversion=");
  t.zeile_anhaengen("ohne Gleichheitszeichen");
  t.zeile_anhaengen("Betriebsstundenzähler=00 Jahre");
  ASSERT_EQ(t.rowCount(), 5);
  EXPECT_EQ(t.schluessel(0), "Port A");
  EXPECT_EQ(t.wert(0), "0x1234=b00010010.00110100");
  EXPECT_EQ(t.wert(1), " 010025.1 Hz");
  EXPECT_EQ(t.schluessel(2), "Programmversion");
  EXPECT_EQ(t.wert(2), "");
  EXPECT_EQ(t.schluessel(3), "ohne Gleichheitszeichen");
  EXPECT_EQ(t.wert(3), "");
  EXPECT_EQ(t.schluessel(4), QString::fromUtf8("Betriebsstundenzähler"));

  EXPECT_EQ(t.horizontalHeaderItem(0)->text(), "Parameter");
  EXPECT_EQ(t.horizontalHeaderItem(1)->text(), "Wert");
  EXPECT_EQ(t.columnWidth(0), 142);
  EXPECT_EQ(t.columnWidth(1), 231);
  EXPECT_TRUE(t.showGrid());
  EXPECT_FALSE(t.isEnabled());
  EXPECT_EQ(t.editTriggers(), QAbstractItemView::NoEditTriggers);

  // A refresh replaces all rows.
  t.zeilen_setzen({"a=1", "b=2"});
  ASSERT_EQ(t.rowCount(), 2);
  EXPECT_EQ(t.wert(1), "2");
}

}  // namespace
}  // namespace quva
