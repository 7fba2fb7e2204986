#pragma once
// Rows of the main window's tables and the texts of the frequency labels,
// built from the device data block. Plain functions without widgets, so the
// hooks only hand their rows to the tables.

#include <string>
#include <vector>

#include "device/quva_usb.h"

namespace quva {

// Loop frequency in hertz of a period value; 0 gives 0.
double frequenz(uint32_t periode);

// Frequencies and deviations (reference minus measurement) of both loops.
struct t_frequenzen {
  double fA = 0, fB = 0, fA_ref = 0, fB_ref = 0, dA = 0, dB = 0;
};
t_frequenzen frequenzen_berechnen(const t_tele_perioden& p);

// "010025.1" (6 integer digits, 1 decimal, no sign).
std::string frequenz_text(double f);
// "-000025.1" / "+000000.0" (6 integer digits, 1 decimal, with sign).
std::string abweichung_text(double d);

// The five rows of the "Parameter" table from the whole data block.
std::vector<std::string> parameter_zeilen(const t_geraetedaten& g);
// The six rows of a loop-status table for one status word.
std::vector<std::string> schleifenstatus_zeilen(uint32_t s);
// The four rows of the "Messwerte" table.
std::vector<std::string> messwerte_zeilen(const t_frequenzen& f);

}  // namespace quva
