#include "ui/main/wertanzeige.h"

#include "common/konvert.h"

namespace quva {

double frequenz(uint32_t periode) {
  return periode == 0 ? 0.0 : 72000000000.0 / static_cast<double>(periode);
}

t_frequenzen frequenzen_berechnen(const t_tele_perioden& p) {
  t_frequenzen f;
  f.fA = frequenz(p.periode_a);
  f.fB = frequenz(p.periode_b);
  f.fA_ref = frequenz(p.ref_periode_a);
  f.fB_ref = frequenz(p.ref_periode_b);
  f.dA = f.fA_ref - f.fA;
  f.dB = f.fB_ref - f.fB;
  return f;
}

std::string frequenz_text(double f) { return RealToFixStr(f, 6, 1, 0); }

std::string abweichung_text(double d) { return RealToFixStr(d, 6, 1, 1); }

std::vector<std::string> parameter_zeilen(const t_geraetedaten& g) {
  t_betriebszeit z;
  TicksToBetriebszeit(g.tele_betriebsstunden.zaehler, z);
  return {
      "Programmversion=" + g.tele_programmversion.name,
      "Seriennummer=0x" + LongToHex(g.tele_seriennummer.nummer),
      "Betriebsstundenzähler=" + RealToFixStr(z.jahre, 2, 0, 0) + " Jahre, " +
          RealToFixStr(z.tage, 3, 0, 0) + " Tage, " + RealToFixStr(z.stunden, 2, 0, 0) +
          " Stunden, " + RealToFixStr(z.minuten, 2, 0, 0) + " Minuten.",
      "Abgleichzähler Schleife A=" + RealToFixStr(g.tele_abgleichcounter.zaehler_a, 4, 0, 0),
      "Abgleichzähler Schleife B=" + RealToFixStr(g.tele_abgleichcounter.zaehler_b, 4, 0, 0),
  };
}

std::vector<std::string> schleifenstatus_zeilen(uint32_t s) {
  return {
      "Betriebsart=" + betriebsart_namen[s & 0x0F],
      "Empfindlichkeitsstufe=" + stufe_namen[(s >> 4) & 0x03],
      "Haltezeitstufe=" + haltezeit_namen[(s >> 6) & 0x01],
      std::string("Schleife Belegt / Frei=") + ((s & (1u << 7)) ? "Belegt" : "Frei"),
      std::string("Schleife Defekt / OK=") + ((s & (1u << 8)) ? "Defekt" : "OK"),
      std::string("Betrieb / Abgleichen=") + ((s & (1u << 9)) ? "Abgleichen" : "Betrieb"),
  };
}

std::vector<std::string> messwerte_zeilen(const t_frequenzen& f) {
  return {
      "Frequenz Schleife A= " + frequenz_text(f.fA) + " Hz",
      "Abweichung Schleife A= " + abweichung_text(f.dA) + " Hz",
      "Frequenz Schleife B= " + frequenz_text(f.fB) + " Hz",
      "Abweichung Schleife B= " + abweichung_text(f.dB) + " Hz",
  };
}

}  // namespace quva
