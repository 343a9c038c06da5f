#include "link/session.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <cstring>
#include <random>
#include <stdexcept>

namespace dotreel::link {
namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

constexpr int kAnswerTimeoutMs = DOTREEL_LINK_ANSWER_TIMEOUT_MS;
// How often a wait looks at the cancel flag and at the gap between bytes.
constexpr int kSliceMs = 20;

// The store address a write or read answer starts with (little-endian).
uint32_t echoedAddress(const uint8_t* payload) {
    return payload[0] | payload[1] << 8 | payload[2] << 16 |
           static_cast<uint32_t>(payload[3]) << 24;
}

LinkError cancelledError() { return {LinkError::Kind::Cancelled, "cancelled"}; }

// Where a program starts its request numbers: a random one, so that the answers still in the
// line from a program that stopped mid-request are never taken for this one's.
uint8_t firstNumber() {
    std::random_device random;
    return static_cast<uint8_t>(random() & 0xFFu);
}

std::string requestName(uint8_t request) {
    switch (request) {
        case DOTREEL_LINK_HELLO:
            return "hello";
        case DOTREEL_LINK_SHOW:
            return "show";
        case DOTREEL_LINK_WRITE:
            return "write";
        case DOTREEL_LINK_READ:
            return "read";
        case DOTREEL_LINK_PLAY:
            return "play";
        case DOTREEL_LINK_STOP:
            return "stop";
        default:
            return "request " + std::to_string(request);
    }
}

std::string busStatus(uint8_t detail) {
    switch (detail) {
        case 2:
            return "no acknowledge";
        case 3:
            return "SDA held low";
        case 4:
            return "bus time-out";
        case 5:
            return "write cycle not over in 10 ms";
        default:
            return "bus status " + std::to_string(detail);
    }
}

}  // namespace

std::string describeDeviceError(uint8_t request, uint8_t code, uint8_t detail) {
    std::string what;
    switch (code) {
        case DOTREEL_LINK_E_UNKNOWN:
            what = "no such request type";
            break;
        case DOTREEL_LINK_E_LENGTH:
            what = "payload length wrong for the request";
            break;
        case DOTREEL_LINK_E_ADDRESS:
            what =
                "block not page-aligned, empty, over 128 bytes, across the chips or past the "
                "store";
            break;
        case DOTREEL_LINK_E_ARGUMENT:
            what = "frame or interval out of range";
            break;
        case DOTREEL_LINK_E_EEPROM:
            what = "the EEPROM failed (" + busStatus(detail) + ")";
            break;
        case DOTREEL_LINK_E_PANEL:
            what = "the panel did not take the frame (code " + std::to_string(detail) + ")";
            break;
        default:
            what = "error " + std::to_string(code) + " (detail " + std::to_string(detail) + ")";
            break;
    }
    return "the device refused " + requestName(request) + ": " + what;
}

Session::Session(SerialPort port, const std::atomic<bool>* cancel)
    : port_(std::move(port)), cancel_(cancel), next_(firstNumber()) {
    dotreel_link_decoder_init(&decoder_);
}

