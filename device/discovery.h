#pragma once
// Discovery of the detector among the HID devices present, the inventory
// written to the debug-messages window, and the reaction to a device change.

#include <cstdint>
#include <functional>
#include <string>

#include "device/hid_link.h"

namespace quva {

// USB identifiers of the detector.
inline constexpr uint16_t quva_vendor_id = 0x0483;
inline constexpr uint16_t quva_product_id = 0xA082;

// Running number of the protocol messages. It lives here so that discovery
// can prefix its lines with it; it is set to 0 by the main window's creation
// and advanced only by the main window's protocol-message hook, never by
// debug_zeile.
extern uint32_t meldungs_zaehler;

// Where debug lines go (the debug-messages window's memo appends each as a new
// line). Unset: lines are dropped.
using zeilen_senke_t = std::function<void(const std::string& zeile)>;
void debug_senke_setzen(zeilen_senke_t senke);

// Mouse cursor while device details are read: true = hourglass, false =
// default. Unset: nothing happens.
using sanduhr_t = std::function<void(bool sanduhr)>;
void sanduhr_setzen(sanduhr_t sanduhr);

// Writes meldungs_zaehler as eight lower-case hex digits, one blank and the
// text to the debug sink. Does not advance meldungs_zaehler.
void debug_zeile(const std::string& text);

// Discovery: rebuilds the device list, writes the inventory, selects the first
// device with vendor 0x0483 and product 0xA082 and opens it. Errors of the
// link (exceptions) reach the caller.
void hid_geraet_suchen(HidLink& link);

// Reaction to the system's device-change notification: writes its line and
// runs the discovery; any error raised during the discovery is dropped.
void WMDeviceChange(HidLink& link);

}  // namespace quva
