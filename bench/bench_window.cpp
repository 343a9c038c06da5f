// Start-up to the first painted window with a full-size animation, beside two references: a bare
// QWidget, and a window of the same size holding one Japanese caption in IPAGothic (the
// least any window with Japanese captions must do: open the font database and load the font).
// For each: when the first paint event reaches the window, when that first paint pass (every
// child painted, the picture handed to the window system) is over, and the peak memory at both.
// Times count from the launch (the parent's clock just before it starts the child), and also
// from the child's main(); every kind runs this same program, so linking costs the same.
// The cost of showing a whole frame on the grid follows.
// Prints figures only. Usage: bench_window [runs, 25 unless given]   (children: this with --child)
#include <sys/resource.h>
#include <time.h>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "benchdialogs.h"
#include "files/hexcodec.h"
#include "ui/firstpaint.h"
#include "ui/frmmain.h"
#include "ui/inputmethod.h"

using namespace dotreel;

namespace {

long peakMemoryKiB() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

// Reports the first paint of `window` on stdout, then ends the event loop. The paint event reaches
// the window before any child paints; the whole pass (children, hand-over to the window system)
// ends within the same event, so a call queued from it runs once the first picture is complete.
class FirstPaint : public QObject {
public:
    FirstPaint(const QElapsedTimer& clock) : clock_(clock) {}
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint && !seen_) {
            seen_ = true;
            beganMs_ = milliseconds();
            beganPeak_ = peakMemoryKiB();
            QTimer::singleShot(0, qApp, [this] {
                const double doneMs = milliseconds();
                std::printf("painted %.2f ms, peak %ld KiB; complete %.2f ms, peak %ld KiB\n",
                            beganMs_, beganPeak_, doneMs, peakMemoryKiB());
                std::fflush(stdout);
                QCoreApplication::quit();
            });
        }
        return QObject::eventFilter(watched, event);
    }

private:
    double milliseconds() const { return static_cast<double>(clock_.nsecsElapsed()) / 1e6; }

    const QElapsedTimer& clock_;
    bool seen_ = false;
    double beganMs_ = 0;
    long beganPeak_ = 0;
};

// Nanoseconds on the monotonic clock, which the parent and its children share.
long long monotonicNs() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<long long>(now.tv_sec) * 1000000000LL + now.tv_nsec;
}

int runChild(int argc, char** argv, const std::string& kind, const std::string& folder) {
    QElapsedTimer clock;
    clock.start();
    // How long the process took to reach main(): starting it, loading and linking the libraries.
    const QByteArray launched = qgetenv("BENCH_LAUNCHED_NS");
    const double loadingMs =
        launched.isEmpty() ? 0.0 : static_cast<double>(monotonicNs() - launched.toLongLong()) / 1e6;
    std::printf("main reached %.2f ms after launch; ", loadingMs);
    // As the editor's main() does; the references keep Qt's default input method.
    if (kind == "editor") preferNoInputMethod();
    QApplication app(argc, argv);
    std::printf("application %.2f ms; ", static_cast<double>(clock.nsecsElapsed()) / 1e6);
    FirstPaint firstPaint(clock);
    std::unique_ptr<QWidget> window;
    if (kind == "editor") {
        static AnsweringDialogs dialogs([](const std::string&, const std::string& text) {
            // A failed step would make the figure meaningless: say so.
            std::printf("start-up step failed: %s\n", text.c_str());
            return Answer::Cancel;
        });
        auto editor = std::make_unique<frmMain>(folder, &dialogs);
        const double builtMs = static_cast<double>(clock.nsecsElapsed()) / 1e6;
        editor->Form_Load();
        // Where the editor's time goes before the first paint: the window built, the files read.
        std::printf("built %.2f ms, loaded %.2f ms; ", builtMs,
                    static_cast<double>(clock.nsecsElapsed()) / 1e6);
        window = std::move(editor);
    } else {
        window = std::make_unique<QWidget>();
        window->resize(911, 579);
        if (kind == "label") {
            auto* caption = new QLabel(QString::fromUtf8("描画パターン"), window.get());
            // The stand-in face by its own name: the reference does not move with the editor's
            // choice of family.
            QFont font(QStringLiteral("IPAGothic"));
            font.setPointSizeF(9.75);
            caption->setFont(font);
            caption->setGeometry(28, 273, 148, 15);
        }
    }
    window->installEventFilter(&firstPaint);
    // As the editor's main() does.
    if (kind == "editor") new PluginsAfterFirstPaint(*window);
    window->show();
    return app.exec();
}

