// A scripted player on a pseudo-terminal, for tests and benchmarks of the host side of the serial
// link: slavePath() is what a program is given as its port. One thread takes bytes off the master
// end as they come (the line is full duplex), another feeds them at the paced rate to the
// firmware's own decoder and answers through the firmware's own dispatch, with a 131072-byte
// store in memory and a record of the frames shown and the play and stop requests. Knobs make
// it misbehave the ways a real line and board do: bytes dropped or garbled, answers late or never,
// a device that stops reading, one that speaks another protocol version, a reset mid-stream.
// Plain C++ (no Qt), header-only.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>
#include <cstdlib>

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstring>
#include <deque>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

extern "C" {
#include "dotreel_link.h"
}

namespace support {

class LinkDevice {
public:
    using Frame = std::array<uint8_t, DOTREEL_LINK_FRAME_BYTES>;
    struct Play {
        uint16_t start, end, intervalMs;
        uint8_t flags;
    };

    // Every knob may be turned while the device runs.
    struct Knobs {
        std::atomic<unsigned> dropEveryNth{0};          // of the bytes received: 0 none
        std::atomic<unsigned> garbleEveryNth{0};        // of the bytes received: inverted
        std::atomic<unsigned> garbleAnswerEveryNth{0};  // of the bytes sent
        std::atomic<unsigned> answerDelayMs{0};         // before each answer
        std::atomic<unsigned> writeCycleUs{0};          // an EEPROM page write's time
        std::atomic<int> eepromStatus{0};  // what writes and reads return: a dotreel_i2c_status
        std::atomic<unsigned> bytesPerSecond{0};  // pacing of both directions; 0: as fast as a pty
        std::atomic<bool> stopReading{false};     // the master is not read at all
        std::atomic<bool> neverAnswer{false};     // requests are read and carried out, unanswered
        std::atomic<unsigned> version{DOTREEL_LINK_VERSION};  // what hello answers
        // The Nth request from now is lost to a reset: the device forgets it and all partial
        // input and ignores the line for 50 ms, as a board does while it starts; then back to 0.
        std::atomic<unsigned> resetAfter{0};
        // The Nth request from now is carried out but its answer is lost on the way; then 0.
        std::atomic<unsigned> loseAnswerAfter{0};
        // The Nth request from now has its answer held back until the next one has gone out
        // (answers out of order); then 0.
        std::atomic<unsigned> holdAnswerAfter{0};
    };

    LinkDevice() {
        master_ = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (master_ < 0 || grantpt(master_) != 0 || unlockpt(master_) != 0)
            throw std::runtime_error("no pseudo-terminal");
        char name[128] = {};
        if (ptsname_r(master_, name, sizeof name) != 0) throw std::runtime_error("no ptsname");
        slavePath_ = name;
        // Held open all along, so that the master never sees a hang-up between the programs
        // that open the port one after another.
        slave_ = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
        termios mode{};
        if (slave_ < 0 || tcgetattr(slave_, &mode) != 0) throw std::runtime_error("no pty slave");
        cfmakeraw(&mode);
        tcsetattr(slave_, TCSANOW, &mode);
        fcntl(master_, F_SETFL, fcntl(master_, F_GETFL) | O_NONBLOCK);
        store_.assign(DOTREEL_LINK_STORE_BYTES, 0xFF);
        dotreel_link_decoder_init(&decoder_);
        thread_ = std::thread([this] { run(); });
    }
    ~LinkDevice() {
        quit_ = true;
        thread_.join();
        ::close(slave_);
        ::close(master_);
    }
    LinkDevice(const LinkDevice&) = delete;
    LinkDevice& operator=(const LinkDevice&) = delete;

    const std::string& slavePath() const { return slavePath_; }
    Knobs knobs;

    std::vector<uint8_t> store() const {
        const std::lock_guard lock(mutex_);
        return store_;
    }
    void setStore(const std::vector<uint8_t>& bytes) {
        const std::lock_guard lock(mutex_);
        store_ = bytes;
        store_.resize(DOTREEL_LINK_STORE_BYTES, 0xFF);
    }
    std::vector<Frame> shown() const {
        const std::lock_guard lock(mutex_);
        return shown_;
    }
    std::vector<Play> plays() const {
        const std::lock_guard lock(mutex_);
        return plays_;
    }
    unsigned stops() const { return stops_; }
    unsigned requests() const { return requests_; }  // requests received whole
    unsigned answers() const { return answers_; }
    unsigned resets() const { return resets_; }

