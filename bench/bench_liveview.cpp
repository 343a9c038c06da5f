// The panel following the grid, against a scripted player on a pseudo-terminal: fast playback
// (random frames at a 1 ms interval) with the link on beside the same playback with it off,
// measured in turns within one run, and their ratio; then the time from a handler's return to
// the last byte of its picture on the wire, with the device taking bytes at 115200 baud.
// Prints figures only.
// Usage: bench_liveview [rounds] [seconds per measurement]
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QPushButton>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <memory>
#include <mutex>
#include <random>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "benchdialogs.h"
#include "files/hexcodec.h"
#include "files/settingsfile.h"
#include "linkdevice.h"
#include "platform/textfile.h"
#include "ui/frmmain.h"
#include "ui/livepanel.h"

using namespace dotreel;
using Clock = std::chrono::steady_clock;

namespace {

// 8 data bits, a start and a stop bit: ten bits on the wire for every byte.
constexpr unsigned kBytesPerSecond115200 = 115200 / 10;

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

struct Editor {
    QTemporaryDir dir;
    std::unique_ptr<AnsweringDialogs> dialogs;
    std::unique_ptr<frmMain> window;
    int advanced = 0;
    int warnings = 0;
};

// An editor with random frames 0 ... 267 at a 1 ms interval, repeating, shown.
std::unique_ptr<Editor> openEditor() {
    auto e = std::make_unique<Editor>();
    QDir(e->dir.path()).mkpath(QString::fromUtf8("データー"));
    QDir(e->dir.path()).mkpath(QString::fromUtf8("設定"));
    const std::string root = e->dir.path().toStdString() + "/";
    auto memory = std::make_unique<FrameMemory>();
    std::mt19937 random(12232);
    for (uint8_t& byte : *memory) byte = static_cast<uint8_t>(random() & 0xFF);
    writeFileAtomically(root + "データー/FirstData.txt", formatFrameFile(*memory), false);
    writeFileAtomically(root + "設定/animation.txt", formatSettingsFile("0", "267", "1"), false);
    e->dialogs = std::make_unique<AnsweringDialogs>(
        [p = e.get()](const std::string&, const std::string& text) {
            ++p->warnings;
            std::printf("  warning: %s\n", text.c_str());
            return Answer::Cancel;
        });
    e->window = std::make_unique<frmMain>(root, e->dialogs.get());
    frmMain& w = *e->window;
    w.Form_Load();
    w.show();
    QObject::connect(w.hscFrame[0], &QScrollBar::valueChanged, [p = e.get()] { ++p->advanced; });
    w.chkFrame->setChecked(true);
    return e;
}

// Frames advanced per second over one period of playback.
double ticksPerSecond(Editor& e, int ms) {
    const int before = e.advanced;
    QElapsedTimer clock;
    clock.start();
    e.window->cmdFrame[2]->click();  // START
    pump(ms);
    e.window->cmdFrame[2]->click();  // STOP
    const double seconds = static_cast<double>(clock.nsecsElapsed()) / 1e9;
    pump(50);
    return (e.advanced - before) / seconds;
}

// Fast playback with the link off and on (a device at `bytesPerSecond`, 0: as fast as the
// pseudo-terminal), in turns.
void playback(const char* name, unsigned bytesPerSecond, int rounds, int ms) {
    support::LinkDevice device;
    device.knobs.bytesPerSecond = bytesPerSecond;
    auto off = openEditor();
    auto on = openEditor();
    if (!on->window->connectPanel(device.slavePath(), 115200)) return;
    pump(200);
    const auto statsBefore = on->window->livePanel->stats();
    const size_t shownBefore = device.shown().size();
    std::vector<double> offRates, onRates, ratios;
    double onSeconds = 0;
    for (int r = 0; r < rounds; ++r) {
        const double a = ticksPerSecond(*off, ms);
        const double b = ticksPerSecond(*on, ms);
        onSeconds += ms / 1000.0;
        offRates.push_back(a);
        onRates.push_back(b);
        ratios.push_back(b / a);
        std::printf("  %-14s round %d: off %7.1f /s, on %7.1f /s, on/off %.3f\n", name, r + 1, a, b,
                    b / a);
    }
    pump(300);
    const auto stats = on->window->livePanel->stats();
    const double shown = static_cast<double>(device.shown().size() - shownBefore);
    std::printf(
        "%-16s ticks/s median: off %.1f, on %.1f; on/off median %.3f (%+.1f %%); panel showed "
        "%.1f frames/s; offered %llu, sent %llu, skipped %llu; warnings %d\n",
        name, median(offRates), median(onRates), median(ratios), (median(ratios) - 1) * 100,
        shown / onSeconds, static_cast<unsigned long long>(stats.offered - statsBefore.offered),
        static_cast<unsigned long long>(stats.sent - statsBefore.sent),
        static_cast<unsigned long long>(stats.skipped - statsBefore.skipped), on->warnings);
}

// From a handler's return to the moment the device has the picture's last byte (its decoder
// completes the packet on that byte), with the device taking bytes at 115200 baud.
void latency(int samples) {
    support::LinkDevice device;
    device.knobs.bytesPerSecond = kBytesPerSecond115200;
    auto e = openEditor();
    frmMain& w = *e->window;
    if (!w.connectPanel(device.slavePath(), 115200)) return;
    pump(300);
    // A watcher notes when each frame arrives.
    std::atomic<bool> quit{false};
    std::vector<Clock::time_point> arrivals;
    std::mutex lock;
    size_t seen = device.shown().size();
    std::thread watcher([&] {
        while (!quit) {
            const size_t now = device.shown().size();
            if (now != seen) {
                const auto at = Clock::now();
                const std::lock_guard guard(lock);
                for (; seen < now; ++seen) arrivals.push_back(at);
            }
            std::this_thread::sleep_for(std::chrono::microseconds(100));
        }
    });
    std::vector<double> ms;
    for (int i = 0; i < samples; ++i) {
        size_t before = 0;
        {
            const std::lock_guard guard(lock);
            before = arrivals.size();
        }
        w.cmdPattern[2]->click();  // 反 転: every dot changes
        const auto returned = Clock::now();
        pump(150);  // longer than a frame's wire time and its answer
        const std::lock_guard guard(lock);
        if (arrivals.size() == before + 1)
            ms.push_back(
                std::chrono::duration<double, std::milli>(arrivals[before] - returned).count());
    }
    quit = true;
    watcher.join();
    const double wireMs = (kFrameBytes + 7) * 1000.0 / kBytesPerSecond115200;
    std::printf(
        "handler return -> last byte at the device, 115200 baud: median %.1f ms, min %.1f, max "
        "%.1f over %zu of %d pictures (the packet's wire time alone: %.1f ms)\n",
        median(ms), ms.empty() ? 0 : *std::min_element(ms.begin(), ms.end()),
        ms.empty() ? 0 : *std::max_element(ms.begin(), ms.end()), ms.size(), samples, wireMs);
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    const int ms = argc > 2 ? std::max(100, std::atoi(argv[2]) * 1000) : 2000;
    try {
        playback("115200 baud", kBytesPerSecond115200, rounds, ms);
        playback("unpaced pty", 0, rounds, ms);
        latency(30);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "bench_liveview: %s\n", e.what());  // no pseudo-terminal here
        return 1;
    }
    return 0;
}
