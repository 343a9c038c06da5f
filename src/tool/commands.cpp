#include "tool/commands.h"

#include <QImage>
#include <algorithm>
#include <filesystem>
#include <iomanip>
#include <map>
#include <memory>
#include <optional>
#include <sstream>

#include "core/frame.h"
#include "files/hexcodec.h"
#include "files/settingsfile.h"
#include "platform/errors.h"
#include "platform/safewrite.h"
#include "platform/textfile.h"
#include "tool/args.h"
#include "tool/cheader.h"
#include "tool/checkfile.h"
#include "tool/eeprom.h"
#include "tool/gifexport.h"
#include "tool/imageimport.h"
#include "tool/outputs.h"
#include "tool/render.h"
#include "tool/store.h"

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
    "  export FILE --format F   write bin, ihex, c, png or gif\n"
    "  import IMAGE... --into FILE --at FRAME\n"
    "                           turn pictures into frames of a frame file\n"
    "\n"
    "Run 'dotreel-tool COMMAND --help' for the options of a command.\n"
    "Exit status: 0 success, 1 problems found or the work failed, 2 wrong arguments.\n";

// Built from the declared ranges, so that the help states what `check` applies.
const char* checkHelp() {
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
    return text.c_str();
}

const char kInfoHelp[] =
    "Usage: dotreel-tool info FILE\n"
    "\n"
    "Lists the frames of a frame file that hold a lit dot, the first and the last of them, and\n"
    "the EEPROM map: for each used frame the chip (0 or 1) and byte addresses when the\n"
    "131072-byte store is split over two 24C512 (chip 0 holds bytes 0..65535), and how many of\n"
    "the used frames fit one 24C64, 24C128, 24C256 or 24C512 (488 bytes a frame).\n";

const char kExportHelp[] =
    "Usage: dotreel-tool export FILE --format FORMAT -o OUTPUT [OPTIONS]\n"
    "\n"
    "Formats:\n"
    "  bin    raw bytes: the whole 131072-byte store; with --split one 65536-byte image per\n"
    "         24C512 (OUTPUT-0 and OUTPUT-1); with --frames A..B those whole frames packed from\n"
    "         address 0, and with --chip checked to fit that chip\n"
    "  ihex   the same images as Intel HEX: 16-byte records, checksums, end record\n"
    "  c      a C header: static const uint8_t NAME[count][488], the layout in its comment\n"
    "  png    frames drawn as the LCD shows them: one frame to OUTPUT, more frames to numbered\n"
    "         files (OUTPUT-000.png ...), or with --sheet all of them on one sheet\n"
    "  gif    an animated GIF at the playback interval\n"
    "\n"
    "Options:\n"
    "  -o, --output PATH  file to write; numbered files are named after it\n"
    "  --force            replace output files that exist (never the input)\n"
    "  --frames A..B      frames to export, A..B or one frame A (0..267). Default for c and\n"
    "                     png, and for bin and ihex with --chip: first to last used frame; for\n"
    "                     gif: the playback range of animation.txt. B below A runs backwards.\n"
    "  --split            bin, ihex: one image per 24C512\n"
    "  --chip TYPE        bin, ihex: 24c64, 24c128, 24c256 or 24c512; the frames must fit\n"
    "  --name ID          c: name of the array, a C identifier (default dotreel_frames)\n"
    "  --scale N          png, gif: pixels from one dot to the next, 1..64 (default 4)\n"
    "  --gap N            png, gif: panel pixels between dots, below the scale (default 1,\n"
    "                     0 at scale 1)\n"
    "  --lit RRGGBB       png, gif: colour of a lit dot (default 202818)\n"
    "  --unlit RRGGBB     png, gif: colour of an unlit dot (default AEC27E)\n"
    "  --panel RRGGBB     png, gif: colour between the dots (default BACF8C)\n"
    "  --sheet            png: all frames on one sprite sheet\n"
    "  --columns N        png --sheet: frames per row, 1..268 (default 8)\n"
    "  --interval MS      gif: milliseconds per frame, 1..65535 (default: animation.txt)\n"
    "  --settings PATH    gif: the animation.txt to use (default: 設定/animation.txt in the\n"
    "                     folder above FILE's folder, where the editor keeps it)\n"
    "  --once             gif: play once instead of looping\n";

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
    "Options:\n"
    "  --into FILE      the frame file to change\n"
    "  --at FRAME       the first frame to fill, 0..267\n"
    "  --threshold N    a pixel with a grey level below N (0..255) lights its dot (default 128)\n"
    "  --dither         error diffusion (Floyd-Steinberg) for grey pictures\n"
    "  --invert         light pixels light their dots\n"
    "  --truncate       drop the pictures that would go past frame 267 instead of refusing\n"
    "  --create         start from an empty store when FILE does not exist\n";

