#include "platform/version/programmdatei.h"

#include <algorithm>
#include <cstring>
#include <fstream>
#include <stdexcept>
#include <string_view>
#include <system_error>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#endif

namespace quva {

std::filesystem::path programmdatei() {
#ifdef _WIN32
  std::vector<wchar_t> puffer(MAX_PATH);
  for (;;) {
    const DWORD n = GetModuleFileNameW(nullptr, puffer.data(), static_cast<DWORD>(puffer.size()));
    if (n == 0) return {};
    if (n < puffer.size()) return std::filesystem::path(std::wstring(puffer.data(), n));
    puffer.resize(puffer.size() * 2);
  }
#else
  std::error_code fehler;
  auto pfad = std::filesystem::read_symlink("/proc/self/exe", fehler);
  return fehler ? std::filesystem::path() : ohne_geloescht_vermerk(pfad);
#endif
}

std::filesystem::path programmdatei_lesbar() {
#ifdef _WIN32
  return programmdatei();
#else
  return "/proc/self/exe";
#endif
}

std::filesystem::path ohne_geloescht_vermerk(const std::filesystem::path& pfad) {
  static constexpr std::string_view vermerk = " (deleted)";
  const std::string text = pfad.string();
  if (text.size() > vermerk.size() && text.ends_with(vermerk))
    return std::filesystem::path(text.substr(0, text.size() - vermerk.size()));
  return pfad;
}

std::string programmname(const std::filesystem::path& datei) {
  // stem() keeps a name without a point whole and strips only the last
  // extension where there is one.
  const auto name = datei.filename().stem().u8string();  // UTF-8 on every platform
  return std::string(name.begin(), name.end());
}

namespace {

#ifndef _WIN32

constexpr char versions_kennung[8] = {'Q', 'U', 'V', 'A', 'V', 'E', 'R', '1'};

// Reads the ELF file's section ".quva_version" with bounds checks on every
// offset taken from the file, so a truncated or foreign file just has none.
class ElfLeser {
 public:
  explicit ElfLeser(const std::filesystem::path& datei) : ein_(datei, std::ios::binary) {
    if (!ein_) return;
    ein_.seekg(0, std::ios::end);
    groesse_ = static_cast<uint64_t>(std::max<std::streamoff>(0, ein_.tellg()));
  }

  std::optional<std::vector<uint8_t>> abschnitt(const std::string& name) {
    uint8_t ident[16];
    if (!lesen(0, ident, sizeof ident) || std::memcmp(ident,
                                                      "\x7f"
                                                      "ELF",
                                                      4) != 0)
      return {};
    elf64_ = ident[4] == 2;
    if (!elf64_ && ident[4] != 1) return {};
    little_ = ident[5] == 1;
    if (!little_ && ident[5] != 2) return {};

    uint64_t shoff;
    uint32_t shentsize, shnum, shstrndx;
    if (elf64_) {
      if (!zahl(0x28, 8, shoff) || !zahl32(0x3A, 2, shentsize) || !zahl32(0x3C, 2, shnum) ||
          !zahl32(0x3E, 2, shstrndx))
        return {};
    } else {
      if (!zahl(0x20, 4, shoff) || !zahl32(0x2E, 2, shentsize) || !zahl32(0x30, 2, shnum) ||
          !zahl32(0x32, 2, shstrndx))
        return {};
    }
    if (shoff == 0 || shentsize < (elf64_ ? 64u : 40u)) return {};
    // Extended numbering: the real counts sit in section header 0.
    if (shnum == 0) {
      uint64_t n;
      if (!feld(shoff, kopf_groesse, n)) return {};
      shnum = static_cast<uint32_t>(std::min<uint64_t>(n, 1u << 20));
    }
    if (shstrndx == 0xFFFF) {
      uint64_t n;
      if (!feld(shoff, kopf_link, n)) return {};
      shstrndx = static_cast<uint32_t>(n);
    }
    if (shstrndx >= shnum) return {};
    uint64_t str_off, str_size;
    if (!feld(shoff + uint64_t{shstrndx} * shentsize, kopf_offset, str_off) ||
        !feld(shoff + uint64_t{shstrndx} * shentsize, kopf_groesse, str_size))
      return {};

    for (uint32_t i = 0; i < shnum; ++i) {
      const uint64_t kopf = shoff + uint64_t{i} * shentsize;
      uint64_t name_off, typ, off, size;
      if (!feld(kopf, kopf_name, name_off) || !feld(kopf, kopf_typ, typ) ||
          !feld(kopf, kopf_offset, off) || !feld(kopf, kopf_groesse, size))
        return {};
      if (name_off >= str_size || !gleicher_name(str_off + name_off, str_size - name_off, name))
        continue;
      if (typ == 8 /* SHT_NOBITS */ || size > (1u << 16) || off > groesse_ || size > groesse_ - off)
        return {};
      std::vector<uint8_t> inhalt(size);
      if (!lesen(off, inhalt.data(), size)) return {};
      return inhalt;
    }
    return {};
  }