bool writeFile(const QString& path, const std::string& bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) &&
           file.write(bytes.data(), static_cast<qint64>(bytes.size())) ==
               static_cast<qint64>(bytes.size());
}

// A program folder like the demo's: 131072 frame-file lines and the three settings.
bool makeProgramFolder(const QString& root) {
    auto memory = std::make_unique<FrameMemory>();
    for (size_t k = 0; k < memory->size(); ++k)
        (*memory)[k] = static_cast<uint8_t>((k * 131 + k / kFrameBytes * 7) & 0xFF);
    QDir(root).mkpath(QStringLiteral("データー"));
    QDir(root).mkpath(QStringLiteral("設定"));
    return writeFile(root + QStringLiteral("/データー/FirstData.txt"), formatFrameFile(*memory)) &&
           writeFile(root + QStringLiteral("/設定/animation.txt"), "0\r\n267\r\n10\r\n");
}

// One child's figures: its report parsed, and the wall time of the whole process. The paint
// times count from the launch (starting the process and linking its libraries included).
struct ChildRun {
    double processMs = 0;
    double launchToMainMs = 0;
    double paintedMs = 0, completeMs = 0;
    long paintedPeakKiB = 0, completePeakKiB = 0;
    bool ok = false;
    QString report;
};

ChildRun runOnce(const QString& program, const QStringList& arguments) {
    QProcess child;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("BENCH_LAUNCHED_NS"), QString::number(monotonicNs()));
    child.setProcessEnvironment(environment);
    QElapsedTimer wall;
    wall.start();
    child.start(program, arguments);
    child.waitForFinished(120000);
    ChildRun run;
    run.processMs = static_cast<double>(wall.nsecsElapsed()) / 1e6;
    run.report = QString::fromUtf8(child.readAllStandardOutput()).trimmed();
    static const QRegularExpression figures(QStringLiteral(
        "painted ([0-9.]+) ms, peak ([0-9]+) KiB; complete ([0-9.]+) ms, peak ([0-9]+) KiB"));
    static const QRegularExpression loading(QStringLiteral("main reached ([0-9.]+) ms"));
    const QRegularExpressionMatch l = loading.match(run.report);
    run.launchToMainMs = l.hasMatch() ? l.captured(1).toDouble() : 0.0;
    const QRegularExpressionMatch m = figures.match(run.report);
    if (m.hasMatch()) {
        run.paintedMs = run.launchToMainMs + m.captured(1).toDouble();
        run.paintedPeakKiB = m.captured(2).toLong();
        run.completeMs = run.launchToMainMs + m.captured(3).toDouble();
        run.completePeakKiB = m.captured(4).toLong();
        run.ok = true;
    }
    return run;
}

