#pragma once
// Applies one packet from the device to the model and the link state. Runs on the
// link's receive thread. Byte 0 (report id or destination byte) is ignored; byte 1 is
// the response code. Only the bytes actually received are read: a short or malformed
// packet never reads past its end or writes outside the image, live block or tables.
#include <cstdint>
#include <span>
#include <string>

namespace dsptune {

class DeviceSession;

// Into a session's model and link state; the form without one into the current session's.
void DispatchPacket(DeviceSession& session, std::span<const std::uint8_t> packet);
void DispatchPacket(std::span<const std::uint8_t> packet);

// Formats the parameter-error text for code, command 1, command 2.
std::string FormatParameterError(std::uint8_t code, std::uint8_t command1, std::uint8_t command2);

// Input stream format names of status byte 7's low nibble; empty for 9 and above.
const char* StreamFormatName(int index);

}  // namespace dsptune
