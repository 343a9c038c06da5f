// What the editor leaves out of its start-up, and that it is all back afterwards: no input
// method unless the user names one, no picture plugins until the window has been painted once,
// no font of its own left as the application's.
#include <QBuffer>
#include <QImageReader>
#include <QWidget>
#include <QtTest>

#include "scripteddialogs.h"
#include "ui/firstpaint.h"
#include "ui/frmmain.h"
#include "ui/inputmethod.h"

using namespace dotreel;
using namespace dotreel::testing;

namespace {

// JPEG is read and written by a plugin only; PNG by Qt itself.
bool jpegReaderKnown() { return QImageReader::supportedImageFormats().contains("jpeg"); }

bool readsAsPicture(const QByteArray& bytes, const char* format) {
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    return !QImageReader(&buffer, format).read().isNull();
}

QByteArray pictureBytes(const char* format) {
    QImage picture(4, 3, QImage::Format_RGB32);
    picture.fill(Qt::white);
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    picture.save(&buffer, format);
    return buffer.data();
}

}  // namespace

class TestLightStart : public QObject {
    Q_OBJECT

private slots:
    void inputMethodOnlyWhereTheUserNamesOne_data() {
        QTest::addColumn<QByteArray>("imModule");   // "-": not set
        QTest::addColumn<QByteArray>("imModules");  // "-": not set
        QTest::addColumn<QByteArray>("expected");   // QT_IM_MODULE afterwards, "-": not set
        QTest::newRow("none named") << QByteArray("-") << QByteArray("-") << QByteArray("none");
        QTest::newRow("ibus named") << QByteArray("ibus") << QByteArray("-") << QByteArray("ibus");
        QTest::newRow("set empty") << QByteArray("") << QByteArray("-") << QByteArray("");
        QTest::newRow("list named") << QByteArray("-") << QByteArray("fcitx") << QByteArray("-");
    }
    void inputMethodOnlyWhereTheUserNamesOne() {
        QFETCH(QByteArray, imModule);
        QFETCH(QByteArray, imModules);
        QFETCH(QByteArray, expected);
        auto set = [](const char* name, const QByteArray& value) {
            if (value == "-")
                qunsetenv(name);
            else
                qputenv(name, value);
        };
        set("QT_IM_MODULE", imModule);
        set("QT_IM_MODULES", imModules);
        preferNoInputMethod();
        QCOMPARE(
            qEnvironmentVariableIsSet("QT_IM_MODULE") ? qgetenv("QT_IM_MODULE") : QByteArray("-"),
            expected);
        qunsetenv("QT_IM_MODULE");
        qunsetenv("QT_IM_MODULES");
    }

    // Before any other picture is read or written in this process: only the first use of the
    // picture readers shows where their plugins were looked for.
    void picturePluginsComeBackAfterTheFirstPaint() {
        const QStringList paths = QCoreApplication::libraryPaths();
        QWidget window;
        window.resize(200, 100);
        new PluginsAfterFirstPaint(window, 60000);
        QVERIFY(QCoreApplication::libraryPaths().isEmpty());
        QVERIFY(readsAsPicture(pictureBytes("png"), "png"));
        QVERIFY(!jpegReaderKnown());
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QTRY_COMPARE(QCoreApplication::libraryPaths(), paths);
        QVERIFY(jpegReaderKnown());
        QVERIFY(readsAsPicture(pictureBytes("jpeg"), "jpeg"));
    }

    void pluginPathsBackWithoutAPaint() {
        const QStringList paths = QCoreApplication::libraryPaths();
        {
            QWidget never;
            new PluginsAfterFirstPaint(never, 20);
            QTRY_COMPARE(QCoreApplication::libraryPaths(), paths);
        }
        {
            QWidget gone;
            new PluginsAfterFirstPaint(gone, 60000);
        }
        QCOMPARE(QCoreApplication::libraryPaths(), paths);
    }

    void windowLeavesTheApplicationFontAsItWas() {
        const QFont before = QApplication::font();
        ScriptedDialogs dialogs;
        frmMain window(QDir::tempPath().toStdString() + "/no-such-dotreel-folder", &dialogs);
        QCOMPARE(QApplication::font(), before);
        QVERIFY(window.font() != before);
    }
};

QTEST_MAIN(TestLightStart)
#include "test_lightstart.moc"
