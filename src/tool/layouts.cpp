#include "tool/layouts.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstddef>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "tool/args.h"

namespace dotreel::tool {
namespace {

// The store byte that holds the dot at (row, column); the dot is bit row % 8 of it.
constexpr int storeByte(int row, int column) {
    return (column / kHalfColumns) * kHalfBytes + (row / 8) * kHalfColumns + column % kHalfColumns;
}

bool storeDot(const uint8_t* frame, int row, int column) {
    return ((frame[storeByte(row, column)] >> (row % 8)) & 1) != 0;
}

void setStoreDot(uint8_t* frame, int row, int column) {
    frame[storeByte(row, column)] |= static_cast<uint8_t>(1U << (row % 8));
}

// The bit of a horizontal row layout that stands for `column`: XBM counts from bit 0, GFX from
// bit 7.
constexpr uint8_t rowBit(Layout layout, int column) {
    return static_cast<uint8_t>(layout == Layout::Xbm ? 1U << (column % 8) : 0x80U >> (column % 8));
}

int popcount(unsigned v) { return __builtin_popcount(v); }

// `count` blocks of `size` bytes, as a pointer offset.
constexpr std::ptrdiff_t offset(int count, int size) {
    return static_cast<std::ptrdiff_t>(count) * size;
}

}  // namespace

std::optional<Layout> layoutByName(std::string_view name) {
    const std::string lower = lowerCase(name);
    for (size_t i = 0; i < std::size(kLayoutNames); ++i)
        if (kLayoutNames[i] == lower) return static_cast<Layout>(i);
    return std::nullopt;
}

std::string_view layoutName(Layout layout) { return kLayoutNames[static_cast<size_t>(layout)]; }

int layoutFrameBytes(Layout layout) {
    switch (layout) {
        case Layout::Store:
            return kFrameBytes;
        case Layout::U8g2:
            return kPages * kU8g2Columns;
        case Layout::Xbm:
        case Layout::Gfx:
            return kRows * kRowBytes;
    }
    return kFrameBytes;
}

void encodeFrame(const FrameMemory& store, int frame, Layout layout, uint8_t* out) {
    const uint8_t* bytes = store.data() + static_cast<size_t>(frame) * kFrameBytes;
    switch (layout) {
        case Layout::Store:
            std::memcpy(out, bytes, kFrameBytes);
            return;
        case Layout::U8g2:
            // A u8g2 page is the store's page of both halves side by side: bytes copied whole.
            for (int page = 0; page < kPages; ++page) {
                uint8_t* line = out + offset(page, kU8g2Columns);
                std::memcpy(line, bytes + offset(page, kHalfColumns), kHalfColumns);
                std::memcpy(line + kHalfColumns, bytes + kHalfBytes + offset(page, kHalfColumns),
                            kHalfColumns);
                std::memset(line + kColumns, 0, kU8g2Columns - kColumns);
            }
            return;
        case Layout::Xbm:
        case Layout::Gfx:
            std::memset(out, 0, static_cast<size_t>(kRows) * kRowBytes);
            for (int row = 0; row < kRows; ++row)
                for (int column = 0; column < kColumns; ++column)
                    if (storeDot(bytes, row, column))
                        out[row * kRowBytes + column / 8] |= rowBit(layout, column);
            return;
    }
}

int decodeFrame(const uint8_t* in, Layout layout, uint8_t* frame) {
    int stray = 0;
    switch (layout) {
        case Layout::Store:
            std::memcpy(frame, in, kFrameBytes);
            return 0;
        case Layout::U8g2:
            for (int page = 0; page < kPages; ++page) {
                const uint8_t* line = in + offset(page, kU8g2Columns);
                std::memcpy(frame + offset(page, kHalfColumns), line, kHalfColumns);
                std::memcpy(frame + kHalfBytes + offset(page, kHalfColumns), line + kHalfColumns,
                            kHalfColumns);
                for (int c = kColumns; c < kU8g2Columns; ++c) stray += popcount(line[c]);
            }
            return stray;
        case Layout::Xbm:
        case Layout::Gfx:
            std::memset(frame, 0, kFrameBytes);
            for (int row = 0; row < kRows; ++row) {
                const uint8_t* line = in + offset(row, kRowBytes);
                for (int column = 0; column < kColumns; ++column)
                    if ((line[column / 8] & rowBit(layout, column)) != 0)
                        setStoreDot(frame, row, column);
                for (int column = kColumns; column < kRowBytes * 8; ++column)
                    if ((line[column / 8] & rowBit(layout, column)) != 0) ++stray;
            }
            return stray;
    }
    return 0;
}

Bitmap framesBitmap(const FrameMemory& store, const std::vector<int>& frames, int columns) {
    const int n = static_cast<int>(frames.size());
    const int cols = std::max(1, std::min(columns, n));
    const int rows = (n + cols - 1) / cols;
    Bitmap bitmap;
    bitmap.width = cols * kColumns;
    bitmap.height = rows * kRows;
    const int rowBytes = (bitmap.width + 7) / 8;
    bitmap.bits.assign(static_cast<size_t>(rowBytes) * static_cast<size_t>(bitmap.height), 0);
    for (int i = 0; i < n; ++i) {
        const uint8_t* bytes =
            store.data() + static_cast<size_t>(frames[static_cast<size_t>(i)]) * kFrameBytes;
        const int x0 = (i % cols) * kColumns;
        const int y0 = (i / cols) * kRows;
        for (int row = 0; row < kRows; ++row) {
            uint8_t* line = bitmap.bits.data() + static_cast<size_t>(y0 + row) * rowBytes;
            for (int column = 0; column < kColumns; ++column) {
                if (!storeDot(bytes, row, column)) continue;
                const int x = x0 + column;
                line[x / 8] |= static_cast<uint8_t>(1U << (x % 8));
            }
        }
    }
    return bitmap;
}

std::string formatXbm(const Bitmap& bitmap, std::string_view name) {
    const std::string id(name);
    std::string out = "#define " + id + "_width " + std::to_string(bitmap.width) + "\n#define " +
                      id + "_height " + std::to_string(bitmap.height) + "\nstatic unsigned char " +
                      id + "_bits[] = {\n";
    out.reserve(out.size() + bitmap.bits.size() * 6 + 16);
    static constexpr char kDigits[] = "0123456789abcdef";
    const size_t n = bitmap.bits.size();
    for (size_t j = 0; j < n; ++j) {
        if (j % 16 == 0) out.append("   ");
        const uint8_t b = bitmap.bits[j];
        const char cell[5] = {' ', '0', 'x', kDigits[b >> 4], kDigits[b & 0x0F]};
        out.append(cell, 5);
        if (j + 1 < n) out.append((j % 16 == 15) ? ",\n" : ",");
    }
    out += " };\n";
    return out;
}

// ---- reading back -------------------------------------------------------------------------

namespace {

// The text with comments turned into spaces (line ends kept, so line numbers stay right) and
// preprocessor lines blanked.
std::string codeOnly(std::string_view text) {
    std::string out(text);
    bool lineStart = true;
    for (size_t i = 0; i < out.size(); ++i) {
        const char c = out[i];
        if (c == '\n') {
            lineStart = true;
            continue;
        }
        if (lineStart && c == '#') {
            // A directive runs to the line end, continued by a backslash before it.
            while (i < out.size() && !(out[i] == '\n' && (i == 0 || text[i - 1] != '\\'))) {
                if (out[i] != '\n') out[i] = ' ';
                ++i;
            }
            --i;
            continue;
        }
        if (c != ' ' && c != '\t' && c != '\r') lineStart = false;
        if (c == '/' && i + 1 < out.size() && out[i + 1] == '*') {
            const size_t end = out.find("*/", i + 2);
            const size_t stop = end == std::string::npos ? out.size() : end + 2;
            for (size_t k = i; k < stop; ++k)
                if (out[k] != '\n') out[k] = ' ';
            i = stop - 1;
        } else if (c == '/' && i + 1 < out.size() && out[i + 1] == '/') {
            while (i < out.size() && out[i] != '\n') out[i++] = ' ';
            --i;
        }
    }
    return out;
}

int lineOf(const std::string& text, size_t at) {
    return 1 +
           static_cast<int>(std::count(text.begin(), text.begin() + static_cast<long>(at), '\n'));
}

bool isWordChar(char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_';
}

}  // namespace

std::vector<uint8_t> readCInitializer(std::string_view text, const std::string& what) {
    const std::string code = codeOnly(text);
    size_t open = std::string::npos;
    for (size_t eq = code.find('='); eq != std::string::npos; eq = code.find('=', eq + 1)) {
        const size_t next = code.find_first_not_of(" \t\r\n", eq + 1);
        if (next != std::string::npos && code[next] == '{') {
            open = next;
            break;
        }
    }
    if (open == std::string::npos)
        throw ToolError(what + ": no array initializer ('= { ... }') found");
    std::vector<uint8_t> numbers;
    int depth = 0;
    size_t i = open;
    for (; i < code.size(); ++i) {
        const char c = code[i];
        if (c == '{') {
            ++depth;
        } else if (c == '}') {
            if (--depth == 0) break;
        } else if (isWordChar(c)) {
            size_t end = i;
            while (end < code.size() && isWordChar(code[end])) ++end;
            const std::string_view word(code.data() + i, end - i);
            // Integer suffixes (0x1Fu, 200UL) change nothing about the value.
            std::string_view digits = word;
            const bool hex =
                digits.size() > 2 && digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X');
            if (hex) digits.remove_prefix(2);
            while (!digits.empty() && (digits.back() == 'u' || digits.back() == 'U' ||
                                       digits.back() == 'l' || digits.back() == 'L'))
                digits.remove_suffix(1);
            unsigned long value = 0;
            const auto [ptr, ec] =
                std::from_chars(digits.data(), digits.data() + digits.size(), value, hex ? 16 : 10);
            const bool octal = !hex && digits.size() > 1 && digits[0] == '0';
            if (digits.empty() || ptr != digits.data() + digits.size() || octal ||
                (ec != std::errc() && ec != std::errc::result_out_of_range))
                throw ToolError(what + ", line " + std::to_string(lineOf(code, i)) + ": '" +
                                std::string(word) +
                                "' is not a number (hexadecimal 0x.. or decimal)");
            if (ec == std::errc::result_out_of_range || value > 255)
                throw ToolError(what + ", line " + std::to_string(lineOf(code, i)) + ": " +
                                std::string(word) + " is above 255 and no byte");
            numbers.push_back(static_cast<uint8_t>(value));
            i = end - 1;
        } else if (c != ',' && c != ' ' && c != '\t' && c != '\r' && c != '\n') {
            throw ToolError(what + ", line " + std::to_string(lineOf(code, i)) + ": unexpected '" +
                            std::string(1, c) + "' in the initializer");
        }
    }
    if (depth != 0) throw ToolError(what + ": the initializer is not closed by '}'");
    if (numbers.empty()) throw ToolError(what + ": the initializer holds no number");
    return numbers;
}

Bitmap readXbm(std::string_view text, const std::string& what) {
    Bitmap bitmap;
    // "#define NAME_width 122": the last word of the name ends in _width or _height.
    const auto define = [&](std::string_view suffix) -> int {
        size_t at = 0;
        while ((at = text.find("#define", at)) != std::string_view::npos) {
            at += 7;
            const size_t nameStart = text.find_first_not_of(" \t", at);
            if (nameStart == std::string_view::npos) break;
            size_t nameEnd = nameStart;
            while (nameEnd < text.size() && isWordChar(text[nameEnd])) ++nameEnd;
            const std::string_view name = text.substr(nameStart, nameEnd - nameStart);
            if (name.size() < suffix.size() || name.substr(name.size() - suffix.size()) != suffix)
                continue;
            const size_t valueStart = text.find_first_not_of(" \t", nameEnd);
            int value = 0;
            if (valueStart == std::string_view::npos) break;
            const auto [ptr, ec] =
                std::from_chars(text.data() + valueStart, text.data() + text.size(), value);
            if (ec != std::errc() || value <= 0 || value > 65535)
                throw ToolError(what + ": '#define " + std::string(name) +
                                "' is no size in pixels");
            return value;
        }
        throw ToolError(what + ": no '#define NAME" + std::string(suffix) + "' (not an XBM file?)");
    };
    bitmap.width = define("_width");
    bitmap.height = define("_height");
    bitmap.bits = readCInitializer(text, what);
    const size_t expected =
        static_cast<size_t>((bitmap.width + 7) / 8) * static_cast<size_t>(bitmap.height);
    if (bitmap.bits.size() != expected)
        throw ToolError(what + ": " + std::to_string(bitmap.bits.size()) + " bytes where " +
                        std::to_string(bitmap.width) + " x " + std::to_string(bitmap.height) +
                        " dots take " + std::to_string(expected));
    return bitmap;
}

std::vector<std::vector<uint8_t>> bitmapFrames(const Bitmap& bitmap) {
    if (bitmap.width <= 0 || bitmap.height <= 0 || bitmap.width % kColumns != 0 ||
        bitmap.height % kRows != 0)
        return {};
    const int cols = bitmap.width / kColumns;
    const int rows = bitmap.height / kRows;
    const int rowBytes = (bitmap.width + 7) / 8;
    std::vector<std::vector<uint8_t>> frames;
    for (int cell = 0; cell < cols * rows; ++cell) {
        std::vector<uint8_t> frame(kFrameBytes, 0);
        const int x0 = (cell % cols) * kColumns;
        const int y0 = (cell / cols) * kRows;
        for (int row = 0; row < kRows; ++row) {
            const uint8_t* line = bitmap.bits.data() + static_cast<size_t>(y0 + row) * rowBytes;
            for (int column = 0; column < kColumns; ++column) {
                const int x = x0 + column;
                if ((line[x / 8] >> (x % 8)) & 1) setStoreDot(frame.data(), row, column);
            }
        }
        frames.push_back(std::move(frame));
    }
    return frames;
}

std::vector<std::vector<uint8_t>> arrayFrames(const std::vector<uint8_t>& numbers, Layout layout,
                                              const std::string& what, int& strayBits) {
    const auto size = static_cast<size_t>(layoutFrameBytes(layout));
    if (numbers.size() % size != 0)
        throw ToolError(what + ": " + std::to_string(numbers.size()) +
                        " numbers are not a whole number of frames of " + std::to_string(size) +
                        " bytes (layout " + std::string(layoutName(layout)) + ")");
    std::vector<std::vector<uint8_t>> frames;
    strayBits = 0;
    for (size_t at = 0; at < numbers.size(); at += size) {
        std::vector<uint8_t> frame(kFrameBytes, 0);
        strayBits += decodeFrame(numbers.data() + at, layout, frame.data());
        frames.push_back(std::move(frame));
    }
    return frames;
}

Layout parseLayoutOption(const std::string& value) {
    if (auto layout = layoutByName(value)) return *layout;
    throw UsageError("--layout: unknown layout '" + value + "' (store, u8g2, xbm, gfx)");
}

ArrayKind arrayKindOf(const std::string& path) {
    const std::string ext = lowerCase(std::filesystem::path(path).extension().string());
    if (ext == ".xbm") return ArrayKind::Xbm;
    if (ext == ".c" || ext == ".h" || ext == ".inc") return ArrayKind::C;
    return ArrayKind::None;
}

std::optional<Layout> statedLayout(std::string_view text) {
    const size_t end = text.find("*/");
    const std::string_view comment = text.substr(0, end);
    if (comment.find("written by dotreel-tool.") == std::string_view::npos) return std::nullopt;
    for (size_t i = 1; i < std::size(kLayoutNames); ++i)
        if (comment.find(" * Layout " + std::string(kLayoutNames[i]) + ":") !=
            std::string_view::npos)
            return static_cast<Layout>(i);
    return Layout::Store;
}

ArrayFile readArrayFile(const std::string& path, ArrayKind kind, std::optional<Layout> given) {
    // All 268 frames as text take about 1.6 MB; far more is no array of ours.
    constexpr std::uintmax_t kLimit = 64U << 20;
    std::error_code ec;
    const std::uintmax_t size = std::filesystem::file_size(path, ec);
    if (!ec && size > kLimit)
        throw ToolError("'" + path + "' is " + std::to_string(size) +
                        " bytes, too large for an array of frames");
    std::ifstream in(path, std::ios::binary);
    if (!in) throw ToolError("cannot read '" + path + "': " + std::strerror(errno));
    std::ostringstream text;
    text << in.rdbuf();
    if (in.bad()) throw ToolError("cannot read '" + path + "'");
    const std::string content = text.str();
    ArrayFile file;
    if (kind == ArrayKind::Xbm) {
        const Bitmap bitmap = readXbm(content, path);
        file.frames = bitmapFrames(bitmap);
        file.picture = file.frames.empty();
        return file;
    }
    const std::optional<Layout> stated = statedLayout(content);
    if (given && stated && *given != *stated)
        throw ToolError(path + ": its comment says it holds layout " +
                        std::string(layoutName(*stated)) + ", not " +
                        std::string(layoutName(*given)) + "; give --layout " +
                        std::string(layoutName(*stated)) + " (or none)");
    const Layout layout = given ? *given : stated.value_or(Layout::Store);
    file.frames = arrayFrames(readCInitializer(content, path), layout, path, file.strayBits);
    return file;
}

}  // namespace dotreel::tool
