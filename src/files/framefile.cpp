#include "files/framefile.h"

#include <algorithm>
#include <utility>

#include "files/hexcodec.h"
#include "platform/errors.h"

namespace dotreel {
namespace {

// Decodes lines from `pos` on until `lines` reaches `limit` or the content ends. With findings,
// every line end, bad line and lower-case line is recorded too; without, the usual line (two
// digits and CR LF) costs a few comparisons.
template <bool kFindings>
void decodeLines(std::string_view content, size_t& pos, size_t& lines, size_t limit,
                 FrameBytes& bytes, FrameFileFindings* findings) {
    const size_t size = content.size();
    const char* c = content.data();
    while (lines < limit && pos < size) {
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
