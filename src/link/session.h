// Requests to the player over an open port, one at a time: each is encoded by the firmware's own
// codec with a request number of its own, and only the answer carrying that number counts
// (garbage, broken packets and late answers to earlier requests are passed over). A request with
// no good answer within the answer time-out is sent again whole, with a new number, up to the
// codec's number of tries; every request may be carried out twice without harm, so a lost answer
// or a device that reset mid-packet costs only the retry.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "link/serialport.h"

extern "C" {
#include "dotreel_link.h"
}

namespace dotreel::link {

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
