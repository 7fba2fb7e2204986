// Intel-HEX loader into the firmware image, the load log "protokoll.log" and
// the image CRC (CRC-32/MPEG-2).
//
// The file is read in one go and parsed in place; the log is built in one
// preallocated 8-bit buffer and written once, so even a 256 KiB image with its
// 16384 table rows loads without per-line allocations or per-byte stream calls.

#include <cstdio>
#include <cstring>
#include <memory>

#include "common/konvert.h"
#include "programmer/stm32prog.h"

namespace quva {

namespace {

constexpr uint32_t crc_polynom = 0x04C11DB7;

constexpr std::array<uint32_t, 256> crc_tabelle_bauen() {
  std::array<uint32_t, 256> t{};
  for (uint32_t i = 0; i < 256; ++i) {
    uint32_t r = i << 24;
    for (int b = 0; b < 8; ++b) r = (r & 0x80000000u) ? (r << 1) ^ crc_polynom : r << 1;
    t[i] = r;
  }
  return t;
}
constexpr std::array<uint32_t, 256> crc_tabelle = crc_tabelle_bauen();

// 0..15 for a hex digit, 0xFF for anything else (bytes of the file's 8-bit text).
constexpr std::array<uint8_t, 256> nibble_tabelle_bauen() {
  std::array<uint8_t, 256> t{};
  for (int i = 0; i < 256; ++i) t[i] = 0xFF;
  for (int i = 0; i < 10; ++i) t['0' + i] = static_cast<uint8_t>(i);
  for (int i = 0; i < 6; ++i) t['a' + i] = t['A' + i] = static_cast<uint8_t>(10 + i);
  return t;
}
constexpr std::array<uint8_t, 256> nibble = nibble_tabelle_bauen();

constexpr char hexziffern[] = "0123456789abcdef";

uint8_t paar(const char* p) {
  const uint8_t h = nibble[static_cast<uint8_t>(p[0])];
  const uint8_t l = nibble[static_cast<uint8_t>(p[1])];
  return (h == 0xFF || l == 0xFF) ? 0 : static_cast<uint8_t>(h * 16 + l);
}

// The load log: 8-bit text with CR LF line ends, as written to the file.
class Protokoll {
 public:
  explicit Protokoll(std::size_t reserve) { text_.reserve(reserve); }
  // Our own texts are UTF-8 in the sources; the file gets the 8-bit code page.
  void zeile(std::string_view utf8) {
    text_ += utf8_nach_latin1(utf8);
    text_ += "\r\n";
  }
  // A line of the hex file goes in as it was read (already 8-bit text).
  void dateizeile(std::string_view roh) {
    text_ += "> ";
    text_ += roh;
    text_ += "\r\n";
  }
  std::string& text() { return text_; }