    // Waits (at most `timeoutMs`) until `done` holds; for what a program's thread sends.
    template <typename Condition>
    bool waitUntil(Condition done, int timeoutMs = 5000) const {
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        while (!done()) {
            if (std::chrono::steady_clock::now() > end) return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        return true;
    }

private:
    static void pace(unsigned bytesPerSecond, size_t bytes) {
        if (bytesPerSecond == 0) return;
        std::this_thread::sleep_for(std::chrono::microseconds(bytes * 1000000u / bytesPerSecond));
    }

    using Clock = std::chrono::steady_clock;

    // The line into the device, full duplex as a UART is: bytes are taken off the master as
    // soon as they come, each given the time it would have finished arriving at the paced rate,
    // so that a request keeps arriving while the device is busy with the one before.
    void receive() {
        std::array<uint8_t, 512> in{};
        Clock::time_point lineFree{};
        while (!quit_) {
            if (knobs.stopReading) {
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
                continue;
            }
            pollfd entry{master_, POLLIN, 0};
            if (poll(&entry, 1, 10) <= 0) continue;
            const ssize_t got = ::read(master_, in.data(), in.size());
            if (got <= 0) continue;
            const auto now = Clock::now();
            const unsigned bytesPerSecond = knobs.bytesPerSecond;
            const std::lock_guard lock(inMutex_);
            for (ssize_t i = 0; i < got; ++i) {
                lineFree = bytesPerSecond == 0
                               ? now
                               : std::max(lineFree, now) +
                                     std::chrono::nanoseconds(1000000000ull / bytesPerSecond);
                incoming_.push_back({in[static_cast<size_t>(i)], lineFree});
            }
            inReady_.notify_one();
        }
    }

    void run() {
        std::thread receiver([this] { receive(); });
        auto lastByte = Clock::now();
        Clock::time_point deafUntil{};
        std::vector<Incoming> batch;
        while (!quit_) {
            batch.clear();
            {
                std::unique_lock lock(inMutex_);
                if (!inReady_.wait_for(lock, std::chrono::milliseconds(10),
                                       [&] { return !incoming_.empty(); })) {
                    if (Clock::now() - lastByte >=
                        std::chrono::milliseconds(DOTREEL_LINK_BYTE_GAP_MS))
                        dotreel_link_decoder_gap(&decoder_);
                    continue;
                }
                const auto first = incoming_.front().at;
                if (first > Clock::now()) {
                    lock.unlock();
                    std::this_thread::sleep_until(first);
                    lock.lock();
                }
                // every byte in by now
                const auto now = Clock::now();
                while (!incoming_.empty() && incoming_.front().at <= now) {
                    batch.push_back(incoming_.front());
                    incoming_.pop_front();
                }
            }
            for (const Incoming& in : batch) {
                lastByte = in.at;
                if (in.at < deafUntil) continue;
                uint8_t byte = in.byte;
                ++received_;
                const unsigned drop = knobs.dropEveryNth, garble = knobs.garbleEveryNth;
                if (drop != 0 && received_ % drop == 0) continue;
                if (garble != 0 && received_ % garble == 0) byte = static_cast<uint8_t>(~byte);
                dotreel_link_packet packet{};
                int found = dotreel_link_decoder_feed(&decoder_, byte, &packet);
                while (found != 0) {
                    if (!handle(packet)) {
                        deafUntil = Clock::now() + std::chrono::milliseconds(50);
                        break;
                    }
                    found = dotreel_link_decoder_next(&decoder_, &packet);
                }
            }
        }
        receiver.join();
    }

    // false when the device "reset" instead of answering.
    bool handle(const dotreel_link_packet& packet) {
        if ((packet.type & DOTREEL_LINK_ANSWER) != 0) return true;
        ++requests_;
        if (due(knobs.resetAfter, countdown_)) {
            ++resets_;
            dotreel_link_decoder_init(&decoder_);
            return false;
        }
        const bool lose = due(knobs.loseAnswerAfter, loseCountdown_);
        const bool hold = due(knobs.holdAnswerAfter, holdCountdown_);
        std::array<uint8_t, DOTREEL_LINK_MAX_ANSWER> out{};
        size_t length = 0;
        if (packet.type == DOTREEL_LINK_HELLO && knobs.version != DOTREEL_LINK_VERSION) {
            dotreel_link_hello_info info{};
            info.version = static_cast<uint8_t>(knobs.version.load());
            length = dotreel_link_encode_hello_answer(out.data(), packet.number, &info);
        } else {
            const dotreel_link_device device{this, show, write, read, play, stop, eeproms, 1, 2, 3};
            length = dotreel_link_dispatch(&device, &packet, out.data());
        }
        if (length == 0 || knobs.neverAnswer || lose) return true;
        if (hold) {
            held_.assign(out.begin(), out.begin() + static_cast<std::ptrdiff_t>(length));
            return true;
        }
        if (const unsigned delay = knobs.answerDelayMs; delay != 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(delay));
        send(out.data(), length);
        if (!held_.empty()) {
            send(held_.data(), held_.size());
            held_.clear();
        }
        return true;
    }

    // The answer's bytes to the master, garbled and paced as the knobs say.
    void send(uint8_t* out, size_t length) {
        for (size_t i = 0; i < length; ++i) {
            ++sent_;
            const unsigned garble = knobs.garbleAnswerEveryNth;
            if (garble != 0 && sent_ % garble == 0) out[i] = static_cast<uint8_t>(~out[i]);
        }
        pace(knobs.bytesPerSecond, length);
        size_t done = 0;
        while (done < length && !quit_) {
            const ssize_t put = ::write(master_, out + done, length - done);
            if (put > 0) {
                done += static_cast<size_t>(put);
            } else {
                pollfd entry{master_, POLLOUT, 0};
                poll(&entry, 1, 10);
            }
        }
        ++answers_;
    }

    // True for the request a "the Nth request from now" knob names, which is then set back to 0.
    static bool due(std::atomic<unsigned>& knob, int& countdown) {
        const unsigned n = knob;
        if (n == 0) {
            countdown = -1;
            return false;
        }
        if (countdown < 0) countdown = static_cast<int>(n);
        if (--countdown != 0) return false;
        knob = 0;
        countdown = -1;
        return true;
    }

    static LinkDevice& self(void* context) { return *static_cast<LinkDevice*>(context); }
    static int show(void* context, const uint8_t* frame) {
        LinkDevice& d = self(context);
        Frame copy{};
        std::copy(frame, frame + copy.size(), copy.begin());
        const std::lock_guard lock(d.mutex_);
        d.shown_.push_back(copy);
        return 0;
    }
    static int write(void* context, uint32_t address, const uint8_t* data, uint8_t length) {
        LinkDevice& d = self(context);
        if (const unsigned us = d.knobs.writeCycleUs; us != 0)
            std::this_thread::sleep_for(std::chrono::microseconds(us));
        if (const int status = d.knobs.eepromStatus; status != 0) return status;
        const std::lock_guard lock(d.mutex_);
        std::copy(data, data + length, d.store_.begin() + address);
        return 0;
    }
    static int read(void* context, uint32_t address, uint8_t* data, uint8_t length) {
        LinkDevice& d = self(context);
        if (const int status = d.knobs.eepromStatus; status != 0) return status;
        const std::lock_guard lock(d.mutex_);
        std::copy(d.store_.begin() + address, d.store_.begin() + address + length, data);
        return 0;
    }
    static void play(void* context, uint16_t start, uint16_t end, uint16_t interval,
                     uint8_t flags) {
        LinkDevice& d = self(context);
        const std::lock_guard lock(d.mutex_);
        d.plays_.push_back({start, end, interval, flags});
    }
    static void stop(void* context) { ++self(context).stops_; }
    static uint8_t eeproms(void*) { return 3; }

    int master_ = -1, slave_ = -1;
    std::string slavePath_;
    dotreel_link_decoder decoder_{};
    std::thread thread_;
    std::atomic<bool> quit_{false};
    uint64_t received_ = 0, sent_ = 0;
    int countdown_ = -1, loseCountdown_ = -1, holdCountdown_ = -1;
    struct Incoming {
        uint8_t byte;
        Clock::time_point at;  // when its last bit is in
    };
    std::mutex inMutex_;
    std::condition_variable inReady_;
    std::deque<Incoming> incoming_;
    std::vector<uint8_t> held_;  // an answer held back by holdAnswerAfter

    mutable std::mutex mutex_;
    std::vector<uint8_t> store_;
    std::vector<Frame> shown_;
    std::vector<Play> plays_;
    std::atomic<unsigned> stops_{0}, requests_{0}, answers_{0}, resets_{0};
};

}  // namespace support
