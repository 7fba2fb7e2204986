// The hidapi link end to end without hardware: umockdev fakes sysfs, udev
// and the hidraw nodes of a QUVA detector and of a keyboard; this test plays
// the detector's side of the node (ioctls, writes, reads). Runs under
// umockdev-wrapper.

#include <gtest/gtest.h>
#include <hidapi.h>
#include <linux/hidraw.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/syscall.h>
#include <umockdev.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>
#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "device/discovery.h"
#include "platform/hid/geraete_monitor.h"
#include "platform/hid/hidapi_link.h"

namespace quva {
namespace {

using Bytes = std::vector<uint8_t>;

std::string hex(const Bytes& b) {
  std::string s;
  for (uint8_t x : b) {
    static const char* z = "0123456789ABCDEF";
    s += z[x >> 4];
    s += z[x & 15];
  }
  return s;
}

// The detector's descriptor: two top-level collections (hidraw lists the
// device once per collection), IDs 1..5 input of 17 bytes, ID 6 output of 2.
Bytes detektor_deskriptor() {
  Bytes d;
  for (int sammlung = 0; sammlung < 2; ++sammlung) {
    d.insert(d.end(), {0x06, 0x00, 0xFF, 0x09, static_cast<uint8_t>(1 + sammlung), 0xA1, 0x01, 0x15,
                       0x00, 0x26, 0xFF, 0x00, 0x75, 0x08});
    if (sammlung == 0) {
      for (uint8_t id = 1; id <= 5; ++id)
        d.insert(d.end(), {0x85, id, 0x95, 0x11, 0x09, 0x01, 0x81, 0x02});
    } else {
      d.insert(d.end(), {0x85, 0x06, 0x95, 0x02, 0x09, 0x01, 0x91, 0x02});
    }
    d.push_back(0xC0);
  }
  return d;
}

// Boot keyboard without report IDs: 8 bytes in, 1 byte out.
Bytes tastatur_deskriptor() {
  return {0x05, 0x01, 0x09, 0x06, 0xA1, 0x01, 0x05, 0x07, 0x75, 0x08, 0x95,
          0x08, 0x81, 0x02, 0x75, 0x01, 0x95, 0x08, 0x91, 0x02, 0xC0};
}

std::string usb_geraet(const std::string& usb, int hidraw, const std::string& vid,
                       const std::string& pid, const std::string& name, const Bytes& deskriptor) {
  const std::string hid = usb + "/" + usb.substr(usb.rfind('/') + 1) + ":1.0/0003:" + vid + ":" +
                          pid + ".000" + std::to_string(hidraw + 1);
  const std::string n = "hidraw" + std::to_string(hidraw);
  return "P: " + hid + "/hidraw/" + n + "\nN: " + n + "\nL: device=../../../" +
         hid.substr(hid.rfind('/') + 1) + "\nE: DEVNAME=/dev/" + n +
         "\nE: MAJOR=240\nE: MINOR=" + std::to_string(hidraw) + "\nE: SUBSYSTEM=hidraw\n\n" +
         "P: " + hid + "\nE: DRIVER=hid-generic\nE: HID_ID=0003:0000" + vid + ":0000" + pid +
         "\nE: HID_NAME=" + name + "\nE: HID_UNIQ=SN" + pid +
         "\nE: SUBSYSTEM=hid\nH: report_descriptor=" + hex(deskriptor) + "\n\n" +
         "P: " + hid.substr(0, hid.rfind('/')) +
         "\nE: DEVTYPE=usb_interface\nE: DRIVER=usbhid\nE: SUBSYSTEM=usb\nA: "
         "bInterfaceNumber=00\n\n" +
         "P: " + usb +
         "\nE: DEVTYPE=usb_device\nE: DRIVER=usb\nE: SUBSYSTEM=usb\nA: idVendor=" + vid +
         "\nA: idProduct=" + pid + "\nA: manufacturer=Hersteller " + vid + "\nA: product=" + name +
         "\nA: serial=SN" + pid + "\n\n";
}

// The device side of one hidraw node.
class FakeKnoten {
 public:
  FakeKnoten(UMockdevTestbed* testbed, const std::string& knoten, Bytes deskriptor)
      : deskriptor_(std::move(deskriptor)), handler_(umockdev_ioctl_base_new()) {
    g_signal_connect(handler_, "handle-ioctl", G_CALLBACK(&FakeKnoten::ioctl_cb), this);
    g_signal_connect(handler_, "handle-write", G_CALLBACK(&FakeKnoten::write_cb), this);
    g_signal_connect(handler_, "handle-read", G_CALLBACK(&FakeKnoten::read_cb), this);
    GError* fehler = nullptr;
    if (!umockdev_testbed_attach_ioctl(testbed, knoten.c_str(), handler_, &fehler)) {
      ADD_FAILURE() << "attach_ioctl: " << fehler->message;
      g_error_free(fehler);
    }
  }
  ~FakeKnoten() {
    ausstecken();
    g_object_unref(handler_);
  }