struct Command {
    const char* help;
    std::vector<OptionDef> options;
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

FrameRange usedRange(const FrameMemory& store) {
    const std::vector<int> used = usedFrames(store);
    if (used.empty()) throw ToolError("no frame holds a lit dot; give --frames A..B");
    return {used.front(), used.back()};
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

int runInfo(const ParsedArgs& args, std::ostream& out, std::ostream&) {
    if (args.positionals.size() != 1) throw UsageError("info needs exactly one FILE");
    const std::string& path = args.positionals[0];
    const auto store = loadStore(path);
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

    out << "\nOne chip, whole frames packed from address 0 (" << kFrameBytes
        << " bytes a frame):\n";
    for (const auto& chip : kChipTypes) {
        const int capacity = framesPerChip(chip.bytes);
        const int fit = std::min(capacity, count);
        out << "  " << std::left << std::setw(7) << chip.name << std::right << std::setw(6)
            << chip.bytes << " bytes, " << std::setw(3) << capacity << " frames: ";
        if (fit == count)
            out << "all " << count << " used frames fit\n";
        else
            out << fit << " of the " << count << " used frames fit\n";
    }
    return kExitOk;
}

// ---- export ------------------------------------------------------------------------------

struct ExportContext {
    const ParsedArgs& args;
    std::string input;
    std::string output;
    const FrameMemory& store;
};

std::optional<FrameRange> framesOption(const ParsedArgs& args) {
    if (auto v = args.value("frames")) return parseFrameRange(*v, "--frames");
    return std::nullopt;
}

// The frames asked for, or else the first to the last used frame.
FrameRange framesOrUsed(const ParsedArgs& args, const FrameMemory& store) {
    if (auto r = framesOption(args)) return *r;
    return usedRange(store);
}

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
    const FrameRange range = framesOrUsed(args, c.store);
    if (chip && range.count() > framesPerChip(chip->bytes))
        throw ToolError(
            "frames " + std::to_string(range.first) + ".." + std::to_string(range.last) + " are " +
            std::to_string(range.count()) + " frames; a " + std::string(chip->name) + " holds " +
            std::to_string(framesPerChip(chip->bytes)) + " (" + std::to_string(chip->bytes) +
            " bytes / " + std::to_string(kFrameBytes) + ")");
    return {{c.output, encode(packFrames(c.store, range))}};
}

std::vector<OutputFile> exportC(const ExportContext& c) {
    const std::string name = c.args.value("name").value_or("dotreel_frames");
    if (!isValidCIdentifier(name))
        throw UsageError("--name: '" + name + "' is not a usable C identifier");
    const FrameRange range = framesOrUsed(c.args, c.store);
    return {{c.output, formatCHeader(c.store, range, name, fileName(c.input))}};
}

LcdLook lookOptions(const ParsedArgs& args) {
    LcdLook look;
    if (auto v = args.value("scale")) look.scale = parseInteger(*v, 1, 64, "--scale");
    look.gap = look.scale == 1 ? 0 : 1;
    if (auto v = args.value("gap")) look.gap = parseInteger(*v, 0, look.scale - 1, "--gap");
    const std::pair<const char*, QRgb*> colours[] = {
        {"lit", &look.lit}, {"unlit", &look.unlit}, {"panel", &look.panel}};
    for (const auto& [name, target] : colours) {
        if (auto v = args.value(name))
            if (!parseColour(*v, *target))
                throw UsageError(std::string("--") + name + ": '" + *v +
                                 "' is not a colour RRGGBB");
    }
    return look;
}

std::vector<OutputFile> exportPng(const ExportContext& c) {
    const LcdLook look = lookOptions(c.args);
    const FrameRange range = framesOrUsed(c.args, c.store);
    if (c.args.has("sheet")) {
        int columns = 8;
        if (auto v = c.args.value("columns"))
            columns = parseInteger(*v, 1, kFrameCount, "--columns");
        return {{c.output, encodePng(renderSheet(c.store, range.frames(), columns, look))}};
    }
    if (c.args.has("columns")) throw UsageError("--columns goes with --sheet");
    if (range.count() == 1) return {{c.output, encodePng(renderFrame(c.store, range.first, look))}};
    std::vector<OutputFile> files;
    for (int f : range.frames())
        files.push_back({numberedPath(c.output, f, 3), encodePng(renderFrame(c.store, f, look))});
    return files;
}

std::vector<OutputFile> exportGif(const ExportContext& c, std::ostream& err) {
    const LcdLook look = lookOptions(c.args);
    const std::string settingsPath = c.args.value("settings").value_or(settingsPathFor(c.input));
    std::optional<PlaybackSettings> settings;
    std::string settingsFailure;
    try {
        settings = readSettings(settingsPath);
    } catch (const ToolError& e) {
        // Needed only when the interval or the range is not given.
        settingsFailure = e.what();
    }

    int interval = 0;
    if (auto v = c.args.value("interval")) {
        interval = parseInteger(*v, 1, 65535, "--interval");
    } else if (!settings) {
        throw ToolError(settingsFailure + "; give --interval MS or --settings PATH");
    } else if (!kIntervals.contains(settings->intervalMs)) {
        throw ToolError("settings '" + settingsPath + "': interval " +
                        std::to_string(settings->intervalMs) + " is outside " +
                        std::to_string(kIntervals.low) + ".." + std::to_string(kIntervals.high) +
                        "; give --interval MS");
    } else {
        interval = settings->intervalMs;
    }

    FrameRange range;
    if (auto r = framesOption(c.args)) {
        range = *r;
    } else if (settings && kFrameNumbers.contains(settings->start) &&
               kFrameNumbers.contains(settings->end)) {
        range = {settings->start, settings->end};
    } else {
        range = usedRange(c.store);
    }
    if (interval < 20) err << "note: many GIF viewers show frames shorter than 20 ms for 100 ms\n";
    return {{c.output, encodeGif(c.store, range.frames(), look, interval, !c.args.has("once"))}};
}

int runExport(const ParsedArgs& args, std::ostream& out, std::ostream& err) {
    if (args.positionals.size() != 1) throw UsageError("export needs exactly one FILE");
    const auto format = args.value("format");
    if (!format) throw UsageError("export needs --format bin|ihex|c|png|gif");
    const auto output = args.value("output");
    if (!output || output->empty()) throw UsageError("export needs -o OUTPUT");
    if (*output == "-") throw UsageError("-o needs a file name; standard output is not used");

    // Options that belong to other formats are mistakes, not silently ignored wishes.
    const std::map<std::string, std::vector<std::string>> formatsOf = {
        {"split", {"bin", "ihex"}}, {"chip", {"bin", "ihex"}}, {"name", {"c"}},
        {"scale", {"png", "gif"}},  {"gap", {"png", "gif"}},   {"lit", {"png", "gif"}},
        {"unlit", {"png", "gif"}},  {"panel", {"png", "gif"}}, {"sheet", {"png"}},
        {"columns", {"png"}},       {"interval", {"gif"}},     {"settings", {"gif"}},
        {"once", {"gif"}},
    };
    static const std::vector<std::string> kFormats = {"bin", "ihex", "c", "png", "gif"};
    if (std::find(kFormats.begin(), kFormats.end(), *format) == kFormats.end())
        throw UsageError("--format: unknown format '" + *format + "' (bin, ihex, c, png, gif)");
    for (const auto& [option, formats] : formatsOf) {
        if (args.has(option) && std::find(formats.begin(), formats.end(), *format) == formats.end())
            throw UsageError("--" + option + " does not apply to --format " + *format);
    }

    const std::string& input = args.positionals[0];
    const auto store = loadStore(input);
    const ExportContext context{args, input, *output, *store};
    std::vector<OutputFile> files;
    if (*format == "bin" || *format == "ihex")
        files = exportBytes(context, *format == "ihex");
    else if (*format == "c")
        files = exportC(context);
    else if (*format == "png")
        files = exportPng(context);
    else
        files = exportGif(context, err);

    writeOutputs(files, args.has("force"), {input});
    for (const auto& f : files) out << "wrote " << f.path << " (" << f.data.size() << " bytes)\n";
    return kExitOk;
}

// ---- import ------------------------------------------------------------------------------

int runImport(const ParsedArgs& args, std::ostream& out, std::ostream& err) {
    if (args.positionals.empty()) throw UsageError("import needs at least one IMAGE");
    const auto into = args.value("into");
    if (!into || into->empty()) throw UsageError("import needs --into FILE");
    const auto at = args.value("at");
    if (!at) throw UsageError("import needs --at FRAME");
    const int first = parseInteger(*at, 0, kLastFrame, "--at");
    if (args.has("threshold") && args.has("dither"))
        throw UsageError("--threshold and --dither do not go together");
    ImportOptions options;
    if (auto v = args.value("threshold"))
        options.threshold = parseInteger(*v, 0, 255, "--threshold");
    options.dither = args.has("dither");
    options.invert = args.has("invert");

    // Every picture is read and fitted before the frame file is touched.
    std::vector<QImage> fitted;
    for (const auto& path : args.positionals)
        for (const QImage& picture : readPictures(path))
            fitted.push_back(fitToLcd(picture, options.invert));
    const int room = kFrameCount - first;
    const int count = static_cast<int>(fitted.size());
    if (count > room) {
        if (!args.has("truncate"))
            throw ToolError(std::to_string(count) + " pictures from frame " +
                            std::to_string(first) + " would run past frame " +
                            std::to_string(kLastFrame) + " (room for " + std::to_string(room) +
                            "); use --truncate to drop the rest");
        err << "note: dropping the last " << count - room << " of " << count
            << " pictures, which would run past frame " << kLastFrame << "\n";
        fitted.resize(static_cast<size_t>(room));
    }

    std::unique_ptr<FrameMemory> store;
    std::error_code ec;
    if (args.has("create") && !std::filesystem::exists(*into, ec)) {
        store = std::make_unique<FrameMemory>();
        store->fill(0);
    } else {
        store = loadStore(*into);
    }
    for (size_t i = 0; i < fitted.size(); ++i)
        storePicture(fitted[i], options, *store, first + static_cast<int>(i));
    try {
        writeFileAtomically(*into, formatFrameFile(*store));
    } catch (const PlatformError& e) {
        throw ToolError("cannot write " + describeFailure(e, *into));
    }
    const int last = first + static_cast<int>(fitted.size()) - 1;
    out << "wrote " << *into << ": frames " << first << ".." << last << " from " << fitted.size()
        << (fitted.size() == 1 ? " picture" : " pictures") << "\n";
    return kExitOk;
}

const std::map<std::string, Command>& commands() {
    static const std::map<std::string, Command> table = {
        {"check", {checkHelp(), {{"help", false, 'h'}}, runCheck}},
        {"info", {kInfoHelp, {{"help", false, 'h'}}, runInfo}},
        {"export",
         {kExportHelp,
          {{"help", false, 'h'},
           {"format", true},
           {"output", true, 'o'},
           {"force", false},
           {"frames", true},
           {"split", false},
           {"chip", true},
           {"name", true},
           {"scale", true},
           {"gap", true},
           {"lit", true},
           {"unlit", true},
           {"panel", true},
           {"sheet", false},
           {"columns", true},
           {"interval", true},
           {"settings", true},
           {"once", false}},
          runExport}},
        {"import",
         {kImportHelp,
          {{"help", false, 'h'},
           {"into", true},
           {"at", true},
           {"threshold", true},
           {"dither", false},
           {"invert", false},
           {"truncate", false},
           {"create", false}},
          runImport}},
    };
    return table;
}

}  // namespace

