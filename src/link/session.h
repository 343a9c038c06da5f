// Requests to the player over an open port, one at a time: each is encoded by the firmware's own
// codec with a request number of its own, and only the answer carrying that number counts
// (garbage, broken packets and late answers to earlier requests are passed over). A request with
// no good answer within the answer time-out is sent again whole, with a new number, up to the
// codec's number of tries; every request may be carried out twice without harm, so a lost answer
// or a device that reset mid-packet costs only the retry.
//
// Store blocks go in a window: the next request is sent while the device is still busy with the
// one before (writing a page takes it up to 8 ms, the next write request 12 ms on the wire at
// 115200 baud), so the line carries requests without a pause. The serial line is full duplex and
// the player's receive ring holds a whole request, so the second one waits there.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "link/serialport.h"

extern "C" {
#include "dotreel_link.h"
}

namespace dotreel::link {

// Block requests in flight at once during a block transfer. One more would not speed a write
// up (the wire is busy with requests already) and would make the device's ring hold two.
inline constexpr unsigned kBlockWindow = DOTREEL_LINK_BLOCKS_IN_FLIGHT;

// Called as each block is answered, with the block's index; blocks may finish out of order.
using BlockDone = std::function<void(size_t block)>;

struct HelloInfo {
    unsigned version = 0;
    unsigned width = 0, height = 0;
    uint32_t storeBytes = 0;
    uint8_t eeproms = 0;  // bit 0: chip 0x50 answers, bit 1: chip 0x51
    unsigned firmwareMajor = 0, firmwareMinor = 0, firmwarePatch = 0;
};

class Session {
public:
    struct Counters {
        uint64_t requests = 0;   // requests answered
        uint64_t retries = 0;    // requests sent again
        uint64_t crcErrors = 0;  // broken packets received
    };

    // `cancel`, when given, is looked at between requests and while an answer is awaited; once
    // set, requests throw LinkError(Cancelled).
    explicit Session(SerialPort port, const std::atomic<bool>* cancel = nullptr);

    // Checks the device speaks this protocol version (LinkError(Version) when not).
    HelloInfo hello();
    void show(const uint8_t* frame);  // DOTREEL_LINK_FRAME_BYTES bytes
    // One page-aligned block of 1..128 bytes, answered after the EEPROM's write cycle.
    void write(uint32_t address, const uint8_t* data, uint8_t length);
    void read(uint32_t address, uint8_t* data, uint8_t length);
    // flags: DOTREEL_LINK_PLAY_REPEAT, DOTREEL_LINK_PLAY_KEEP.
    void play(uint16_t start, uint16_t end, uint16_t intervalMs, uint8_t flags);
    void stop();

    // `count` whole blocks (DOTREEL_LINK_BLOCK_BYTES each) from the page-aligned `address` on,
    // written from `data` or read into it, with up to `window` (1..kBlockWindow) requests in
    // flight. Each request has its own number and its own answer time-out from its last byte
    // sent, and is sent again whole with a new number, up to DOTREEL_LINK_TRIES tries, the
    // errors as for write() and read(). Once `stop` (or the session's cancel flag) is set, no
    // request is sent any more; those in flight are awaited until answered or timed out, so the
    // device is left answering, and then LinkError(Cancelled) is thrown unless all were done.
    void writeBlocks(uint32_t address, const uint8_t* data, size_t count, const BlockDone& done,
                     const std::atomic<bool>* stop = nullptr, unsigned window = kBlockWindow);
    void readBlocks(uint32_t address, uint8_t* data, size_t count, const BlockDone& done,
                    const std::atomic<bool>* stop = nullptr, unsigned window = kBlockWindow);

    const std::string& portName() const { return port_.name(); }
    const Counters& counters() const { return counters_; }
    void setCancel(const std::atomic<bool>* cancel) { cancel_ = cancel; }

private:
    struct Answer {
        uint8_t type = 0;
        std::vector<uint8_t> payload;
    };
    template <typename Encode>
    Answer exchange(uint8_t request, Encode encode);
    void blocks(bool writing, uint32_t address, const uint8_t* from, uint8_t* into, size_t count,
                const BlockDone& done, const std::atomic<bool>* stop, unsigned window);
    [[noreturn]] void throwDeviceError(const dotreel_link_packet& packet) const;
    [[noreturn]] void throwUnanswered(bool brokenEveryTry) const;
    bool cancelled() const { return cancel_ != nullptr && cancel_->load(); }

    SerialPort port_;
    const std::atomic<bool>* cancel_;
    uint8_t next_;
    dotreel_link_decoder decoder_{};
    Counters counters_;
};

// A device error answer as a sentence: what the code means, with its detail.
std::string describeDeviceError(uint8_t request, uint8_t code, uint8_t detail);

}  // namespace dotreel::link