  // Answers: the detector answers query 0 with its program version.
  std::function<Bytes(const Bytes&)> antwort = [](const Bytes& w) {
    Bytes r(18, 0);
    if (w == Bytes{0x06, 0x01, 0x00}) {
      r[0] = 0x02, r[1] = 0x01, r[2] = 0x01;
      for (std::size_t i = 4; i < r.size(); ++i) r[i] = static_cast<uint8_t>(0xA0 + i);
      return r;
    }
    return Bytes{};
  };

  std::vector<Bytes> geschrieben() {
    std::lock_guard l(m_);
    return geschrieben_;
  }
  // Reports handed to a reader so far.
  int gelesen() {
    std::lock_guard l(m_);
    return gelesen_;
  }
  // From now on every read fails as on an unplugged device.
  void ausstecken() {
    std::lock_guard l(m_);
    ausgesteckt_ = true;
    bedienen();
  }

 private:
  static gboolean ioctl_cb(UMockdevIoctlBase*, UMockdevIoctlClient* c, gpointer self) {
    auto* k = static_cast<FakeKnoten*>(self);
    const gulong req = umockdev_ioctl_client_get_request(c);
    UMockdevIoctlData* arg = umockdev_ioctl_client_get_arg(c);
    GError* fehler = nullptr;
    if (req == HIDIOCGRDESCSIZE) {
      if (UMockdevIoctlData* d = umockdev_ioctl_data_resolve(arg, 0, sizeof(int), &fehler)) {
        const int n = static_cast<int>(k->deskriptor_.size());
        std::memcpy(d->data, &n, sizeof n);
        umockdev_ioctl_client_complete(c, 0, 0);
        return TRUE;
      }
      g_clear_error(&fehler);
    }
    umockdev_ioctl_client_complete(c, -1, ENOTTY);
    return TRUE;
  }

  static gboolean write_cb(UMockdevIoctlBase*, UMockdevIoctlClient* c, gpointer self) {
    auto* k = static_cast<FakeKnoten*>(self);
    UMockdevIoctlData* arg = umockdev_ioctl_client_get_arg(c);
    const Bytes w(arg->data, arg->data + arg->data_len);
    umockdev_ioctl_client_complete(c, arg->data_len, 0);
    std::lock_guard l(k->m_);
    k->geschrieben_.push_back(w);
    if (Bytes r = k->antwort(w); !r.empty()) k->eingang_.push_back(r);
    k->bedienen();
    return TRUE;
  }

  static gboolean read_cb(UMockdevIoctlBase*, UMockdevIoctlClient* c, gpointer self) {
    auto* k = static_cast<FakeKnoten*>(self);
    std::lock_guard l(k->m_);
    k->lesende_.push_back(static_cast<UMockdevIoctlClient*>(g_object_ref(c)));
    k->bedienen();
    return TRUE;
  }

  // Completes waiting reads with queued reports, or with an error once unplugged.
  void bedienen() {
    while (!lesende_.empty() && (ausgesteckt_ || !eingang_.empty())) {
      UMockdevIoctlClient* c = lesende_.front();
      lesende_.pop_front();
      if (ausgesteckt_) {
        umockdev_ioctl_client_complete(c, -1, ENODEV);
      } else {
        UMockdevIoctlData* arg = umockdev_ioctl_client_get_arg(c);
        const Bytes r = eingang_.front();
        eingang_.pop_front();
        const std::size_t n = std::min(r.size(), static_cast<std::size_t>(arg->data_len));
        std::memcpy(arg->data, r.data(), n);
        umockdev_ioctl_client_complete(c, static_cast<glong>(n), 0);
        ++gelesen_;
      }
      g_object_unref(c);
    }
  }

