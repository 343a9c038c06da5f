// The picture part of the tool: export to png and gif, and import. Linked into
// "dotreel-tool-pictures" and the tests, never into dotreel-tool itself.
#include <algorithm>
#include <filesystem>
#include <memory>

#include "files/hexcodec.h"
#include "files/settingsfile.h"
#include "pictures/imageimport.h"
#include "platform/errors.h"
#include "platform/textfile.h"
#include "tool/commands.h"
#include "tool/gifexport.h"
#include "tool/layouts.h"
#include "tool/outputs.h"
#include "tool/pictures.h"
#include "tool/render.h"

namespace dotreel::tool {
namespace {

LcdLook lookOptions(const ParsedArgs& args) {
    LcdLook look;
    if (auto v = args.value("scale")) look.scale = parseInteger(*v, 1, 64, "--scale");
    look.gap = look.scale == 1 ? 0 : 1;
    if (auto v = args.value("gap")) look.gap = parseInteger(*v, 0, look.scale - 1, "--gap");
    const std::pair<const char*, QRgb*> colours[] = {
        {"lit", &look.lit}, {"unlit", &look.unlit}, {"panel", &look.panel}};
    for (const auto& [name, target] : colours) {
        if (auto v = args.value(name)) {
            uint32_t colour = 0;
            if (!parseColour(*v, colour))
                throw UsageError(std::string("--") + name + ": '" + *v +
                                 "' is not a colour RRGGBB");
            *target = colour;
        }
    }
    return look;
}

ExportResult exportPng(const ExportContext& c) {
    const LcdLook look = lookOptions(c.args);
    const FrameRange range = framesOrUsed(c.args, c.store);
    if (c.args.has("sheet")) {
        int columns = 8;
        if (auto v = c.args.value("columns"))
            columns = parseInteger(*v, 1, kFrameCount, "--columns");
        return {{{c.output, encodePng(renderSheet(c.store, range.frames(), columns, look))}}, {}};
    }
    if (c.args.has("columns")) throw UsageError("--columns goes with --sheet");
    if (range.count() == 1)
        return {{{c.output, encodePng(renderFrame(c.store, range.first, look))}}, {}};
    ExportResult result;
    size_t bytes = 0;
    for (int f : range.frames()) {
        result.files.push_back(
            {numberedPath(c.output, f, 3), encodePng(renderFrame(c.store, f, look))});
        bytes += result.files.back().data.size();
    }
    // Several frames never go to OUTPUT itself; say so, or the user looks for it in vain.
    const std::filesystem::path out(c.output);
    const std::string pattern =
        (out.parent_path() / (out.stem().string() + "-NNN" + out.extension().string())).string();
    result.summary = "wrote " + std::to_string(result.files.size()) + " files " + pattern +
                     ", one per frame numbered by frame: " + result.files.front().path + " .. " +
                     result.files.back().path + " (" + std::to_string(bytes) + " bytes); " +
                     c.output + " itself is not written (one frame or --sheet makes one file)";
    return result;
}

ExportResult exportGif(const ExportContext& c, std::ostream& err) {
    const LcdLook look = lookOptions(c.args);
    const SettingsLookup found = lookUpSettings(c.args, c.input);
    const bool needSettings = !c.args.has("interval") || !c.args.has("frames");
    // A settings file that is there but unusable is an error when it is needed; an absent one
    // only means the editor's defaults.
    if (found.present && !found.settings && needSettings)
        throw ToolError(found.failure +
                        "; give --interval MS and --frames A..B, or --settings PATH");

    int interval = kDefaultIntervalMs;
    if (auto v = c.args.value("interval")) {
        interval = parseInteger(*v, 1, 65535, "--interval");
    } else if (found.settings) {
        if (!kIntervals.contains(found.settings->intervalMs))
            throw ToolError("settings '" + found.path + "': interval " +
                            std::to_string(found.settings->intervalMs) + " is outside " +
                            std::to_string(kIntervals.low) + ".." +
                            std::to_string(kIntervals.high) + "; give --interval MS");
        interval = found.settings->intervalMs;
    } else {
        err << "note: no playback settings at '" << found.path << "'; using the editor's default "
            << "interval of " << kDefaultIntervalMs
            << " ms (choose one with --interval MS, or --settings PATH)\n";
    }

    FrameRange range;
    const auto& s = found.settings;
    if (auto r = framesOption(c.args)) {
        range = *r;
    } else if (s && kFrameNumbers.contains(s->start) && kFrameNumbers.contains(s->end)) {
        range = {s->start, s->end};
    } else {
        range = usedRange(c.store);
    }
    if (interval < 20) err << "note: many GIF viewers show frames shorter than 20 ms for 100 ms\n";
    return {{{c.output, encodeGif(c.store, range.frames(), look, interval, !c.args.has("once"))}},
            {}};
}

ExportResult exportPictures(const std::string& format, const ExportContext& c, std::ostream& err) {
    if (format == "png") return exportPng(c);
    return exportGif(c, err);
}

int runImport(const ParsedArgs& args, std::ostream& out, std::ostream& err) {
    if (args.positionals.empty()) throw UsageError("import needs at least one IMAGE");
    const auto into = args.value("into");
    if (!into || into->empty()) throw UsageError("import needs --into FILE");
    const auto at = args.value("at");
    if (!at) throw UsageError("import needs --at FRAME");
    const int first = parseInteger(*at, 0, kLastFrame, "--at");
    if (args.has("threshold") && args.has("dither"))
        throw UsageError("--threshold and --dither do not go together");
    pictures::ImportOptions options;
    if (auto v = args.value("threshold"))
        options.threshold = parseInteger(*v, 0, 255, "--threshold");
    options.dither = args.has("dither");
    options.invert = args.has("invert");

    std::optional<Layout> layout;
    if (auto v = args.value("layout")) layout = parseLayoutOption(*v);
    const bool anyC =
        std::any_of(args.positionals.begin(), args.positionals.end(),
                    [](const std::string& p) { return arrayKindOf(p) == ArrayKind::C; });
    if (args.has("layout") && !anyC)
        throw UsageError("--layout is for C files (.c, .h, .inc); no IMAGE is one");

    // Everything is read (pictures fitted, arrays decoded) before the frame file is touched.
    // A frame read from an array keeps its bytes; a picture is stored through the editor's
    // transfer.
    struct Piece {
        QImage fitted;
        std::vector<uint8_t> bytes;
    };
    std::vector<Piece> fitted;
    int fromArrays = 0;
    try {
        for (const auto& path : args.positionals) {
            const ArrayKind kind = arrayKindOf(path);
            if (kind != ArrayKind::None) {
                ArrayFile file = readArrayFile(path, kind, layout);
                if (file.strayBits > 0)
                    err << "note: " << path << ": " << file.strayBits
                        << " lit bits stand for no dot of the 122 x 32 (u8g2's columns 122..127, "
                           "or the 6 bits after a row's last dot) and are left out\n";
                if (!file.picture) {
                    for (auto& frame : file.frames) fitted.push_back({QImage(), std::move(frame)});
                    fromArrays += static_cast<int>(file.frames.size());
                    continue;
                }
            }
            for (const QImage& picture : pictures::readPictures(path))
                fitted.push_back({pictures::fitToLcd(picture, options.invert), {}});
        }
    } catch (const pictures::PictureError& e) {
        throw ToolError(e.what());
    }
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
        store = loadStore(*into, err, "import writes them back as those bytes");
    }
    for (size_t i = 0; i < fitted.size(); ++i) {
        const int frame = first + static_cast<int>(i);
        const std::vector<uint8_t>& bytes = fitted[i].bytes;
        if (bytes.empty()) {
            pictures::storePicture(fitted[i].fitted, options, *store, frame);
            continue;
        }
        uint8_t* target = store->data() + static_cast<size_t>(frame) * kFrameBytes;
        for (size_t k = 0; k < bytes.size(); ++k)
            target[k] = options.invert ? static_cast<uint8_t>(~bytes[k]) : bytes[k];
    }
    try {
        writeFileAtomically(*into, formatFrameFile(*store));
    } catch (const PlatformError& e) {
        throw ToolError("cannot write " + describeFailure(e, *into));
    }
    const int last = first + static_cast<int>(fitted.size()) - 1;
    out << "wrote " << *into << ": frames " << first << ".." << last << " from ";
    const int stored = static_cast<int>(fitted.size());
    const int decoded = std::min(fromArrays, stored);
    if (decoded == 0)
        out << stored << (stored == 1 ? " picture" : " pictures") << "\n";
    else
        out << args.positionals.size() << (args.positionals.size() == 1 ? " file" : " files")
            << " (" << decoded << " of the frames from arrays)\n";
    return kExitOk;
}

}  // namespace

const PictureFunctions& pictureFunctions() {
    static const PictureFunctions functions{nullptr, exportPictures, runImport};
    return functions;
}

}  // namespace dotreel::tool
