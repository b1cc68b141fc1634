// Internal helpers of the Windows port lists: reading the ports the system
// registers and the ports of USB devices from registry keys. The keys are
// parameters so that the lookups can be run against any branch of the
// registry.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

namespace tkl {
namespace serial {

// The port names ("COM3") listed as values of `key` below `root`, upper-cased,
// in enumeration order: with `others` false only the standard serial ports
// (device names "SERIAL<n>"), with `others` true every other port.
std::vector<std::string> registeredPorts(HKEY root, const char* key, bool others);

// The ports named by "<instance>\Device Parameters\PortName" of each device
// instance below `enumKey`\<identifier> that are among `present`. The device
// key is the identifier, ignoring case, possibly followed by "&" and an
// interface or "+" and a serial number.
std::vector<std::string> devicePorts(HKEY root, const char* enumKey, const std::string& identifier,
                                     const std::vector<std::string>& present);

// "VID_0665<joiner>PID_5161": vendor and product as four upper-case hex digits.
std::string usbIdentifier(uint16_t vendor, uint16_t product, char joiner);

}  // namespace serial
}  // namespace tkl
