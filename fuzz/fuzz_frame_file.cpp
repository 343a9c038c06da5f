// Any bytes as a frame file: read line by line through the numbered input files, read and
// inspected by the frame-file reader in memory, decoded by the hex codec, and loaded as a layer.
// Nothing may crash, read or write out of bounds, leak a file, or change the frame memory unless a
// whole file was read. Built twice: as it stands the input is the file; with FUZZ_WHOLE_FILES the
// input is a piece repeated up to a whole file's lines, so that complete files are decoded and
// loaded without inputs of hundreds of kilobytes (a slower program, kept apart so the short files
// run fast).
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "app/layerload.h"
#include "app/modmain.h"
#include "core/frame.h"
#include "files/framefile.h"
#include "files/hexcodec.h"
#include "fuzzsupport.h"
#include "platform/errors.h"
#include "platform/textfile.h"

using namespace dotreel;
using fuzzsupport::check;

namespace {

// The first input byte chooses how the rest is used.
constexpr uint8_t kLayerMask = 0x03;     // which layer loadLayer reads
constexpr uint8_t kOneCopyFewer = 0x20;  // repeated: stop one copy short of a whole file
constexpr uint8_t kLoadLayer = 0x40;     // also load the file as a layer
#ifdef FUZZ_WHOLE_FILES
constexpr bool kWholeFiles = true;
#else
constexpr bool kWholeFiles = false;
#endif
constexpr size_t kMaxContent = 4u << 20;

const std::string& dataFolder() {
    static const std::string folder = [] {
        const std::string f = fuzzsupport::scratchFolder() + "データー/";
        std::filesystem::create_directories(f);
        return f;
    }();
    return folder;
}

uint8_t patternByte(size_t k) { return static_cast<uint8_t>((k * 37u + 11u) & 0xFFu); }

std::unique_ptr<FrameMemory> patternMemory() {
    auto m = std::make_unique<FrameMemory>();
    for (size_t k = 0; k < m->size(); ++k) (*m)[k] = patternByte(k);
    return m;
}

// Rebuilds a whole file's worth of lines from a short piece.
std::string buildContent(uint8_t mode, std::string_view body) {
    if (!kWholeFiles || body.empty()) return std::string(body);
    const size_t linesPerCopy = std::max<size_t>(fuzzsupport::referenceLines(body).size(), 1);
    size_t copies = (kStoreBytes + linesPerCopy - 1) / linesPerCopy;
    if ((mode & kOneCopyFewer) != 0 && copies > 1) --copies;
    copies = std::min(copies, kMaxContent / body.size());
    std::string content;
    content.reserve(copies * body.size());
    for (size_t i = 0; i < copies; ++i) content.append(body);
    return content;
}

int asciiDigit(unsigned char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

uint8_t checkHexDecoding(const std::string& line) {
    const std::optional<int16_t> value = funHexDecChange(line);
    check(!value || (*value >= 0 && *value <= 255), "decoded value outside 0..255");
    check(hexLineToByte(line) == static_cast<uint8_t>(value.value_or(0)),
          "hexLineToByte differs from funHexDecChange");
    // For lines whose first two characters are plain ASCII the rule is simple enough to state
    // again: high digit, then low digit, either may be missing.
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

// The byte of every line, each distinct line checked once: a repeated piece gives a whole file
// of few distinct lines.
std::vector<uint8_t> lineBytes(const std::vector<std::string>& lines) {
    std::unordered_map<std::string, uint8_t> seen;
    std::vector<uint8_t> bytes;
    bytes.reserve(lines.size());
    for (const std::string& line : lines) {
        auto it = seen.find(line);
        if (it == seen.end()) it = seen.emplace(line, checkHexDecoding(line)).first;
        bytes.push_back(it->second);
    }
    return bytes;
}

// Reads the file through the numbered input files, as the handlers do, and compares the lines
// with the line rule stated independently.
std::vector<std::string> readThroughFileTable(const std::string& path,
                                              const std::vector<std::string>& expected) {
    FileTable files;
    const int16_t fileNo = files.freeFile();
    check(fileNo == 1, "the first free file number is not 1");
    files.openForInput(fileNo, path);
    check(files.isOpen(fileNo) && files.openCount() == 1, "file not open after openForInput");

    std::vector<std::string> lines;
    lines.reserve(std::min(expected.size(), static_cast<size_t>(kStoreBytes)));
    bool reachedEnd = false;
    for (int k = 0; k < kStoreBytes; ++k) {
        std::string line = "stale";
        try {
            files.lineInput(fileNo, line);
        } catch (const PlatformError& e) {
            check(e.kind() == ErrorKind::EndOfFile, "a read failed with something but end of file");
            reachedEnd = true;
            break;
        }
        lines.push_back(std::move(line));
    }
    if (reachedEnd) {
        // Once at the end, every further read fails the same way.
        bool again = false;
        try {
            std::string more;
            files.lineInput(fileNo, more);
        } catch (const PlatformError& e) {
            again = e.kind() == ErrorKind::EndOfFile;
        }
        check(again, "a read after the end did not fail with end of file");
    }
    files.close(fileNo);
    check(files.openCount() == 0 && !files.isOpen(fileNo), "file still open after close");

    const size_t wanted = std::min(expected.size(), static_cast<size_t>(kStoreBytes));
    check(lines.size() == wanted, "number of lines read differs from the line rule");
    check(reachedEnd == (expected.size() < static_cast<size_t>(kStoreBytes)),
          "end of file reached with lines left, or missed");
    for (size_t k = 0; k < lines.size(); ++k)
        check(lines[k] == expected[k], "a line read differs from the line rule");
    return lines;
}

// The reader straight on the file's contents: the bytes of the lines the line rule gives, a
// short file refused at its missing line on every call, and the checker's pass agreeing.
void checkReader(std::string_view content, const std::vector<std::string>& expected,
                 const std::vector<uint8_t>& bytes) {
    auto decoded = std::make_unique<FrameBytes>();
    decoded->fill(0xA5);
    FrameFileReader reader(content, "input.txt", *decoded);
    const bool isShort = expected.size() < static_cast<size_t>(kStoreBytes);
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
    const size_t read = std::min(expected.size(), static_cast<size_t>(kStoreBytes));
    check(reader.linesRead() == read, "lines read differ from the line rule");
    for (size_t k = 0; k < read; ++k) check((*decoded)[k] == bytes[k], "decoded byte differs");
    for (size_t k = read; k < decoded->size(); ++k)
        check((*decoded)[k] == 0xA5, "a byte after a short file's end was written");

    auto inspected = std::make_unique<FrameBytes>();
    const FrameFileFindings found = inspectFrameFile(content, *inspected);
    check(found.lineCount == static_cast<long>(expected.size()), "inspection counts other lines");
    const LineEndCounts& e = found.ends;
    check(e.crlf + e.cr + e.lf + (e.lastOpen ? 1 : 0) == found.lineCount,
          "line ends do not add up to the lines");
    check(found.firstBadLines.size() <= kListedLines &&
              found.badLineCount >= static_cast<long>(found.firstBadLines.size()),
          "bad lines listed beyond their count or limit");
    for (size_t k = 0; k < read; ++k)
        check((*inspected)[k] == bytes[k], "inspection decodes differently from the reader");
}

void checkLoadLayer(int16_t index, const std::string& content, bool whole,
                    const std::vector<uint8_t>& bytes) {
    const std::string& folder = dataFolder();
    std::error_code ec;
    for (const char* name : {"FirstData.txt", "SecondData.txt", "Data.txt"})
        std::filesystem::remove(folder + name, ec);
    switch (index) {
        case 0:
            fuzzsupport::writeWholeFile(folder + "FirstData.txt", content);
            break;
        case 1:
            fuzzsupport::writeWholeFile(folder + "SecondData.txt", content);
            break;
        case 2:
            fuzzsupport::writeWholeFile(folder + "Data.txt", content);
            break;
        default:
            fuzzsupport::writeWholeFile(folder + "FirstData.txt", content);
            fuzzsupport::writeWholeFile(folder + "SecondData.txt", content);
            break;
    }

    ModMain state;
    state.strAppPath = fuzzsupport::scratchFolder();
    state.strDataPath = folder;
    state.strSetPath = fuzzsupport::scratchFolder() + "設定/";
    const auto before = patternMemory();
    state.bytFrameData() = *before;
    struct CancelEvery : Dialogs {
        int questions = 0;
        Answer ask(const Dialog&) override {
            ++questions;
            return Answer::Cancel;
        }
    } cancel;

    const bool loaded = loadLayer(state, cancel, index);
    const int questions = cancel.questions;
    check(state.files.openCount() == 0, "a file stayed open after loading a layer");
    check(loaded == whole, "loadLayer's result does not match the file's length");
    if (!loaded) {
        check(questions == 1, "a short file was not reported exactly once");
        check(state.bytFrameData() == *before, "a failed load changed the memory");
        return;
    }
    check(questions == 0, "a whole file was reported as failed");
    // The image OR itself is the image again, so every index gives the decoded file.
    for (size_t k = 0; k < static_cast<size_t>(kStoreBytes); ++k)
        check(state.bytFrameData()[k] == bytes[k], "loaded byte differs from its line");
    check(state.bytFrameData()[kStoreBytes] == (*before)[kStoreBytes], "loading wrote byte 131072");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const uint8_t mode = data[0];
    const std::string_view body(reinterpret_cast<const char*>(data + 1), size - 1);
    const std::string content = buildContent(mode, body);

    const std::string path = dataFolder() + "input.txt";
    fuzzsupport::writeWholeFile(path, content);
    const std::vector<std::string> expected = fuzzsupport::referenceLines(content);
    const std::vector<std::string> lines = readThroughFileTable(path, expected);

    const std::vector<uint8_t> bytes = lineBytes(lines);
    checkReader(content, expected, bytes);
    if ((mode & kLoadLayer) != 0)
        checkLoadLayer(static_cast<int16_t>(mode & kLayerMask), content,
                       expected.size() >= static_cast<size_t>(kStoreBytes), bytes);
    return 0;
}