 private:
  std::string text_;
};

void speichern(const std::string& text) {
  std::FILE* f = std::fopen("protokoll.log", "wb");
  bool ok = f != nullptr && std::fwrite(text.data(), 1, text.size(), f) == text.size();
  if (f != nullptr && std::fclose(f) != 0) ok = false;
  if (!ok) throw HexdateiFehler("protokoll.log konnte nicht geschrieben werden.");
}

std::string datei_lesen(const std::string& name) {
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> f(std::fopen(name.c_str(), "rb"), &std::fclose);
  if (!f) throw HexdateiFehler("Die Hexdatei " + name + " konnte nicht geöffnet werden.");
  std::string inhalt;
  char puffer[65536];
  std::size_t n;
  while ((n = std::fread(puffer, 1, sizeof puffer, f.get())) > 0) inhalt.append(puffer, n);
  if (std::ferror(f.get()) != 0) {
    throw HexdateiFehler("Die Hexdatei " + name + " konnte nicht gelesen werden.");
  }
  return inhalt;
}

[[noreturn]] void zu_kurz(std::size_t zeile) {
  throw HexdateiFehler("Die Hexdatei ist in Zeile " + std::to_string(zeile) +
                       " zu kurz für ihre Felder.");
}

// Line number as in the file's messages: at least `stellen` decimal digits.
std::string zeilennummer(std::size_t i, int stellen) {
  std::string s = std::to_string(i);
  if (s.size() < static_cast<std::size_t>(stellen)) s.insert(0, stellen - s.size(), '0');
  return s;
}

void romtabelle(ty_stm32& s, uint32_t groesse, std::string& log) {
  uint32_t crc = 0xFFFFFFFF;
  char zeile[72];
  for (uint32_t offset = 0; offset < groesse; offset += 16) {
    char* p = zeile;
    for (int k = 7; k >= 0; --k) *p++ = hexziffern[(offset >> (4 * k)) & 0xF];
    std::memcpy(p, " : ", 3);
    p += 3;
    for (uint32_t j = 0; j < 16; ++j) {
      const uint8_t b = s.flash[offset + j];
      crc = (crc << 8) ^ crc_tabelle[(crc >> 24) ^ b];
      *p++ = ' ';
      *p++ = hexziffern[b >> 4];
      *p++ = hexziffern[b & 0xF];
    }
    std::memcpy(p, " : ", 3);
    p += 3;
    for (int k = 7; k >= 0; --k) *p++ = hexziffern[(crc >> (4 * k)) & 0xF];
    *p++ = '\r';
    *p++ = '\n';
    log.append(zeile, static_cast<std::size_t>(p - zeile));
  }
  s.checksumme = crc;
}

}  // namespace

std::string utf8_nach_latin1(std::string_view utf8) {
  std::string out;
  out.reserve(utf8.size());
  for (std::size_t i = 0; i < utf8.size(); ++i) {
    const auto c = static_cast<uint8_t>(utf8[i]);
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else if ((c == 0xC2 || c == 0xC3) && i + 1 < utf8.size()) {
      out += static_cast<char>(((c & 0x03) << 6) | (static_cast<uint8_t>(utf8[++i]) & 0x3F));
    } else {
      // Outside Latin-1: one '?' for the whole sequence.
      out += '?';
      while (i + 1 < utf8.size() && (static_cast<uint8_t>(utf8[i + 1]) & 0xC0) == 0x80) ++i;
    }
  }
  return out;
}

void crc32_byte(uint8_t byte, uint32_t& crc) { crc = (crc << 8) ^ crc_tabelle[(crc >> 24) ^ byte]; }

uint32_t crc32_mpeg2(const uint8_t* data, std::size_t count, uint32_t crc) {
  for (std::size_t i = 0; i < count; ++i) crc = (crc << 8) ^ crc_tabelle[(crc >> 24) ^ data[i]];
  return crc;
}

uint8_t hex_pair_to_byte(std::string_view text) { return text.size() < 2 ? 0 : paar(text.data()); }

int hexdatei_lesen(const std::string& dateiname, ty_stm32& s) {
  s.hexdatei_eingelesen = false;
  s.fehlercode = err_hexdatei;
  const std::string inhalt = datei_lesen(dateiname);
  const uint32_t groesse = stm32_flash_size(s);
  // Every file line appears once (plus "> " and CR LF); the table rows take 72.
  Protokoll log(inhalt.size() + inhalt.size() / 8 + (groesse / 16) * 72 + 4096);

  s.flash.fill(0xFF);
  uint32_t highword = 0;
  bool fertig = true;

  const char* p = inhalt.data();
  const char* const ende = p + inhalt.size();
  // A file saved by an editor as UTF-8 with a byte-order mark: the mark is
  // not part of the first line (a text-file reader drops it too).
  if (inhalt.compare(0, 3, "\xEF\xBB\xBF") == 0) p += 3;
  for (std::size_t i = 0; p < ende && fertig; ++i) {
    // One line, ending at CR LF, LF or CR; a last line without an end counts.
    const char* zeilen_ende = p;
    while (zeilen_ende < ende && *zeilen_ende != '\r' && *zeilen_ende != '\n') ++zeilen_ende;
    const std::string_view zeile(p, static_cast<std::size_t>(zeilen_ende - p));
    p = zeilen_ende;
    if (p < ende && *p == '\r') ++p;
    if (p < ende && *p == '\n') ++p;

    log.dateizeile(zeile);
    // The start code is dropped unexamined.
    const std::string_view rest = zeile.empty() ? zeile : zeile.substr(1);
    const char* r = rest.data();
    const std::size_t n = rest.size();
    if (n % 2 != 0) zu_kurz(i);
    uint8_t summe = 0;
    for (std::size_t k = 0; k < n; k += 2) summe += paar(r + k);
    if (summe != 0) {
      log.zeile("Checksummenfehler in der Hexdatei in Zeile: " + zeilennummer(i, 4));
      fertig = false;
      break;
    }
    if (n < 8) zu_kurz(i);
    const uint8_t ll = paar(r);
    // The load offset is read like "$" + four characters by ParseWord: "."
    // is skipped as a group separator and the first other non-digit ends it.
    uint16_t offset = 0;
    for (std::size_t k = 2; k < 6; ++k) {
      if (r[k] == '.') continue;
      const uint8_t d = nibble[static_cast<uint8_t>(r[k])];
      if (d == 0xFF) break;
      offset = static_cast<uint16_t>(offset * 16 + d);
    }
    const uint8_t tt = paar(r + 6);
    const char* daten = r + 8;
    const std::size_t datenlaenge = n - 8;

    if (tt == 0 || tt == 1) {
      for (std::size_t k = 0; k < ll; ++k) {
        const uint32_t ziel = highword * 65536 + offset;
        if (ziel < stm32_flash_start || ziel > stm32_flash_start + stm32_image_size - 1) {
          log.zeile("Fehlerhafte Adresse in der Hexdatei in Zeile: " + zeilennummer(i, 4));
          fertig = false;
          break;
        }
        // A count larger than the data present abandons the load here; the
        // bytes before stay stored.
        if (2 * k + 2 > datenlaenge) zu_kurz(i);
        s.flash[ziel - stm32_flash_start] = paar(daten + 2 * k);
        offset = static_cast<uint16_t>(offset + 1);
      }
    } else if (tt <= 5) {
      // Line indices above 65535 keep all their digits instead of being cut.
      log.zeile("In der Hexdatei wurde in Zeile " + zeilennummer(i, 5) +
                " die Kennung TT=" + WordToHex(tt) + " gefunden.");
      log.dateizeile(zeile);
      if (tt == 4) {
        if (datenlaenge < 4) zu_kurz(i);
        highword = paar(daten) * 256u + paar(daten + 2);
        log.zeile("Das Highword des Adresszeigers wurde auf " +
                  WordToHex(static_cast<uint16_t>(highword)) + " gesetzt.");
      } else {
        log.zeile("Diese Zeile wird ignoriert.");
      }
    } else {
      log.zeile("In der Hexdatei wurde die Kennung TT=" + WordToHex(tt) + " gefunden.");
      log.zeile("Diese Kennung ist unbekannt. Bitte sofort im Labor melden.");
      fertig = false;
    }
  }

  if (fertig) {
    log.zeile("Die Hexdatei wurde jetzt vollständig in das Speicherarray geladen.");
    log.zeile(" ");
    log.zeile("Romtabelle");
    romtabelle(s, groesse, log.text());
    s.hexdatei_eingelesen = true;
    s.fehlercode = err_ok;
  }
  speichern(log.text());
  return s.fehlercode;
}

}  // namespace quva
