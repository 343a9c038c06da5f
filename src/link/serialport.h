// One serial port, opened 8N1 without flow control, owned for as long as the object lives. Real
// ports go through libserialport; an exclusive flock on the open port keeps the editor and the
// tool (or two of either) from sharing one cable. Reads and writes take a deadline, so no caller
// ever waits on a device that went silent.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

struct sp_port;  // libserialport's port

namespace dotreel::link {

// Every failure of the link, by what the user can do about it.
class LinkError : public std::runtime_error {
public:
    enum class Kind {
        NoSuchPort,  // the name is no serial port
        Busy,        // another program holds the port
        Permission,  // the user may not open it
        Io,          // the port failed or went away
        NoAnswer,    // the device stays silent, or stopped reading
        Version,     // the device speaks another protocol version
        Crc,         // answers keep arriving broken
        Device,      // the device answered with an error
        Cancelled    // the caller's cancel flag was set
    };
    LinkError(Kind kind, const std::string& message) : std::runtime_error(message), kind_(kind) {}
    Kind kind() const { return kind_; }

private:
    Kind kind_;
};

// A port as the library lists it, with what a USB adapter tells about itself.
struct PortInfo {
    std::string name;         // "/dev/ttyUSB0"
    std::string description;  // the library's one-line description
    std::string transport;    // "USB", "Bluetooth", "native"
    std::string manufacturer, product, serial;
    int vid = -1, pid = -1;  // USB ids; -1 when not a USB port
};

class SerialPort {
public:
    // Throws LinkError (NoSuchPort, Busy, Permission, Io).
    static SerialPort open(const std::string& name, unsigned baud);
    // The ports the library finds; throws LinkError(Io) when it cannot enumerate them.
    static std::vector<PortInfo> list();

    SerialPort(SerialPort&& other) noexcept;
    SerialPort& operator=(SerialPort&& other) noexcept;
    SerialPort(const SerialPort&) = delete;
    SerialPort& operator=(const SerialPort&) = delete;
    ~SerialPort();

    // Up to `size` bytes of what has arrived, waiting at most `timeoutMs` for the first; 0 when
    // nothing came. Throws LinkError(Io) when the port fails or is gone.
    size_t read(uint8_t* data, size_t size, int timeoutMs);
    // All of `data` within `timeoutMs`. false when `cancel` was set first; throws
    // LinkError(NoAnswer) when the device stops taking bytes, LinkError(Io) on failure.
    bool writeAll(const uint8_t* data, size_t size, int timeoutMs,
                  const std::atomic<bool>* cancel = nullptr);
    // Throws away bytes received and not read yet (answers of an earlier program, say).
    void discardInput();

    const std::string& name() const { return name_; }
    // True when opened through the pseudo-terminal fallback rather than libserialport.
    bool pseudoTerminal() const { return port_ == nullptr; }

private:
    SerialPort() = default;
    void close() noexcept;
    int waitFor(short events, int timeoutMs);

    ::sp_port* port_ = nullptr;  // null for a pseudo-terminal opened directly
    int fd_ = -1;
    std::string name_;
};

}  // namespace dotreel::link
