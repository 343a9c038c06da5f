// device: every command opens the port, says hello (so a silent board or another protocol
// version is named before anything else is sent) and then does its one thing. upload and verify
// take Ctrl+C between blocks: no block is asked for after it, the (at most two) in flight are
// finished or time out, so the device is left answering and the next upload simply starts over.
#include "tool/devicecommands.h"

#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <iomanip>
#include <iostream>
#include <map>
#include <memory>
#include <optional>
#include <sstream>

#include "core/frame.h"
#include "files/settingsfile.h"
#include "link/serialport.h"
#include "link/session.h"
#include "link/transfer.h"
#include "tool/commands.h"
#include "tool/store.h"

namespace dotreel::tool {
namespace {

using link::LinkError;

constexpr unsigned kDefaultBaud = 115200;

const char kDeviceHelp[] =
    "Usage: dotreel-tool device COMMAND [ARGUMENTS] [--port PORT] [--baud RATE]\n"
    "\n"
    "Talks to the player on the board over its serial cable (8N1, no flow control).\n"
    "\n"
    "Commands:\n"
    "  info                     what the player says of itself: protocol and firmware version,\n"
    "                           panel, store size, whether each EEPROM answers\n"
    "  show FILE --frame N      show frame N of FILE on the panel\n"
    "  upload FILE [SETTINGS]   write FILE's whole store into the EEPROMs and read it back;\n"
    "                           with SETTINGS (animation.txt), then play them from power-up on\n"
    "  verify FILE              read the device's store and compare it with FILE\n"
    "  play SETTINGS | --start A --end B --interval MS\n"
    "                           play frames from the EEPROMs\n"
    "  stop                     stop playing; the frame on show stays\n"
    "  list                     the serial ports found, with their USB descriptions\n"
    "\n"
    "PORT is --port, else the environment variable DOTREEL_PORT. A pseudo-terminal (socat,\n"
    "ser2net) works as a port too. Run 'dotreel-tool device COMMAND --help' for one command.\n"
    "\n"
    "Exit status: 0 success; 1 the work failed (no such port, port busy, no answer, another\n"
    "protocol version, CRC errors after the retries, an error answered by the device, a store\n"
    "that differs); 2 wrong arguments; 130 interrupted by Ctrl+C.\n";

const std::map<std::string, std::string, std::less<>>& commandHelps() {
    static const std::map<std::string, std::string, std::less<>> helps = {
        {"info",
         "Usage: dotreel-tool device info [--port PORT] [--baud RATE]\n"
         "\n"
         "Says hello to the player and prints its answer: link protocol version, panel size,\n"
         "store size, whether chip 0 (I2C 0x50) and chip 1 (0x51) answer, firmware version.\n"},
        {"show",
         "Usage: dotreel-tool device show FILE --frame N [--port PORT] [--baud RATE]\n"
         "\n"
         "Sends frame N (0..267) of frame file FILE to the panel.\n"},
        {"upload",
         "Usage: dotreel-tool device upload FILE [SETTINGS] [--no-verify] [--once]\n"
         "                                 [--port PORT] [--baud RATE]\n"
         "\n"
         "Writes the whole 131072-byte store of FILE into the two 24C512 on the board, in\n"
         "1024 blocks of one 128-byte page, each acknowledged only once the EEPROM has\n"
         "finished writing it; then reads every byte back and compares (not with --no-verify).\n"
         "With SETTINGS (an animation.txt), the board then plays its start..end at its interval,\n"
         "repeated (--once: once), and keeps playing them at every power-up.\n"
         "On a terminal a progress bar shows bytes/s and the time left. Ctrl+C stops after the\n"
         "blocks in flight; the device's store is then incomplete: upload again.\n"},
        {"verify",
         "Usage: dotreel-tool device verify FILE [--port PORT] [--baud RATE]\n"
         "\n"
         "Reads the device's whole store and compares it with FILE byte for byte. Exit 1 when\n"
         "they differ, naming the first address that does and how many bytes differ.\n"},
        {"play",
         "Usage: dotreel-tool device play SETTINGS [--once] [--keep] [--port PORT]\n"
         "       dotreel-tool device play --start A --end B --interval MS [--once] [--keep]\n"
         "\n"
         "Plays frames A..B (0..267; backwards when A > B) from the EEPROMs, one every MS\n"
         "milliseconds (1..1000), repeated (--once: once). SETTINGS is an animation.txt.\n"
         "--keep: the board keeps playing these at every power-up.\n"},
        {"stop",
         "Usage: dotreel-tool device stop [--port PORT] [--baud RATE]\n"
         "\n"
         "Stops playing; the frame on show stays.\n"},
        {"list",
         "Usage: dotreel-tool device list\n"
         "\n"
         "Lists the serial ports the serial library finds, with what a USB adapter says of\n"
         "itself: manufacturer, product, serial number, VID:PID. Pseudo-terminals are not\n"
         "listed, but can be given as --port.\n"},
    };
    return helps;
}

// Bauds the serial library sets on every system it supports.
constexpr std::array<unsigned, 19> kBauds = {
    1200,   2400,   4800,   9600,    19200,   38400,   57600,   115200,  230400, 460800,
    500000, 576000, 921600, 1000000, 1152000, 1500000, 2000000, 3000000, 4000000};

// Set while an upload or a verify runs: Ctrl+C asks it to stop after the blocks in flight.
std::atomic<bool> interrupted{false};
static_assert(std::atomic<bool>::is_always_lock_free);

extern "C" void onInterrupt(int) { interrupted.store(true); }

class InterruptGuard {
public:
    InterruptGuard() {
        interrupted = false;
        struct sigaction action {};
        action.sa_handler = onInterrupt;
        sigemptyset(&action.sa_mask);
        sigaction(SIGINT, &action, &previous_);
    }
    ~InterruptGuard() { sigaction(SIGINT, &previous_, nullptr); }
    InterruptGuard(const InterruptGuard&) = delete;
    InterruptGuard& operator=(const InterruptGuard&) = delete;

private:
    struct sigaction previous_ {};
};

std::string portName(const ParsedArgs& args) {
    if (auto v = args.value("port")) return *v;
    if (const char* env = std::getenv("DOTREEL_PORT"); env != nullptr && *env != '\0') return env;
    throw UsageError("no port: give --port PORT (or set DOTREEL_PORT); 'device list' shows them");
}

unsigned baudRate(const ParsedArgs& args) {
    const auto v = args.value("baud");
    if (!v) return kDefaultBaud;
    const auto rate = static_cast<unsigned>(parseInteger(*v, 1, 4000000, "--baud"));
    if (std::find(kBauds.begin(), kBauds.end(), rate) == kBauds.end())
        throw UsageError("--baud " + *v +
                         ": not a rate the serial library can set; use one of 9600, 19200, "
                         "38400, 57600, 115200, 230400, 460800, 500000, 921600, 1000000, ...");
    return rate;
}

std::string hex(uint32_t value, int digits) {
    std::ostringstream s;
    s << "0x" << std::uppercase << std::hex << std::setw(digits) << std::setfill('0') << value;
    return s.str();
}

// The port opened and the player greeted; the hello's answer kept.
struct Connection {
    std::unique_ptr<link::Session> session;
    link::HelloInfo hello;
};

Connection connect(const ParsedArgs& args) {
    Connection c;
    c.session =
        std::make_unique<link::Session>(link::SerialPort::open(portName(args), baudRate(args)));
    c.hello = c.session->hello();
    return c;
}

// A device that is no Dotreel player of this panel and store would take the bytes wrongly.
void checkBoard(const Connection& c) {
    const link::HelloInfo& h = c.hello;
    if (h.width != kColumns || h.height != kRows || h.storeBytes != kStoreBytes)
        throw ToolError("the device on " + c.session->portName() + " has a " +
                        std::to_string(h.width) + " x " + std::to_string(h.height) +
                        " panel and a " + std::to_string(h.storeBytes) + "-byte store, not " +
                        std::to_string(kColumns) + " x " + std::to_string(kRows) + " and " +
                        std::to_string(kStoreBytes));
}

void checkEeproms(const Connection& c) {
    for (unsigned chip = 0; chip < 2; ++chip)
        if ((c.hello.eeproms & (1u << chip)) == 0)
            throw ToolError("EEPROM chip " + std::to_string(chip) + " (I2C " + hex(0x50 + chip, 2) +
                            ") on " + c.session->portName() +
                            " does not answer: check its wiring and its address pins");
}

struct PlayRequest {
    int start = 0, end = 0, intervalMs = 0;
};

void checkRange(const std::string& where, const char* what, int value, SettingsRange range) {
    if (value < range.low || value > range.high)
        throw ToolError(where + what + " " + std::to_string(value) + " is outside " +
                        std::to_string(range.low) + ".." + std::to_string(range.high));
}

PlayRequest settingsPlay(const std::string& path) {
    const PlaybackSettings s = readSettings(path);
    const std::string where = "settings '" + path + "': ";
    checkRange(where, "start frame", s.start, kFrameNumbers);
    checkRange(where, "end frame", s.end, kFrameNumbers);
    checkRange(where, "interval", s.intervalMs, kIntervals);
    return {s.start, s.end, s.intervalMs};
}

uint8_t playFlags(const ParsedArgs& args, bool keep) {
    uint8_t flags = args.has("once") ? 0 : DOTREEL_LINK_PLAY_REPEAT;
    if (keep) flags |= DOTREEL_LINK_PLAY_KEEP;
    return static_cast<uint8_t>(flags);
}

std::string describePlay(const PlayRequest& p, uint8_t flags) {
    return "frames " + std::to_string(p.start) + ".." + std::to_string(p.end) + " every " +
           std::to_string(p.intervalMs) + " ms, " +
           ((flags & DOTREEL_LINK_PLAY_REPEAT) != 0 ? "repeated" : "once") +
           ((flags & DOTREEL_LINK_PLAY_KEEP) != 0 ? ", from every power-up on" : "");
}

void sendPlay(link::Session& session, const PlayRequest& p, uint8_t flags) {
    session.play(static_cast<uint16_t>(p.start), static_cast<uint16_t>(p.end),
                 static_cast<uint16_t>(p.intervalMs), flags);
}

// Progress on standard error: a bar redrawn in place on a terminal, else a line per phase.
class ProgressReport {
public:
    ProgressReport(std::ostream& err, std::string port)
        : err_(err),
          port_(std::move(port)),
          bar_(&err == &std::cerr && isatty(STDERR_FILENO) != 0) {}
    ~ProgressReport() { endLine(); }
    ProgressReport(const ProgressReport&) = delete;
    ProgressReport& operator=(const ProgressReport&) = delete;

