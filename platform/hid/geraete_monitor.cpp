#include "platform/hid/geraete_monitor.h"

namespace quva {

struct GeraeteMonitor::Impl {};

GeraeteMonitor::GeraeteMonitor(QObject* parent) : QObject(parent), impl_(std::make_unique<Impl>()) {}
GeraeteMonitor::~GeraeteMonitor() = default;
bool GeraeteMonitor::ueberwacht() const { return false; }

}  // namespace quva
