// Byte-stream ports: the abstract port, the serial port and its line settings.
//
// A port name that is not an absolute path ("ttyUSB0", "serial/by-id/...")
// names a device under /dev; an absolute path is used as given. On Windows a
// port name such as "COM3" names the communication device \\.\COM3. The
// names listPorts returns are such names, ready for open.
//
// Failures, with the system's error text at the end of each message:
//   FileNotOpenException     -32012  "Serial port closed" (any operation on a closed port)
//   InvalidArgumentException -202    empty path, null buffer or negative size, unknown pin
//   OpenFileException        -32017  "Error opening \"<path>\": ..." (port stays closed)
//   IOException              -320    a failing read, write, flush, purge, pin or
//                                    configuration call (the port stays open)
//
// A port is not shared between threads: nothing in it is locked.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tkl/Object.h"

namespace tkl {

class TKL_API Port : public Object {
public:
    Port();
    ~Port() override;

    // "[Port] path: <path or <empty>>, isOpen: <yes|no>"
    std::string toString() const override;

    virtual void open(const char* path) = 0;
    virtual void open(const std::string& path);
    // The path the port was opened with; empty when closed.
    virtual std::string getPath() const;
    virtual void close() = 0;
    virtual bool isOpen() const = 0;
    // Reads up to `size` bytes into `buf`; returns the number read.
    virtual int32_t read(void* buf, int32_t size) = 0;
    // Writes `size` bytes from `buf`; returns the number written.
    virtual int32_t write(const void* buf, int32_t size) = 0;
    // Waits until everything written has been sent.
    virtual void flush() = 0;
    // Discards everything not yet sent or not yet read.
    virtual void purge() = 0;

protected:
    Port(const Port&) = default;
    Port& operator=(const Port&) = default;

    std::string path_;
};

class TKL_API SerialPort : public Port {
public:
    // Line settings of a serial port: speed, character size, stop bits,
    // parity (0 none, 1 odd, 2 even) and the read time-out in milliseconds.
    class TKL_API SerialConfig : public Object {
    public:
        SerialConfig();
        SerialConfig(const SerialConfig& other) = default;
        SerialConfig& operator=(const SerialConfig& other) = default;
        ~SerialConfig() override;

        // "baudrate(bps)=2400, databits=8, stopbits=1, parity=0, timeout(ms)=40"
        std::string toString() const override;
        virtual void assign(const SerialConfig& other);
        // The baud rate is always taken; each other value only when it is not -1.
        virtual void set(int32_t baudrate, int32_t databits, int32_t stopbits, int32_t parity,
                         int32_t timeout);
        // Back to 2400 bit/s, 8 data bits, 1 stop bit, no parity, 40 ms.
        virtual void reset();

        virtual int32_t& getBaudrate() { return baudrate; }
        virtual int32_t& getDatabits() { return databits; }
        virtual int32_t& getStopbits() { return stopbits; }
        virtual int32_t& getParity() { return parity; }
        virtual int32_t& getTimeout() { return timeout; }
        virtual void setBaudrate(const int32_t& value) { baudrate = value; }
        virtual void setDatabits(const int32_t& value) { databits = value; }
        virtual void setStopbits(const int32_t& value) { stopbits = value; }
        virtual void setParity(const int32_t& value) { parity = value; }
        virtual void setTimeout(const int32_t& value) { timeout = value; }

        int32_t baudrate;
        int32_t databits;
        int32_t stopbits;
        int32_t parity;
        int32_t timeout;
    };

    // Pin numbers of setPin, clearPin and getPin.
    enum Pin : int32_t {
        PinBreak = 0,  // set only: send a break while true
        PinNone = 1,   // read only: always 0
        PinCts = 2,    // read only
        PinDsr = 3,    // read only
        PinRi = 4,     // read only
        PinDcd = 5,    // read only: carrier detect
        PinDtr = 6,    // set only
        PinRts = 7     // set only
    };

    // A closed port with the default line settings.
    SerialPort();
    // A closed port with the other port's line settings (nothing else is copied).
    SerialPort(const SerialPort& other);
    SerialPort& operator=(const SerialPort& other);
    // Closes the port.
    ~SerialPort() override;

    // The port text, ", " and the line settings text.
    std::string toString() const override;

    using Port::open;
    // Closes the port, then opens the device exclusively and applies the
    // port's line settings. Throws InvalidArgumentException for a null or
    // empty path, OpenFileException when the device cannot be opened, and the
    // IOException of setConfig when the settings are refused; a failed open
    // leaves the port closed with an empty path.
    void open(const char* path) override;
    // Closes the port, takes `config` as its line settings, then opens it.
    virtual void open(const char* path, const SerialConfig& config);
    virtual void open(const std::string& path, const SerialConfig& config);
    // When open: closes the device, empties the path, resets the settings.
    void close() override;
    bool isOpen() const override;

    // Closes this port and takes the other port's line settings.
    virtual void assign(const SerialPort& other);
    // Applies the settings to the open device, then keeps them. Stop bits
    // other than 2 count as 1, parity other than 1 (odd) or 2 (even) as none.
    // The device runs raw (no echo, no line editing, no character mapping).
    virtual void setConfig(const SerialConfig& config);
    virtual SerialConfig& getConfig();

    // Reads until `size` bytes arrived or no byte arrived for the time-out of
    // the line settings; returns the bytes read so far (possibly 0). A time-out
    // of 0 or less never waits: the read returns at once with what has already
    // arrived, possibly nothing. Size 0 returns 0 without touching the device.
    int32_t read(void* buf, int32_t size) override;
    // Writes the buffer; stops early only when the device takes nothing for
    // the time-out of the line settings, and returns the bytes written. With
    // a time-out of 0 or less it waits until the device has taken everything.
    int32_t write(const void* buf, int32_t size) override;
    void flush() override;
    void purge() override;

    // Sets break, DTR or RTS; other pins throw InvalidArgumentException.
    virtual void setPin(int32_t pin, bool state);
    virtual void clearPin(int32_t pin);
    // Reads the modem status, then returns 0 or 1 for pins 1 to 5; other
    // pins throw InvalidArgumentException.
    virtual int32_t getPin(int32_t pin);

    // The standard serial ports of the machine, sorted in byte order.
    static std::vector<std::string> listPorts();
    // With vendor and product 0 the standard serial ports; otherwise the
    // ports of the USB devices (USB-serial adapters included) with exactly
    // this vendor and product number. Sorted in byte order; never throws.
    static std::vector<std::string> listPorts(uint16_t vendor, uint16_t product);
    // The ports present on the machine, in name order: the standard serial
    // ports, or with `others` true all the other ones (USB, virtual...).
    // They are read from sysfs; the environment variable TKL_SYSFS_ROOT,
    // when set, names another folder to read instead of /sys. On Windows they
    // are the registry's list of communication ports.
    static std::vector<std::string> listRegisteredPorts(bool others);
    // The present ports that belong to USB devices with this vendor and product.
    static std::vector<std::string> findUsbPorts(uint16_t vendor, uint16_t product);

private:
    // Throws FileNotOpenException when the port is closed.
    void checkOpen() const;

    SerialConfig config_;
    // The system handle of the open device; -1 when closed.
    intptr_t handle_;
};

}  // namespace tkl