    void operator()(link::TransferPhase phase, size_t done, size_t total) {
        const auto now = Clock::now();
        if (!phase_ || *phase_ != phase) {
            endLine();
            phase_ = phase;
            started_ = now;
            drawn_ = {};
            if (!bar_)
                err_ << name(phase) << " " << total << " bytes " << direction(phase) << " " << port_
                     << "\n"
                     << std::flush;
        }
        if (!bar_ || (done < total && now - drawn_ < std::chrono::milliseconds(100))) return;
        drawn_ = now;
        const double seconds = std::chrono::duration<double>(now - started_).count();
        const double rate = seconds > 0 ? static_cast<double>(done) / seconds : 0;
        constexpr int kWidth = 30;
        const auto filled = static_cast<int>(
            static_cast<double>(kWidth) * static_cast<double>(done) / static_cast<double>(total));
        std::ostringstream line;
        line << "\r" << std::setw(9) << std::left << name(phase) << " [" << std::string(filled, '#')
             << std::string(kWidth - filled, '.') << "] " << std::right << std::setw(3)
             << done * 100 / total << "%  " << std::fixed << std::setprecision(1) << rate / 1000.0
             << " kB/s";
        if (rate > 0 && done < total) {
            const long left = std::lround(static_cast<double>(total - done) / rate);
            line << "  " << left / 60 << ":" << std::setw(2) << std::setfill('0') << left % 60
                 << " left ";
        } else {
            line << "              ";
        }
        err_ << line.str() << std::flush;
        open_ = true;
    }

private:
    using Clock = std::chrono::steady_clock;
    static const char* name(link::TransferPhase p) {
        return p == link::TransferPhase::Writing ? "writing" : "verifying";
    }
    static const char* direction(link::TransferPhase p) {
        return p == link::TransferPhase::Writing ? "to" : "back from";
    }
    void endLine() {
        if (open_) err_ << "\n" << std::flush;
        open_ = false;
    }

