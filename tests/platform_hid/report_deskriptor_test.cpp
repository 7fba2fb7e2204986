// Report lengths from report descriptors, as Windows would report them.

#include "platform/hid/report_deskriptor.h"

#include <gtest/gtest.h>

#include <cctype>
#include <string>
#include <vector>

namespace quva {
namespace {

struct Fall {
  const char* name;
  std::vector<uint8_t> deskriptor;
  t_report_laengen erwartet;
};

void PrintTo(const Fall& f, std::ostream* os) { *os << f.name; }

// Vendor page, 8-bit fields: IDs 1..5 input of 17 bytes, ID 6 output of 2 bytes.
std::vector<uint8_t> quva_deskriptor() {
  std::vector<uint8_t> d = {0x06, 0x00, 0xFF, 0x09, 0x01, 0xA1, 0x01,
                            0x15, 0x00, 0x26, 0xFF, 0x00, 0x75, 0x08};
  for (uint8_t id = 1; id <= 5; ++id)
    d.insert(d.end(), {0x85, id, 0x95, 0x11, 0x09, 0x01, 0x81, 0x02});
  d.insert(d.end(), {0x85, 0x06, 0x95, 0x02, 0x09, 0x01, 0x91, 0x02, 0xC0});
  return d;
}

class ReportLaengen : public ::testing::TestWithParam<Fall> {};

TEST_P(ReportLaengen, LargestReportPlusIdByte) {
  const Fall& f = GetParam();
  EXPECT_EQ(report_laengen(f.deskriptor.data(), f.deskriptor.size()), f.erwartet);
}

INSTANTIATE_TEST_SUITE_P(
    Deskriptoren, ReportLaengen,
    ::testing::Values(
        Fall{"quva detector", quva_deskriptor(), {18, 3, 0}},
        // Boot keyboard without report IDs: modifiers, reserved byte and six
        // keys in; five LED bits plus three padding bits out. The ID byte is
        // counted all the same.
        Fall{"keyboard without ids",
             {0x05, 0x01, 0x09, 0x06, 0xA1, 0x01, 0x05, 0x07, 0x19, 0xE0, 0x29, 0xE7, 0x15,
              0x00, 0x25, 0x01, 0x75, 0x01, 0x95, 0x08, 0x81, 0x02, 0x95, 0x01, 0x75, 0x08,
              0x81, 0x01, 0x95, 0x05, 0x75, 0x01, 0x05, 0x08, 0x19, 0x01, 0x29, 0x05, 0x91,
              0x02, 0x95, 0x01, 0x75, 0x03, 0x91, 0x01, 0x95, 0x06, 0x75, 0x08, 0x15, 0x00,
              0x25, 0x65, 0x05, 0x07, 0x19, 0x00, 0x29, 0x65, 0x81, 0x00, 0xC0},
             {9, 2, 0}},
        // 12 bits round up to two bytes; a feature report of 4-byte count.
        Fall{"odd bits and four-byte data",
             {0x75, 0x04, 0x95, 0x03, 0x81, 0x02, 0x75, 0x08, 0x97, 0x40, 0x00, 0x00, 0x00, 0xB1,
              0x02},
             {3, 0, 65}},
        // Push saves size and ID; pop brings them back for the next item.
        Fall{"push and pop",
             {0x85, 0x01, 0x75, 0x08, 0x95, 0x04, 0xA4, 0x85, 0x02, 0x95, 0x20, 0x81, 0x02, 0xB4,
              0x81, 0x02, 0x81, 0x02},
             {33, 0, 0}},
        Fall{"long item skipped",
             {0xFE, 0x02, 0x10, 0xAA, 0xBB, 0x75, 0x08, 0x95, 0x02, 0x91, 0x02},
             {0, 3, 0}},
        Fall{"empty", {}, {0, 0, 0}},
        // A truncated last item and a long item running past the end stop the
        // reading without reading beyond it.
        Fall{"truncated item", {0x75, 0x08, 0x95, 0x02, 0x81, 0x02, 0x96, 0x01}, {3, 0, 0}},
        Fall{"truncated long item", {0x75, 0x08, 0x95, 0x02, 0x81, 0x02, 0xFE, 0xFF}, {3, 0, 0}},
        // Absurd sizes saturate instead of wrapping round to a small length.
        Fall{"huge counts",
             {0x77, 0xFF, 0xFF, 0xFF, 0xFF, 0x97, 0xFF, 0xFF, 0xFF, 0xFF, 0x81, 0x02, 0x81, 0x02},
             {UINT32_MAX, 0, 0}}),
    [](const auto& info) {
      std::string n = info.param.name;
      for (char& c : n) c = std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
      return n;
    });

}  // namespace
}  // namespace quva
