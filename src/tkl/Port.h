// Byte-stream ports: the serial port and its line settings.
#pragma once

#include <cstdint>
#include <string>

#include "tkl/Object.h"

namespace tkl {

class TKL_API SerialPort : public Object {
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
};

}  // namespace tkl
