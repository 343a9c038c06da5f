#include "files/framefile.h"

#include <algorithm>
#include <utility>

#include "files/hexcodec.h"
#include "platform/errors.h"

namespace dotreel {
namespace {

// The usual file is nothing but lines of two digits and CR LF: eight bytes hold two of them.
// Decodes such pairs from `pos` on and stops at the first pair that is anything else. Works on
// copies of the positions, so that the byte stores (which may alias anything) do not make the
// compiler write them back to memory on every line.
void decodeUsualPairs(const char* c, size_t size, size_t& posRef, size_t& linesRef, size_t limit,
                      uint8_t* out) {
    size_t pos = posRef;
    size_t lines = linesRef;
    while (lines + 2 <= limit && pos + 8 <= size) {
        const char* p = c + pos;
        if (p[2] != '\r' || p[3] != '\n' || p[6] != '\r' || p[7] != '\n') break;
        const int a = hexDigitValue(p[0]);
        const int b = hexDigitValue(p[1]);
        const int d = hexDigitValue(p[4]);
        const int e = hexDigitValue(p[5]);
        if ((a | b | d | e) < 0) break;
        out[lines] = static_cast<uint8_t>(a * 16 + b);
        out[lines + 1] = static_cast<uint8_t>(d * 16 + e);
        lines += 2;
        pos += 8;
    }
    posRef = pos;
    linesRef = lines;
}

// Decodes lines from `pos` on until `lines` reaches `limit` or the content ends. With findings,
// every line end, bad line and lower-case line is recorded too; without, the usual lines (two
// digits and CR LF) go two at a time.
template <bool kFindings>
void decodeLines(std::string_view content, size_t& pos, size_t& lines, size_t limit,
                 FrameBytes& bytes, FrameFileFindings* findings) {
    const size_t size = content.size();
    const char* c = content.data();
    while (lines < limit && pos < size) {
        if constexpr (!kFindings) {
            decodeUsualPairs(c, size, pos, lines, limit, bytes.data());
            if (lines >= limit || pos >= size) break;
        }
        if (pos + 4 <= size && c[pos + 2] == '\r' && c[pos + 3] == '\n') {
            const int high = hexDigitValue(c[pos]);
            const int low = hexDigitValue(c[pos + 1]);
            if (high >= 0 && low >= 0) {
                bytes[lines] = static_cast<uint8_t>(high * 16 + low);
                ++lines;
                pos += 4;
                if constexpr (kFindings) {
                    ++findings->ends.crlf;
                    if (c[pos - 4] >= 'a' || c[pos - 3] >= 'a') {
                        if (findings->lowerCaseCount++ == 0)
                            findings->firstLowerCaseLine = static_cast<long>(lines);
                    }
                }
                continue;
            }
        }
        const SplitLine line = splitLine(content, pos);
        bytes[lines] = hexLineToByte(line.text);
        ++lines;
        pos = line.next;
        if constexpr (kFindings) {
            const auto number = static_cast<long>(lines);
            findings->ends.add(line.end, number);
            const std::string_view t = line.text;
            if (t.size() == 2 && hexDigitValue(t[0]) >= 0 && hexDigitValue(t[1]) >= 0) {
                if ((t[0] >= 'a' || t[1] >= 'a') && findings->lowerCaseCount++ == 0)
                    findings->firstLowerCaseLine = number;
            } else {
                ++findings->badLineCount;
                if (findings->firstBadLines.size() < kListedLines)
                    findings->firstBadLines.push_back({number, t});
            }
        }
    }
}

}  // namespace

void storeFrameBytes(const FrameBytes& bytes, FrameMemory& target) {
    std::copy(bytes.begin(), bytes.end(), target.begin());
}

FrameFileReader::FrameFileReader(std::string_view content, std::string path, FrameBytes& bytes,
                                 size_t lineCount)
    : content_(content),
      path_(std::move(path)),
      bytes_(bytes),
      lineCount_(std::min(lineCount, bytes.size())) {}

void FrameFileReader::readLines() {
    decodeLines<false>(content_, position_, lines_, lineCount_, bytes_, nullptr);
    if (!complete()) throw endOfFileError(path_);
}

FrameFileFindings inspectFrameFile(std::string_view content, FrameBytes& bytes, size_t lineCount) {
    FrameFileFindings findings;
    size_t pos = 0;
    size_t lines = 0;
    decodeLines<true>(content, pos, lines, std::min(lineCount, bytes.size()), bytes, &findings);
    findings.lineCount = static_cast<long>(lines);
    // The lines the editor never reads still count, with their ends.
    while (pos < content.size()) {
        const SplitLine line = splitLine(content, pos);
        ++findings.lineCount;
        findings.ends.add(line.end, findings.lineCount);
        pos = line.next;
    }
    return findings;
}

}  // namespace dotreel