template <typename Encode>
Session::Answer Session::exchange(uint8_t request, Encode encode) {
    std::array<uint8_t, DOTREEL_LINK_MAX_PACKET> out{};
    std::array<uint8_t, 512> in{};
    const auto expected = static_cast<uint8_t>(request | DOTREEL_LINK_ANSWER);
    unsigned triesWithBrokenAnswers = 0;
    for (unsigned attempt = 0; attempt < DOTREEL_LINK_TRIES; ++attempt) {
        if (cancelled()) throw cancelledError();
        if (attempt > 0) ++counters_.retries;
        const uint8_t number = next_++;
        const size_t length = encode(out.data(), number);
        if (length == 0) throw std::invalid_argument("request arguments out of range");
        if (!port_.writeAll(out.data(), length, kAnswerTimeoutMs, cancel_)) throw cancelledError();

        const uint16_t crcBefore = decoder_.crc_errors;
        const uint16_t droppedBefore = decoder_.dropped;
        const auto deadline = Clock::now() + milliseconds(kAnswerTimeoutMs);
        auto lastByte = Clock::now();
        for (;;) {
            const auto now = Clock::now();
            if (now >= deadline) break;
            if (cancelled()) throw cancelledError();
            const auto left = std::chrono::duration_cast<milliseconds>(deadline - now).count();
            const size_t got =
                port_.read(in.data(), in.size(), static_cast<int>(std::min<long>(left, kSliceMs)));
            if (got == 0) {
                // The decoder gives up a packet whose bytes stopped coming.
                if (Clock::now() - lastByte >= milliseconds(DOTREEL_LINK_BYTE_GAP_MS))
                    dotreel_link_decoder_gap(&decoder_);
                continue;
            }
            lastByte = Clock::now();
            for (size_t i = 0; i < got; ++i) {
                dotreel_link_packet packet{};
                int found = dotreel_link_decoder_feed(&decoder_, in[i], &packet);
                while (found != 0) {
                    if (packet.number == number &&
                        (packet.type == expected || packet.type == DOTREEL_LINK_ERROR)) {
                        counters_.crcErrors +=
                            static_cast<uint16_t>(decoder_.crc_errors - crcBefore);
                        if (packet.type == DOTREEL_LINK_ERROR) throwDeviceError(packet);
                        ++counters_.requests;
                        return {packet.type, std::vector<uint8_t>(packet.payload,
                                                                  packet.payload + packet.length)};
                    }
                    found = dotreel_link_decoder_next(&decoder_, &packet);
                }
            }
        }
        // Broken packets, or bytes that made no packet at all: something answered, garbled.
        const auto broken = static_cast<uint16_t>(decoder_.crc_errors - crcBefore);
        counters_.crcErrors += broken;
        if (broken > 0 || decoder_.dropped != droppedBefore) ++triesWithBrokenAnswers;
    }
    throwUnanswered(triesWithBrokenAnswers == DOTREEL_LINK_TRIES);
}

void Session::throwDeviceError(const dotreel_link_packet& packet) const {
    uint8_t refused = 0, code = 0, detail = 0;
    if (dotreel_link_parse_error(&packet, &refused, &code, &detail) == 0)
        throw LinkError(LinkError::Kind::Device,
                        "the device on " + port_.name() + " sent a malformed error answer");
    throw LinkError(LinkError::Kind::Device, describeDeviceError(refused, code, detail));
}

void Session::throwUnanswered(bool brokenEveryTry) const {
    if (brokenEveryTry)
        throw LinkError(LinkError::Kind::Crc,
                        "the answers from " + port_.name() +
                            " keep arriving broken (CRC errors in " +
                            std::to_string(DOTREEL_LINK_TRIES) +
                            " tries): check the cable and that both ends use the same baud rate");
    throw LinkError(
        LinkError::Kind::NoAnswer,
        "no answer from " + port_.name() + ": is the player flashed and the baud rate right?");
}

HelloInfo Session::hello() {
    const Answer answer = exchange(DOTREEL_LINK_HELLO, [](uint8_t* out, uint8_t number) {
        return dotreel_link_encode_hello(out, number);
    });
    dotreel_link_packet packet{answer.type, 0, static_cast<uint16_t>(answer.payload.size()),
                               answer.payload.data()};
    dotreel_link_hello_info info{};
    if (dotreel_link_parse_hello_answer(&packet, &info) == 0)
        throw LinkError(
            LinkError::Kind::Version,
            "the device on " + port_.name() + " sent a hello answer this program cannot read");
    if (info.version != DOTREEL_LINK_VERSION)
        throw LinkError(LinkError::Kind::Version,
                        "the device on " + port_.name() + " speaks link protocol version " +
                            std::to_string(info.version) + ", this program version " +
                            std::to_string(DOTREEL_LINK_VERSION) +
                            ": flash the player that comes with this program");
    HelloInfo hello;
    hello.version = info.version;
    hello.width = info.width;
    hello.height = info.height;
    hello.storeBytes = info.store_bytes;
    hello.eeproms = info.eeproms;
    hello.firmwareMajor = info.firmware_major;
    hello.firmwareMinor = info.firmware_minor;
    hello.firmwarePatch = info.firmware_patch;
    return hello;
}

void Session::show(const uint8_t* frame) {
    exchange(DOTREEL_LINK_SHOW, [frame](uint8_t* out, uint8_t number) {
        return dotreel_link_encode_show(out, number, frame);
    });
}

