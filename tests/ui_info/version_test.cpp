#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <iterator>
#include <stdexcept>

#include "platform/version/programmdatei.h"
#include "tests/ui_info/elf_datei.h"

namespace quva {
namespace {

namespace fs = std::filesystem;
using test::ElfAbschnitt;

fs::path datei_schreiben(const std::string& name, const std::vector<uint8_t>& inhalt) {
  const fs::path pfad = fs::temp_directory_path() / ("quva_version_" + name);
  std::ofstream(pfad, std::ios::binary)
      .write(reinterpret_cast<const char*>(inhalt.data()),
             static_cast<std::streamsize>(inhalt.size()));
  return pfad;
}

std::vector<uint8_t> datei_lesen(const fs::path& pfad) {
  std::ifstream ein(pfad, std::ios::binary);
  return {std::istreambuf_iterator<char>(ein), {}};
}

std::string gelesen(const fs::path& pfad) {
  try {
    return versionsnummer_lesen(pfad);
  } catch (const std::runtime_error& e) {
    return std::string("Fehler: ") + e.what();
  }
}

constexpr const char* keine = "Fehler: Keine Versionsinformationen vorhanden";

TEST(Versionsnummer, ReadBackFromTheFile) {
  const auto v = test::versionsinhalt;
  const ElfAbschnitt text{".text", {0x90, 0x90, 0xc3}};
  auto kurz = v(1, 2, 3, 4);
  kurz.resize(15);
  auto falsch = v(2, 0, 0, 2);
  falsch[7] = '2';
  struct Fall {
    const char* name;
    std::vector<uint8_t> datei;
    std::string erwartet;
  };
  const Fall faelle[] = {
      {"elf64", test::elf_datei({text, {".quva_version", v(2, 0, 0, 2)}}), "2.0.0.2"},
      {"dezimal", test::elf_datei({{".quva_version", v(10, 1, 0, 345)}, text}), "10.1.0.345"},
      {"gross", test::elf_datei({{".quva_version", v(65535, 256, 4096, 7)}}), "65535.256.4096.7"},
      {"elf32", test::elf_datei({{".quva_version", v(2, 0, 0, 2)}}, false), "2.0.0.2"},
      {"elf64be", test::elf_datei({{".quva_version", v(3, 1, 4, 1)}}, true, false), "3.1.4.1"},
      {"ohne", test::elf_datei({text}), keine},
      {"aehnlich", test::elf_datei({{".quva_versio", v(2, 0, 0, 2)}}), keine},
      {"kurz", test::elf_datei({{".quva_version", kurz}}), keine},
      {"kennung", test::elf_datei({{".quva_version", falsch}}), keine},
      {"nobits", test::elf_datei({{".quva_version", v(2, 0, 0, 2), 8}}), keine},
      {"text", {'h', 'a', 'l', 'l', 'o'}, keine},
      {"leer", {}, keine},
  };
  for (const Fall& f : faelle) {
    EXPECT_EQ(gelesen(datei_schreiben(f.name, f.datei)), f.erwartet) << f.name;
  }
  EXPECT_EQ(gelesen(fs::temp_directory_path() / "quva_version_gibt_es_nicht"), keine);
}

TEST(Versionsnummer, DamagedFilesHaveNone) {
  // Every prefix of a good file that cuts off something the reader needs (the
  // last 24 bytes are fields of the last section header it does not use),
  // and header fields pointing elsewhere.
  const auto gut = test::elf_datei({{".quva_version", test::versionsinhalt(2, 0, 0, 2)}});
  for (size_t n = 0; n < gut.size() - 24; n += 3) {
    std::vector<uint8_t> teil(gut.begin(), gut.begin() + n);
    EXPECT_EQ(gelesen(datei_schreiben("teil", teil)), keine) << n;
  }
  for (size_t ort : {0x28, 0x2C, 0x3A, 0x3C, 0x3E}) {
    auto kaputt = gut;
    std::fill_n(kaputt.begin() + ort, 2, 0xFF);
    const std::string ergebnis = gelesen(datei_schreiben("kaputt", kaputt));
    EXPECT_TRUE(ergebnis == keine || ergebnis == "2.0.0.2") << ort;
  }
}

TEST(Versionsnummer, TheRunningProgramCarriesTheBuildVersion) {
  EXPECT_EQ(versionsnummer_lesen(), QUVA_PROJEKT_VERSION);
  EXPECT_EQ(versionsnummer_lesen(programmdatei()), QUVA_PROJEKT_VERSION);
  EXPECT_EQ(versionsnummer_lesen(programmdatei_lesbar()), QUVA_PROJEKT_VERSION);

  // The same program file with its version section renamed has none.
  auto kopie = datei_lesen(programmdatei());
  const std::string name = ".quva_version";
  int umbenannt = 0;
  for (auto it = kopie.begin();
       (it = std::search(it, kopie.end(), name.begin(), name.end())) != kopie.end(); ++it) {
    (*(it + 1)) = 'Q';
    ++umbenannt;
  }
  ASSERT_GE(umbenannt, 1);
  EXPECT_EQ(gelesen(datei_schreiben("kopie", kopie)), keine);
}

TEST(Programmname, ExtensionStrippedOnlyWhereThereIsOne) {
  const std::pair<const char*, const char*> faelle[] = {
      {"/opt/quva/Analyse.exe", "Analyse"},
      {"/opt/quva/QUVA_Razezuvora_V2", "QUVA_Razezuvora_V2"},
      {"Analyse.exe", "Analyse"},
      {"/x/Programm.V2.exe", "Programm.V2"},
      {"/x/abc", "abc"},
  };
  for (const auto& [pfad, name] : faelle) EXPECT_EQ(programmname(pfad), name) << pfad;
  EXPECT_EQ(programmname(programmdatei()), "ui_info_tests");
  // A program file replaced on disk while the program runs keeps its name.
  EXPECT_EQ(programmname(ohne_geloescht_vermerk("/opt/quva/QUVA_Razezuvora_V2 (deleted)")),
            "QUVA_Razezuvora_V2");
  EXPECT_EQ(ohne_geloescht_vermerk("/x/abc"), "/x/abc");
}

}  // namespace
}  // namespace quva