  Bytes deskriptor_;
  UMockdevIoctlBase* handler_;
  std::mutex m_;
  bool ausgesteckt_ = false;
  int gelesen_ = 0;
  std::vector<Bytes> geschrieben_;
  std::deque<Bytes> eingang_;
  std::deque<UMockdevIoctlClient*> lesende_;
};

bool unter_umockdev() {
  const char* preload = std::getenv("LD_PRELOAD");
  return preload && std::strstr(preload, "umockdev");
}

// Waits without running the event loop, so that nothing is handed over.
bool warten_ohne_ereignisse(const std::function<bool()>& bedingung, int ms = 2000) {
  QElapsedTimer uhr;
  uhr.start();
  while (!bedingung() && uhr.elapsed() < ms)
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  return bedingung();
}

std::set<long> threads() {
  std::set<long> ids;
  for (const auto& e : std::filesystem::directory_iterator("/proc/self/task"))
    ids.insert(std::stol(e.path().filename().string()));
  return ids;
}

// Runs the event loop until `bedingung` holds or `ms` have passed.
bool warten_bis(const std::function<bool()>& bedingung, int ms = 2000) {
  QElapsedTimer uhr;
  uhr.start();
  while (!bedingung() && uhr.elapsed() < ms)
    QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
  return bedingung();
}

class HidapiUmockdev : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!unter_umockdev()) GTEST_SKIP() << "needs umockdev's preload: run under umockdev-wrapper";
    testbed_ = umockdev_testbed_new();
    GError* fehler = nullptr;
    const std::string text = usb_geraet("/devices/pci0000:00/0000:00:14.0/usb1/1-2", 0, "046D",
                                        "C31C", "Logitech Tastatur", tastatur_deskriptor()) +
                             usb_geraet("/devices/pci0000:00/0000:00:14.0/usb1/1-3", 1, "0483",
                                        "A082", "QUVA Detektor", detektor_deskriptor());
    ASSERT_TRUE(umockdev_testbed_add_from_string(testbed_, text.c_str(), &fehler))
        << fehler->message;
    detektor_ = std::make_unique<FakeKnoten>(testbed_, "/dev/hidraw1", detektor_deskriptor());
  }
  void TearDown() override {
    link_.reset();  // before the fake node goes
    detektor_.reset();
    if (testbed_) g_object_unref(testbed_);
  }
  int detektor_index() {
    for (int i = 0; i < link_->DeviceCount(); ++i) {
      if (link_->DevicePath(i) == "/dev/hidraw1") return i;
    }
    return -1;
  }

  UMockdevTestbed* testbed_ = nullptr;
  std::unique_ptr<FakeKnoten> detektor_;
  // Reads block without a time-out: umockdev's nodes do not report readable
  // data to poll(), only to read().
  std::unique_ptr<HidapiLink> link_ = std::make_unique<HidapiLink>(nullptr, -1);
};

TEST_F(HidapiUmockdev, EnumeratesEachDeviceOnceWithItsReportLengths) {
  // hidapi itself lists the detector once per top-level collection.
  hid_device_info* roh = hid_enumerate(0x0483, 0xA082);
  int eintraege = 0;
  for (const hid_device_info* d = roh; d; d = d->next) ++eintraege;
  hid_free_enumeration(roh);
  ASSERT_EQ(eintraege, 2);

  link_->Update();
  ASSERT_EQ(link_->DeviceCount(), 2);
  const int i = detektor_index();
  ASSERT_GE(i, 0);
  link_->SetDeviceIndex(i);
  const HidDeviceInfo& d = link_->HidDevice();
  EXPECT_EQ(d.VendorId, 0x0483);
  EXPECT_EQ(d.ProductId, 0xA082);
  EXPECT_EQ(d.InputReportLength, 18u);
  EXPECT_EQ(d.OutputReportLength, 3u);
  EXPECT_EQ(d.Description, "QUVA Detektor");
  EXPECT_FALSE(d.detailsRead);
  link_->UpdateDeviceDetails();
  EXPECT_EQ(link_->HidDevice().NameFriendly(), "QUVA Detektor");
  EXPECT_EQ(link_->HidDevice().SerialNumber, "SNA082");

  link_->SetDeviceIndex(1 - i);
  EXPECT_EQ(link_->HidDevice().VendorId, 0x046D);
  EXPECT_EQ(link_->HidDevice().InputReportLength, 9u);
  EXPECT_EQ(link_->HidDevice().OutputReportLength, 2u);
}

