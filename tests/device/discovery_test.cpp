// Discovery: the exact debug lines, first match wins, activation, the
// hourglass, and the device-change handler.

#include "device/discovery.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <stdexcept>
#include <string>
#include <vector>

#include "sim/detector/sim_detektor.h"

namespace quva {
namespace {

HidDeviceInfo geraet_info(const std::string& beschreibung, uint16_t vid, uint16_t pid,
                          uint32_t in = 9, uint32_t out = 2) {
  HidDeviceInfo d;
  d.Description = beschreibung;
  d.VendorId = vid;
  d.ProductId = pid;
  d.InputReportLength = in;
  d.OutputReportLength = out;
  return d;
}

// A link over a fixed device list that records what discovery does with it.
class FakeLink : public HidLink {
 public:
  std::vector<HidDeviceInfo> geraete;
  bool oeffnen_gelingt = true;
  bool update_wirft = false;
  bool details_wirft = false;
  int geoeffnet = -1;  // index opened, -1 none
  int oeffnungen = 0;
  std::vector<std::string>* protokoll = nullptr;

  void Update() override {
    if (update_wirft) throw std::runtime_error("device list vanished");
    if (index_ >= DeviceCount()) index_ = 0;
  }
  int DeviceCount() const override { return static_cast<int>(geraete.size()); }
  int DeviceIndex() const override { return index_; }
  void SetDeviceIndex(int i) override { index_ = i; }
  const HidDeviceInfo& HidDevice() const override {
    static const HidDeviceInfo leer;
    return index_ < DeviceCount() ? geraete[static_cast<std::size_t>(index_)] : leer;
  }
  void UpdateDeviceDetails() override {
    if (protokoll) protokoll->push_back("details");
    if (details_wirft) throw std::runtime_error("device gone");
    if (index_ < DeviceCount()) {
      geraete[static_cast<std::size_t>(index_)].Product = "Produkt " + std::to_string(index_);
      geraete[static_cast<std::size_t>(index_)].detailsRead = true;
    }
  }
  bool Active() const override { return geoeffnet >= 0; }
  void SetActive(bool a) override {
    if (!a) {
      geoeffnet = -1;
    } else if (geoeffnet < 0) {
      ++oeffnungen;
      if (oeffnen_gelingt) geoeffnet = index_;
    }
  }
  bool SendString(const std::string&) override { return Active(); }

