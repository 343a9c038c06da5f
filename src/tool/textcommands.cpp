// text and fonts: everything is checked and drawn before the frame file is touched, which is
// then replaced in one step, as import does.
#include "tool/textcommands.h"

#include <filesystem>
#include <memory>
#include <span>

#include "files/hexcodec.h"
#include "files/settingsfile.h"
#include "platform/errors.h"
#include "platform/safewrite.h"
#include "text/font.h"
#include "text/layout.h"
#include "tool/commands.h"
#include "tool/pictures.h"
#include "tool/store.h"

namespace dotreel::tool {

namespace {

const char kTextHelp[] =
    "Usage: dotreel-tool text TEXT --into FILE --at FRAME [OPTIONS]\n"
    "\n"
    "Lays TEXT out in a bitmap font and stores it into frame FRAME of FILE: one frame (a\n"
    "stamp), or with --scroll a marquee over as many frames as it needs. Every other frame and\n"
    "byte of FILE is kept, and FILE is replaced in one step, never half-written. A line break\n"
    "in TEXT starts a new line one font height (ascent + descent) lower. A TEXT that begins\n"
    "with '-' goes after '--'.\n"
    "\n"
    "Position: the pen starts at column X, and row Y is the top of the first line (the font's\n"
    "ascent above its baseline); each glyph lands where the font file puts it from the pen and\n"
    "the baseline. Without --x or --y the text is centred that way as a block (the widest\n"
    "line's advance by the lines' height); a block wider or taller than the panel starts at\n"
    "column or row 0, so that its beginning is in sight and its end falls off. Dots off the\n"
    "panel are dropped, with one warning saying how many columns and rows fell off.\n"
    "\n"
    "Marquee: from frame FRAME on the text enters at one edge and leaves at the opposite one,\n"
    "each frame the one before moved by --step dots. The first frame shows the text's first\n"
    "columns (rows) at the edge it enters by, the last frame its last ones at the edge it\n"
    "leaves by; no frame of the pass is blank. With --frames COUNT the pass is cut short or\n"
    "repeats from its first frame until COUNT frames are filled. A marquee that would run past\n"
    "frame 267 is refused before anything is written.\n"
    "\n";

const char kFontsHelp[] =
    "Usage: dotreel-tool fonts\n"
    "\n"
    "Lists the named fonts of 'text --font NAME': the cell size (half / full width for the\n"
    "Japanese sets), whether it is installed, and the files it reads. jaNN takes U+0020..U+00FF\n"
    "from its ISO 8859-1 face, half-width katakana U+FF61..U+FF9F from its JIS X 0201 face and\n"
    "every other character from its JIS X 0208 face, through the system's EUC-JP conversion.\n"
    "All of these fonts are in the public domain.\n";

text::Paint paintOptions(const ParsedArgs& args) { return {args.has("over"), args.has("invert")}; }

// The interval to write into animation.txt: --interval, else the one the file holds.
int settingsInterval(const ParsedArgs& args, const std::string& path, std::ostream& err) {
    if (auto v = args.value("interval"))
        return parseInteger(*v, kIntervals.low, kIntervals.high, "--interval");
    if (pathKind(path) == PathKind::Missing) {
        err << "note: no playback settings at '" << path << "'; writing the interval "
            << kDefaultIntervalMs << " ms (choose one with --interval MS)\n";
        return kDefaultIntervalMs;
    }
    const PlaybackSettings s = readSettings(path);
    if (!kIntervals.contains(s.intervalMs))
        throw ToolError("settings '" + path + "': interval " + std::to_string(s.intervalMs) +
                        " is outside " + std::to_string(kIntervals.low) + ".." +
                        std::to_string(kIntervals.high) + "; give --interval MS");
    return s.intervalMs;
}

std::string describeClipping(const text::Clipping& c) {
    std::string parts;
    const auto add = [&](int n, const char* one, const char* many) {
        if (n == 0) return;
        if (!parts.empty()) parts += " and ";
        parts += std::to_string(n) + " " + (n == 1 ? one : many);
    };
    add(c.columns, "column", "columns");
    add(c.rows, "row", "rows");
    return parts;
}

}  // namespace

std::string textHelp() { return kTextHelp + describeOptions(textOptions()); }

const std::vector<OptionDef>& textOptions() {
    static const std::vector<OptionDef> options = {
        {"help", "", 'h', "show this help"},
        {"into", "FILE", 0, "the frame file to change"},
        {"at", "FRAME", 0, "the frame to write, or the marquee's first, 0..267"},
        {"create", "", 0, "start from an empty store when FILE does not exist"},
        {"font", "NAME|PATH", 0,
         "a named font (see: dotreel-tool fonts; default ja12) or a BDF,\n"
         "PCF, PCF.gz, OTB, TTF or OTF file"},
        {"size", "PX", 0, "the size of a scalable font, or which bitmap strike, 1..256"},
        {"x", "X", 0, "the pen's start column, -1000..1000 (default: centred)"},
        {"y", "Y", 0, "the first line's top row, -1000..1000 (default: centred)"},
        {"over", "", 0,
         "light the text's dots over what the frame holds (default: the\n"
         "frame holds only the text)"},
        {"invert", "", 0, "dark text on a lit frame (with --over: the text's dots cleared)"},
        {"scroll", "DIR", 0, "a marquee moving left, right, up or down"},
        {"step", "N", 0, "dots a frame, 1..122 (up, down: 1..32; default 1)"},
        {"frames", "COUNT", 0, "with --scroll: exactly COUNT frames, 1..268 (the pass repeats)"},
        {"settings", "", 0,
         "set start and end in animation.txt (設定/ beside FILE's folder) to\n"
         "the frames written, so that START plays them at once"},
        {"interval", "MS", 0, "with --settings: the interval too, 1..1000 ms"},
    };
    return options;
}

int runText(const ParsedArgs& args, std::ostream& out, std::ostream& err) {
    // ---- the command line, whole, before any file is read
    if (args.positionals.size() != 1) throw UsageError("text needs exactly one TEXT");
    const auto into = args.value("into");
    if (!into || into->empty()) throw UsageError("text needs --into FILE");
    const auto at = args.value("at");
    if (!at) throw UsageError("text needs --at FRAME");
    const int first = parseInteger(*at, 0, kLastFrame, "--at");
    const std::string fontName = args.value("font").value_or(text::kDefaultFont);
    int size = 0;
    if (auto v = args.value("size")) size = parseInteger(*v, 1, 256, "--size");
    std::optional<int> x;
    std::optional<int> y;
    if (auto v = args.value("x")) x = parseInteger(*v, -1000, 1000, "--x");
    if (auto v = args.value("y")) y = parseInteger(*v, -1000, 1000, "--y");
    std::optional<text::Direction> direction;
    if (auto v = args.value("scroll")) {
        direction = text::directionByName(lowerCase(*v));
        if (!direction) throw UsageError("--scroll: '" + *v + "' is not left, right, up or down");
    }
    int step = 1;
    std::optional<int> count;
    if (direction) {
        if (auto v = args.value("step"))
            step = parseInteger(*v, 1, text::largestStep(*direction), "--step");
        if (auto v = args.value("frames")) count = parseInteger(*v, 1, kFrameCount, "--frames");
        const bool across = text::horizontal(*direction);
        if (across && x)
            throw UsageError("--x does not go with --scroll " + *args.value("scroll") +
                             ": the marquee carries the text across (--y places it)");
        if (!across && y)
            throw UsageError("--y does not go with --scroll " + *args.value("scroll") +
                             ": the marquee carries the text up or down (--x places it)");
    } else {
        for (const char* option : {"step", "frames"})
            if (args.has(option))
                throw UsageError(std::string("--") + option + " goes with --scroll");
    }
    if (args.has("interval") && !args.has("settings"))
        throw UsageError("--interval goes with --settings");

    // ---- the font and the text
    std::unique_ptr<text::Font> font;
    text::TextBlock block;
    try {
        font = text::Font::open(fontName, size);
        block = text::layOut(*font, text::decodeUtf8(args.positionals[0]));
    } catch (const text::TextError& e) {
        throw ToolError(e.what());
    }

    // ---- which frames, checked against the store's end before anything is written
    const text::Paint paint = paintOptions(args);
    text::Marquee marquee;
    int frames = 1;
    int pass = 1;
    if (direction) {
        marquee = {*direction, step,
                   text::horizontal(*direction) ? y.value_or(text::centredY(block))
                                                : x.value_or(text::centredX(block))};
        pass = text::passLength(block, marquee);
        if (pass == 0) throw ToolError("the text lights no dot: there is nothing to scroll");
        frames = count.value_or(pass);
        if (first + frames - 1 > kLastFrame)
            throw ToolError("the marquee needs " + std::to_string(frames) + " frames from frame " +
                            std::to_string(first) + ", past frame " + std::to_string(kLastFrame) +
                            " (room for " + std::to_string(kFrameCount - first) +
                            "); give --frames COUNT, a larger --step or an earlier --at");
    }
    const int last = first + frames - 1;
    const std::string settingsPath = settingsPathFor(*into);
    int interval = 0;
    if (args.has("settings")) interval = settingsInterval(args, settingsPath, err);

    std::unique_ptr<FrameMemory> store;
    if (args.has("create") && pathKind(*into) == PathKind::Missing) {
        store = std::make_unique<FrameMemory>();
        store->fill(0);
    } else {
        store = loadStore(*into);
    }
    text::Clipping clipping;
    for (int k = 0; k < frames; ++k) {
        const std::span<uint8_t, kFrameBytes> frame(
            store->data() + static_cast<ptrdiff_t>(first + k) * kFrameBytes, kFrameBytes);
        if (direction) {
            const auto [px, py] = text::marqueePen(block, marquee, k % pass);
            const text::Clipping c = text::stamp(block, px, py, paint, frame);
            // Along the marquee's way dots are off the panel by design; across it they are lost.
            if (text::horizontal(*direction))
                clipping.rows = c.rows;
            else
                clipping.columns = c.columns;
        } else {
            clipping = text::stamp(block, x.value_or(text::centredX(block)),
                                   y.value_or(text::centredY(block)), paint, frame);
        }
    }
    if (clipping.any())
        err << "warning: " << describeClipping(clipping)
            << " of the text fell off the panel; their dots are left out\n";

    try {
        writeFileAtomically(*into, formatFrameFile(*store));
    } catch (const PlatformError& e) {
        throw ToolError("cannot write " + describeFailure(e, *into));
    }
    out << "wrote " << *into << ": ";
    if (direction)
        out << "frames " << first << ".." << last << ", a marquee " << *args.value("scroll")
            << " of " << frames << " frames (" << pass << " a pass, " << step << " dot"
            << (step == 1 ? "" : "s") << " a frame)\n";
    else
        out << "frame " << first << "\n";

    if (args.has("settings")) {
        try {
            std::error_code ec;
            std::filesystem::create_directories(std::filesystem::path(settingsPath).parent_path(),
                                                ec);
            writeFileAtomically(settingsPath,
                                formatSettingsFile(std::to_string(first), std::to_string(last),
                                                   std::to_string(interval)));
        } catch (const PlatformError& e) {
            throw ToolError("the frames are written, but not the settings: cannot write " +
                            describeFailure(e, settingsPath));
        }
        out << "wrote " << settingsPath << ": start " << first << ", end " << last << ", interval "
            << interval << " ms\n";
    }
    return kExitOk;
}

std::string fontsHelp() { return kFontsHelp; }

int runFonts(const ParsedArgs& args, std::ostream& out, std::ostream&) {
    if (!args.positionals.empty()) throw UsageError("fonts takes no arguments");
    out << "name   cell          installed  files (in " << text::kX11FontFolder << ")\n";
    for (const auto& font : text::namedFonts()) {
        bool installed = true;
        std::string files;
        for (const auto file : font.files) {
            installed = installed && pathKind(std::string(text::kX11FontFolder) + "/" +
                                              std::string(file)) == PathKind::RegularFile;
            files += (files.empty() ? "" : " ") + std::string(file);
        }
        std::string name(font.name);
        std::string cell(font.cell);
        name.resize(std::max<size_t>(name.size(), 7), ' ');
        cell.resize(std::max<size_t>(cell.size(), 14), ' ');
        out << name << cell << (installed ? "yes        " : "no         ") << files
            << (font.name == text::kDefaultFont ? "  (default)" : "") << "\n";
    }
    return kExitOk;
}

}  // namespace dotreel::tool
