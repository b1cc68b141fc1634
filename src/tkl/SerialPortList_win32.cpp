// Finding serial ports in the registry: the system's list of communication
// ports, and the port names that USB and FTDI bus devices keep in their
// device parameters. Keys or values that cannot be read contribute nothing.
#include <algorithm>
#include <cstdio>

#include "tkl/File.h"
#include "tkl/Port.h"
#include "tkl/SerialPortRegistry.h"
#include "tkl/String.h"

namespace tkl {
namespace serial {
namespace {

// An open registry key that closes itself.
class Key {
public:
    Key(HKEY parent, const std::string& name) {
        if (RegOpenKeyExA(parent, name.c_str(), 0, KEY_READ, &key_) != ERROR_SUCCESS) {
            key_ = nullptr;
        }
    }
    ~Key() {
        if (key_ != nullptr) {
            RegCloseKey(key_);
        }
    }
    Key(const Key&) = delete;
    Key& operator=(const Key&) = delete;

    explicit operator bool() const { return key_ != nullptr; }
    HKEY get() const { return key_; }

    // The names of the subkeys in index order.
    std::vector<std::string> subkeys() const {
        std::vector<std::string> names;
        for (DWORD index = 0;; ++index) {
            char name[256];
            DWORD length = sizeof name;
            if (RegEnumKeyExA(key_, index, name, &length, nullptr, nullptr, nullptr, nullptr) !=
                ERROR_SUCCESS) {
                break;
            }
            names.emplace_back(name, length);
        }
        return names;
    }

private:
    HKEY key_ = nullptr;
};

// Text data without the terminating zeros the registry may keep.
std::string textOf(const BYTE* data, DWORD size) {
    std::string text(reinterpret_cast<const char*>(data), size);
    return text.substr(0, text.find('\0'));
}

// "SERIAL" followed by a decimal number: a port of the machine's own UARTs.
bool isStandardDevice(const std::string& device) {
    return device.size() > 6 && device.compare(0, 6, "SERIAL") == 0 &&
           std::all_of(device.begin() + 6, device.end(),
                       [](char c) { return c >= '0' && c <= '9'; });
}

// The key of a device: exactly the identifier, or the identifier followed by
// an interface ("&MI_00") or serial number ("+A5XK3RJT") of the device.
bool namesDevice(const std::string& key, const std::string& identifier) {
    return key.compare(0, identifier.size(), identifier) == 0 &&
           (key.size() == identifier.size() || key[identifier.size()] == '&' ||
            key[identifier.size()] == '+');
}

}  // namespace

std::vector<std::string> registeredPorts(HKEY root, const char* key, bool others) {
    std::vector<std::string> ports;
    Key list(root, key);
    if (!list) {
        return ports;
    }
    for (DWORD index = 0;; ++index) {
        char name[256];
        DWORD nameLength = sizeof name;
        BYTE data[256];
        DWORD dataSize = sizeof data;
        DWORD type = 0;
        // The end of the list, or a name or port too long for its buffer.
        if (RegEnumValueA(list.get(), index, name, &nameLength, nullptr, &type, data, &dataSize) !=
            ERROR_SUCCESS) {
            break;
        }
        const std::string port = String::toUpper(textOf(data, dataSize));
        if (nameLength == 0 || port.empty()) {
            continue;
        }
        // "\Device\Serial0" names the driver's device; its last part tells the kind.
        const std::string device = File::fileNameOf(String::toUpper(std::string(name, nameLength)));
        if (isStandardDevice(device) != others) {
            ports.push_back(port);
        }
    }
    return ports;
}

std::vector<std::string> devicePorts(HKEY root, const char* enumKey, const std::string& identifier,
                                     const std::vector<std::string>& present) {
    std::vector<std::string> ports;
    Key devices(root, enumKey);
    if (!devices) {
        return ports;
    }
    const std::string wanted = String::toUpper(identifier);
    for (const std::string& id : devices.subkeys()) {
        if (!namesDevice(String::toUpper(id), wanted)) {
            continue;
        }
        Key device(devices.get(), id);
        if (!device) {
            continue;
        }
        for (const std::string& instance : device.subkeys()) {
            Key parameters(device.get(), instance + "\\Device Parameters");
            if (!parameters) {
                continue;
            }
            BYTE data[256];
            DWORD size = sizeof data;
            DWORD type = 0;
            if (RegQueryValueExA(parameters.get(), "PortName", nullptr, &type, data, &size) !=
                ERROR_SUCCESS) {
                continue;
            }
            const std::string port = String::toUpper(textOf(data, size));
            if (std::find(present.begin(), present.end(), port) != present.end()) {
                ports.push_back(port);
            }
        }
    }
    return ports;
}

std::string usbIdentifier(uint16_t vendor, uint16_t product, char joiner) {
    char text[32];
    std::snprintf(text, sizeof text, "VID_%04X%cPID_%04X", vendor, joiner, product);
    return text;
}

}  // namespace serial

std::vector<std::string> SerialPort::listRegisteredPorts(bool others) {
    return serial::registeredPorts(HKEY_LOCAL_MACHINE, "HARDWARE\\DEVICEMAP\\SERIALCOMM", others);
}

std::vector<std::string> SerialPort::findUsbPorts(uint16_t vendor, uint16_t product) {
    const std::vector<std::string> present = listRegisteredPorts(true);
    if (present.empty()) {
        return {};
    }
    std::vector<std::string> ports =
        serial::devicePorts(HKEY_LOCAL_MACHINE, "System\\CurrentControlSet\\Enum\\USB",
                            serial::usbIdentifier(vendor, product, '&'), present);
    // Adapters on the FTDI bus driver join vendor and product with "+".
    std::vector<std::string> ftdi =
        serial::devicePorts(HKEY_LOCAL_MACHINE, "System\\CurrentControlSet\\Enum\\FTDIBUS",
                            serial::usbIdentifier(vendor, product, '+'), present);
    ports.insert(ports.end(), ftdi.begin(), ftdi.end());
    return ports;
}

}  // namespace tkl
