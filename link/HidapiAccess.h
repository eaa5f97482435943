#pragma once
// HID access through hidapi's Linux hidraw backend. hidapi's own types stay in the .cpp.
//
// hidapi 0.13 is not safe for a read on one thread and a write on another to the same
// device (both update the device's error text), so each device serialises its calls
// and reads wait in short slices, keeping a write's wait for the device short.
//
// hidraw hands an input report over with its report id in front only when the device
// numbers its reports; the backend puts a 0 in front otherwise, so byte 1 of every
// report it returns is the response code.
#include <cstdint>
#include <span>

#include "link/HidAccess.h"
#include "link/HidReportDescriptor.h"

namespace dsptune {

// The process-wide hidapi backend (hid_init on first use).
HidAccess& HidapiAccess();

// ---- report id handling, pure and exposed for tests ----

// Whether a HID report descriptor declares report ids (any Report ID item). Unknown for
// an empty descriptor.
ReportNumbering ReportNumberingOf(std::span<const std::uint8_t> descriptor);

// Turns what hidraw returned (raw, rawLength bytes) into a 61-byte report with the report
// id at byte 0. Unknown numbering is decided by the length: a full 61-byte read carries
// its id, anything shorter does not. report61 is zero-filled first. Returns the number of
// report bytes stored (id included), or rawLength itself when it is 0 or negative.
int NormaliseInputReport(const std::uint8_t* raw, int rawLength, ReportNumbering numbering,
                         std::uint8_t* report61);

}  // namespace dsptune
