// Writes the demo animation beside the editor: the word "Dotreel" sliding in from the right over
// a bouncing ball (image layer), a framed night scene with a ground line (background layer), and
// playback settings that run the demo frames. A file that is already there is never replaced.
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <system_error>

#include "core/frame.h"
#include "files/hexcodec.h"
#include "files/settingsfile.h"
#include "platform/errors.h"
#include "platform/textfile.h"

namespace {

using dotreel::FrameMemory;

constexpr int kDemoFrames = 48;
constexpr int kLastDemoFrame = kDemoFrames - 1;
constexpr int kIntervalMs = 60;

// Scene layout, in screen rows and columns.
constexpr int kTextTop = 2;  // the word: 7 rows of font at double size, rows 2..15
constexpr int kTextScale = 2;
constexpr int kTextRestColumn = 20;    // where the word settles, centred: (122 - 82) / 2
constexpr int kTextStartColumn = 104;  // frame 0 already shows the "D" at the right edge
constexpr int kTextSettleFrame = 30;
constexpr int kGroundRow = 29;
constexpr int kBallSize = 4;
constexpr int kBallRestTop = kGroundRow - kBallSize;  // resting on the ground
constexpr int kBallHeight = 9;                        // height of a bounce, in rows
constexpr int kBounceFrames = 16;                     // three bounces in the demo
constexpr int kBallLeft = 2;
constexpr int kBallRight = dotreel::kColumns - 2 - kBallSize;

// A 5 x 7 font holding just the letters of the word; '#' is a lit dot.
struct Glyph {
    char letter;
    const char* rows[7];
};

constexpr Glyph kFont[] = {
    {'D', {"####.", "#...#", "#...#", "#...#", "#...#", "#...#", "####."}},
    {'o', {".....", ".....", ".###.", "#...#", "#...#", "#...#", ".###."}},
    {'t', {"..#..", "..#..", "#####", "..#..", "..#..", "..#.#", "...#."}},
    {'r', {".....", ".....", "#.##.", "##..#", "#....", "#....", "#...."}},
    {'e', {".....", ".....", ".###.", "#...#", "#####", "#....", ".###."}},
    {'l', {".##..", "..#..", "..#..", "..#..", "..#..", "..#..", ".###."}},
};
constexpr int kGlyphWidth = 5;
constexpr int kGlyphAdvance = 6;  // one empty column between letters

constexpr const char* kBall[kBallSize] = {".##.", "####", "####", ".##."};

const Glyph* glyphFor(char letter) {
    for (const Glyph& g : kFont)
        if (g.letter == letter) return &g;
    return nullptr;
}

// Lights one dot of a frame in the LCD's own byte order; dots off the panel are dropped, so
// pictures can slide in from beyond its edges.
void lightDot(FrameMemory& memory, int frame, int row, int column) {
    if (row < 0 || row >= dotreel::kRows || column < 0 || column >= dotreel::kColumns) return;
    const int index = dotreel::dotIndexAt(row, column);
    const size_t byte = static_cast<size_t>(frame * dotreel::kFrameBytes + index / 8);
    memory[byte] = static_cast<uint8_t>(memory[byte] | (1u << (index % 8)));
}

void drawWord(FrameMemory& memory, int frame, std::string_view word, int top, int left) {
    int x = left;
    for (const char letter : word) {
        const Glyph* g = glyphFor(letter);
        for (int r = 0; g != nullptr && r < 7; ++r)
            for (int c = 0; c < kGlyphWidth; ++c)
                if (g->rows[r][c] == '#')
                    for (int dy = 0; dy < kTextScale; ++dy)
                        for (int dx = 0; dx < kTextScale; ++dx)
                            lightDot(memory, frame, top + r * kTextScale + dy,
                                     x + c * kTextScale + dx);
        x += kGlyphAdvance * kTextScale;
    }
}

// The word eases in: fast at first, slowing down until it rests at the centre.
int wordColumn(int frame) {
    if (frame >= kTextSettleFrame) return kTextRestColumn;
    const double remaining = 1.0 - static_cast<double>(frame) / kTextSettleFrame;
    return kTextRestColumn + static_cast<int>(std::lround((kTextStartColumn - kTextRestColumn) *
                                                          remaining * remaining));
}

// The ball crosses the panel and back once over the demo, bouncing on the ground as it goes.
void drawBall(FrameMemory& memory, int frame) {
    const double t = static_cast<double>(frame) / kDemoFrames;
    const double across = t < 0.5 ? 2.0 * t : 2.0 * (1.0 - t);
    const int left = kBallLeft + static_cast<int>(std::lround((kBallRight - kBallLeft) * across));
    const double phase = static_cast<double>(frame % kBounceFrames) / kBounceFrames;
    const double lift = kBallHeight * (1.0 - (2.0 * phase - 1.0) * (2.0 * phase - 1.0));
    const int top = kBallRestTop - static_cast<int>(std::lround(lift));
    for (int r = 0; r < kBallSize; ++r)
        for (int c = 0; c < kBallSize; ++c)
            if (kBall[r][c] == '#') lightDot(memory, frame, top + r, left + c);
}

void drawImageLayer(FrameMemory& memory) {
    for (int frame = 0; frame < kDemoFrames; ++frame) {
        drawWord(memory, frame, "Dotreel", kTextTop, wordColumn(frame));
        drawBall(memory, frame);
    }
}

// Stars twinkle: each is lit in three of every four stretches of four frames, out of step with
// the others.
struct Star {
    int row;
    int column;
    int offset;
};
constexpr Star kStars[] = {{3, 6, 0},   {9, 13, 2},  {5, 47, 1},  {12, 58, 3},
                           {4, 66, 2},  {10, 90, 0}, {3, 107, 3}, {13, 114, 1},
                           {18, 31, 2}, {20, 84, 0}, {17, 100, 1}};

void drawBackgroundLayer(FrameMemory& memory) {
    using dotreel::kColumns;
    using dotreel::kRows;
    for (int frame = 0; frame < kDemoFrames; ++frame) {
        for (int column = 0; column < kColumns; ++column) {
            lightDot(memory, frame, 0, column);
            lightDot(memory, frame, kRows - 1, column);
            lightDot(memory, frame, kGroundRow, column);
            // Pebbles below the ground line drift left, so the ground seems to move.
            if ((column + frame) % 5 == 0) lightDot(memory, frame, kGroundRow + 1, column);
        }
        for (int row = 0; row < kRows; ++row) {
            lightDot(memory, frame, row, 0);
            lightDot(memory, frame, row, kColumns - 1);
        }
        for (const Star& s : kStars) {
            lightDot(memory, frame, s.row, s.column);
            if ((frame / 4 + s.offset) % 4 != 0) {
                lightDot(memory, frame, s.row - 1, s.column);
                lightDot(memory, frame, s.row + 1, s.column);
                lightDot(memory, frame, s.row, s.column - 1);
                lightDot(memory, frame, s.row, s.column + 1);
            }
        }
    }
}

// Writes `name` into `folder` unless a file of that name, in any letter case, is there already:
// the editor reads names without regard to case, so such a file is the user's.
void placeFile(const std::string& folder, const std::string& name, const std::string& content) {
    const std::string existing = dotreel::resolveFileName(folder, name);
    std::error_code ec;
    if (std::filesystem::exists(existing, ec)) {
        std::printf("kept: %s\n", existing.c_str());
        return;
    }
    const std::string path = folder + name;
    dotreel::writeFileAtomically(path, content);
    std::printf("written: %s\n", path.c_str());
}

void createFolder(const std::string& folder) {
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    if (ec) throw dotreel::fileError(ec.value(), folder);
}

int usage(const char* program) {
    std::fprintf(stderr,
                 "usage: %s --keep-existing DIR\n"
                 "Writes the demo animation into DIR/データー and DIR/設定; files already there "
                 "are kept.\n",
                 program);
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3 || std::strcmp(argv[1], "--keep-existing") != 0 || argv[2][0] == '\0')
        return usage(argv[0]);
    std::string base = argv[2];
    if (base.back() != '/') base += '/';
    const std::string dataFolder = base + "データー/";
    const std::string settingsFolder = base + "設定/";

    try {
        createFolder(dataFolder);
        createFolder(settingsFolder);

        auto image = std::make_unique<FrameMemory>();
        image->fill(0);
        drawImageLayer(*image);
        placeFile(dataFolder, "FirstData.txt", dotreel::formatFrameFile(*image));

        auto background = std::make_unique<FrameMemory>();
        background->fill(0);
        drawBackgroundLayer(*background);
        placeFile(dataFolder, "SecondData.txt", dotreel::formatFrameFile(*background));

        placeFile(settingsFolder, "animation.txt",
                  dotreel::formatSettingsFile("0", std::to_string(kLastDemoFrame),
                                              std::to_string(kIntervalMs)));
    } catch (const dotreel::PlatformError& e) {
        std::fprintf(stderr, "%s\n", e.description().c_str());
        return 1;
    }
    return 0;
}
