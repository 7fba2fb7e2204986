#pragma once
// Report lengths from a HID report descriptor, computed as Windows reports
// them (HIDP_CAPS): for each kind the largest report over all report IDs, in
// bytes, plus one byte for the report ID. The ID byte is counted even when the
// device uses no report IDs; a kind without any report has length 0.

#include <cstddef>
#include <cstdint>

namespace quva {

struct t_report_laengen {
  uint32_t input = 0;
  uint32_t output = 0;
  uint32_t feature = 0;
  friend bool operator==(const t_report_laengen&, const t_report_laengen&) = default;
};

// Reads the descriptor item by item; a truncated last item ends the reading.
t_report_laengen report_laengen(const uint8_t* deskriptor, std::size_t laenge);

}  // namespace quva
