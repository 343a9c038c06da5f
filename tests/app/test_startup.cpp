// Start-up's settings step against the folder as the save leaves it: the settings file found in
// any letter case, and a settings "file" that is no file refused instead of waited on.
#include <QtTest>

#include <fstream>
#include <string>
#include <vector>

#include "app/modmain.h"
#include "app/startup.h"
#include "app/steprunner.h"
#include "diskfiles.h"
#include "hostilefiles.h"
#include "scripteddialogs.h"
#include "windowfixture.h"

using namespace dotreel;
using namespace dotreel::testing;

namespace {

struct RecordedControls : StartupControls {
    std::vector<std::string> texts;
    int interval = 0;
    void setSettingsText(SettingsField, const std::string& text) override { texts.push_back(text); }
    void setTimerInterval(int milliseconds) override { interval = milliseconds; }
    void setIntervalSelector(int) override {}
};

}  // namespace

class TestStartup : public QObject {
    Q_OBJECT

private slots:
    void settingsFileIsFoundInAnyLetterCase_data() {
        QTest::addColumn<QString>("name");
        QTest::newRow("as saved") << "animation.txt";
        QTest::newRow("capital") << "Animation.txt";
        QTest::newRow("all capitals") << "ANIMATION.TXT";
    }
    void settingsFileIsFoundInAnyLetterCase() {
        QFETCH(QString, name);
        QTemporaryDir dir;
        ModMain state;
        setUpFolders(state, dir.path().toStdString());
        QVERIFY(QDir().mkpath(QString::fromStdString(state.strSetPath)));
        std::ofstream(state.strSetPath + name.toStdString(), std::ios::binary)
            << "3\r\n9\r\n250\r\n";
        ScriptedDialogs script;
        StepRunner step(state, script, kStartupTitle);
        RecordedControls controls;
        QVERIFY(readSettings(state, step, controls));
        QVERIFY(script.texts().empty());
        QCOMPARE(controls.texts, (std::vector<std::string>{"3", "9", "250"}));
        QCOMPARE(controls.interval, 250);
    }

    void fifoAsSettingsIsRefusedAtOnce() {
        QTemporaryDir dir;
        ModMain state;
        setUpFolders(state, dir.path().toStdString());
        QVERIFY(QDir().mkpath(QString::fromStdString(state.strSetPath)));
        QVERIFY(support::makeHostile(state.strSetPath + "animation.txt", support::Hostile::Fifo));
        ScriptedDialogs script;
        StepRunner step(state, script, kStartupTitle);
        RecordedControls controls;
        QVERIFY(!readSettings(state, step, controls));
        QCOMPARE(script.texts().size(), size_t(1));
        QCOMPARE(script.texts()[0],
                 "animation.txtのオープンに失敗しました\r\n" +
                     notAFileError(state.strSetPath + "animation.txt").description());
        QVERIFY(controls.texts.empty());
    }

    // What was read ahead is what reading the image layer at start-up gives, also when the
    // folder changed after the reading: then the file is read again as it now stands.
    void imageLayerReadAheadGivesWhatReadingGives_data() {
        QTest::addColumn<QString>("change");
        QTest::newRow("unchanged") << "";
        QTest::newRow("replaced by another file") << "replace";
        QTest::newRow("rewritten in place, its times put back") << "rewrite";
        QTest::newRow("one line short") << "short";
        QTest::newRow("removed") << "remove";
        QTest::newRow("another spelling sorts first") << "FIRSTDATA.TXT";
    }
    void imageLayerReadAheadGivesWhatReadingGives() {
        QFETCH(QString, change);
        ProgramFolder folder;
        const std::string text = formatFrameFile(*patternMemory());
        const QString image = folder.dataFile("FirstData.txt");
        QVERIFY(writeBytes(image, change == "short" ? text.substr(0, text.size() - 4) : text));
        FrameFileReadAhead ahead(folder.path());
        ahead.wait();
        auto other = patternMemory();
        (*other)[7] ^= 0xFF;
        if (change == "replace") {
            QVERIFY(writeBytes(image + ".new", formatFrameFile(*other)));
            QVERIFY(QFile::remove(image) && QFile::rename(image + ".new", image));
        } else if (change == "rewrite") {
            QVERIFY(support::rewriteKeepingTimes(image.toStdString(), formatFrameFile(*other)));
        } else if (change == "remove") {
            QVERIFY(QFile::remove(image));
        } else if (change == "FIRSTDATA.TXT") {
            QVERIFY(folder.writeFrameFile(*other, "FIRSTDATA.TXT"));
        }

        struct Start {
            ModMain state;
            ScriptedDialogs script;
            bool loaded = false;
        };
        auto start = [&](FrameFileReadAhead* readAhead) {
            auto s = std::make_unique<Start>();
            setUpFolders(s->state, folder.path());
            StepRunner step(s->state, s->script, kStartupTitle);
            s->loaded = readImageLayer(s->state, step, readAhead);
            return s;
        };
        const auto withAhead = start(&ahead);
        const auto reading = start(nullptr);
        QCOMPARE(withAhead->loaded, reading->loaded);
        QCOMPARE(withAhead->loaded, change != "short" && change != "remove");
        QVERIFY(withAhead->state.bytFrameData() == reading->state.bytFrameData());
        QVERIFY(withAhead->state.memorySource == reading->state.memorySource);
        QCOMPARE(withAhead->script.texts(), reading->script.texts());
        QCOMPARE(withAhead->state.strProcName, reading->state.strProcName);
    }
};

QTEST_GUILESS_MAIN(TestStartup)
#include "test_startup.moc"
