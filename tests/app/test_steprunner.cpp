// The step runner: a failed statement is offered for Retry or Cancel through the dialog.
#include <QtTest>

#include <new>
#include <stdexcept>
#include <string>
#include <vector>

#include "app/modmain.h"
#include "app/steprunner.h"
#include "platform/errors.h"
#include "scripteddialogs.h"

using namespace dotreel;
using dotreel::testing::ScriptedDialogs;

class TestStepRunner : public QObject {
    Q_OBJECT

private slots:
    void aSucceedingStatementRunsOnceWithoutDialog();
    void retryRepeatsTheSameStatementWithItsVariables();
    void cancelGivesUpAndStoresTwo();
    void retryAnyNumberOfTimes();
    void dialogShowsStepNameFailedAndTheDescription();
    void dialogShowsTheStepNameInForceAtTheFailure();
    void onlyPlatformErrorsAreOffered();
    void outOfMemoryIsAFailedStep();
};

void TestStepRunner::aSucceedingStatementRunsOnceWithoutDialog() {
    ModMain state;
    ScriptedDialogs script;
    StepRunner step(state, script, "subSetup");
    int runs = 0;
    QVERIFY(step([&] { ++runs; }));
    QCOMPARE(runs, 1);
    QVERIFY(script.texts().empty());
    QCOMPARE(state.strMsgAns, std::string());
    QCOMPARE(step.title(), std::string("subSetup"));
}

void TestStepRunner::retryRepeatsTheSameStatementWithItsVariables() {
    ModMain state;
    ScriptedDialogs script;
    script.answers = {Answer::Retry};
    StepRunner step(state, script, "optLayer_Click");

    // A read loop: the counter keeps its value, so the failed read is repeated for the same line.
    std::vector<int> attemptedLines;
    std::vector<int> done;
    bool failOnce = true;
    for (int k = 0; k < 4; ++k) {
        const bool ok = step([&] {
            attemptedLines.push_back(k);
            if (k == 2 && failOnce) {
                failOnce = false;
                throw endOfFileError("/x/FirstData.txt");
            }
            done.push_back(k);
        });
        QVERIFY(ok);
    }
    QCOMPARE(attemptedLines, (std::vector<int>{0, 1, 2, 2, 3}));
    QCOMPARE(done, (std::vector<int>{0, 1, 2, 3}));
    QCOMPARE(state.strMsgAns, std::string("4"));
    QCOMPARE(script.texts().size(), size_t(1));
}

void TestStepRunner::cancelGivesUpAndStoresTwo() {
    ModMain state;
    ScriptedDialogs script;
    script.answers = {Answer::Cancel};
    StepRunner step(state, script, "cmdFile.Click");
    int runs = 0;
    QVERIFY(!step([&] {
        ++runs;
        throw typeMismatchError();
    }));
    QCOMPARE(runs, 1);
    QCOMPARE(state.strMsgAns, std::string("2"));
}

void TestStepRunner::retryAnyNumberOfTimes() {
    ModMain state;
    ScriptedDialogs script;
    script.answers = {Answer::Retry, Answer::Retry, Answer::Retry, Answer::Cancel};
    StepRunner step(state, script, "subSetup");
    int runs = 0;
    QVERIFY(!step([&] {
        ++runs;
        throw overflowError();
    }));
    QCOMPARE(runs, 4);
    QCOMPARE(script.texts().size(), size_t(4));
    QCOMPARE(state.strMsgAns, std::string("2"));

    // The stored answer follows the last dialog: a later Retry that succeeds leaves "4".
    script.answers = {Answer::Retry};
    int later = 0;
    QVERIFY(step([&] {
        if (later++ == 0) throw overflowError();
    }));
    QCOMPARE(later, 2);
    QCOMPARE(state.strMsgAns, std::string("4"));
}

void TestStepRunner::dialogShowsStepNameFailedAndTheDescription() {
    ModMain state;
    state.strProcName = "animation.txtのオープン";
    ScriptedDialogs script;
    script.answers = {Answer::Cancel};
    StepRunner step(state, script, "subSetup");
    const PlatformError error = typeMismatchError();
    QVERIFY(!step([&] { throw error; }));
    QCOMPARE(script.titles(), std::vector<std::string>{"subSetup"});
    QCOMPARE(script.count(DialogKind::StepFailure), size_t(1));
    QCOMPARE(script.texts(), std::vector<std::string>{"animation.txtのオープンに失敗しました\r\n" +
                                                      error.description()});
    QCOMPARE(stepFailureText("a", "b"), std::string("aに失敗しました\r\nb"));
}

void TestStepRunner::dialogShowsTheStepNameInForceAtTheFailure() {
    // The name is read when the dialog is built, so a name set inside the statement is shown,
    // and so is one left by an earlier handler.
    ModMain state;
    state.strProcName = "FirstData.txtのオープン";
    ScriptedDialogs script;
    script.answers = {Answer::Cancel, Answer::Cancel};
    StepRunner step(state, script, "cmdFile.Click");
    QVERIFY(!step([&] { throw outOfRangeError(); }));
    QVERIFY(!step([&] {
        state.strProcName = "Data.txtの書き込み処理";
        throw outOfRangeError();
    }));
    QCOMPARE(script.texts().size(), size_t(2));
    QVERIFY(script.texts()[0].rfind("FirstData.txtのオープンに失敗しました\r\n", 0) == 0);
    QVERIFY(script.texts()[1].rfind("Data.txtの書き込み処理に失敗しました\r\n", 0) == 0);
    QCOMPARE(script.titles()[1], std::string("cmdFile.Click"));
}

void TestStepRunner::onlyPlatformErrorsAreOffered() {
    ModMain state;
    ScriptedDialogs script;
    StepRunner step(state, script, "subSetup");
    QVERIFY_THROWS_EXCEPTION(std::logic_error, step([] { throw std::logic_error("bug"); }));
    QVERIFY(script.texts().empty());
}

void TestStepRunner::outOfMemoryIsAFailedStep() {
    ModMain state;
    state.strProcName = "FirstData.txtのオープン";
    ScriptedDialogs script;
    script.answers = {Answer::Retry, Answer::Cancel};
    StepRunner step(state, script, "subSetup");
    int runs = 0;
    QVERIFY(!step([&] {
        if (++runs == 1) throw std::bad_alloc();
        throw std::length_error("string too long");
    }));
    QCOMPARE(runs, 2);
    const std::string expected =
        "FirstData.txtのオープンに失敗しました\r\n" + outOfMemoryError().description();
    QCOMPARE(script.texts(), (std::vector<std::string>{expected, expected}));
}

QTEST_GUILESS_MAIN(TestStepRunner)
#include "test_steprunner.moc"
