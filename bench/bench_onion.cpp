// Playback at a 1 ms interval with the onion skin off, on the previous frame, and on the
// previous and next frames, measured in turns within the same run: frames advanced per second
// and the processor time used, for random frames (about half of the dots change on every frame)
// and a moving bar. Then the cost of one tick with its event processing in each mode. The onion
// skin follows the frame on show, so with it on every tick draws all 3904 dots' insides anew.
// Prints figures only.
// Usage: bench_onion [rounds] [seconds per measurement]
#include <sys/resource.h>

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QGuiApplication>
#include <QPushButton>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <array>
#include <cstdio>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "benchdialogs.h"
#include "files/hexcodec.h"
#include "files/settingsfile.h"
#include "platform/textfile.h"
#include "ui/dotview.h"
#include "ui/frmmain.h"

using namespace dotreel;

namespace {

double processorSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    auto seconds = [](const timeval& t) {
        return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6;
    };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

void pump(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

double median(std::vector<double> values) {
    if (values.empty()) return 0;
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n % 2 == 1 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

std::unique_ptr<FrameMemory> makeFrames(const std::string& pattern) {
    auto memory = std::make_unique<FrameMemory>();
    memory->fill(0);
    if (pattern == "random") {
        std::mt19937 random(12232);
        for (uint8_t& byte : *memory) byte = static_cast<uint8_t>(random() & 0xFF);
        return memory;
    }
    DotGrid grid;
    for (int n = 0; n < kFrameCount; ++n) {
        grid.intDot.fill(kDotOff);
        for (int row = 0; row < kRows; ++row)
            for (int c = 0; c < 3; ++c)
                grid.intDot[static_cast<size_t>(dotIndexAt(row, (n + c) % kColumns))] = kDotOn;
        Bit_Data_Set(*memory, grid, n);
    }
    return memory;
}

struct Editor {
    QTemporaryDir dir;
    std::unique_ptr<AnsweringDialogs> dialogs;
    std::unique_ptr<frmMain> window;
    int advanced = 0;
};

std::unique_ptr<Editor> openEditor(const std::string& pattern) {
    auto e = std::make_unique<Editor>();
    QDir(e->dir.path()).mkpath(QString::fromUtf8("データー"));
    QDir(e->dir.path()).mkpath(QString::fromUtf8("設定"));
    const std::string root = e->dir.path().toStdString() + "/";
    writeFileAtomically(root + "データー/FirstData.txt", formatFrameFile(*makeFrames(pattern)),
                        false);
    writeFileAtomically(root + "設定/animation.txt", formatSettingsFile("0", "267", "1"), false);
    e->dialogs = std::make_unique<AnsweringDialogs>(
        [](const std::string&, const std::string&) { return Answer::Cancel; });
    e->window = std::make_unique<frmMain>(root, e->dialogs.get());
    frmMain& w = *e->window;
    w.Form_Load();
    w.show();
    QObject::connect(w.hscFrame[0], &QScrollBar::valueChanged, [p = e.get()] { ++p->advanced; });
    w.chkFrame->setChecked(true);
    return e;
}

// Presses O until the view shows `mode`.
void setMode(frmMain& w, OnionSkin mode) {
    while (w.dotView->onionSkin() != mode) w.cycleOnionSkin();
}

constexpr std::array kModes{OnionSkin::Off, OnionSkin::Previous, OnionSkin::PreviousAndNext};
constexpr std::array kModeNames{"off", "previous", "previous+next"};

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    const int ms = argc > 2 ? std::max(100, std::atoi(argv[2]) * 1000) : 2000;
    const std::vector<std::string> patterns{"random", "bar"};
    std::printf("platform %s, %d rounds of %.1f s each, in turns\n",
                qPrintable(QGuiApplication::platformName()), rounds, ms / 1000.0);
    for (const std::string& pattern : patterns) {
        auto e = openEditor(pattern);
        frmMain& w = *e->window;
        pump(300);
        std::array<std::vector<double>, kModes.size()> rate, core;
        for (int round = 0; round < rounds; ++round) {
            for (size_t m = 0; m < kModes.size(); ++m) {
                setMode(w, kModes[m]);
                const int before = e->advanced;
                const double cpuBefore = processorSeconds();
                QElapsedTimer clock;
                clock.start();
                w.cmdFrame[2]->click();  // START
                pump(ms);
                w.cmdFrame[2]->click();  // STOP
                const double elapsed = static_cast<double>(clock.nsecsElapsed()) / 1e9;
                rate[m].push_back((e->advanced - before) / elapsed);
                core[m].push_back((processorSeconds() - cpuBefore) / elapsed);
                pump(30);
            }
        }
        for (size_t m = 0; m < kModes.size(); ++m)
            std::printf("  %-7s onion %-14s %7.1f ticks/s  processor %5.1f %% of a core\n",
                        pattern.c_str(), kModeNames[m], median(rate[m]), 100 * median(core[m]));
        // One tick with the event processing and repaint that follow it.
        w.hscFrame[1]->setValue(1000);
        for (size_t m = 0; m < kModes.size(); ++m) {
            setMode(w, kModes[m]);
            const int steps = 1000;
            QElapsedTimer clock;
            clock.start();
            for (int k = 0; k < steps; ++k) {
                w.tmrFrame_Timer();
                QCoreApplication::processEvents();
            }
            std::printf("  %-7s onion %-14s one tick %7.1f us\n", pattern.c_str(), kModeNames[m],
                        static_cast<double>(clock.nsecsElapsed()) / 1e3 / steps);
        }
        w.tmrFrame->stop();
    }
    return 0;
}
