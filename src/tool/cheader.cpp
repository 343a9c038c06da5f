#include "tool/cheader.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdint>
#include <vector>

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

namespace {

// What the layout is and how a frame of it is drawn, for the header's opening comment.
std::string layoutComment(std::string_view name, const std::string& macro,
                          const CArrayOptions& options) {
    const std::string n(name);
    switch (options.layout) {
        case Layout::Store:
            return " * One frame is 488 bytes for the 122 x 32 dot SG12232 LCD, driven as two "
                   "halves\n"
                   " * of 61 columns with four pages of 8 rows each:\n"
                   " *   byte k = half * 244 + page * 61 + column   (half 0..1, page 0..3, column "
                   "0..60)\n"
                   " *   bit b of byte k is the dot at row page * 8 + b (bit 0 at the top), "
                   "screen\n"
                   " *   column half * 61 + column; a bit 1 is a lit dot.\n"
                   " * So bytes 0..243 go to the left controller and 244..487 to the right one, "
                   "each as\n"
                   " * page 0..3, one 61-byte page at a time from the page's left column.\n";
        case Layout::U8g2:
            return " * Layout u8g2: the full frame buffer of a 122 x 32 u8g2 display "
                   "(U8G2_SED1520_122X32_F):\n"
                   " *   byte k = page * 128 + column, bit b the dot at row page * 8 + b (bit 0 at "
                   "the\n"
                   " *   top); columns 122..127 are 0; a bit 1 is a lit dot.\n"
                   " * Draw frame i: " +
                   std::string(options.progmem ? "memcpy_P" : "memcpy") + "(u8g2.getBufferPtr(), " +
                   n + "[i], " + macro + "_FRAME_BYTES); u8g2.sendBuffer();\n";
        case Layout::Xbm:
            return " * Layout xbm: 32 rows of 16 bytes, top row first; bit 0 of a byte is its "
                   "leftmost\n"
                   " *   dot (XBM order); the last 6 bits of each row are 0; a bit 1 is a lit "
                   "dot.\n" +
                   std::string(
                       options.progmem
                           ? " * Draw frame i: u8g2.drawXBMP(0, 0, " + macro + "_WIDTH, " + macro +
                                 "_HEIGHT, " + n +
                                 "[i]);\n *   or Adafruit GFX display.drawXBitmap(0, 0, " + n +
                                 "[i], " + macro + "_WIDTH, " + macro + "_HEIGHT, 1);\n"
                           : " * Draw frame i: u8g2.drawXBM(0, 0, " + macro + "_WIDTH, " + macro +
                                 "_HEIGHT, " + n +
                                 "[i]);\n *   (drawXBMP and Adafruit GFX drawXBitmap read flash: "
                                 "export with --progmem)\n");
        case Layout::Gfx:
            return " * Layout gfx: 32 rows of 16 bytes, top row first; bit 7 of a byte is its "
                   "leftmost\n"
                   " *   dot (Adafruit GFX order); the last 6 bits of each row are 0; a bit 1 is "
                   "lit.\n"
                   " * Draw frame i: display.drawBitmap(0, 0, " +
                   n + "[i], " + macro + "_WIDTH, " + macro + "_HEIGHT, 1);\n" +
                   (options.progmem
                        ? std::string()
                        : std::string(" *   (on AVR drawBitmap reads a const array from "
                                      "flash: export with --progmem)\n"));
    }
    return {};
}

}  // namespace

std::string formatCHeader(const FrameMemory& store, const FrameRange& range, std::string_view name,
                          std::string_view source, const PlayMacros* play,
                          const CArrayOptions& options) {
    const std::string macro = upperCase(name);
    const std::string guard = macro + "_H";
    const std::string count = std::to_string(range.count());
    const int frameBytes = layoutFrameBytes(options.layout);
    std::string out;
    out.reserve(static_cast<size_t>(range.count()) * static_cast<size_t>(frameBytes) * 7 + 2048);
    out += "/* " + commentSafe(source) + ": frames " + std::to_string(range.first) + ".." +
           std::to_string(range.last) + " (" + count +
           " frames), written by dotreel-tool.\n"
           " *\n";
    out += layoutComment(name, macro, options);
    out += " * " + std::string(name) + "[i] is frame " + macro + "_FIRST_FRAME " +
           (range.upwards() ? "+" : "-") +
           " i.\n"
           " */\n";
    out += "#ifndef " + guard + "\n#define " + guard + "\n\n#include <stdint.h>\n";
    if (options.progmem)
        out +=
            "#if defined(__AVR__)\n#include <avr/pgmspace.h>\n#endif\n"
            "#ifndef PROGMEM\n#define PROGMEM\n#endif\n";
    out += "\n#define " + macro + "_FRAME_COUNT " + count + "\n";
    out += "#define " + macro + "_FRAME_BYTES " + std::to_string(frameBytes) + "\n";
    out += "#define " + macro + "_FIRST_FRAME " + std::to_string(range.first) + "\n";
    if (options.layout != Layout::Store)
        out += "#define " + macro + "_WIDTH " + std::to_string(kColumns) + "\n#define " + macro +
               "_HEIGHT " + std::to_string(kRows) + "\n";
    out += "\n";
    if (play != nullptr) {
        out +=
            "/* Playback as the editor's animation.txt sets it (frame numbers of the store). */\n";
        out += "#define DOTREEL_PLAY_START " + std::to_string(play->start) + "\n";
        out += "#define DOTREEL_PLAY_END " + std::to_string(play->end) + "\n";
        out += "#define DOTREEL_PLAY_INTERVAL_MS " + std::to_string(play->intervalMs) + "\n";
        out += std::string("#define DOTREEL_PLAY_REPEAT ") + (play->repeat ? "1" : "0") + "\n\n";
    }
    out += "static const uint8_t " + std::string(name) + "[" + count + "][" +
           std::to_string(frameBytes) + "]" + (options.progmem ? " PROGMEM" : "") + " = {\n";
    // One frame's text has a fixed length; written in place, no piece built per byte.
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::vector<uint8_t> frame(static_cast<size_t>(frameBytes));
    for (int f : range.frames()) {
        out += "    { /* frame ";
        out += std::to_string(f);
        out += " */\n";
        encodeFrame(store, f, options.layout, frame.data());
        const uint8_t* bytes = frame.data();
        for (int j = 0; j < frameBytes; ++j) {
            if (j % 16 == 0) out.append("        ");
            const char cell[4] = {'0', 'x', kDigits[bytes[j] >> 4], kDigits[bytes[j] & 0x0F]};
            out.append(cell, 4);
            if (j + 1 < frameBytes) out.append((j % 16 == 15) ? ",\n" : ", ");
        }
        out += "\n    },\n";
    }
    out += "};\n\n#endif /* " + guard + " */\n";
    return out;
}

}  // namespace dotreel::tool
