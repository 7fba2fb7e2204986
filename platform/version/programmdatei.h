#pragma once
// The running program's file: its name and the file version embedded in it
// when it was built (see quva_versionsinfo_einbetten in CMakeLists.txt).

#include <array>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

namespace quva {

// Full path of the running program's file; empty if it cannot be found.
std::filesystem::path programmdatei();

// The file name without its folder and, where it has one, without its
// extension: ".../Analyse.exe" gives "Analyse", "/opt/quva/QUVA" gives "QUVA".
std::string programmname(const std::filesystem::path& datei);

// The four numbers of the file version (most significant first) stored in
// the program file `datei`; nothing if the file has none or cannot be read.
std::optional<std::array<uint16_t, 4>> dateiversion_lesen(const std::filesystem::path& datei);

// The file version of `datei` as text, "2.0.0.2". Throws std::runtime_error
// with "Keine Versionsinformationen vorhanden" if the file has none.
std::string versionsnummer_lesen(const std::filesystem::path& datei = programmdatei());

}  // namespace quva