    std::ostream& err_;
    std::string port_;
    bool bar_;
    bool open_ = false;
    std::optional<link::TransferPhase> phase_;
    Clock::time_point started_, drawn_;
};

void expectPositionals(const ParsedArgs& args, size_t low, size_t high, const char* usage) {
    const size_t n = args.positionals.size() - 1;
    if (n < low || n > high)
        throw UsageError(std::string(n < low ? "missing arguments" : "too many arguments") +
                         "; usage: dotreel-tool device " + usage);
}

// Options that belong to some commands only are refused on the others.
void checkOptions(const ParsedArgs& args, const std::string& command) {
    static const std::map<std::string, std::vector<std::string>, std::less<>> only = {
        {"frame", {"show"}},    {"no-verify", {"upload"}}, {"once", {"upload", "play"}},
        {"keep", {"play"}},     {"start", {"play"}},       {"end", {"play"}},
        {"interval", {"play"}},
    };
    for (const auto& [option, commands] : only) {
        if (!args.has(option)) continue;
        if (std::find(commands.begin(), commands.end(), command) != commands.end()) continue;
        std::string message = "--";
        message += option;
        message += " does not apply to 'device ";
        message += command;
        message += '\'';
        throw UsageError(message);
    }
    if (command == "list" && (args.has("port") || args.has("baud")))
        throw UsageError("'device list' opens no port: --port and --baud do not apply");
}

std::unique_ptr<FrameMemory> readStore(const std::string& path, std::ostream& err) {
    return loadStore(path, err, "they are sent as the editor reads them");
}

int runInfo(const ParsedArgs& args, std::ostream& out) {
    expectPositionals(args, 0, 0, "info");
    const Connection c = connect(args);
    const link::HelloInfo& h = c.hello;
    const auto chip = [&](unsigned n) {
        return std::string("chip ") + std::to_string(n) + " (" + hex(0x50 + n, 2) + ") " +
               ((h.eeproms & (1u << n)) != 0 ? "answers" : "does not answer");
    };
    out << "port:      " << c.session->portName() << "\n"
        << "protocol:  version " << h.version << "\n"
        << "firmware:  " << h.firmwareMajor << "." << h.firmwareMinor << "." << h.firmwarePatch
        << "\n"
        << "panel:     " << h.width << " x " << h.height << "\n"
        << "store:     " << h.storeBytes << " bytes\n"
        << "EEPROMs:   " << chip(0) << ", " << chip(1) << "\n";
    return kExitOk;
}

int runShow(const ParsedArgs& args, std::ostream& out, std::ostream& err) {
    expectPositionals(args, 1, 1, "show FILE --frame N");
    const auto frameText = args.value("frame");
    if (!frameText)
        throw UsageError("give the frame to show: --frame N (0.." + std::to_string(kLastFrame) +
                         ")");
    const int frame = parseInteger(*frameText, 0, kLastFrame, "--frame");
    const auto store = readStore(args.positionals[1], err);
    const Connection c = connect(args);
    checkBoard(c);
    c.session->show(store->data() + static_cast<size_t>(frame) * kFrameBytes);
    out << "frame " << frame << " of " << args.positionals[1] << " on show on "
        << c.session->portName() << "\n";
    return kExitOk;
}

// The store compared; exit 1 naming the first byte that differs.
int reportVerify(const std::optional<link::StoreDifference>& d, const std::string& file,
                 const std::string& port, std::ostream& out) {
    if (!d) {
        out << "the store on " << port << " equals " << file << " byte for byte\n";
        return kExitOk;
    }
    const uint32_t chipBytes = DOTREEL_LINK_CHIP_BYTES;
    throw ToolError("the store on " + port + " differs from " + file + " at address " +
                    hex(d->address, 5) + " (frame " + std::to_string(d->address / kFrameBytes) +
                    ", chip " + std::to_string(d->address / chipBytes) + " byte " +
                    hex(d->address % chipBytes, 4) + "): the file has " + hex(d->expected, 2) +
                    ", the device " + hex(d->found, 2) + "; " + std::to_string(d->differing) +
                    (d->differing == 1 ? " byte differs" : " bytes differ"));
}

int runUpload(const ParsedArgs& args, std::ostream& out, std::ostream& err) {
    expectPositionals(args, 1, 2, "upload FILE [SETTINGS]");
    const std::string& file = args.positionals[1];
    const auto store = readStore(file, err);
    std::optional<PlayRequest> play;
    if (args.positionals.size() > 2) play = settingsPlay(args.positionals[2]);
    const Connection c = connect(args);
    checkBoard(c);
    checkEeproms(c);
    const std::string& port = c.session->portName();

    const InterruptGuard guard;
    bool written = false;
    try {
        ProgressReport progress(err, port);
        const auto report = [&](link::TransferPhase p, size_t done, size_t total) {
            progress(p, done, total);
        };
        link::uploadStore(*c.session, store->data(), report, &interrupted);
        written = true;
        if (!args.has("no-verify")) {
            const auto difference =
                link::verifyStore(*c.session, store->data(), report, &interrupted);
            if (difference) return reportVerify(difference, file, port, out);
        }
    } catch (const LinkError& e) {
        if (e.kind() != LinkError::Kind::Cancelled) throw;
        if (written)
            err << "dotreel-tool device upload: cancelled while reading back; the store was "
                   "written but not compared: run 'dotreel-tool device verify "
                << file << "'\n";
        else
            err << "dotreel-tool device upload: upload cancelled; the store on the device is "
                   "incomplete, upload again\n";
        return kExitInterrupted;
    }
    out << "uploaded " << file << " to " << port << ": " << kStoreBytes << " bytes"
        << (args.has("no-verify") ? " (not read back)" : ", read back and equal") << "\n";
    if (play) {
        const uint8_t flags = playFlags(args, true);
        sendPlay(*c.session, *play, flags);
        out << "playing " << describePlay(*play, flags) << "\n";
    }
    return kExitOk;
}

int runVerify(const ParsedArgs& args, std::ostream& out, std::ostream& err) {
    expectPositionals(args, 1, 1, "verify FILE");
    const std::string& file = args.positionals[1];
    const auto store = readStore(file, err);
    const Connection c = connect(args);
    checkBoard(c);
    const InterruptGuard guard;
    std::optional<link::StoreDifference> difference;
    try {
        ProgressReport progress(err, c.session->portName());
        difference = link::verifyStore(
            *c.session, store->data(),
            [&](link::TransferPhase p, size_t done, size_t total) { progress(p, done, total); },
            &interrupted);
    } catch (const LinkError& e) {
        if (e.kind() != LinkError::Kind::Cancelled) throw;
        err << "dotreel-tool device verify: verify cancelled\n";
        return kExitInterrupted;
    }
    return reportVerify(difference, file, c.session->portName(), out);
}

int runPlay(const ParsedArgs& args, std::ostream& out) {
    expectPositionals(args, 0, 1, "play SETTINGS | --start A --end B --interval MS");
    const bool explicitRange = args.has("start") || args.has("end") || args.has("interval");
    PlayRequest play;
    if (args.positionals.size() > 1) {
        if (explicitRange) throw UsageError("give SETTINGS or --start/--end/--interval, not both");
        play = settingsPlay(args.positionals[1]);
    } else {
        if (!args.has("start") || !args.has("end") || !args.has("interval"))
            throw UsageError("give SETTINGS, or all of --start A --end B --interval MS");
        play.start = parseInteger(*args.value("start"), 0, kLastFrame, "--start");
        play.end = parseInteger(*args.value("end"), 0, kLastFrame, "--end");
        play.intervalMs =
            parseInteger(*args.value("interval"), kIntervals.low, kIntervals.high, "--interval");
    }
    const Connection c = connect(args);
    checkBoard(c);
    const uint8_t flags = playFlags(args, args.has("keep"));
    sendPlay(*c.session, play, flags);
    out << "playing " << describePlay(play, flags) << " on " << c.session->portName() << "\n";
    return kExitOk;
}

int runStop(const ParsedArgs& args, std::ostream& out) {
    expectPositionals(args, 0, 0, "stop");
    const Connection c = connect(args);
    c.session->stop();
    out << "stopped playing on " << c.session->portName() << "\n";
    return kExitOk;
}

int runList(const ParsedArgs& args, std::ostream& out) {
    expectPositionals(args, 0, 0, "list");
    const auto ports = link::SerialPort::list();
    if (ports.empty()) out << "no serial ports found\n";
    for (const auto& p : ports) {
        out << p.name;
        if (!p.description.empty()) out << "  " << p.description;
        out << "\n    " << p.transport;
        if (p.vid >= 0)
            out << "  VID:PID " << std::hex << std::setfill('0') << std::setw(4) << p.vid << ":"
                << std::setw(4) << p.pid << std::dec << std::setfill(' ');
        if (!p.manufacturer.empty()) out << "  " << p.manufacturer;
        if (!p.product.empty()) out << "  " << p.product;
        if (!p.serial.empty()) out << "  serial " << p.serial;
        out << "\n";
    }
    return kExitOk;
}

}  // namespace

std::string deviceHelp() { return kDeviceHelp + describeOptions(deviceOptions()); }

std::string deviceHelpFor(const std::string& command) {
    const auto it = commandHelps().find(command);
    if (it == commandHelps().end()) return deviceHelp();
    return it->second + "\n" + describeOptions(deviceOptions());
}

const std::vector<OptionDef>& deviceOptions() {
    static const std::vector<OptionDef> options = {
        {"help", "", 'h', "show this help"},
        {"port", "PORT", 'p', "the serial port (else DOTREEL_PORT): /dev/ttyUSB0, COM3, ..."},
        {"baud", "RATE", 0, "the line's rate, 115200 unless given (1000000 is exact at 16 MHz)"},
        {"frame", "N", 0, "show: the frame to show, 0..267"},
        {"no-verify", "", 0, "upload: do not read the store back"},
        {"once", "", 0, "upload, play: play once instead of repeating"},
        {"keep", "", 0, "play: keep playing these at every power-up"},
        {"start", "A", 0, "play: the first frame, 0..267"},
        {"end", "B", 0, "play: the last frame, 0..267 (below A: backwards)"},
        {"interval", "MS", 0, "play: milliseconds a frame, 1..1000"},
    };
    return options;
}

int runDevice(const ParsedArgs& args, std::ostream& out, std::ostream& err) {
    if (args.positionals.empty())
        throw UsageError("give a device command: info, show, upload, verify, play, stop, list");
    const std::string& command = args.positionals[0];
    if (commandHelps().count(command) == 0) {
        std::vector<std::string_view> names;
        for (const auto& entry : commandHelps()) names.emplace_back(entry.first);
        const std::string nearest = nearestName(command, names);
        throw UsageError("unknown device command '" + command + "'" +
                         (nearest.empty() ? "" : "; did you mean '" + nearest + "'?") +
                         " (info, show, upload, verify, play, stop, list)");
    }
    checkOptions(args, command);
    try {
        if (command == "info") return runInfo(args, out);
        if (command == "show") return runShow(args, out, err);
        if (command == "upload") return runUpload(args, out, err);
        if (command == "verify") return runVerify(args, out, err);
        if (command == "play") return runPlay(args, out);
        if (command == "stop") return runStop(args, out);
        return runList(args, out);
    } catch (const LinkError& e) {
        throw ToolError(e.what());
    }
}

}  // namespace dotreel::tool
