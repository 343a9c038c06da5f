#include "link/serialport.h"

#include <fcntl.h>
#include <libserialport.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>

namespace dotreel::link {
namespace {

using Clock = std::chrono::steady_clock;

std::string lastLibraryError() {
    char* text = sp_last_error_message();
    std::string message = text != nullptr ? text : "unknown error";
    sp_free_error_message(text);
    return message;
}

[[noreturn]] void failOpening(const std::string& name, int error, const std::string& detail) {
    using Kind = LinkError::Kind;
    switch (error) {
        case ENOENT:
        case ENODEV:
        case ENXIO:
            throw LinkError(Kind::NoSuchPort, "no such port: " + name);
        case EACCES:
        case EPERM:
            throw LinkError(Kind::Permission,
                            "permission denied opening " + name +
                                ": add yourself to the dialout group (sudo usermod -aG dialout "
                                "$USER), then log in again");
        case EBUSY:
        case EWOULDBLOCK:
            throw LinkError(Kind::Busy, "port busy: " + name +
                                            " is open in another program (the editor, or "
                                            "another dotreel-tool); close it there first");
        default:
            throw LinkError(Kind::Io, "cannot open " + name + ": " + detail);
    }
}

// Only one opener at a time: the editor's live view and an upload interleaving their packets on
// one cable would each see the other's answers as garbage.
void lockExclusive(int fd, const std::string& name) {
    if (flock(fd, LOCK_EX | LOCK_NB) == 0) return;
    const int error = errno;
    failOpening(name, error == EWOULDBLOCK ? EBUSY : error, std::strerror(error));
}

// A Unix98 pseudo-terminal slave: character device majors 136..143.
bool isPseudoTerminalDevice(const std::string& name) {
    struct stat info {};
    if (stat(name.c_str(), &info) != 0 || !S_ISCHR(info.st_mode)) return false;
    const unsigned majorNumber = major(info.st_rdev);
    return majorNumber >= 136 && majorNumber <= 143;
}

// libserialport 0.1.1 refuses pseudo-terminals: it looks each port up in /sys/class/tty, where
// ptys have no entry, and its maintainers keep them out of scope. socat and ser2net bridges (and
// the tests' scripted devices) are ptys, so those alone are opened here by hand; the baud rate
// means nothing on a pty. Every real serial port goes through the library.
int openPseudoTerminal(const std::string& name) {
    const int fd = ::open(name.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        const int error = errno;
        failOpening(name, error, std::strerror(error));
    }
    termios mode{};
    if (isatty(fd) == 0 || tcgetattr(fd, &mode) != 0) {
        ::close(fd);
        throw LinkError(LinkError::Kind::NoSuchPort, "no such port: " + name + " is no terminal");
    }
    cfmakeraw(&mode);
    mode.c_cflag |= CLOCAL | CREAD;
    if (tcsetattr(fd, TCSANOW, &mode) != 0) {
        const int error = errno;
        ::close(fd);
        throw LinkError(LinkError::Kind::Io, "cannot set up " + name + ": " + std::strerror(error));
    }
    return fd;
}

std::string text(const char* value) { return value != nullptr ? value : ""; }

std::string transportName(enum sp_transport transport) {
    switch (transport) {
        case SP_TRANSPORT_USB:
            return "USB";
        case SP_TRANSPORT_BLUETOOTH:
            return "Bluetooth";
        default:
            return "native";
    }
}

}  // namespace

SerialPort SerialPort::open(const std::string& name, unsigned baud) {
    SerialPort result;
    result.name_ = name;
    struct sp_port* port = nullptr;
    if (sp_get_port_by_name(name.c_str(), &port) != SP_OK) {
        if (isPseudoTerminalDevice(name)) {
            result.fd_ = openPseudoTerminal(name);
            lockExclusive(result.fd_, name);
            result.discardInput();
            return result;
        }
        struct stat info {};
        if (stat(name.c_str(), &info) != 0) failOpening(name, errno, std::strerror(errno));
        throw LinkError(LinkError::Kind::NoSuchPort,
                        "no such port: " + name + " is no serial port");
    }
    result.port_ = port;
    if (sp_open(port, SP_MODE_READ_WRITE) != SP_OK) {
        const int error = sp_last_error_code();
        failOpening(name, error, lastLibraryError());
    }
    if (sp_get_port_handle(port, &result.fd_) != SP_OK) {
        throw LinkError(LinkError::Kind::Io, "cannot use " + name + ": " + lastLibraryError());
    }
    lockExclusive(result.fd_, name);
    if (sp_set_baudrate(port, static_cast<int>(baud)) != SP_OK)
        throw LinkError(LinkError::Kind::Io, name + " cannot run at " + std::to_string(baud) +
                                                 " baud: " + lastLibraryError());
    if (sp_set_bits(port, 8) != SP_OK || sp_set_parity(port, SP_PARITY_NONE) != SP_OK ||
        sp_set_stopbits(port, 1) != SP_OK || sp_set_flowcontrol(port, SP_FLOWCONTROL_NONE) != SP_OK)
        throw LinkError(
            LinkError::Kind::Io,
            "cannot set " + name + " to 8N1 without flow control: " + lastLibraryError());
    result.discardInput();
    return result;
}

std::vector<PortInfo> SerialPort::list() {
    struct sp_port** ports = nullptr;
    if (sp_list_ports(&ports) != SP_OK)
        throw LinkError(LinkError::Kind::Io, "cannot list the serial ports: " + lastLibraryError());
    std::vector<PortInfo> found;
    for (struct sp_port** p = ports; *p != nullptr; ++p) {
        PortInfo info;
        info.name = text(sp_get_port_name(*p));
        info.description = text(sp_get_port_description(*p));
        const enum sp_transport transport = sp_get_port_transport(*p);
        info.transport = transportName(transport);
        if (transport == SP_TRANSPORT_USB) {
            info.manufacturer = text(sp_get_port_usb_manufacturer(*p));
            info.product = text(sp_get_port_usb_product(*p));
            info.serial = text(sp_get_port_usb_serial(*p));
            if (sp_get_port_usb_vid_pid(*p, &info.vid, &info.pid) != SP_OK)
                info.vid = info.pid = -1;
        }
        found.push_back(std::move(info));
    }
    sp_free_port_list(ports);
    return found;
}

SerialPort::SerialPort(SerialPort&& other) noexcept
    : port_(other.port_), fd_(other.fd_), name_(std::move(other.name_)) {
    other.port_ = nullptr;
    other.fd_ = -1;
}

SerialPort& SerialPort::operator=(SerialPort&& other) noexcept {
    if (this != &other) {
        close();
        port_ = other.port_;
        fd_ = other.fd_;
        name_ = std::move(other.name_);
        other.port_ = nullptr;
        other.fd_ = -1;
    }
    return *this;
}

SerialPort::~SerialPort() { close(); }

void SerialPort::close() noexcept {
    if (port_ != nullptr) {
        sp_close(port_);  // also closes fd_, and with it the lock
        sp_free_port(port_);
    } else if (fd_ >= 0) {
        ::close(fd_);
    }
    port_ = nullptr;
    fd_ = -1;
}

// The poll events that came within `timeoutMs`, 0 when none.
int SerialPort::waitFor(short events, int timeoutMs) {
    pollfd entry{fd_, events, 0};
    for (;;) {
        const int ready = poll(&entry, 1, timeoutMs < 0 ? 0 : timeoutMs);
        if (ready >= 0) return ready == 0 ? 0 : entry.revents;
        if (errno != EINTR)
            throw LinkError(LinkError::Kind::Io, name_ + " failed: " + std::strerror(errno));
    }
}

size_t SerialPort::read(uint8_t* data, size_t size, int timeoutMs) {
    const int events = waitFor(POLLIN, timeoutMs);
    if (events == 0) return 0;
    if ((events & POLLIN) == 0)
        throw LinkError(LinkError::Kind::Io, name_ + " was closed or unplugged");
    ssize_t got = 0;
    if (port_ != nullptr) {
        const enum sp_return r = sp_nonblocking_read(port_, data, size);
        if (r < 0) throw LinkError(LinkError::Kind::Io, name_ + " failed: " + lastLibraryError());
        got = r;
    } else {
        got = ::read(fd_, data, size);
        if (got < 0 && (errno == EAGAIN || errno == EINTR)) return 0;
        if (got < 0)
            throw LinkError(LinkError::Kind::Io, name_ + " failed: " + std::strerror(errno));
    }
    // Nothing to read is a hang-up only when poll said so; else a wake-up with no data.
    if (got == 0 && (events & POLLHUP) != 0)
        throw LinkError(LinkError::Kind::Io, name_ + " was closed or unplugged");
    return static_cast<size_t>(got);
}

bool SerialPort::writeAll(const uint8_t* data, size_t size, int timeoutMs,
                          const std::atomic<bool>* cancel) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    size_t done = 0;
    while (done < size) {
        if (cancel != nullptr && cancel->load()) return false;
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0)
            throw LinkError(LinkError::Kind::NoAnswer,
                            "the device on " + name_ + " stopped reading: is the player running?");
        // Short slices, so that a cancel is seen while the device holds the line up.
        const int events = waitFor(POLLOUT, static_cast<int>(left < 50 ? left : 50));
        if (events == 0) continue;
        if ((events & POLLOUT) == 0)
            throw LinkError(LinkError::Kind::Io, name_ + " was closed or unplugged");
        ssize_t put = 0;
        if (port_ != nullptr) {
            const enum sp_return r = sp_nonblocking_write(port_, data + done, size - done);
            if (r < 0)
                throw LinkError(LinkError::Kind::Io, name_ + " failed: " + lastLibraryError());
            put = r;
        } else {
            put = ::write(fd_, data + done, size - done);
            if (put < 0 && (errno == EAGAIN || errno == EINTR)) continue;
            if (put < 0)
                throw LinkError(LinkError::Kind::Io, name_ + " failed: " + std::strerror(errno));
        }
        done += static_cast<size_t>(put);
    }
    return true;
}

void SerialPort::discardInput() {
    if (port_ != nullptr)
        sp_flush(port_, SP_BUF_INPUT);
    else
        tcflush(fd_, TCIFLUSH);
}

}  // namespace dotreel::link
