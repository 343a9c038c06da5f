#include "tool/commands.h"

#include <algorithm>
#include <array>
#include <exception>
#include <filesystem>
#include <iomanip>
#include <map>
#include <memory>
#include <new>
#include <optional>
#include <sstream>
#include <string_view>

#include "core/frame.h"
#include "files/hexcodec.h"
#include "files/settingsfile.h"
#include "platform/errors.h"
#include "tool/args.h"
#include "tool/cheader.h"
#include "tool/checkfile.h"
#include "tool/devicecommands.h"
#include "tool/eeprom.h"
#include "tool/layouts.h"
#include "tool/outputs.h"
#include "tool/pictures.h"
#include "tool/store.h"
#include "tool/textcommands.h"

namespace dotreel::tool {
namespace {

const char kMainHelp[] =
    "Usage: dotreel-tool COMMAND [ARGUMENTS]\n"
    "\n"
    "Works on Dotreel frame files (131072 lines of two hexadecimal digits, 268 frames of\n"
    "488 bytes) and on \"animation.txt\", the playback settings beside them.\n"
    "\n"
    "Commands:\n"
    "  check FILE...            check frame files and animation.txt; exit 0 when no errors\n"
    "  info FILE                used frames and where they go on the EEPROMs\n"
    "  export FILE --format F   write bin, ihex, c, xbm, png or gif\n"
    "  import IMAGE... --into FILE --at FRAME\n"
    "                           turn pictures into frames of a frame file\n"
    "  text TEXT --into FILE --at FRAME\n"
    "                           text in a bitmap font into a frame, or a marquee\n"
    "  fonts                    the named fonts and whether they are installed\n"
    "\n"
    "Run 'dotreel-tool COMMAND --help' for the options of a command,\n"
    "'dotreel-tool --version' for the version.\n"
    "Exit status: 0 success, 1 problems found or the work failed, 2 wrong arguments.\n";

const char kInfoHelp[] =
    "Usage: dotreel-tool info FILE\n"
    "\n"
    "Lists the frames of a frame file that hold a lit dot, the first and the last of them, and\n"
    "the EEPROM map: for each used frame the chip (0 or 1) and byte addresses when the\n"
    "131072-byte store is split over two 24C512 (chip 0 holds bytes 0..65535), and how many of\n"
    "the used frames fit one 24C64, 24C128, 24C256 or 24C512 (488 bytes a frame): the frames\n"
    "'export --chip TYPE' packs when no --frames is given, the empty ones between them left out.\n";

const char kExportHelp[] =
    "Usage: dotreel-tool export FILE --format FORMAT -o OUTPUT [OPTIONS]\n"
    "\n"
    "Formats (any letter case):\n"
    "  bin    raw bytes: the whole 131072-byte store; with --split one 65536-byte image per\n"
    "         24C512 (OUTPUT-0 and OUTPUT-1); with --frames A..B those whole frames packed from\n"
    "         address 0; with --chip and no --frames the used frames (those holding a lit dot,\n"
    "         ascending, the empty frames between them left out), as 'info' lists them\n"
    "  ihex   the same images as Intel HEX: 16-byte records, checksums, end record\n"
    "  c      a C header: static const uint8_t NAME[count][488], the layout in its comment,\n"
    "         and the playback settings as DOTREEL_PLAY_* macros when animation.txt is found;\n"
    "         --layout for display libraries (NAME[count][512], a bit 1 is a lit dot):\n"
    "           store  the store's own bytes, for our player (the default)\n"
    "           u8g2   u8g2's full frame buffer of a 122 x 32 display: 4 pages of 128 bytes,\n"
    "                  a byte one column of 8 rows, bit 0 at the top, columns 122..127 dark;\n"
    "                  memcpy a frame into getBufferPtr(), then sendBuffer()\n"
    "           xbm    32 rows of 16 bytes, bit 0 leftmost: u8g2 drawXBM, GFX drawXBitmap\n"
    "           gfx    32 rows of 16 bytes, bit 7 leftmost: Adafruit GFX drawBitmap\n"
    "  xbm    one frame (or --sheet) as an XBM picture, NAME_width / NAME_height / NAME_bits\n"
    "  png    frames drawn as the LCD shows them: one frame to OUTPUT, more frames to numbered\n"
    "         files (OUTPUT-000.png ...), or with --sheet all of them on one sheet\n"
    "  gif    an animated GIF at the playback interval\n"
    "OUTPUT '-' writes bin, ihex, c and xbm to standard output.\n"
    "\n";

const char kImportHelp[] =
    "Usage: dotreel-tool import IMAGE... --into FILE --at FRAME [OPTIONS]\n"
    "\n"
    "Reads PNG, BMP, GIF (every frame of an animation) and JPEG pictures, fits each into\n"
    "122 x 32 dots keeping its aspect (centred; transparent parts stay unlit) and stores them\n"
    "as frames FRAME, FRAME+1, ... of FILE. A dark pixel lights its dot. Every other frame and\n"
    "byte of FILE is kept, and FILE is replaced in one step, never half-written.\n"
    "A picture the size of an export drawing with panel between the dots (122 x S + G by\n"
    "32 x S + G pixels, 1 <= G < S) is read at the dots' centres, so export -> import is exact.\n"
    "\n"
    "Arrays come back dot for dot, without fitting: an XBM file (.xbm) of 122 x 32 dots is one\n"
    "frame, one made of whole 122 x 32 cells (an export --sheet) a frame per cell, row by row\n"
    "(other sizes are read as pictures); a C file (.c, .h) is read as the numbers of its first\n"
    "initializer, in order, hexadecimal or decimal, in the layout its comment names when\n"
    "dotreel-tool wrote it, else the one given by --layout:\n"
    "  store  488 bytes a frame, the store's own order (the default)\n"
    "  u8g2   512 bytes a frame: 4 pages of 128 columns, bit 0 at the top\n"
    "  xbm    512 bytes a frame: 32 rows of 16 bytes, bit 0 leftmost\n"
    "  gfx    512 bytes a frame: 32 rows of 16 bytes, bit 7 leftmost\n"
    "A bit 1 is a lit dot (with --invert an unlit one).\n"
    "\n";

// Said by every command that reads a frame file the way the editor does.
const char kOddLinesHelp[] =
    "\n"
    "A FILE whose lines are not all two hexadecimal digits is read as the editor reads it,\n"
    "with one warning naming the first such line; 'dotreel-tool check FILE' lists them.\n";

// ---- the options, each declared once -----------------------------------------------------

enum FormatBit : unsigned { kBin = 1, kIhex = 2, kC = 4, kPng = 8, kGif = 16, kXbm = 32 };
constexpr std::array<std::string_view, 6> kFormatNames{"bin", "ihex", "c", "png", "gif", "xbm"};

const OptionDef kHelpOption{"help", "", 'h', "show this help"};

const std::vector<OptionDef>& exportOptions() {
    static const std::vector<OptionDef> options = {
        kHelpOption,
        {"format", "FORMAT", 0, "bin, ihex, c, xbm, png or gif"},
        {"output", "PATH", 'o', "file to write; numbered files are named after it"},
        {"force", "", 0, "replace output files that exist (never the input)"},
        {"frames", "A..B", 0,
         "frames to export, A..B or one frame A (0..267). Default for c and\n"
         "png: first to last used frame; for bin and ihex with --chip: the\n"
         "used frames; for gif: the playback range of animation.txt. B below\n"
         "A runs backwards."},
        {"split", "", 0, "one image per 24C512", kBin | kIhex},
        {"chip", "TYPE", 0, "24c64, 24c128, 24c256 or 24c512; the frames must fit", kBin | kIhex},
        {"name", "ID", 0,
         "name of the array, a C identifier (default for c: dotreel_frames;\n"
         "for xbm: OUTPUT's name when it is one, else dotreel_frame)",
         kC | kXbm},
        {"layout", "L", 0, "store, u8g2, xbm or gfx (default store); see above", kC},
        {"progmem", "", 0, "the array in flash on AVR (PROGMEM, <avr/pgmspace.h>)", kC},
        {"scale", "N", 0, "pixels from one dot to the next, 1..64 (default 4)", kPng | kGif},
        {"gap", "N", 0, "panel pixels between dots, below the scale (default 1, 0 at\nscale 1)",
         kPng | kGif},
        {"lit", "RRGGBB", 0, "colour of a lit dot (default 202818)", kPng | kGif},
        {"unlit", "RRGGBB", 0, "colour of an unlit dot (default AEC27E)", kPng | kGif},
        {"panel", "RRGGBB", 0, "colour between the dots (default BACF8C)", kPng | kGif},
        {"sheet", "", 0,
         "all frames on one sprite sheet (xbm: 122 x 32 cells, no space\nbetween them)",
         kPng | kXbm},
        {"columns", "N", 0, "with --sheet: frames per row, 1..268 (default 8)", kPng | kXbm},
        {"interval", "MS", 0,
         "milliseconds per frame, 1..65535 (default: animation.txt, or\nwithout it the "
         "editor's 10)",
         kGif},
        {"settings", "PATH", 0,
         "the animation.txt to use (default: 設定/animation.txt in the\n"
         "folder above FILE's folder, where the editor keeps it)",
         kC | kGif},
        {"once", "", 0, "play the GIF once instead of looping; in C, DOTREEL_PLAY_REPEAT 0",
         kC | kGif},
    };
    return options;
}

const std::vector<OptionDef>& importOptions() {
    static const std::vector<OptionDef> options = {
        kHelpOption,
        {"into", "FILE", 0, "the frame file to change"},
        {"at", "FRAME", 0, "the first frame to fill, 0..267"},
        {"threshold", "N", 0,
         "a pixel with a grey level below N (0..255) lights its dot\n(default 128)"},
        {"dither", "", 0, "error diffusion (Floyd-Steinberg) for grey pictures"},
        {"invert", "", 0, "light pixels light their dots"},
        {"truncate", "", 0, "drop the pictures that would go past frame 267 instead of refusing"},
        {"create", "", 0, "start from an empty store when FILE does not exist"},
        {"layout", "L", 0,
         "the layout of C files: store, u8g2, xbm or gfx (default: the one\nthe file names, else "
         "store)"},
    };
    return options;
}

// An option's help, prefixed with the formats it is for when it is not for all of them.
std::string exportHelp() {
    std::vector<OptionDef> shown = exportOptions();
    std::vector<std::string> texts;
    texts.reserve(shown.size());
    for (auto& option : shown) {
        std::string prefix;
        for (size_t i = 0; i < kFormatNames.size(); ++i)
            if (option.formats != ~0U && (option.formats & (1U << i)) != 0)
                prefix += (prefix.empty() ? "" : ", ") + std::string(kFormatNames[i]);
        texts.push_back(prefix.empty() ? std::string(option.help)
                                       : prefix + ": " + std::string(option.help));
    }
    for (size_t i = 0; i < shown.size(); ++i) shown[i].help = texts[i];
    return kExportHelp + describeOptions(shown) + kOddLinesHelp;
}

std::string importHelp() { return kImportHelp + describeOptions(importOptions()) + kOddLinesHelp; }

struct Command {
    std::string (*help)();
    const std::vector<OptionDef>& (*options)();
    int (*run)(const ParsedArgs&, std::ostream&, std::ostream&);
};

std::string hex4(int value) {
    std::ostringstream s;
    s << "0x" << std::uppercase << std::hex << std::setw(4) << std::setfill('0') << value;
    return s.str();
}

std::string fileName(const std::string& path) {
    return std::filesystem::path(path).filename().string();
}

// ---- check -------------------------------------------------------------------------------

int runCheck(const ParsedArgs& args, std::ostream& out, std::ostream&) {
    if (args.positionals.empty()) throw UsageError("check needs at least one FILE");
    bool clean = true;
    for (const auto& path : args.positionals) {
        const CheckReport report = checkFile(path);
        out << formatReport(report);
        clean = clean && report.errors.empty();
    }
    return clean ? kExitOk : kExitFailed;
}

// ---- info --------------------------------------------------------------------------------

int runInfo(const ParsedArgs& args, std::ostream& out, std::ostream& err) {
    if (args.positionals.size() != 1) throw UsageError("info needs exactly one FILE");
    const std::string& path = args.positionals[0];
    const auto store = loadStore(path, err);
    const std::vector<int> used = usedFrames(*store);
    const int count = static_cast<int>(used.size());

    out << "File: " << path << "\n";
    out << "Used frames (holding a lit dot): " << count << " of " << kFrameCount << ": "
        << describeFrameList(used) << "\n";
    if (used.empty()) {
        out << "First used frame: none\nLast used frame: none\n";
    } else {
        out << "First used frame: " << used.front() << "\n";
        out << "Last used frame: " << used.back() << "\n";
    }
    int trailing = 0;
    for (int k = kFrameCount * kFrameBytes; k < kStoreBytes; ++k)
        if ((*store)[static_cast<size_t>(k)] != 0) ++trailing;
    out << "Bytes after frame " << kLastFrame << " (" << kFrameCount * kFrameBytes << ".."
        << kStoreBytes - 1
        << "): " << (trailing == 0 ? std::string("all 0") : std::to_string(trailing) + " not 0")
        << "\n";

    out << "\nEEPROM map, the store split over two 24C512 (chip 0: bytes 0..65535, chip 1: "
           "65536..131071):\n";
    if (used.empty()) out << "  (no used frame)\n";
    for (int f : used) {
        const ChipAddress a = frameStartAddress(f);
        const ChipAddress b = frameEndAddress(f);
        out << "  frame " << std::setw(3) << f << ": chip " << a.chip << ", " << hex4(a.address);
        if (a.chip == b.chip)
            out << ".." << hex4(b.address) << "\n";
        else
            out << "..0xFFFF and chip " << b.chip << ", 0x0000.." << hex4(b.address)
                << " (crosses into chip " << b.chip << ")\n";
    }

    // This is what export --chip TYPE packs when no --frames is given.
    out << "\nOne chip, whole frames packed from address 0 (" << kFrameBytes
        << " bytes a frame).\n'export --chip TYPE' without --frames packs these used frames, "
           "ascending, the empty\nframes between them left out:\n";
    for (const auto& chip : kChipTypes) {
        const int capacity = framesPerChip(chip.bytes);
        const int fit = std::min(capacity, count);
        out << "  " << std::left << std::setw(7) << chip.name << std::right << std::setw(6)
            << chip.bytes << " bytes, " << std::setw(3) << capacity << " frames: ";
        if (count == 0)
            out << "no used frame to pack\n";
        else if (fit == count)
            out << "all " << count << " used frames fit\n";
        else
            out << fit << " of the " << count << " used frames fit (--chip refuses)\n";
    }
    return kExitOk;
}

// ---- export ------------------------------------------------------------------------------

std::vector<OutputFile> exportBytes(const ExportContext& c, bool intelHex) {
    const auto encode = [&](const std::string& bytes) {
        return intelHex ? formatIntelHex(bytes) : bytes;
    };
    const ParsedArgs& args = c.args;
    if (args.has("split")) {
        if (args.has("frames") || args.has("chip"))
            throw UsageError(
                "--split writes the whole store; it does not go with --frames or --chip");
        return {{numberedPath(c.output, 0, 1), encode(storeBytes(c.store, 0, kLargeChipBytes))},
                {numberedPath(c.output, 1, 1),
                 encode(storeBytes(c.store, kLargeChipBytes, kLargeChipBytes))}};
    }
    if (!args.has("frames") && !args.has("chip"))
        return {{c.output, encode(storeBytes(c.store, 0, kStoreBytes))}};

    std::optional<ChipType> chip;
    if (auto name = args.value("chip")) {
        chip = chipTypeByName(*name);
        if (!chip)
            throw UsageError("--chip: unknown type '" + *name +
                             "' (24c64, 24c128, 24c256, 24c512)");
    }
    std::vector<int> frames;
    std::string described;
    if (auto range = framesOption(args)) {
        frames = range->frames();
        described = "frames " + std::to_string(range->first) + ".." + std::to_string(range->last);
    } else {
        // --chip alone: the used frames, exactly as 'info' counts them.
        frames = usedFrames(c.store);
        if (frames.empty()) throw ToolError("no frame holds a lit dot; give --frames A..B");
        described = "the used frames (" + describeFrameList(frames) + ")";
    }
    const int count = static_cast<int>(frames.size());
    if (chip && count > framesPerChip(chip->bytes))
        throw ToolError(
            described + " are " + std::to_string(count) + " frames; a " + std::string(chip->name) +
            " holds " + std::to_string(framesPerChip(chip->bytes)) + " (" +
            std::to_string(chip->bytes) + " bytes / " + std::to_string(kFrameBytes) + ")");
    return {{c.output, encode(packFrameList(c.store, frames))}};
}

std::vector<OutputFile> exportC(const ExportContext& c, std::ostream& err) {
    const std::string name = c.args.value("name").value_or("dotreel_frames");
    if (!isValidCIdentifier(name))
        throw UsageError("--name: '" + name + "' is not a usable C identifier");
    const FrameRange range = framesOrUsed(c.args, c.store);

    std::optional<PlayMacros> play;
    const SettingsLookup found = lookUpSettings(c.args, c.input);
    if (found.present) {
        if (!found.settings) throw ToolError(found.failure);
        const PlaybackSettings& s = *found.settings;
        const auto outside = [&](const char* what, int value, int low, int high) {
            if (value < low || value > high)
                throw ToolError("settings '" + found.path + "': " + what + " " +
                                std::to_string(value) + " is outside " + std::to_string(low) +
                                ".." + std::to_string(high));
        };
        outside("start frame", s.start, kFrameNumbers.low, kFrameNumbers.high);
        outside("end frame", s.end, kFrameNumbers.low, kFrameNumbers.high);
        outside("interval", s.intervalMs, kIntervals.low, kIntervals.high);
        play = PlayMacros{s.start, s.end, s.intervalMs, !c.args.has("once")};
        const int low = std::min(range.first, range.last);
        const int high = std::max(range.first, range.last);
        if (std::min(s.start, s.end) < low || std::max(s.start, s.end) > high)
            err << "note: the playback range " << s.start << ".." << s.end
                << " reaches beyond the exported frames " << range.first << ".." << range.last
                << "\n";
    }
    CArrayOptions options;
    options.progmem = c.args.has("progmem");
    if (auto v = c.args.value("layout")) options.layout = parseLayoutOption(*v);
    return {{c.output, formatCHeader(c.store, range, name, fileName(c.input),
                                     play ? &*play : nullptr, options)}};
}

std::vector<OutputFile> exportXbm(const ExportContext& c) {
    std::string name = c.args.value("name").value_or("");
    if (c.args.has("name")) {
        if (!isValidCIdentifier(name))
            throw UsageError("--name: '" + name + "' is not a usable C identifier");
    } else {
        // X11's habit: the picture is named after its file.
        name = std::filesystem::path(c.output).stem().string();
        if (c.output == "-" || !isValidCIdentifier(name)) name = "dotreel_frame";
    }
    const FrameRange range = framesOrUsed(c.args, c.store);
    int columns = 8;
    if (c.args.has("sheet")) {
        if (auto v = c.args.value("columns"))
            columns = parseInteger(*v, 1, kFrameCount, "--columns");
    } else {
        if (c.args.has("columns")) throw UsageError("--columns goes with --sheet");
        if (range.count() != 1)
            throw UsageError(
                "an XBM file holds one picture: give one frame (--frames A) or --sheet");
    }
    return {{c.output, formatXbm(framesBitmap(c.store, range.frames(), columns), name)}};
}

int runExport(const ParsedArgs& args, std::ostream& out, std::ostream& err) {
    if (args.positionals.size() != 1) throw UsageError("export needs exactly one FILE");
    const auto formatGiven = args.value("format");
    if (!formatGiven) throw UsageError("export needs --format bin|ihex|c|xbm|png|gif");
    const std::string format = lowerCase(*formatGiven);
    const auto output = args.value("output");
    if (!output || output->empty()) throw UsageError("export needs -o OUTPUT");

    const auto known = std::find(kFormatNames.begin(), kFormatNames.end(), format);
    if (known == kFormatNames.end())
        throw UsageError("--format: unknown format '" + *formatGiven +
                         "' (bin, ihex, c, xbm, png, gif)");
    // Options that belong to other formats are mistakes, not silently ignored wishes.
    const unsigned bit = 1U << static_cast<unsigned>(known - kFormatNames.begin());
    for (const auto& option : exportOptions())
        if (args.has(std::string(option.name)) && (option.formats & bit) == 0)
            throw UsageError("--" + std::string(option.name) + " does not apply to --format " +
                             format);
    const bool toStdout = *output == "-";
    if (toStdout && (bit & (kPng | kGif)) != 0)
        throw UsageError("-o -: only bin, ihex, c and xbm go to standard output");
    if (toStdout && args.has("split"))
        throw UsageError("-o -: --split writes two files; give a file name");

    const std::string& input = args.positionals[0];
    const auto store = loadStore(input, err);
    const ExportContext context{args, input, *output, *store};
    ExportResult result;
    if (bit == kBin || bit == kIhex)
        result.files = exportBytes(context, bit == kIhex);
    else if (bit == kC)
        result.files = exportC(context, err);
    else if (bit == kXbm)
        result.files = exportXbm(context);
    else if (pictureFunctions().exportPictures)
        result = pictureFunctions().exportPictures(format, context, err);
    else
        throw ToolError("this program has no picture part; run " + std::string(kPictureProgram));

    if (toStdout) {
        for (const auto& f : result.files)
            out.write(f.data.data(), static_cast<std::streamsize>(f.data.size()));
        return kExitOk;
    }
    writeOutputs(result.files, args.has("force"), {input});
    if (!result.summary.empty()) {
        out << result.summary << "\n";
    } else {
        for (const auto& f : result.files)
            out << "wrote " << f.path << " (" << f.data.size() << " bytes)\n";
    }
    return kExitOk;
}

int runImport(const ParsedArgs& args, std::ostream& out, std::ostream& err) {
    if (!pictureFunctions().runImport)
        throw ToolError("this program has no picture part; run " + std::string(kPictureProgram));
    return pictureFunctions().runImport(args, out, err);
}

const std::vector<OptionDef>& plainOptions() {
    static const std::vector<OptionDef> options = {kHelpOption};
    return options;
}

// Built from the declared ranges, so that the help states what `check` applies.
std::string checkHelp() {
    static const std::string text = [] {
        auto range = [](SettingsRange r) {
            return std::to_string(r.low) + ".." + std::to_string(r.high);
        };
        return "Usage: dotreel-tool check FILE...\n"
               "\n"
               "Reads each file once, the way the editor reads it, and lists what differs from\n"
               "the way the editor writes it. Files named animation.txt are checked as playback\n"
               "settings, all others as frame files. Nothing is changed.\n"
               "\n"
               "Errors (the editor cannot load the file, or reads it differently from what it\n"
               "says):\n"
               "  - a frame file without exactly 131072 lines, or a line that is not two\n"
               "    hexadecimal digits: they are counted, and the first 10 are listed with their\n"
               "    line numbers and the byte the editor reads (long lines cut at 40 bytes);\n"
               "  - animation.txt without exactly 3 lines, or a line that is no whole number in\n"
               "    its range: start frame and end frame " +
               range(kFrameNumbers) + ", interval " + range(kIntervals) +
               " ms.\n"
               "Warnings (the editor reads the file all the same):\n"
               "  - line ends other than CR LF: a lone LF, a lone CR, none after the last line;\n"
               "  - lower-case hexadecimal digits.\n"
               "\n"
               "Exit status: 0 when no file has an error (warnings do not count), 1 when one\n"
               "has, 2 wrong arguments.\n";
    }();
    return text;
}
std::string infoHelp() { return std::string(kInfoHelp) + kOddLinesHelp; }

const std::map<std::string, Command, std::less<>>& commands() {
    static const std::map<std::string, Command, std::less<>> table = {
        {"check", {checkHelp, plainOptions, runCheck}},
        {"info", {infoHelp, plainOptions, runInfo}},
        {"export", {exportHelp, exportOptions, runExport}},
        {"import", {importHelp, importOptions, runImport}},
        {"text", {textHelp, textOptions, runText}},
        {"fonts", {fontsHelp, plainOptions, runFonts}},
        {"device", {deviceHelp, deviceOptions, runDevice}},
    };
    return table;
}

// Whether the command line needs the picture part: import, and export to png or gif.
bool needsPictures(const std::string& command, const ParsedArgs& args) {
    if (command == "import") return true;
    if (command != "export") return false;
    const std::string format = lowerCase(args.value("format").value_or(""));
    return format == "png" || format == "gif";
}

std::string unknownCommand(const std::string& name) {
    std::vector<std::string_view> names;
    for (const auto& entry : commands()) names.emplace_back(entry.first);
    std::string message = "dotreel-tool: unknown command '" + name + "'";
    const std::string nearest = nearestName(name, names);
    if (!nearest.empty()) message += "; did you mean '" + nearest + "'?";
    return message +
           " (check, info, export, import, text, fonts, device; see dotreel-tool --help)\n";
}

// Output that could not be written is a failure, whatever the command did: a listing cut short
// must not pass for a complete one.
int finish(int code, std::ostream& out, std::ostream& err) {
    out.flush();
    if (out.fail()) {
        err << "dotreel-tool: cannot write to standard output\n";
        return kExitFailed;
    }
    return code;
}

}  // namespace

FrameRange usedRange(const FrameMemory& store) {
    const std::vector<int> used = usedFrames(store);
    if (used.empty()) throw ToolError("no frame holds a lit dot; give --frames A..B");
    return {used.front(), used.back()};
}

std::optional<FrameRange> framesOption(const ParsedArgs& args) {
    if (auto v = args.value("frames")) return parseFrameRange(*v, "--frames");
    return std::nullopt;
}

FrameRange framesOrUsed(const ParsedArgs& args, const FrameMemory& store) {
    if (auto r = framesOption(args)) return *r;
    return usedRange(store);
}

SettingsLookup lookUpSettings(const ParsedArgs& args, const std::string& input) {
    SettingsLookup found;
    const auto given = args.value("settings");
    found.path = given.value_or(settingsPathFor(input));
    std::error_code ec;
    // A file named on the command line must be there; the default one is optional.
    found.present = given.has_value() || std::filesystem::exists(found.path, ec);
    if (!found.present) return found;
    try {
        found.settings = readSettings(found.path);
    } catch (const ToolError& e) {
        found.failure = e.what();
    }
    return found;
}

int runTool(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    if (args.empty()) {
        err << kMainHelp;
        return kExitUsage;
    }
    const std::string& name = args[0];
    if (name == "--version" || name == "-V") {
        out << "dotreel-tool " << DOTREEL_VERSION << "\n";
        return finish(kExitOk, out, err);
    }
    if (name == "--help" || name == "-h" || name == "help") {
        if (args.size() > 1) {
            auto it = commands().find(args[1]);
            if (it == commands().end()) {
                err << unknownCommand(args[1]);
                return kExitUsage;
            }
            out << (args[1] == "device" && args.size() > 2 ? deviceHelpFor(args[2])
                                                           : it->second.help());
        } else {
            out << kMainHelp;
        }
        return finish(kExitOk, out, err);
    }
    auto it = commands().find(name);
    if (it == commands().end()) {
        err << unknownCommand(name);
        return kExitUsage;
    }
    const Command& command = it->second;
    try {
        const ParsedArgs parsed =
            parseArgs(std::vector<std::string>(args.begin() + 1, args.end()), command.options());
        if (parsed.has("help")) {
            // device's commands have a help each
            out << (name == "device" && !parsed.positionals.empty()
                        ? deviceHelpFor(parsed.positionals[0])
                        : command.help());
            return finish(kExitOk, out, err);
        }
        if (pictureFunctions().handOver && needsPictures(name, parsed))
            return pictureFunctions().handOver(err);
        return finish(command.run(parsed, out, err), out, err);
    } catch (const UsageError& e) {
        err << "dotreel-tool " << name << ": " << e.what() << "\n"
            << "Run 'dotreel-tool " << name << " --help' for usage.\n";
        return kExitUsage;
    } catch (const ToolError& e) {
        err << "dotreel-tool " << name << ": " << e.what() << "\n";
        return finish(kExitFailed, out, err);
    } catch (const PlatformError& e) {
        err << "dotreel-tool " << name << ": " << e.what() << "\n";
        return finish(kExitFailed, out, err);
    } catch (const std::bad_alloc&) {
        // Out of memory is a failed command, never an abort.
        err << "dotreel-tool " << name << ": out of memory\n";
        return kExitFailed;
    } catch (const std::exception& e) {
        err << "dotreel-tool " << name << ": " << e.what() << "\n";
        return kExitFailed;
    }
}

}  // namespace dotreel::tool