TEST_F(HidapiUmockdev, WritesAQueryReadsTheAnswerOnTheMainThreadAndClosesOnAReadError) {
  link_->Update();
  link_->SetDeviceIndex(detektor_index());
  std::vector<Bytes> empfangen;
  link_->SetOnAfterReceive([&empfangen](const uint8_t* p, std::size_t n) {
    EXPECT_EQ(QThread::currentThread(), QCoreApplication::instance()->thread());
    empfangen.emplace_back(p, p + n);
  });
  link_->SetActive(true);
  ASSERT_TRUE(link_->Active()) << link_->LastError();

  EXPECT_TRUE(link_->SendString(std::string("\x06\x01\x00", 3)));
  EXPECT_EQ(detektor_->geschrieben(), (std::vector<Bytes>{{0x06, 0x01, 0x00}}));
  ASSERT_TRUE(warten_bis([&] { return !empfangen.empty(); }));
  ASSERT_EQ(empfangen[0].size(), 18u);
  EXPECT_EQ(hex(empfangen[0]), "02010100A4A5A6A7A8A9AAABACADAEAFB0B1");

  detektor_->ausstecken();
  EXPECT_TRUE(warten_bis([&] { return !link_->Active(); }));
  EXPECT_FALSE(link_->SendString(std::string("\x06\x01\x00", 3)));
  EXPECT_EQ(empfangen.size(), 1u);
}

TEST_F(HidapiUmockdev, DiscoveryFindsAndOpensTheDetector) {
  std::vector<std::string> zeilen;
  debug_senke_setzen([&zeilen](const std::string& z) { zeilen.push_back(z); });
  meldungs_zaehler = 0;
  hid_geraet_suchen(*link_);
  debug_senke_setzen(nullptr);
  EXPECT_TRUE(link_->Active()) << link_->LastError();
  ASSERT_GE(zeilen.size(), 3u);
  EXPECT_EQ(zeilen[2], "00000000 Anzahl der gefundenen HID-Geräte: 00002");
  EXPECT_NE(std::find(zeilen.begin(), zeilen.end(), "00000000 InputReportLength  : 00000012"),
            zeilen.end());
  EXPECT_EQ(zeilen.back(), "00000000 Das Gerät QUVA Detektor wurde aktiviert.");
  detektor_->ausstecken();
}

TEST_F(HidapiUmockdev, SecondLinkCannotOpenAHeldDetector) {
  link_->Update();
  link_->SetDeviceIndex(detektor_index());
  link_->SetActive(true);
  ASSERT_TRUE(link_->Active());
  HidapiLink zweiter(nullptr, -1);
  zweiter.Update();
  for (int i = 0; i < zweiter.DeviceCount(); ++i) {
    if (zweiter.DevicePath(i) == "/dev/hidraw1") zweiter.SetDeviceIndex(i);
  }
  zweiter.SetActive(true);
  EXPECT_FALSE(zweiter.Active());
  EXPECT_NE(zweiter.LastError().find("anderen Programm"), std::string::npos) << zweiter.LastError();
  detektor_->ausstecken();
}

TEST_F(HidapiUmockdev, PollingReaderStopsWhenTheLinkIsClosed) {
  // The program's reader waits in short time-outs (umockdev's node never
  // reports data to poll, so nothing is read here): closing must end it.
  HidapiLink link;
  link.Update();
  for (int i = 0; i < link.DeviceCount(); ++i) {
    if (link.DevicePath(i) == "/dev/hidraw1") link.SetDeviceIndex(i);
  }
  link.SetActive(true);
  ASSERT_TRUE(link.Active()) << link.LastError();
  EXPECT_TRUE(link.SendString(std::string("\x06\x02\x03", 3)));
  link.SetActive(false);
  EXPECT_FALSE(link.Active());
  EXPECT_FALSE(link.SendString(std::string("\x06\x01\x00", 3)));
  link.SetActive(true);  // and opens again
  EXPECT_TRUE(link.Active());
  EXPECT_EQ(detektor_->geschrieben(), (std::vector<Bytes>{{0x06, 0x02, 0x03}}));
}