void Session::write(uint32_t address, const uint8_t* data, uint8_t length) {
    const Answer answer = exchange(DOTREEL_LINK_WRITE, [=](uint8_t* out, uint8_t number) {
        return dotreel_link_encode_write(out, number, address, data, length);
    });
    // The echoed address proves the answer is for this block.
    if (answer.payload.size() != 4 || echoedAddress(answer.payload.data()) != address)
        throw LinkError(LinkError::Kind::Device,
                        "the device on " + port_.name() + " acknowledged another block");
}

void Session::read(uint32_t address, uint8_t* data, uint8_t length) {
    const Answer answer = exchange(DOTREEL_LINK_READ, [=](uint8_t* out, uint8_t number) {
        return dotreel_link_encode_read(out, number, address, length);
    });
    if (answer.payload.size() != 4u + length || echoedAddress(answer.payload.data()) != address)
        throw LinkError(LinkError::Kind::Device,
                        "the device on " + port_.name() + " answered a read with another block");
    std::memcpy(data, answer.payload.data() + 4, length);
}

void Session::play(uint16_t start, uint16_t end, uint16_t intervalMs, uint8_t flags) {
    exchange(DOTREEL_LINK_PLAY, [=](uint8_t* out, uint8_t number) {
        return dotreel_link_encode_play(out, number, start, end, intervalMs, flags);
    });
}

void Session::stop() {
    exchange(DOTREEL_LINK_STOP,
             [](uint8_t* out, uint8_t number) { return dotreel_link_encode_stop(out, number); });
}

void Session::writeBlocks(uint32_t address, const uint8_t* data, size_t count,
                          const BlockDone& done, const std::atomic<bool>* stop, unsigned window) {
    blocks(true, address, data, nullptr, count, done, stop, window);
}

void Session::readBlocks(uint32_t address, uint8_t* data, size_t count, const BlockDone& done,
                         const std::atomic<bool>* stop, unsigned window) {
    blocks(false, address, nullptr, data, count, done, stop, window);
}