double median(std::vector<double> values) {
    if (values.empty()) return 0;
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n % 2 == 1 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

// The medians of one kind of window over all runs.
struct Medians {
    double paintedMs, completeMs, inProcessMs, processMs, paintedPeakKiB, completePeakKiB;
};

Medians medians(const std::vector<ChildRun>& runs) {
    std::vector<double> painted, complete, inProcess, process, paintedPeak, completePeak;
    for (const ChildRun& run : runs) {
        if (!run.ok) continue;
        painted.push_back(run.paintedMs);
        complete.push_back(run.completeMs);
        inProcess.push_back(run.completeMs - run.launchToMainMs);
        process.push_back(run.processMs);
        paintedPeak.push_back(static_cast<double>(run.paintedPeakKiB));
        completePeak.push_back(static_cast<double>(run.completePeakKiB));
    }
    return {median(painted), median(complete),    median(inProcess),
            median(process), median(paintedPeak), median(completePeak)};
}

void printMedians(const char* name, const Medians& m) {
    std::printf(
        "  %-20s painted %6.2f ms  complete %6.2f ms  (from main %6.2f ms)  process %6.1f ms  "
        "peak %6.0f / %6.0f KiB\n",
        name, m.paintedMs, m.completeMs, m.inProcessMs, m.processMs, m.paintedPeakKiB,
        m.completePeakKiB);
}

void printRatios(const char* name, const Medians& editor, const Medians& reference) {
    auto ratio = [](double a, double b) { return b > 0 ? a / b : 0.0; };
    std::printf(
        "  editor / %-11s painted %5.2fx  complete %5.2fx  (from main %5.2fx)  process %5.2fx  "
        "peak %5.2fx / %5.2fx\n",
        name, ratio(editor.paintedMs, reference.paintedMs),
        ratio(editor.completeMs, reference.completeMs),
        ratio(editor.inProcessMs, reference.inProcessMs),
        ratio(editor.processMs, reference.processMs),
        ratio(editor.paintedPeakKiB, reference.paintedPeakKiB),
        ratio(editor.completePeakKiB, reference.completePeakKiB));
}

void frameBenchmark() {
    AnsweringDialogs dialogs([](const std::string&, const std::string&) { return Answer::Cancel; });
    frmMain window("/nonexistent-folder", &dialogs);
    ModMain& s = window.state();
    for (size_t k = 0; k < s.bytFrameData().size(); ++k)
        s.bytFrameData()[k] = static_cast<uint8_t>((k * 131) & 0xFF);
    const int rounds = 200;
    QElapsedTimer clock;

    clock.start();
    for (int i = 0; i < rounds; ++i) Bit_Convert(s.bytFrameData(), s.dots, i % 2);
    QCoreApplication::processEvents();
    const double convertMs = static_cast<double>(clock.nsecsElapsed()) / 1e6 / rounds;

    clock.restart();
    for (int i = 0; i < rounds; ++i) {
        Bit_Convert(s.bytFrameData(), s.dots, i % kFrameCount);
        QCoreApplication::processEvents();
        const QPixmap picture = window.grab();
        if (picture.isNull()) std::printf("grab failed\n");
    }
    const double fullMs = static_cast<double>(clock.nsecsElapsed()) / 1e6 / rounds;
    std::printf("Bit_Convert, frames 0 and 1 in turn:               %.3f ms\n", convertMs);
    std::printf("Bit_Convert + repaint request + grab() of window:   %.3f ms\n", fullMs);
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    if (argc >= 3 && std::string(argv[1]) == "--child")
        return runChild(argc, argv, argv[2], argc >= 4 ? argv[3] : "");

    const int runs = argc >= 2 ? std::max(1, std::atoi(argv[1])) : 25;
    QApplication app(argc, argv);
    QTemporaryDir folder;
    if (!folder.isValid() || !makeProgramFolder(folder.path())) {
        std::printf("cannot prepare the program folder\n");
        return 1;
    }
    std::printf("platform: %s, %d runs each\n", qPrintable(QGuiApplication::platformName()), runs);
    const QString self = QCoreApplication::applicationFilePath();
    std::vector<ChildRun> plainRuns, labelRuns, editorRuns;
    for (int i = 0; i < runs; ++i) {
        plainRuns.push_back(runOnce(self, {QStringLiteral("--child"), QStringLiteral("plain")}));
        labelRuns.push_back(runOnce(self, {QStringLiteral("--child"), QStringLiteral("label")}));
        editorRuns.push_back(
            runOnce(self, {QStringLiteral("--child"), QStringLiteral("editor"), folder.path()}));
        const auto line = [i](const char* name, const ChildRun& run) {
            std::printf("run %d  %-13s %-70s process %.1f ms\n", i + 1, name,
                        qPrintable(run.report), run.processMs);
        };
        line("bare QWidget:", plainRuns.back());
        line("one label:", labelRuns.back());
        line("editor:", editorRuns.back());
    }
    const Medians plain = medians(plainRuns), label = medians(labelRuns),
                  editor = medians(editorRuns);
    std::printf(
        "medians, from the launch (peak when the paint event arrives / when the first paint pass "
        "ends):\n");
    printMedians("bare QWidget", plain);
    printMedians("one Japanese label", label);
    printMedians("editor", editor);
    printRatios("bare QWidget", editor, plain);
    printRatios("one label", editor, label);
    frameBenchmark();
    return 0;
}