 private:
  enum Kopffeld { kopf_name, kopf_typ, kopf_offset, kopf_groesse, kopf_link };

  // One field of a section header at `kopf`.
  bool feld(uint64_t kopf, Kopffeld f, uint64_t& wert) {
    static constexpr int ort64[] = {0x00, 0x04, 0x18, 0x20, 0x28};
    static constexpr int breite64[] = {4, 4, 8, 8, 4};
    static constexpr int ort32[] = {0x00, 0x04, 0x10, 0x14, 0x18};
    return elf64_ ? zahl(kopf + ort64[f], breite64[f], wert) : zahl(kopf + ort32[f], 4, wert);
  }

  bool gleicher_name(uint64_t ort, uint64_t platz, const std::string& name) {
    if (platz < name.size() + 1) return false;
    std::vector<char> puffer(name.size() + 1);
    return lesen(ort, puffer.data(), puffer.size()) &&
           std::memcmp(puffer.data(), name.c_str(), puffer.size()) == 0;
  }

  bool zahl32(uint64_t ort, int breite, uint32_t& wert) {
    uint64_t w;
    if (!zahl(ort, breite, w)) return false;
    wert = static_cast<uint32_t>(w);
    return true;
  }

  bool zahl(uint64_t ort, int breite, uint64_t& wert) {
    uint8_t b[8];
    if (!lesen(ort, b, breite)) return false;
    wert = 0;
    for (int i = 0; i < breite; ++i) wert |= uint64_t{b[little_ ? i : breite - 1 - i]} << (8 * i);
    return true;
  }

  bool lesen(uint64_t ort, void* ziel, uint64_t n) {
    if (!ein_ || ort > groesse_ || n > groesse_ - ort) return false;
    ein_.seekg(static_cast<std::streamoff>(ort));
    ein_.read(static_cast<char*>(ziel), static_cast<std::streamsize>(n));
    return static_cast<bool>(ein_);
  }

  std::ifstream ein_;
  uint64_t groesse_ = 0;
  bool elf64_ = true;
  bool little_ = true;
};

#endif

}  // namespace

std::optional<std::array<uint16_t, 4>> dateiversion_lesen(const std::filesystem::path& datei) {
#ifdef _WIN32
  DWORD dummy = 0;
  const DWORD groesse = GetFileVersionInfoSizeW(datei.c_str(), &dummy);
  if (groesse == 0) return {};
  std::vector<uint8_t> puffer(groesse);
  if (!GetFileVersionInfoW(datei.c_str(), 0, groesse, puffer.data())) return {};
  VS_FIXEDFILEINFO* info = nullptr;
  UINT laenge = 0;
  if (!VerQueryValueW(puffer.data(), L"\\", reinterpret_cast<void**>(&info), &laenge) || !info ||
      laenge < sizeof(VS_FIXEDFILEINFO))
    return {};
  return std::array<uint16_t, 4>{HIWORD(info->dwFileVersionMS), LOWORD(info->dwFileVersionMS),
                                 HIWORD(info->dwFileVersionLS), LOWORD(info->dwFileVersionLS)};
#else
  const auto inhalt = ElfLeser(datei).abschnitt(".quva_version");
  if (!inhalt || inhalt->size() < 16 ||
      std::memcmp(inhalt->data(), versions_kennung, sizeof versions_kennung) != 0)
    return {};
  std::array<uint16_t, 4> v{};
  for (int i = 0; i < 4; ++i)
    v[i] = static_cast<uint16_t>((*inhalt)[8 + 2 * i] | ((*inhalt)[9 + 2 * i] << 8));
  return v;
#endif
}

std::string versionsnummer_lesen(const std::filesystem::path& datei) {
  const auto v = dateiversion_lesen(datei);
  if (!v) throw std::runtime_error("Keine Versionsinformationen vorhanden");
  return std::to_string((*v)[0]) + "." + std::to_string((*v)[1]) + "." + std::to_string((*v)[2]) +
         "." + std::to_string((*v)[3]);
}

}  // namespace quva