int runTool(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    if (args.empty()) {
        err << kMainHelp;
        return kExitUsage;
    }
    const std::string& name = args[0];
    if (name == "--help" || name == "-h" || name == "help") {
        if (args.size() > 1) {
            auto it = commands().find(args[1]);
            if (it == commands().end()) {
                err << "dotreel-tool: unknown command '" << args[1] << "'\n";
                return kExitUsage;
            }
            out << it->second.help;
        } else {
            out << kMainHelp;
        }
        return kExitOk;
    }
    auto it = commands().find(name);
    if (it == commands().end()) {
        err << "dotreel-tool: unknown command '" << name << "' (check, info, export, import; "
            << "see dotreel-tool --help)\n";
        return kExitUsage;
    }
    const Command& command = it->second;
    try {
        const ParsedArgs parsed =
            parseArgs(std::vector<std::string>(args.begin() + 1, args.end()), command.options);
        if (parsed.has("help")) {
            out << command.help;
            return kExitOk;
        }
        return command.run(parsed, out, err);
    } catch (const UsageError& e) {
        err << "dotreel-tool " << name << ": " << e.what() << "\n"
            << "Run 'dotreel-tool " << name << " --help' for usage.\n";
        return kExitUsage;
    } catch (const ToolError& e) {
        err << "dotreel-tool " << name << ": " << e.what() << "\n";
        return kExitFailed;
    } catch (const PlatformError& e) {
        err << "dotreel-tool " << name << ": " << e.what() << "\n";
        return kExitFailed;
    }
}

}  // namespace dotreel::tool
