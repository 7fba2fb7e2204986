#include "device/callback.h"

#include <utility>

namespace quva {

t_callbacks callbacks;

void callbacks_loeschen() { callbacks = t_callbacks{}; }

void callbacks_setzen(cb_meldung_t cb_meldung, cb_perioden_t cb_perioden,
                      cb_seriennummer_t cb_seriennummer, cb_programmversion_t cb_programmversion,
                      cb_betriebsstunden_t cb_betriebsstunden,
                      cb_abgleichcounter_t cb_abgleichcounter, cb_portstatus_t cb_portstatus,
                      cb_analogwerte_t cb_analogwerte, cb_status_t cb_status) {
  callbacks.cb_meldung = std::move(cb_meldung);
  callbacks.cb_perioden = std::move(cb_perioden);
  callbacks.cb_seriennummer = std::move(cb_seriennummer);
  callbacks.cb_programmversion = std::move(cb_programmversion);
  callbacks.cb_betriebsstunden = std::move(cb_betriebsstunden);
  callbacks.cb_abgleichcounter = std::move(cb_abgleichcounter);
  callbacks.cb_portstatus = std::move(cb_portstatus);
  callbacks.cb_analogwerte = std::move(cb_analogwerte);
  callbacks.cb_status = std::move(cb_status);
}

namespace {
// The table is empty from start-up until the main window registers its hooks.
[[maybe_unused]] const bool callbacks_initialisiert = (callbacks_loeschen(), true);
}  // namespace

}  // namespace quva