 private:
  int index_ = 0;
};

const std::string gefunden = "Mein gesuchtes Gerät Vid=0x0483 und Did=0xA082 wurde gefunden.";
const std::string nicht_gefunden =
    "Mein gesuchtes Gerät Vid=0x0483 und Did=0xA082 wurde nicht gefunden.";

class Discovery : public ::testing::Test {
 protected:
  void SetUp() override {
    meldungs_zaehler = 0;
    debug_senke_setzen([this](const std::string& z) { zeilen.push_back(z); });
    sanduhr_setzen(nullptr);
  }
  void TearDown() override {
    debug_senke_setzen(nullptr);
    sanduhr_setzen(nullptr);
  }
  bool hat(const std::string& zeile) const {
    return std::find(zeilen.begin(), zeilen.end(), zeile) != zeilen.end();
  }
  std::vector<std::string> zeilen;
};

TEST_F(Discovery, NoHidDeviceAtAll) {
  SimDetektor sim;
  sim.ausstecken();
  hid_geraet_suchen(sim);
  const std::string s41(41, '*');
  EXPECT_EQ(zeilen, (std::vector<std::string>{"00000000 " + s41, "00000000 " + s41,
                                              "00000000 Anzahl der gefundenen HID-Geräte: 00000",
                                              "00000000 " + nicht_gefunden}));
  EXPECT_FALSE(sim.Active());
}

TEST_F(Discovery, InventoryAndActivationLinesAreExact) {
  SimDetektor sim;
  sim.weitere_geraete_setzen({geraet_info("USB-Eingabegerät", 0x046D, 0xC31C, 9, 2)}, 1);
  meldungs_zaehler = 5;
  hid_geraet_suchen(sim);
  const std::vector<std::string> text = {
      std::string(41, '*'),
      std::string(41, '*'),
      "Anzahl der gefundenen HID-Geräte: 00002",
      std::string(32, '*'),
      "Gerät Nr: 00000",
      "Description        : USB-Eingabegerät",
      "VendorID           : 046d",
      "DeviceID           : c31c",
      "InputReportLength  : 00000009",
      "OutputReportLength : 00000002",
      std::string(32, '*'),
      "Gerät Nr: 00001",
      "Description        : HID-konformes Gerät (QUVA-Simulation)",
      "VendorID           : 0483",
      "DeviceID           : a082",
      "InputReportLength  : 00000012",
      "OutputReportLength : 00000003",
      gefunden,
      "DeviceIndex= 00001",
      "Das Gerät QUVA Detektor wurde aktiviert.",
  };
  ASSERT_EQ(zeilen.size(), text.size());
  for (std::size_t i = 0; i < text.size(); ++i) EXPECT_EQ(zeilen[i], "00000005 " + text[i]) << i;
  EXPECT_TRUE(sim.Active());
  EXPECT_EQ(meldungs_zaehler, 5u);  // discovery does not advance it
}

TEST_F(Discovery, FirstOfTwoDetectorsIsOpened) {
  FakeLink link;
  link.geraete = {geraet_info("Maus", 0x046D, 0xC077), geraet_info("QUVA 1", 0x0483, 0xA082),
                  geraet_info("QUVA 2", 0x0483, 0xA082)};
  hid_geraet_suchen(link);
  EXPECT_EQ(link.geoeffnet, 1);
  EXPECT_TRUE(hat("00000000 DeviceIndex= 00001"));
  EXPECT_TRUE(hat("00000000 Das Gerät Produkt 1 wurde aktiviert."));
  EXPECT_TRUE(hat("00000000 Gerät Nr: 00002"));  // the second one is only listed
}

TEST_F(Discovery, RightVendorWrongProductIsListedNotOpened) {
  FakeLink link;
  link.geraete = {geraet_info("ST-Link", 0x0483, 0x3748), geraet_info("Tastatur", 0x04D9, 0x1603)};
  hid_geraet_suchen(link);
  EXPECT_EQ(link.oeffnungen, 0);
  EXPECT_EQ(zeilen.back(), "00000000 " + nicht_gefunden);
  EXPECT_TRUE(hat("00000000 DeviceID           : 3748"));
  EXPECT_EQ(link.DeviceIndex(), 1);  // the selection stays on the last device
}

TEST_F(Discovery, FailedOpenStillWritesTheActivationLine) {
  FakeLink link;
  link.geraete = {geraet_info("QUVA", 0x0483, 0xA082)};
  link.oeffnen_gelingt = false;
  hid_geraet_suchen(link);
  EXPECT_FALSE(link.Active());
  EXPECT_EQ(zeilen.back(), "00000000 Das Gerät Produkt 0 wurde aktiviert.");
}

TEST_F(Discovery, OpenDetectorStaysOpenThroughADeviceChange) {
  FakeLink link;
  link.geraete = {geraet_info("QUVA", 0x0483, 0xA082)};
  hid_geraet_suchen(link);
  ASSERT_TRUE(link.Active());
  zeilen.clear();
  WMDeviceChange(link);
  EXPECT_TRUE(link.Active());
  EXPECT_EQ(link.oeffnungen, 1);
  EXPECT_EQ(zeilen.front(), "00000000 WMDeviceChange ist aufgetreten.");
  EXPECT_TRUE(hat("00000000 " + gefunden));
  EXPECT_EQ(zeilen.back(), "00000000 Das Gerät Produkt 0 wurde aktiviert.");
}

TEST_F(Discovery, HourglassAroundEveryDetailsReadEvenWhenItFails) {
  std::vector<std::string> ablauf;
  sanduhr_setzen([&ablauf](bool an) { ablauf.push_back(an ? "sanduhr" : "normal"); });
  FakeLink link;
  link.protokoll = &ablauf;
  link.geraete = {geraet_info("QUVA", 0x0483, 0xA082)};
  hid_geraet_suchen(link);
  EXPECT_EQ(ablauf, (std::vector<std::string>{"sanduhr", "details", "normal", "sanduhr", "details",
                                              "normal"}));
  ablauf.clear();
  link.details_wirft = true;
  EXPECT_THROW(hid_geraet_suchen(link), std::runtime_error);  // reaches the activation handler
  EXPECT_EQ(ablauf, (std::vector<std::string>{"sanduhr", "details", "normal"}));
}

TEST_F(Discovery, DeviceChangeSwallowsErrorsOfTheDiscovery) {
  FakeLink link;
  link.update_wirft = true;
  EXPECT_NO_THROW(WMDeviceChange(link));
  EXPECT_EQ(zeilen, (std::vector<std::string>{"00000000 WMDeviceChange ist aufgetreten."}));
}

}  // namespace
}  // namespace quva