TEST_F(HidapiUmockdev, ReaderOfANewOpeningWaitsForItsOwnHandOver) {
  // A report of the first opening is still queued for the main thread when
  // the link is closed and opened again. Handling that stale report must not
  // release the new reader: it reads its next report only after the receive
  // handler of the current one has returned.
  detektor_->antwort = [n = uint8_t{0}](const Bytes&) mutable {
    Bytes r(18, 0);
    r[0] = 0x03, r[1] = 0x02, r[2] = ++n;
    return r;
  };
  link_->Update();
  link_->SetDeviceIndex(detektor_index());
  std::vector<int> empfangen;
  bool vorausgelesen = false;
  link_->SetOnAfterReceive([&](const uint8_t* p, std::size_t) {
    empfangen.push_back(p[2]);
    if (p[2] == 2) {
      vorausgelesen = warten_ohne_ereignisse([&] { return detektor_->gelesen() > 2; }, 300);
    }
  });
  const std::string abfrage("\x06\x01\x02", 3);
  link_->SetActive(true);
  ASSERT_TRUE(link_->SendString(abfrage));
  ASSERT_TRUE(warten_ohne_ereignisse([&] { return detektor_->gelesen() == 1; }));
  std::this_thread::sleep_for(std::chrono::milliseconds(100));  // handed over by now
  // Report 1 waits in the event queue while the link closes and opens again.
  link_->SetActive(false);
  link_->SetActive(true);
  ASSERT_TRUE(link_->Active()) << link_->LastError();
  ASSERT_TRUE(link_->SendString(abfrage));
  ASSERT_TRUE(link_->SendString(abfrage));
  ASSERT_TRUE(warten_ohne_ereignisse([&] { return detektor_->gelesen() == 2; }));

  EXPECT_TRUE(warten_bis([&] { return empfangen.size() == 2; }));
  EXPECT_FALSE(vorausgelesen);
  EXPECT_EQ(empfangen, (std::vector<int>{2, 3}));  // the closed opening's report is dropped
  detektor_->ausstecken();
}

TEST_F(HidapiUmockdev, ASignalToTheReaderDoesNotCloseTheLink) {
  // A signal that interrupts the reader's wait for data is no read error.
  struct sigaction leer = {};
  leer.sa_handler = [](int) {};
  leer.sa_flags = SA_RESTART;
  struct sigaction alt = {};
  sigaction(SIGUSR1, &leer, &alt);

  HidapiLink link;  // waits in poll() with a time-out
  link.Update();
  for (int i = 0; i < link.DeviceCount(); ++i) {
    if (link.DevicePath(i) == "/dev/hidraw1") link.SetDeviceIndex(i);
  }
  const std::set<long> vorher = threads();
  link.SetActive(true);
  ASSERT_TRUE(link.Active()) << link.LastError();
  for (int runde = 0; runde < 10; ++runde) {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    for (long tid : threads()) {
      if (!vorher.count(tid)) syscall(SYS_tgkill, getpid(), tid, SIGUSR1);
    }
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  QCoreApplication::processEvents();
  EXPECT_TRUE(link.Active()) << link.LastError();
  link.SetActive(false);
  sigaction(SIGUSR1, &alt, nullptr);
}

TEST(HidapiUmockdevLeer, DiscoveryWithoutAnyHidDevice) {
  if (!unter_umockdev()) GTEST_SKIP() << "needs umockdev's preload: run under umockdev-wrapper";
  UMockdevTestbed* testbed = umockdev_testbed_new();  // a machine without HID devices
  std::vector<std::string> zeilen;
  debug_senke_setzen([&zeilen](const std::string& z) { zeilen.push_back(z); });
  meldungs_zaehler = 0;
  HidapiLink link;
  hid_geraet_suchen(link);
  debug_senke_setzen(nullptr);
  EXPECT_FALSE(link.Active());
  const std::string s41 = "00000000 " + std::string(41, '*');
  EXPECT_EQ(zeilen,
            (std::vector<std::string>{
                s41, s41, "00000000 Anzahl der gefundenen HID-Geräte: 00000",
                "00000000 Mein gesuchtes Gerät Vid=0x0483 und Did=0xA082 wurde nicht gefunden."}));
  g_object_unref(testbed);
}

TEST_F(HidapiUmockdev, MonitorReportsHidrawEventsAsDeviceChanges) {
  GeraeteMonitor monitor;
  ASSERT_TRUE(monitor.ueberwacht());
  int aenderungen = 0;
  QObject::connect(&monitor, &GeraeteMonitor::geraeteaenderung, [&aenderungen] { ++aenderungen; });
  const char* hidraw =
      "/sys/devices/pci0000:00/0000:00:14.0/usb1/1-3/1-3:1.0/0003:0483:A082.0002/hidraw/hidraw1";
  umockdev_testbed_uevent(testbed_, hidraw, "remove");
  EXPECT_TRUE(warten_bis([&] { return aenderungen == 1; }));
  umockdev_testbed_uevent(testbed_, hidraw, "add");
  EXPECT_TRUE(warten_bis([&] { return aenderungen == 2; }));
  // Events of other subsystems are not device changes of a HID device.
  umockdev_testbed_uevent(testbed_, "/sys/devices/pci0000:00/0000:00:14.0/usb1/1-3", "change");
  EXPECT_FALSE(warten_bis([&] { return aenderungen > 2; }, 200));
}

}  // namespace
}  // namespace quva

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
