#pragma once
// Build-time constants of the program.

#include <cstdint>

namespace quva {

// Window caption of the main window (and of the info window).
inline constexpr char programm_titel[] = "QUVA Analyseprogramm V2";

// 0: normal program; 1: expert program with the debug and test windows.
// Fixed when the program is built (CMake option QUVA_EXPERTENMODUS).
inline constexpr uint8_t expertenmodus = QUVA_EXPERTENMODUS;

}  // namespace quva
