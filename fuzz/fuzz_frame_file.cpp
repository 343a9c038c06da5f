// Any bytes as a frame file, read in memory by the one frame-file reader and by the checker's
// pass over it, decoded by the hex codec. Nothing may crash or read out of bounds, and both must
// agree with the line rule and the codec stated again here. Built twice: as it stands the input is
// the file; with FUZZ_WHOLE_FILES the input is a piece repeated up to a whole file's lines, so that
// complete files (exactly whole, one copy short, lines beyond the last ignored, the retry after a
// short read) are decoded without inputs of hundreds of kilobytes. There a whole file is a few
// lines long, chosen by the input: the reader's boundaries follow its line count, and 131072
// lines per run would cost tens of milliseconds under the sanitizers. No file is written: the
// readers of the disk hand the reader one buffer, and fuzzing the buffer keeps thousands of runs
// a second.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "core/frame.h"
#include "files/framefile.h"
#include "files/hexcodec.h"
#include "fuzzsupport.h"
#include "platform/errors.h"

using namespace dotreel;
using fuzzsupport::check;

namespace {

// The first input byte chooses how the rest is used.
constexpr uint8_t kOneCopyFewer = 0x20;  // repeated: stop one copy short of a whole file
#ifdef FUZZ_WHOLE_FILES
constexpr bool kWholeFiles = true;
#else
constexpr bool kWholeFiles = false;
#endif
constexpr size_t kMaxContent = 4u << 20;
// Lines checked against the codec's rule stated again; the rest only against the codec itself.
constexpr size_t kRestatedLines = 4096;

int asciiDigit(unsigned char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// The lines of a complete file: the store's for plain inputs; for repeated pieces 1..128, from
// the mode's other seven bits.
size_t wholeLines(uint8_t mode) {
    if (!kWholeFiles) return static_cast<size_t>(kStoreBytes);
    return 1 + static_cast<size_t>((mode & 0x1F) | ((mode & 0xC0) >> 1));
}

// Rebuilds a whole file's worth of lines from a short piece.
std::string buildContent(uint8_t mode, std::string_view body, size_t whole) {
    if (!kWholeFiles || body.empty()) return std::string(body);
    size_t linesPerCopy = 0;
    fuzzsupport::forEachReferenceLine(body, [&](std::string_view) { ++linesPerCopy; });
    linesPerCopy = std::max<size_t>(linesPerCopy, 1);
    size_t copies = (whole + linesPerCopy - 1) / linesPerCopy;
    if ((mode & kOneCopyFewer) != 0 && copies > 1) --copies;
    copies = std::min(copies, kMaxContent / body.size());
    std::string content;
    content.reserve(copies * body.size());
    for (size_t i = 0; i < copies; ++i) content.append(body);
    return content;
}

// The byte of a line by the codec, with its rule stated again for lines whose first two
// characters are plain ASCII: high digit, then low digit, either may be missing.
uint8_t restatedByte(std::string_view line) {
    const std::optional<int16_t> value = funHexDecChange(line);
    check(!value || (*value >= 0 && *value <= 255), "decoded value outside 0..255");
    check(hexLineToByte(line) == static_cast<uint8_t>(value.value_or(0)),
          "hexLineToByte differs from funHexDecChange");
    const bool firstAscii = !line.empty() && static_cast<unsigned char>(line[0]) < 0x80;
    const bool secondAscii = line.size() < 2 || static_cast<unsigned char>(line[1]) < 0x80;
    if (line.empty()) {
        check(!value.has_value(), "an empty line gave a value");
    } else if (firstAscii && secondAscii) {
        const int d1 = asciiDigit(static_cast<unsigned char>(line[0]));
        const int d2 = line.size() >= 2 ? asciiDigit(static_cast<unsigned char>(line[1])) : -1;
        if (d1 < 0 && d2 < 0)
            check(!value.has_value(), "a line without digits gave a value");
        else
            check(value == std::max(d1, 0) * 16 + std::max(d2, 0), "wrong value of an ASCII line");
    }
    return static_cast<uint8_t>(value.value_or(0));
}

// The reader straight on the contents: the bytes of the lines the line rule gives, a short file
// refused at its missing line on every call, and the checker's pass agreeing.
void checkReader(std::string_view content, size_t whole) {
    // Kept from run to run: a fresh 128 KiB buffer per run would cost more than the read.
    static const auto untouched = [] {
        auto b = std::make_unique<FrameBytes>();
        b->fill(0xA5);
        return b;
    }();
    static const auto decoded = std::make_unique<FrameBytes>();
    static const auto inspected = std::make_unique<FrameBytes>();
    *decoded = *untouched;
    *inspected = *untouched;
    FrameFileReader reader(content, "input.txt", *decoded, whole);
    size_t lineCount = 0;
    fuzzsupport::forEachReferenceLine(content, [&](std::string_view) { ++lineCount; });
    const bool isShort = lineCount < whole;
    for (int call = 0; call < (isShort ? 2 : 1); ++call) {
        bool refused = false;
        try {
            reader.readLines();
        } catch (const PlatformError& e) {
            check(e.kind() == ErrorKind::EndOfFile, "a short file refused with the wrong error");
            refused = true;
        }
        check(refused == isShort, "a short file read whole, or a whole file refused");
    }
    const size_t read = std::min(lineCount, whole);
    check(reader.linesRead() == read, "lines read differ from the line rule");
    size_t k = 0;
    fuzzsupport::forEachReferenceLine(content, [&](std::string_view line) {
        if (k < read) {
            const uint8_t expected = k < kRestatedLines ? restatedByte(line) : hexLineToByte(line);
            check((*decoded)[k] == expected, "decoded byte differs from its line");
        }
        ++k;
    });
    check(std::memcmp(decoded->data() + read, untouched->data(), decoded->size() - read) == 0,
          "a byte after a short file's end was written");

    const FrameFileFindings found = inspectFrameFile(content, *inspected, whole);
    check(found.lineCount == static_cast<long>(lineCount), "inspection counts other lines");
    const LineEndCounts& e = found.ends;
    check(e.crlf + e.cr + e.lf + (e.lastOpen ? 1 : 0) == found.lineCount,
          "line ends do not add up to the lines");
    check(found.firstBadLines.size() <= kListedLines &&
              found.badLineCount >= static_cast<long>(found.firstBadLines.size()),
          "bad lines listed beyond their count or limit");
    check(*inspected == *decoded, "inspection decodes differently from the reader");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const uint8_t mode = data[0];
    const std::string_view body(reinterpret_cast<const char*>(data + 1), size - 1);
    const size_t whole = wholeLines(mode);
    checkReader(buildContent(mode, body, whole), whole);
    return 0;
}
