#include "config/DetectionConfig.h"

#include <iomanip>
#include <sstream>

namespace custovia {

DetectionConfigUsb::DetectionConfigUsb() : vid(0), pid(0) {}

DetectionConfigUsb::DetectionConfigUsb(uint32_t vid_, uint32_t pid_) : vid(vid_), pid(pid_) {}

DetectionConfigUsb::~DetectionConfigUsb() = default;

std::string DetectionConfigUsb::toString() const {
    std::ostringstream out;
    out << std::uppercase << std::hex << std::setfill('0') << "VID = " << std::setw(4) << vid
        << ", PID = " << std::setw(4) << pid;
    return out.str();
}

void DetectionConfigUsb::assign(const DetectionConfigUsb& other) {
    set(other.vid, other.pid);
}

void DetectionConfigUsb::set(uint32_t vid_, uint32_t pid_) {
    vid = vid_;
    pid = pid_;
}

void DetectionConfigUsb::reset() {
    vid = 0;
    pid = 0;
}

DetectionConfigSer::DetectionConfigSer()
    : baudrate(2400), databits(8), stopbits(1), parity(0), timeout(40) {}

DetectionConfigSer::DetectionConfigSer(int32_t baudrate_, int32_t databits_, int32_t stopbits_,
                                       int32_t parity_, int32_t timeout_)
    : baudrate(baudrate_),
      databits(databits_),
      stopbits(stopbits_),
      parity(parity_),
      timeout(timeout_) {}

DetectionConfigSer::~DetectionConfigSer() = default;

std::string DetectionConfigSer::toString() const {
    std::ostringstream out;
    out << "Baudrate = " << baudrate << ", Databits = " << databits << ", Stopbits = " << stopbits
        << ", Parity = " << parity << ", Timeout = " << timeout;
    return out.str();
}

void DetectionConfigSer::assign(const DetectionConfigSer& other) {
    set(other.baudrate, other.databits, other.stopbits, other.parity, other.timeout);
}

void DetectionConfigSer::set(int32_t baudrate_, int32_t databits_, int32_t stopbits_,
                             int32_t parity_, int32_t timeout_) {
    baudrate = baudrate_;
    databits = databits_;
    stopbits = stopbits_;
    parity = parity_;
    timeout = timeout_;
}

void DetectionConfigSer::reset() {
    set(2400, 8, 1, 0, 40);
}

DetectionConfig::DetectionConfig() = default;

DetectionConfig::~DetectionConfig() = default;

namespace {

template <typename Entry>
void appendList(std::string& text, const char* header, const std::vector<Entry>& entries) {
    if (entries.empty()) {
        return;
    }
    text += header;
    text += "\n";
    for (const Entry& entry : entries) {
        text += "\t" + entry.toString() + "\n";
    }
}

}  // namespace

std::string DetectionConfig::toString() const {
    std::string text;
    appendList(text, "USB/CDC:", cdc);
    appendList(text, "USB/HID:", hid);
    appendList(text, "Serial :", serial);
    return text;
}

void DetectionConfig::assign(const DetectionConfig& other) {
    // Emptying the lists first would lose the entries when other is *this.
    if (&other == this) {
        return;
    }
    reset();
    cdc.insert(cdc.end(), other.cdc.begin(), other.cdc.end());
    hid.insert(hid.end(), other.hid.begin(), other.hid.end());
    serial.insert(serial.end(), other.serial.begin(), other.serial.end());
}

void DetectionConfig::reset() {
    hid.clear();
    cdc.clear();
    serial.clear();
}

}  // namespace custovia
