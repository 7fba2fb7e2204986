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

// A path through which the running program's own file can be read even after
// it was replaced or deleted on disk (an update while the program runs):
// /proc/self/exe on Linux, programmdatei() elsewhere.
std::filesystem::path programmdatei_lesbar();

// Linux marks the target of /proc/self/exe with " (deleted)" once the file is
// gone from disk; the program's name is the path without that mark.
std::filesystem::path ohne_geloescht_vermerk(const std::filesystem::path& pfad);

// The file name without its folder and, where it has one, without its
// extension: ".../Analyse.exe" gives "Analyse", "/opt/quva/QUVA" gives "QUVA".
std::string programmname(const std::filesystem::path& datei);

// The four numbers of the file version (most significant first) stored in
// the program file `datei`; nothing if the file has none or cannot be read.
std::optional<std::array<uint16_t, 4>> dateiversion_lesen(const std::filesystem::path& datei);

// The file version of `datei` as text, "2.0.0.2". Throws std::runtime_error
// with "Keine Versionsinformationen vorhanden" if the file has none.
std::string versionsnummer_lesen(const std::filesystem::path& datei = programmdatei_lesbar());

}  // namespace quva
