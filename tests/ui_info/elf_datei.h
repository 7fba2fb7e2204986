#pragma once
// Writes small ELF files with chosen sections, to read versions back from.

#include <cstdint>
#include <string>
#include <vector>

namespace quva::test {

struct ElfAbschnitt {
  std::string name;
  std::vector<uint8_t> inhalt;
  uint32_t typ = 1;  // SHT_PROGBITS
};

// An ELF file with no program, just the section table: a null section, the
// given sections and the section-name table.
inline std::vector<uint8_t> elf_datei(const std::vector<ElfAbschnitt>& abschnitte,
                                      bool elf64 = true, bool little = true) {
  std::vector<uint8_t> d;
  const auto setze = [&](size_t ort, uint64_t wert, int breite) {
    if (d.size() < ort + breite) d.resize(ort + breite);
    for (int i = 0; i < breite; ++i)
      d[ort + (little ? i : breite - 1 - i)] = static_cast<uint8_t>(wert >> (8 * i));
  };
  const size_t kopf = elf64 ? 64 : 52, eintrag = elf64 ? 64 : 40;
  d.resize(kopf);
  d[0] = 0x7f, d[1] = 'E', d[2] = 'L', d[3] = 'F', d[4] = elf64 ? 2 : 1, d[5] = little ? 1 : 2;
  d[6] = 1;
  // Section contents, then the name table, then the section headers.
  std::vector<std::pair<size_t, size_t>> orte;
  for (const auto& a : abschnitte) {
    orte.emplace_back(d.size(), a.inhalt.size());
    d.insert(d.end(), a.inhalt.begin(), a.inhalt.end());
  }
  std::string namen(1, '\0');
  std::vector<size_t> namen_ort;
  for (const auto& a : abschnitte) {
    namen_ort.push_back(namen.size());
    namen += a.name + '\0';
  }
  const size_t shstrtab_name = namen.size();
  namen += std::string(".shstrtab") + '\0';
  const size_t namen_datei = d.size();
  d.insert(d.end(), namen.begin(), namen.end());
  const size_t shoff = d.size();
  const size_t anzahl = abschnitte.size() + 2;
  d.resize(shoff + anzahl * eintrag);
  const auto abschnitt_kopf = [&](size_t i, size_t name, uint32_t typ, size_t ort, size_t groesse) {
    const size_t k = shoff + i * eintrag;
    setze(k, name, 4);
    setze(k + 4, typ, 4);
    if (elf64) {
      setze(k + 0x18, ort, 8);
      setze(k + 0x20, groesse, 8);
    } else {
      setze(k + 0x10, ort, 4);
      setze(k + 0x14, groesse, 4);
    }
  };
  for (size_t i = 0; i < abschnitte.size(); ++i)
    abschnitt_kopf(i + 1, namen_ort[i], abschnitte[i].typ, orte[i].first, orte[i].second);
  abschnitt_kopf(anzahl - 1, shstrtab_name, 3, namen_datei, namen.size());
  if (elf64) {
    setze(0x28, shoff, 8);
    setze(0x3A, eintrag, 2);
    setze(0x3C, anzahl, 2);
    setze(0x3E, anzahl - 1, 2);
  } else {
    setze(0x20, shoff, 4);
    setze(0x2E, eintrag, 2);
    setze(0x30, anzahl, 2);
    setze(0x32, anzahl - 1, 2);
  }
  return d;
}

// The content of the version section for a.b.c.d.
inline std::vector<uint8_t> versionsinhalt(uint16_t a, uint16_t b, uint16_t c, uint16_t e) {
  std::vector<uint8_t> v{'Q', 'U', 'V', 'A', 'V', 'E', 'R', '1'};
  for (uint16_t x : {a, b, c, e}) {
    v.push_back(static_cast<uint8_t>(x));
    v.push_back(static_cast<uint8_t>(x >> 8));
  }
  return v;
}

}  // namespace quva::test
