// Serial ports on Windows communication devices (COM ports). The device's
// own time-outs bound each ReadFile and WriteFile by the line settings'
// time-out, so a read or write never waits longer than that for a byte; with
// a time-out of 0 or less a ReadFile returns at once with what has arrived.
#include <windows.h>

#include "tkl/Exception.h"
#include "tkl/Port.h"
#include "tkl/SerialLine.h"
#include "tkl/System.h"

namespace tkl {
namespace {

[[noreturn]] void failIo(const char* what, const std::string& path) {
    // Read the error text first: building the message may change the last error.
    std::string text = System::getLastErrorText();
    throw IOException(serial::failureMessage(what, path, text), IOException::defaultCode);
}

HANDLE handleOf(intptr_t handle) {
    return reinterpret_cast<HANDLE>(handle);
}

}  // namespace

namespace serial {

intptr_t openDevice(const char* path) {
    // The device namespace reaches every port, COM10 and above included.
    const std::string device = std::string("\\\\.\\") + path;
    HANDLE handle = CreateFileA(device.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                OPEN_EXISTING, 0, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        std::string text = System::getLastErrorText();
        throw OpenFileException(failureMessage("Error opening", path, text),
                                OpenFileException::defaultCode);
    }
    return reinterpret_cast<intptr_t>(handle);
}

void closeDevice(intptr_t handle) {
    CloseHandle(handleOf(handle));
}

}  // namespace serial

void SerialPort::setConfig(const SerialConfig& config) {
    checkOpen();
    // A device takes only these; nothing is changed for settings it cannot run.
    if (config.databits < 5 || config.databits > 8 || config.baudrate <= 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        failIo("Error setting config of", path_);
    }
    HANDLE handle = handleOf(handle_);
    COMMTIMEOUTS timeouts{};
    if (config.timeout > 0) {
        timeouts.ReadTotalTimeoutConstant = static_cast<DWORD>(config.timeout);
        timeouts.WriteTotalTimeoutConstant = static_cast<DWORD>(config.timeout);
    } else {
        // All zeros would make a read wait until the buffer is full: with no
        // time-out a read returns what has already arrived.
        timeouts.ReadIntervalTimeout = MAXDWORD;
    }
    if (!SetCommTimeouts(handle, &timeouts)) {
        failIo("Error setting timeout config of", path_);
    }
    DCB settings{};
    settings.DCBlength = sizeof settings;
    if (!GetCommState(handle, &settings)) {
        failIo("Error getting config of", path_);
    }
    // Only speed, character size, stop bits and parity change; flow control
    // and the rest stay as the device reported them.
    settings.BaudRate = static_cast<DWORD>(config.baudrate);
    settings.ByteSize = static_cast<BYTE>(config.databits);
    settings.StopBits = serial::stopBits(config) == 2 ? TWOSTOPBITS : ONESTOPBIT;
    switch (serial::parity(config)) {
        case serial::Parity::Odd:
            settings.Parity = ODDPARITY;
            break;
        case serial::Parity::Even:
            settings.Parity = EVENPARITY;
            break;
        case serial::Parity::None:
            settings.Parity = NOPARITY;
            break;
    }
    if (!SetCommState(handle, &settings)) {
        failIo("Error setting config of", path_);
    }
    config_ = config;
}

int32_t SerialPort::read(void* buf, int32_t size) {
    checkOpen();
    serial::checkBuffer(buf, size);
    HANDLE handle = handleOf(handle_);
    auto* bytes = static_cast<char*>(buf);
    int32_t total = 0;
    DWORD lastArrival = GetTickCount();
    while (total < size) {
        DWORD count = 0;
        if (!ReadFile(handle, bytes + total, static_cast<DWORD>(size - total), &count, nullptr)) {
            failIo("Error reading serial port", path_);
        }
        total += static_cast<int32_t>(count);
        if (count > 0) {
            lastArrival = GetTickCount();
            continue;
        }
        // Nothing arrived: ReadFile itself waited up to the time-out.
        if (config_.timeout <= 0 ||
            GetTickCount() - lastArrival >= static_cast<DWORD>(config_.timeout)) {
            break;
        }
        Sleep(1);
    }
    return total;
}

int32_t SerialPort::write(const void* buf, int32_t size) {
    checkOpen();
    serial::checkBuffer(buf, size);
    HANDLE handle = handleOf(handle_);
    const auto* bytes = static_cast<const char*>(buf);
    int32_t total = 0;
    while (total < size) {
        DWORD count = 0;
        if (!WriteFile(handle, bytes + total, static_cast<DWORD>(size - total), &count, nullptr)) {
            failIo("Error writing serial port", path_);
        }
        if (count == 0) {
            break;  // the device took nothing within the time-out
        }
        total += static_cast<int32_t>(count);
    }
    return total;
}

void SerialPort::flush() {
    checkOpen();
    if (!FlushFileBuffers(handleOf(handle_))) {
        failIo("Error flushing serial port", path_);
    }
}

void SerialPort::purge() {
    checkOpen();
    if (!PurgeComm(handleOf(handle_),
                   PURGE_TXABORT | PURGE_RXABORT | PURGE_TXCLEAR | PURGE_RXCLEAR)) {
        failIo("Error purging serial port", path_);
    }
}

void SerialPort::setPin(int32_t pin, bool state) {
    checkOpen();
    DWORD function;
    switch (pin) {
        case PinBreak:
            function = state ? SETBREAK : CLRBREAK;
            break;
        case PinDtr:
            function = state ? SETDTR : CLRDTR;
            break;
        case PinRts:
            function = state ? SETRTS : CLRRTS;
            break;
        default:
            serial::invalidPin();
    }
    if (!EscapeCommFunction(handleOf(handle_), function)) {
        failIo("Error setting serial port pin", path_);
    }
}

int32_t SerialPort::getPin(int32_t pin) {
    checkOpen();
    DWORD status = 0;
    if (!GetCommModemStatus(handleOf(handle_), &status)) {
        failIo("Error getting serial port status", path_);
    }
    return serial::pinState(pin, status, {MS_CTS_ON, MS_DSR_ON, MS_RING_ON, MS_RLSD_ON});
}

}  // namespace tkl
