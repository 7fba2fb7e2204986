#include "platform/hid/geraete_monitor.h"

#ifdef __linux__
#include <libudev.h>

#include <QSocketNotifier>
#endif

#ifdef _WIN32
#include <windows.h>

#include <QAbstractNativeEventFilter>
#include <QCoreApplication>
#endif

namespace quva {

#ifdef __linux__

// A libudev monitor on subsystem "hidraw": every event (add, remove, change)
// counts as a device change.
struct GeraeteMonitor::Impl {
  udev* u = nullptr;
  udev_monitor* monitor = nullptr;
  std::unique_ptr<QSocketNotifier> notifier;

  ~Impl() {
    notifier.reset();
    if (monitor) udev_monitor_unref(monitor);
    if (u) udev_unref(u);
  }
};

GeraeteMonitor::GeraeteMonitor(QObject* parent) : QObject(parent), impl_(std::make_unique<Impl>()) {
  impl_->u = udev_new();
  if (!impl_->u) return;
  impl_->monitor = udev_monitor_new_from_netlink(impl_->u, "udev");
  if (!impl_->monitor) return;
  if (udev_monitor_filter_add_match_subsystem_devtype(impl_->monitor, "hidraw", nullptr) < 0 ||
      udev_monitor_enable_receiving(impl_->monitor) < 0) {
    udev_monitor_unref(impl_->monitor);
    impl_->monitor = nullptr;
    return;
  }
  const int fd = udev_monitor_get_fd(impl_->monitor);
  impl_->notifier = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Read);
  connect(impl_->notifier.get(), &QSocketNotifier::activated, this, [this] {
    // Take the event off the socket, otherwise the notifier fires again.
    if (udev_device* d = udev_monitor_receive_device(impl_->monitor)) {
      udev_device_unref(d);
      emit geraeteaenderung();
    }
  });
}

bool GeraeteMonitor::ueberwacht() const { return impl_->notifier != nullptr; }

#elif defined(_WIN32)

// WM_DEVICECHANGE reaches every top-level window: only the main window's copy
// counts once its handle is known.
struct GeraeteMonitor::Impl : QAbstractNativeEventFilter {
  GeraeteMonitor* owner = nullptr;
  HWND hauptfenster = nullptr;
  bool nativeEventFilter(const QByteArray& type, void* message, qintptr*) override {
    if (type != "windows_generic_MSG") return false;
    const MSG* msg = static_cast<MSG*>(message);
    if (msg->message == WM_DEVICECHANGE && (!hauptfenster || msg->hwnd == hauptfenster)) {
      emit owner->geraeteaenderung();
    }
    return false;
  }
  ~Impl() override {
    if (QCoreApplication::instance()) QCoreApplication::instance()->removeNativeEventFilter(this);
  }
};

GeraeteMonitor::GeraeteMonitor(QObject* parent) : QObject(parent), impl_(std::make_unique<Impl>()) {
  impl_->owner = this;
  if (QCoreApplication::instance())
    QCoreApplication::instance()->installNativeEventFilter(impl_.get());
}

bool GeraeteMonitor::ueberwacht() const { return QCoreApplication::instance() != nullptr; }

void GeraeteMonitor::hauptfenster_setzen(quintptr fenster) {
  impl_->hauptfenster = reinterpret_cast<HWND>(fenster);
}

#else

struct GeraeteMonitor::Impl {};

GeraeteMonitor::GeraeteMonitor(QObject* parent)
    : QObject(parent), impl_(std::make_unique<Impl>()) {}

bool GeraeteMonitor::ueberwacht() const { return false; }

#endif

#ifndef _WIN32
void GeraeteMonitor::hauptfenster_setzen(quintptr) {}
#endif

GeraeteMonitor::~GeraeteMonitor() = default;

}  // namespace quva