void Session::blocks(bool writing, uint32_t address, const uint8_t* from, uint8_t* into,
                     size_t count, const BlockDone& done, const std::atomic<bool>* stop,
                     unsigned window) {
    constexpr size_t kBlock = DOTREEL_LINK_BLOCK_BYTES;
    if (window < 1 || window > kBlockWindow)
        throw std::invalid_argument("block window out of range");
    if (address % kBlock != 0 || address + count * kBlock > DOTREEL_LINK_STORE_BYTES)
        throw std::invalid_argument("blocks outside the store");
    const auto request = static_cast<uint8_t>(writing ? DOTREEL_LINK_WRITE : DOTREEL_LINK_READ);
    const auto expected = static_cast<uint8_t>(request | DOTREEL_LINK_ANSWER);
    const size_t answerBytes = writing ? 4u : 4u + kBlock;

    // One request in flight: which block, its number now, and what its tries saw.
    struct InFlight {
        size_t block = 0;
        uint8_t number = 0;
        unsigned tries = 0;
        unsigned brokenTries = 0;  // tries whose wait saw broken packets or stray bytes
        Clock::time_point deadline{};
        uint16_t crcMark = 0, droppedMark = 0;
    };
    std::vector<InFlight> flight;
    flight.reserve(window);
    std::array<uint8_t, DOTREEL_LINK_MAX_PACKET> out{};
    std::array<uint8_t, 512> in{};

    // Broken packets are counted whichever way this ends.
    class CrcCount {
    public:
        CrcCount(Counters& counters, const dotreel_link_decoder& decoder)
            : counters_(counters), decoder_(decoder), mark_(decoder.crc_errors) {}
        ~CrcCount() { counters_.crcErrors += static_cast<uint16_t>(decoder_.crc_errors - mark_); }
        CrcCount(const CrcCount&) = delete;
        CrcCount& operator=(const CrcCount&) = delete;

    private:
        Counters& counters_;
        const dotreel_link_decoder& decoder_;
        uint16_t mark_;
    };
    const CrcCount crcCount(counters_, decoder_);

    // false when cancelled before the whole request was written.
    const auto send = [&](InFlight& f) {
        const auto at = static_cast<uint32_t>(address + f.block * kBlock);
        // While one block waits out its time-out the others go on, and the numbers come round
        // again after 256: never one still in flight.
        const auto taken = [&](uint8_t n) {
            return std::any_of(flight.begin(), flight.end(),
                               [&](const InFlight& g) { return &g != &f && g.number == n; });
        };
        do f.number = next_++;
        while (taken(f.number));
        const size_t length =
            writing
                ? dotreel_link_encode_write(out.data(), f.number, at, from + f.block * kBlock,
                                            static_cast<uint8_t>(kBlock))
                : dotreel_link_encode_read(out.data(), f.number, at, static_cast<uint8_t>(kBlock));
        if (length == 0) throw std::invalid_argument("request arguments out of range");
        if (f.tries > 0) ++counters_.retries;
        if (!port_.writeAll(out.data(), length, kAnswerTimeoutMs, cancel_)) return false;
        ++f.tries;
        f.deadline = Clock::now() + milliseconds(kAnswerTimeoutMs);
        f.crcMark = decoder_.crc_errors;
        f.droppedMark = decoder_.dropped;
        return true;
    };

    size_t nextBlock = 0, finished = 0;
    bool stopping = false;
    auto lastByte = Clock::now();
    for (;;) {
        if (!stopping && (cancelled() || (stop != nullptr && stop->load()))) stopping = true;
        while (!stopping && flight.size() < window && nextBlock < count) {
            InFlight f;
            f.block = nextBlock;
            if (!send(f)) {
                stopping = true;
                break;
            }
            flight.push_back(f);
            ++nextBlock;
        }
        if (flight.empty()) {
            if (finished == count) return;
            throw cancelledError();
        }

        // Requests whose answer time is over: sent again, or given up.
        auto now = Clock::now();
        for (size_t i = 0; i < flight.size();) {
            InFlight& f = flight[i];
            if (now < f.deadline) {
                ++i;
                continue;
            }
            if (decoder_.crc_errors != f.crcMark || decoder_.dropped != f.droppedMark)
                ++f.brokenTries;
            if (stopping) {
                flight.erase(flight.begin() + static_cast<std::ptrdiff_t>(i));
                continue;
            }
            if (f.tries >= DOTREEL_LINK_TRIES) throwUnanswered(f.brokenTries == f.tries);
            if (!send(f)) {
                stopping = true;
                flight.erase(flight.begin() + static_cast<std::ptrdiff_t>(i));
                continue;
            }
            now = Clock::now();
            ++i;
        }
        if (flight.empty()) continue;

        auto soonest = flight.front().deadline;
        for (const InFlight& f : flight) soonest = std::min(soonest, f.deadline);
        const auto left = std::chrono::duration_cast<milliseconds>(soonest - now).count();
        const size_t got =
            port_.read(in.data(), in.size(), static_cast<int>(std::clamp<long>(left, 1, kSliceMs)));
        if (got == 0) {
            // The decoder gives up a packet whose bytes stopped coming.
            if (Clock::now() - lastByte >= milliseconds(DOTREEL_LINK_BYTE_GAP_MS))
                dotreel_link_decoder_gap(&decoder_);
            continue;
        }
        lastByte = Clock::now();
        for (size_t i = 0; i < got; ++i) {
            dotreel_link_packet packet{};
            int found = dotreel_link_decoder_feed(&decoder_, in[i], &packet);
            while (found != 0) {
                const auto match = std::find_if(flight.begin(), flight.end(), [&](const auto& f) {
                    return f.number == packet.number;
                });
                if (match != flight.end() &&
                    (packet.type == expected || packet.type == DOTREEL_LINK_ERROR)) {
                    if (packet.type == DOTREEL_LINK_ERROR) throwDeviceError(packet);
                    const size_t block = match->block;
                    // The echoed address proves the answer is for this block.
                    if (packet.length != answerBytes ||
                        echoedAddress(packet.payload) != address + block * kBlock)
                        throw LinkError(LinkError::Kind::Device,
                                        "the device on " + port_.name() +
                                            (writing ? " acknowledged another block"
                                                     : " answered a read with another block"));
                    if (!writing) std::memcpy(into + block * kBlock, packet.payload + 4, kBlock);
                    flight.erase(match);
                    ++counters_.requests;
                    ++finished;
                    if (done) done(block);
                }
                found = dotreel_link_decoder_next(&decoder_, &packet);
            }
        }
    }
}

}  // namespace dotreel::link
