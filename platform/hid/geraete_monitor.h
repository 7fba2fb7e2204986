#pragma once
// Notification of HID devices arriving or leaving. Linux: a libudev monitor
// on subsystem "hidraw" behind a QSocketNotifier. Windows: WM_DEVICECHANGE
// seen through a native event filter. Either way the monitor only emits
// geraeteaenderung(); the main window connects it to its WMDeviceChange
// handler, which runs the discovery.

#include <QObject>
#include <memory>

namespace quva {

class GeraeteMonitor : public QObject {
  Q_OBJECT

 public:
  explicit GeraeteMonitor(QObject* parent = nullptr);
  ~GeraeteMonitor() override;

  // False when the system's notification could not be set up (the program
  // then finds the detector only on window activation).
  bool ueberwacht() const;

  // Windows sends WM_DEVICECHANGE to every top-level window of the program;
  // with the main window's handle set, only its copy counts, so one change
  // runs one discovery. Without effect on other systems.
  void hauptfenster_setzen(quintptr fenster);

 signals:
  void geraeteaenderung();

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace quva
