#include "platform/hid/report_deskriptor.h"

#include <algorithm>
#include <map>
#include <vector>

namespace quva {

namespace {

// The global items that size a report.
struct Globals {
  uint32_t report_size = 0;   // bits per field
  uint32_t report_count = 0;  // fields
  uint8_t report_id = 0;
};

uint32_t laenge_in_bytes(const std::map<uint8_t, uint64_t>& bits) {
  uint64_t groesste = 0;
  for (const auto& [id, b] : bits) groesste = std::max(groesste, b);
  if (bits.empty()) return 0;
  const uint64_t bytes = groesste / 8 + (groesste % 8 != 0) + 1;
  return static_cast<uint32_t>(std::min<uint64_t>(bytes, UINT32_MAX));
}

// Saturating, so that absurd counts cannot wrap round to a small length.
void addieren(uint64_t& summe, uint64_t bits) {
  summe = bits > UINT64_MAX - summe ? UINT64_MAX : summe + bits;
}

}  // namespace

t_report_laengen report_laengen(const uint8_t* d, std::size_t n) {
  Globals g;
  std::vector<Globals> stapel;
  // Bits per report ID, for each kind.
  std::map<uint8_t, uint64_t> input, output, feature;

  std::size_t i = 0;
  while (i < n) {
    const uint8_t prefix = d[i];
    if (prefix == 0xFE) {  // long item: prefix, data size, tag, data
      if (i + 1 >= n) break;
      i += 3 + d[i + 1];
      continue;
    }
    static constexpr std::size_t groessen[4] = {0, 1, 2, 4};
    const std::size_t groesse = groessen[prefix & 0x03];
    if (i + 1 + groesse > n) break;
    uint32_t wert = 0;
    for (std::size_t k = 0; k < groesse; ++k)
      wert |= static_cast<uint32_t>(d[i + 1 + k]) << (8 * k);
    const uint8_t typ = (prefix >> 2) & 0x03;  // 0 main, 1 global, 2 local
    const uint8_t tag = prefix >> 4;
    i += 1 + groesse;

    if (typ == 0) {
      const uint64_t bits = static_cast<uint64_t>(g.report_size) * g.report_count;
      if (tag == 0x8) addieren(input[g.report_id], bits);
      if (tag == 0x9) addieren(output[g.report_id], bits);
      if (tag == 0xB) addieren(feature[g.report_id], bits);
    } else if (typ == 1) {
      switch (tag) {
        case 0x7:
          g.report_size = wert;
          break;
        case 0x8:
          g.report_id = static_cast<uint8_t>(wert);
          break;
        case 0x9:
          g.report_count = wert;
          break;
        case 0xA:  // push
          stapel.push_back(g);
          break;
        case 0xB:  // pop
          if (!stapel.empty()) {
            g = stapel.back();
            stapel.pop_back();
          }
          break;
        default:
          break;
      }
    }
  }
  return {laenge_in_bytes(input), laenge_in_bytes(output), laenge_in_bytes(feature)};
}

}  // namespace quva
