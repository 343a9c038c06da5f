#include "tool/cheader.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdint>

namespace dotreel::tool {
namespace {

constexpr std::array<std::string_view, 44> kKeywords{
    "auto",    "break",    "case",     "char",    "const",    "continue",      "default",
    "do",      "double",   "else",     "enum",    "extern",   "float",         "for",
    "goto",    "if",       "inline",   "int",     "long",     "register",      "restrict",
    "return",  "short",    "signed",   "sizeof",  "static",   "struct",        "switch",
    "typedef", "union",    "unsigned", "void",    "volatile", "while",         "bool",
    "true",    "false",    "alignas",  "alignof", "nullptr",  "static_assert", "thread_local",
    "typeof",  "constexpr"};

bool isIdentifierChar(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
}

std::string upperCase(std::string_view s) {
    std::string out(s);
    for (char& c : out) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return out;
}

// Comments must not be closed early by a file name such as "a*/b".
std::string commentSafe(std::string_view s) {
    std::string out;
    for (size_t i = 0; i < s.size(); ++i) {
        out.push_back(s[i]);
        if (s[i] == '*' && i + 1 < s.size() && s[i + 1] == '/') out.push_back(' ');
    }
    return out;
}

}  // namespace

bool isValidCIdentifier(std::string_view name) {
    if (name.empty() || (name[0] >= '0' && name[0] <= '9')) return false;
    if (!std::all_of(name.begin(), name.end(), isIdentifierChar)) return false;
    if (name[0] == '_' && name.size() > 1 && (name[1] == '_' || (name[1] >= 'A' && name[1] <= 'Z')))
        return false;
    return std::find(kKeywords.begin(), kKeywords.end(), name) == kKeywords.end();
}

std::string formatCHeader(const FrameMemory& store, const FrameRange& range, std::string_view name,
                          std::string_view source, const PlayMacros* play) {
    const std::string macro = upperCase(name);
    const std::string guard = macro + "_H";
    const std::string count = std::to_string(range.count());
    std::string out;
    out.reserve(static_cast<size_t>(range.count()) * 3200 + 2048);
    out += "/* " + commentSafe(source) + ": frames " + std::to_string(range.first) + ".." +
           std::to_string(range.last) + " (" + count +
           " frames), written by dotreel-tool.\n"
           " *\n"
           " * One frame is 488 bytes for the 122 x 32 dot SG12232 LCD, driven as two halves\n"
           " * of 61 columns with four pages of 8 rows each:\n"
           " *   byte k = half * 244 + page * 61 + column   (half 0..1, page 0..3, column 0..60)\n"
           " *   bit b of byte k is the dot at row page * 8 + b (bit 0 at the top), screen\n"
           " *   column half * 61 + column; a bit 1 is a lit dot.\n"
           " * So bytes 0..243 go to the left controller and 244..487 to the right one, each as\n"
           " * page 0..3, one 61-byte page at a time from the page's left column.\n"
           " * " +
           std::string(name) + "[i] is frame " + macro + "_FIRST_FRAME " +
           (range.upwards() ? "+" : "-") +
           " i.\n"
           " */\n";
    out += "#ifndef " + guard + "\n#define " + guard + "\n\n#include <stdint.h>\n\n";
    out += "#define " + macro + "_FRAME_COUNT " + count + "\n";
    out += "#define " + macro + "_FRAME_BYTES " + std::to_string(kFrameBytes) + "\n";
    out += "#define " + macro + "_FIRST_FRAME " + std::to_string(range.first) + "\n\n";
    if (play != nullptr) {
        out +=
            "/* Playback as the editor's animation.txt sets it (frame numbers of the store). */\n";
        out += "#define DOTREEL_PLAY_START " + std::to_string(play->start) + "\n";
        out += "#define DOTREEL_PLAY_END " + std::to_string(play->end) + "\n";
        out += "#define DOTREEL_PLAY_INTERVAL_MS " + std::to_string(play->intervalMs) + "\n";
        out += std::string("#define DOTREEL_PLAY_REPEAT ") + (play->repeat ? "1" : "0") + "\n\n";
    }
    out += "static const uint8_t " + std::string(name) + "[" + count + "][" +
           std::to_string(kFrameBytes) + "] = {\n";
    // One frame's text has a fixed length; written in place, no piece built per byte.
    static constexpr char kDigits[] = "0123456789ABCDEF";
    for (int f : range.frames()) {
        out += "    { /* frame ";
        out += std::to_string(f);
        out += " */\n";
        const uint8_t* bytes = store.data() + static_cast<size_t>(f) * kFrameBytes;
        for (int j = 0; j < kFrameBytes; ++j) {
            if (j % 16 == 0) out.append("        ");
            const char cell[4] = {'0', 'x', kDigits[bytes[j] >> 4], kDigits[bytes[j] & 0x0F]};
            out.append(cell, 4);
            if (j + 1 < kFrameBytes) out.append((j % 16 == 15) ? ",\n" : ", ");
        }
        out += "\n    },\n";
    }
    out += "};\n\n#endif /* " + guard + " */\n";
    return out;
}

}  // namespace dotreel::tool
