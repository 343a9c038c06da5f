// Start-up to the first painted window with a full-size animation, beside a bare QWidget's first
// paint, with the peak memory of each; and the cost of showing a whole frame on the grid.
// Prints figures only. Usage: bench_window [runs]   (children are this program with --child)
#include <sys/resource.h>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "files/hexcodec.h"
#include "ui/frmmain.h"

using namespace dotreel;

namespace {

long peakMemoryKiB() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

// Reports the first paint of `window` on stdout, then ends the event loop.
class FirstPaint : public QObject {
  public:
    FirstPaint(const QElapsedTimer& clock) : clock_(clock) {}
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint && !seen_) {
            seen_ = true;
            std::printf("painted %.2f ms, peak %ld KiB\n",
                        static_cast<double>(clock_.nsecsElapsed()) / 1e6, peakMemoryKiB());
            std::fflush(stdout);
            QTimer::singleShot(0, qApp, &QCoreApplication::quit);
        }
        return QObject::eventFilter(watched, event);
    }

  private:
    const QElapsedTimer& clock_;
    bool seen_ = false;
};

int runChild(int argc, char** argv, const std::string& kind, const std::string& folder) {
    QElapsedTimer clock;
    clock.start();
    QApplication app(argc, argv);
    FirstPaint firstPaint(clock);
    std::unique_ptr<QWidget> window;
    if (kind == "editor") {
        auto editor =
            std::make_unique<frmMain>(folder, [](const std::string&, const std::string& text) {
                // A failed step would make the figure meaningless: say so.
                std::printf("start-up step failed: %s\n", text.c_str());
                return Answer::Cancel;
            });
        editor->Form_Load();
        window = std::move(editor);
    } else {
        window = std::make_unique<QWidget>();
        window->resize(911, 579);
    }
    window->installEventFilter(&firstPaint);
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

struct ChildRun {
    double wallMs = 0;
    QString report;
};

ChildRun runOnce(const QString& program, const QStringList& arguments) {
    QProcess child;
    QElapsedTimer wall;
    wall.start();
    child.start(program, arguments);
    child.waitForFinished(120000);
    ChildRun run;
    run.wallMs = static_cast<double>(wall.nsecsElapsed()) / 1e6;
    run.report = QString::fromUtf8(child.readAllStandardOutput()).trimmed();
    return run;
}

void frameBenchmark() {
    frmMain window("/nonexistent-folder",
                   [](const std::string&, const std::string&) { return Answer::Cancel; });
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

    const int runs = argc >= 2 ? std::max(1, std::atoi(argv[1])) : 3;
    QApplication app(argc, argv);
    QTemporaryDir folder;
    if (!folder.isValid() || !makeProgramFolder(folder.path())) {
        std::printf("cannot prepare the program folder\n");
        return 1;
    }
    std::printf("platform: %s, %d runs each\n", qPrintable(QGuiApplication::platformName()), runs);
    const QString self = QCoreApplication::applicationFilePath();
    for (int i = 0; i < runs; ++i) {
        const ChildRun plain = runOnce(self, {QStringLiteral("--child"), QStringLiteral("plain")});
        const ChildRun editor =
            runOnce(self, {QStringLiteral("--child"), QStringLiteral("editor"), folder.path()});
        std::printf("run %d  bare QWidget: %-40s process %.1f ms\n", i + 1,
                    qPrintable(plain.report), plain.wallMs);
        std::printf("run %d  editor:       %-40s process %.1f ms\n", i + 1,
                    qPrintable(editor.report), editor.wallMs);
    }
    frameBenchmark();
    return 0;
}
