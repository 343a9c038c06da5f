// Playback at a 1 ms interval beside its reference, a bare 1 ms Qt::PreciseTimer, measured in
// turns within the same run: frames advanced per second and the processor time used (user +
// system, from getrusage) over fixed periods, for random frames (about half of the dots change
// on every frame), the demo animation and a moving bar. Then the cost of one step and of one
// full repaint of the grid. Prints figures only.
// Usage: bench_playback [rounds] [seconds per measurement]
#include <sys/resource.h>

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QGuiApplication>
#include <QPixmap>
#include <QProcess>
#include <QPushButton>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <functional>
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

class PaintCounter : public QObject {
public:
    int paints = 0;
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint) ++paints;
        return false;
    }
};

double processorSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    auto seconds = [](const timeval& t) {
        return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6;
    };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

long peakMemoryKiB() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
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

// "random": independent random bytes in every frame. "bar": a 3-dot-wide bar moves one column
// per frame.
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

// One measured period: events per second and processor use as a share of one core.
struct Period {
    double perSecond = 0;
    double core = 0;
};

Period measure(int ms, const std::function<void()>& start, const std::function<void()>& stop,
               const int& count) {
    const int before = count;
    const double cpuBefore = processorSeconds();
    QElapsedTimer clock;
    clock.start();
    start();
    pump(ms);
    stop();
    const double elapsed = static_cast<double>(clock.nsecsElapsed()) / 1e9;
    return {(count - before) / elapsed, (processorSeconds() - cpuBefore) / elapsed};
}

// An editor started from its own program folder with the interval at 1 ms, shown.
struct Editor {
    QTemporaryDir dir;
    std::unique_ptr<AnsweringDialogs> dialogs;
    std::unique_ptr<frmMain> window;
    int advanced = 0;
    PaintCounter paints;
    int failures = 0;
};

std::unique_ptr<Editor> openEditor(const std::string& pattern) {
    auto e = std::make_unique<Editor>();
    QDir(e->dir.path()).mkpath(QString::fromUtf8("データー"));
    QDir(e->dir.path()).mkpath(QString::fromUtf8("設定"));
    const std::string root = e->dir.path().toStdString() + "/";
    std::string end = "267";
    if (pattern == "demo") {
        // The demo as the build places it, played at the fastest interval.
        const int made = QProcess::execute(QStringLiteral(DOTREEL_MAKE_DEMO),
                                           {QStringLiteral("--keep-existing"), e->dir.path()});
        if (made != 0) std::printf("  the demo maker failed (%d)\n", made);
        end = "47";
    } else {
        writeFileAtomically(root + "データー/FirstData.txt", formatFrameFile(*makeFrames(pattern)),
                            false);
    }
    writeFileAtomically(root + "設定/animation.txt", formatSettingsFile("0", end, "1"), false);
    e->dialogs =
        std::make_unique<AnsweringDialogs>([p = e.get()](const std::string&, const std::string&) {
            ++p->failures;
            return Answer::Cancel;
        });
    e->window = std::make_unique<frmMain>(root, e->dialogs.get());
    frmMain& w = *e->window;
    w.Form_Load();
    w.show();
    w.dotView->installEventFilter(&e->paints);
    QObject::connect(w.hscFrame[0], &QScrollBar::valueChanged, [p = e.get()] { ++p->advanced; });
    w.chkFrame->setChecked(true);
    return e;
}

// The cost of one tick, alone and with the event processing that follows it, and of a full
// repaint of the grid.
void stepCosts(const char* name, frmMain& w) {
    w.hscFrame[1]->setValue(1000);  // no real tick while the steps are driven by hand
    const int steps = 2000;
    QElapsedTimer clock;
    clock.start();
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
    w.cmdFrame[2]->setText(QStringLiteral("START"));
    pump(50);
    const int repaints = 200;
    clock.restart();
    for (int k = 0; k < repaints; ++k) w.dotView->repaint();
    const double repaintUs = static_cast<double>(clock.nsecsElapsed()) / 1e3 / repaints;
    std::printf(
        "  %-7s tick handler alone %7.1f us, with event processing %7.1f us, full grid "
        "repaint %7.1f us\n",
        name, handlerUs, stepUs, repaintUs);
    w.hscFrame[1]->setValue(1);
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 7;
    const int ms = argc > 2 ? std::max(100, std::atoi(argv[2]) * 1000) : 2000;

    // The reference: a bare timer, its ticks counted.
    QTimer bare;
    bare.setTimerType(Qt::PreciseTimer);
    bare.setInterval(1);
    int bareTicks = 0;
    QObject::connect(&bare, &QTimer::timeout, [&] { ++bareTicks; });

    const std::vector<std::string> patterns{"random", "demo", "bar"};
    std::vector<std::unique_ptr<Editor>> editors;
    for (const std::string& pattern : patterns) editors.push_back(openEditor(pattern));
    pump(300);
    for (size_t p = 0; p < patterns.size(); ++p)
        if (editors[p]->failures != 0)
            std::printf("  %s: start-up reported %d failures\n", patterns[p].c_str(),
                        editors[p]->failures);

    std::printf("platform %s, %d rounds of %.1f s each, in turns\n",
                qPrintable(QGuiApplication::platformName()), rounds, ms / 1000.0);
    std::vector<double> bareRate, bareCore;
    std::vector<std::vector<double>> rate(patterns.size()), core(patterns.size()),
        paintRate(patterns.size());
    for (int round = 0; round < rounds; ++round) {
        const Period b = measure(
            ms, [&] { bare.start(); }, [&] { bare.stop(); }, bareTicks);
        bareRate.push_back(b.perSecond);
        bareCore.push_back(b.core);
        for (size_t p = 0; p < patterns.size(); ++p) {
            Editor& e = *editors[p];
            const int paintsBefore = e.paints.paints;
            QElapsedTimer clock;
            clock.start();
            // START and STOP, as the button does it.
            const Period r = measure(
                ms, [&] { e.window->cmdFrame[2]->click(); },
                [&] { e.window->cmdFrame[2]->click(); }, e.advanced);
            rate[p].push_back(r.perSecond);
            core[p].push_back(r.core);
            paintRate[p].push_back((e.paints.paints - paintsBefore) /
                                   (static_cast<double>(clock.nsecsElapsed()) / 1e9));
            pump(30);
        }
    }

    const double bareMedian = median(bareRate);
    std::printf("  bare 1 ms timer       %7.1f ticks/s   processor %5.1f %% of a core\n",
                bareMedian, 100 * median(bareCore));
    for (size_t p = 0; p < patterns.size(); ++p) {
        const double r = median(rate[p]);
        std::printf(
            "  playback, %-7s     %7.1f frames/s  processor %5.1f %% of a core   "
            "rate / bare timer %5.3fx   grid paints %5.1f /s\n",
            patterns[p].c_str(), r, 100 * median(core[p]), bareMedian > 0 ? r / bareMedian : 0.0,
            median(paintRate[p]));
    }
    for (size_t p = 0; p < patterns.size(); ++p)
        std::printf("  %-7s frames/s by round:%s\n", patterns[p].c_str(),
                    [&] {
                        std::string all;
                        for (double v : rate[p]) all += " " + std::to_string(static_cast<int>(v));
                        return all;
                    }()
                        .c_str());
    for (size_t p = 0; p < patterns.size(); ++p)
        stepCosts(patterns[p].c_str(), *editors[p]->window);
    std::printf("  peak memory %ld KiB\n", peakMemoryKiB());
    return 0;
}
