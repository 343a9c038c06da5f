// Playback at a 1 ms interval over a range of distinct frames: frames advanced and repaints of
// the dot view per second, the cost of one step and of one full repaint, and memory. Prints
// figures only. Usage: bench_playback [seconds] [random|sparse|both] [hidden]
#include <sys/resource.h>
#include <unistd.h>

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QGuiApplication>
#include <QPixmap>
#include <QPushButton>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>
#include <fstream>
#include <random>
#include <string>

#include "files/hexcodec.h"
#include "files/settingsfile.h"
#include "platform/textfile.h"
#include "ui/dotview.h"
#include "ui/frmmain.h"

using namespace dotreel;

namespace {

class PaintCounter : public QObject {
public:
    int paints = 0;
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint) ++paints;
        return false;
    }
};

struct Memory {
    long residentKiB = 0;
    long peakKiB = 0;
};

Memory memoryNow() {
    Memory m;
    std::ifstream statm("/proc/self/statm");
    long size = 0, resident = 0;
    if (statm >> size >> resident) m.residentKiB = resident * (sysconf(_SC_PAGESIZE) / 1024);
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    m.peakKiB = usage.ru_maxrss;
    return m;
}

// "random": about half of the 3904 dots change from one frame to the next (the worst case for
// the view). "sparse": a 3-dot-wide bar moves one column per frame (a typical animation).
FrameMemory makeFrames(const std::string& pattern) {
    FrameMemory memory{};
    if (pattern == "random") {
        std::mt19937 random(12232);
        for (int i = 0; i < kFrameCount * kFrameBytes; ++i)
            memory[static_cast<size_t>(i)] = static_cast<uint8_t>(random() & 0xFF);
    } else {
        DotGrid grid;
        for (int n = 0; n < kFrameCount; ++n) {
            for (int i = 0; i < kDotCount; ++i) grid.intDot[static_cast<size_t>(i)] = kDotOff;
            for (int row = 0; row < kRows; ++row)
                for (int c = 0; c < 3; ++c)
                    grid.intDot[static_cast<size_t>(dotIndexAt(row, (n + c) % kColumns))] = kDotOn;
            Bit_Data_Set(memory, grid, n);
        }
    }
    return memory;
}

void pump(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

// shown = false keeps the window hidden: nothing is painted, which leaves the cost of the
// timer and the handlers alone.
void runPattern(const std::string& pattern, int seconds, bool shown) {
    QTemporaryDir dir;
    QDir(dir.path()).mkpath(QString::fromUtf8("データー"));
    QDir(dir.path()).mkpath(QString::fromUtf8("設定"));
    const std::string root = dir.path().toStdString() + "/";
    writeFileAtomically(root + "データー/FirstData.txt", formatFrameFile(makeFrames(pattern)),
                        false);
    writeFileAtomically(root + "設定/animation.txt", formatSettingsFile("0", "267", "1"), false);

    int failures = 0;
    frmMain w(root, [&](const std::string&, const std::string&) {
        ++failures;
        return Answer::Cancel;
    });
    w.Form_Load();
    if (shown) w.show();
    pump(300);
    if (failures != 0) std::printf("  start-up reported %d failures\n", failures);

    PaintCounter counter;
    w.dotView->installEventFilter(&counter);
    int advanced = 0;
    int ticks = 0;
    QObject::connect(w.hscFrame[0], &QScrollBar::valueChanged, [&] { ++advanced; });
    QObject::connect(w.tmrFrame, &QTimer::timeout, [&] { ++ticks; });

    const Memory before = memoryNow();
    w.chkFrame->setChecked(true);
    w.hscFrame[1]->setValue(1);
    QElapsedTimer clock;
    clock.start();
    w.cmdFrame[2]->click();
    pump(seconds * 1000);
    w.cmdFrame[2]->click();
    const double elapsed = static_cast<double>(clock.nsecsElapsed()) / 1e9;
    const Memory after = memoryNow();

    std::printf("pattern %s, window %s, platform %s, interval %d ms, %.2f s\n", pattern.c_str(),
                shown ? "shown" : "hidden", qPrintable(QGuiApplication::platformName()),
                w.tmrFrame->interval(), elapsed);
    std::printf("  frames advanced   %8d  = %8.1f /s\n", advanced, advanced / elapsed);
    std::printf("  timer ticks       %8d  = %8.1f /s\n", ticks, ticks / elapsed);
    std::printf("  view paint events %8d  = %8.1f /s\n", counter.paints, counter.paints / elapsed);

    // One step: the tick handler alone (selector write, Bit_Convert, dirty marking), then with
    // the event processing that flushes and paints the changed dots.
    w.hscFrame[1]->setValue(1000);
    const int steps = 2000;
    clock.restart();
    for (int k = 0; k < steps; ++k) w.tmrFrame_Timer();
    const double handlerUs = static_cast<double>(clock.nsecsElapsed()) / 1e3 / steps;
    pump(50);
    clock.restart();
    for (int k = 0; k < steps; ++k) {
        w.tmrFrame_Timer();
        QCoreApplication::processEvents();
    }
    const double stepUs = static_cast<double>(clock.nsecsElapsed()) / 1e3 / steps;
    w.tmrFrame->stop();
    w.cmdFrame[2]->setText("START");

    clock.restart();
    const int converts = 2000;
    for (int k = 0; k < converts; ++k)
        Bit_Convert(w.state().bytFrameData(), w.state().dots, k % kFrameCount);
    const double convertUs = static_cast<double>(clock.nsecsElapsed()) / 1e3 / converts;
    pump(50);

    const int grabs = 200;
    clock.restart();
    for (int k = 0; k < grabs; ++k) {
        const QPixmap shot = w.dotView->grab();
        if (shot.isNull()) std::printf("  grab failed\n");
    }
    const double grabUs = static_cast<double>(clock.nsecsElapsed()) / 1e3 / grabs;
    clock.restart();
    for (int k = 0; k < grabs; ++k) w.dotView->repaint();
    const double repaintUs = static_cast<double>(clock.nsecsElapsed()) / 1e3 / grabs;

    std::printf("  tick handler alone            %8.1f us\n", handlerUs);
    std::printf("  tick + event processing/paint %8.1f us\n", stepUs);
    std::printf("  Bit_Convert with the view     %8.1f us\n", convertUs);
    std::printf("  full grab() of the grid       %8.1f us\n", grabUs);
    std::printf("  full repaint() of the grid    %8.1f us\n", repaintUs);
    std::printf("  memory before playback: resident %ld KiB, peak %ld KiB\n", before.residentKiB,
                before.peakKiB);
    std::printf("  memory after playback:  resident %ld KiB, peak %ld KiB\n", after.residentKiB,
                after.peakKiB);
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const int seconds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 10;
    const std::string which = argc > 2 ? argv[2] : "both";
    const bool shown = !(argc > 3 && std::string(argv[3]) == "hidden");
    if (which == "random" || which == "both") runPattern("random", seconds, shown);
    if (which == "sparse" || which == "both") runPattern("sparse", seconds, shown);
    return 0;
}
