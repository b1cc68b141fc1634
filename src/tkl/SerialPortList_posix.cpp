// Finding serial ports in sysfs. Every terminal with a "device" link in
// <sysfs>/class/tty belongs to hardware; the others (virtual consoles,
// pseudo-terminals) are not serial ports. A USB serial adapter, whether it is
// served by the ACM, the FTDI or another USB serial driver, sits below the
// USB device that carries idVendor and idProduct.
//
// The environment variable TKL_SYSFS_ROOT, when set, replaces "/sys" so that
// a tree built elsewhere can be searched.
#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "tkl/Port.h"

namespace tkl {
namespace {

namespace fs = std::filesystem;

fs::path sysfsRoot() {
    const char* root = std::getenv("TKL_SYSFS_ROOT");
    return root != nullptr && *root != '\0' ? fs::path(root) : fs::path("/sys");
}

std::string firstLine(const fs::path& file) {
    std::ifstream in(file);
    std::string line;
    std::getline(in, line);
    return line;
}

// "ttyS" followed by a decimal number: a port of the machine's own UARTs.
bool isStandardName(const std::string& name) {
    return name.size() > 4 && name.compare(0, 4, "ttyS") == 0 &&
           std::all_of(name.begin() + 4, name.end(), [](char c) { return c >= '0' && c <= '9'; });
}

struct Tty {
    std::string name;
    fs::path device;  // resolved device folder
};

// The hardware terminals, in name order. Standard ports whose UART type is
// 0 (none found at that address) are not present and left out.
std::vector<Tty> presentTtys(const fs::path& root) {
    std::vector<Tty> ttys;
    std::error_code error;
    fs::directory_iterator it(root / "class" / "tty", error);
    for (; !error && it != fs::directory_iterator(); it.increment(error)) {
        std::string name = it->path().filename().string();
        std::error_code linkError;
        fs::path device = fs::canonical(it->path() / "device", linkError);
        if (linkError) {
            continue;
        }
        if (isStandardName(name) && firstLine(it->path() / "type") == "0") {
            continue;
        }
        ttys.push_back({name, device});
    }
    std::sort(ttys.begin(), ttys.end(), [](const Tty& a, const Tty& b) { return a.name < b.name; });
    return ttys;
}

bool readHex(const fs::path& file, unsigned long& value) {
    std::string text = firstLine(file);
    if (text.empty()) {
        return false;
    }
    char* end = nullptr;
    value = std::strtoul(text.c_str(), &end, 16);
    return end != text.c_str() && *end == '\0';
}

// The nearest USB device above `device` matches vendor and product.
bool belongsTo(const fs::path& device, const fs::path& root, uint16_t vendor, uint16_t product) {
    for (fs::path folder = device; folder != root && folder.has_relative_path();
         folder = folder.parent_path()) {
        std::error_code error;
        if (!fs::exists(folder / "idVendor", error)) {
            continue;
        }
        unsigned long foundVendor = 0;
        unsigned long foundProduct = 0;
        return readHex(folder / "idVendor", foundVendor) &&
               readHex(folder / "idProduct", foundProduct) && foundVendor == vendor &&
               foundProduct == product;
    }
    return false;
}

}  // namespace

std::vector<std::string> SerialPort::listRegisteredPorts(bool others) {
    std::vector<std::string> ports;
    try {
        for (const Tty& tty : presentTtys(sysfsRoot())) {
            if (isStandardName(tty.name) != others) {
                ports.push_back(tty.name);
            }
        }
    } catch (const std::exception&) {
        // Whatever cannot be read contributes nothing.
    }
    return ports;
}

std::vector<std::string> SerialPort::findUsbPorts(uint16_t vendor, uint16_t product) {
    std::vector<std::string> ports;
    try {
        fs::path root = sysfsRoot();
        std::error_code error;
        fs::path canonicalRoot = fs::canonical(root, error);
        if (error) {
            return ports;
        }
        for (const Tty& tty : presentTtys(root)) {
            if (!isStandardName(tty.name) &&
                belongsTo(tty.device, canonicalRoot, vendor, product)) {
                ports.push_back(tty.name);
            }
        }
    } catch (const std::exception&) {
        // Whatever cannot be read contributes nothing.
    }
    return ports;
}

}  // namespace tkl
