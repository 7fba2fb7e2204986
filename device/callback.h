#pragma once
// The hook table through which the windows learn that new data has arrived.

#include <functional>
#include <string>

#include "device/quva_usb.h"

namespace quva {

using cb_meldung_t = std::function<void(const std::string&)>;
using cb_perioden_t = std::function<void(const t_tele_perioden&)>;
using cb_seriennummer_t = std::function<void(const t_tele_seriennummer&)>;
using cb_programmversion_t = std::function<void(const t_tele_programmversion&)>;
using cb_betriebsstunden_t = std::function<void(const t_tele_betriebsstunden&)>;
using cb_abgleichcounter_t = std::function<void(const t_tele_abgleichcounter&)>;
using cb_portstatus_t = std::function<void(const t_tele_portstatus&)>;
using cb_analogwerte_t = std::function<void(const t_tele_analogwerte&)>;
using cb_status_t = std::function<void(const t_tele_status&)>;

// Slots 1..9 in this order; an empty function is an unset slot.
struct t_callbacks {
  cb_meldung_t cb_meldung;
  cb_perioden_t cb_perioden;
  cb_seriennummer_t cb_seriennummer;
  cb_programmversion_t cb_programmversion;
  cb_betriebsstunden_t cb_betriebsstunden;
  cb_abgleichcounter_t cb_abgleichcounter;
  cb_portstatus_t cb_portstatus;
  cb_analogwerte_t cb_analogwerte;
  cb_status_t cb_status;
};

extern t_callbacks callbacks;

// Sets all nine slots to empty.
void callbacks_loeschen();

// Stores the nine hooks in slots 1..9; any of them may be empty.
void callbacks_setzen(cb_meldung_t cb_meldung, cb_perioden_t cb_perioden,
                      cb_seriennummer_t cb_seriennummer, cb_programmversion_t cb_programmversion,
                      cb_betriebsstunden_t cb_betriebsstunden,
                      cb_abgleichcounter_t cb_abgleichcounter, cb_portstatus_t cb_portstatus,
                      cb_analogwerte_t cb_analogwerte, cb_status_t cb_status);

}  // namespace quva
