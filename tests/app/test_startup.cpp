// Start-up's settings step against the folder as the save leaves it: the settings file found in
// any letter case, and a settings "file" that is no file refused instead of waited on.
#include <QtTest>

#include <fstream>
#include <string>
#include <vector>

#include "app/modmain.h"
#include "app/startup.h"
#include "app/steprunner.h"
#include "hostilefiles.h"
#include "scripteddialogs.h"

using namespace dotreel;
using dotreel::testing::ScriptedDialogs;

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
};

QTEST_GUILESS_MAIN(TestStartup)
#include "test_startup.moc"
