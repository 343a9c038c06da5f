#include "app/history.h"

#include <stdexcept>

namespace dotreel {
namespace {

// A record is: bytes skipped (varint), then (length << 1 | repeated) (varint), then either
// `length` literal differences or the one repeated difference.
constexpr size_t kMinRun = 4;  // shorter runs cost less inside a literal than as a record

void putVarint(std::vector<uint8_t>& out, size_t value) {
    while (value >= 0x80) {
        out.push_back(static_cast<uint8_t>(value | 0x80));
        value >>= 7;
    }
    out.push_back(static_cast<uint8_t>(value));
}

size_t getVarint(const std::vector<uint8_t>& in, size_t& at) {
    size_t value = 0;
    for (int shift = 0;; shift += 7) {
        if (at >= in.size()) throw std::logic_error("truncated history step");
        const uint8_t byte = in[at++];
        value |= static_cast<size_t>(byte & 0x7F) << shift;
        if ((byte & 0x80) == 0) return value;
    }
}

// How many bytes from `at` hold the same difference, counting no further than `limit`.
size_t runLength(const std::vector<uint8_t>& diff, size_t at, size_t limit) {
    size_t n = 1;
    while (n < limit && at + n < diff.size() && diff[at + n] == diff[at]) ++n;
    return n;
}

}  // namespace

ByteDelta makeDelta(std::span<const uint8_t> before, std::span<const uint8_t> after) {
    if (before.size() != after.size()) throw std::logic_error("history views differ in size");
    std::vector<uint8_t> diff(before.size());
    for (size_t i = 0; i < diff.size(); ++i) diff[i] = static_cast<uint8_t>(before[i] ^ after[i]);

    ByteDelta delta;
    std::vector<uint8_t>& out = delta.packed;
    size_t at = 0;
    size_t recordEnd = 0;  // where the previous record ended
    while (at < diff.size()) {
        if (diff[at] == 0) {
            ++at;
            continue;
        }
        putVarint(out, at - recordEnd);
        const size_t run = runLength(diff, at, diff.size());
        if (run >= kMinRun) {
            putVarint(out, (run << 1) | 1);
            out.push_back(diff[at]);
            at += run;
        } else {
            // A literal lasts until a stretch worth its own record: unchanged or repeated bytes.
            size_t end = at;
            while (end < diff.size() && runLength(diff, end, kMinRun) < kMinRun) ++end;
            putVarint(out, (end - at) << 1);
            out.insert(out.end(), diff.begin() + static_cast<std::ptrdiff_t>(at),
                       diff.begin() + static_cast<std::ptrdiff_t>(end));
            at = end;
        }
        recordEnd = at;
    }
    return delta;
}

void applyDelta(const ByteDelta& delta, std::span<uint8_t> bytes) {
    const std::vector<uint8_t>& in = delta.packed;
    size_t read = 0;
    size_t at = 0;
    while (read < in.size()) {
        at += getVarint(in, read);
        const size_t header = getVarint(in, read);
        const size_t length = header >> 1;
        if (at + length > bytes.size() || read >= in.size())
            throw std::logic_error("history step outside the memory");
        if ((header & 1) != 0) {
            const uint8_t value = in[read++];
            for (size_t i = 0; i < length; ++i) bytes[at + i] ^= value;
        } else {
            if (read + length > in.size()) throw std::logic_error("truncated history step");
            for (size_t i = 0; i < length; ++i) bytes[at + i] ^= in[read + i];
            read += length;
        }
        at += length;
    }
}

}  // namespace dotreel
