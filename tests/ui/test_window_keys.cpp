// The window's keyboard and undo history on the real window: keys act like their controls, a text
// box keeps its keys, every memory command undoes and redoes, and every control explains itself.
#include <QCheckBox>
#include <QDialog>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QScrollBar>
#include <QSet>
#include <QTableWidget>
#include <QtTest>
#include <memory>

#include "ui/frmmain.h"
#include "ui/shortcuts.h"
#include "windowfixture.h"

using namespace dotreel;
using namespace dotreel::testing;

namespace {

std::vector<uint8_t> storeOf(const FrameMemory& m) { return {m.begin(), m.begin() + kStoreBytes}; }

}  // namespace

class TestWindowKeys : public QObject {
    Q_OBJECT

    std::unique_ptr<ProgramFolder> folder_;
    ScriptedDialogs dialogs_;
    std::unique_ptr<frmMain> w_;

    void press(int key, Qt::KeyboardModifiers modifiers = {}) {
        QWidget* target = w_->focusWidget() != nullptr ? w_->focusWidget() : w_.get();
        QTest::keyClick(target, Qt::Key(key), modifiers);
    }
    bool gridShowsSelectedFrame() {
        DotGrid grid;
        Bit_Convert(w_->state().bytFrameData(), grid, w_->hscFrame[0]->value());
        return grid.intDot == w_->state().dots.intDot;
    }

private slots:
    void init() {
        folder_ = std::make_unique<ProgramFolder>();
        QVERIFY(folder_->writeFrameFile(*patternMemory()) &&
                folder_->writeFrameFile(*patternMemory(), "SecondData.txt") &&
                folder_->writeSettings("3\r\n200\r\n10\r\n"));
        dialogs_ = ScriptedDialogs{};
        w_ = std::make_unique<frmMain>(folder_->path(), &dialogs_);
        w_->Form_Load();
        w_->show();
        QVERIFY(QTest::qWaitForWindowExposed(w_.get()));
        w_->hscFrame[0]->setValue(5);
        w_->cmdPattern[0]->setFocus();
    }
    void cleanup() { w_.reset(); }

    void keysActLikeTheirControlsOutsideTextBoxes_data() {
        QTest::addColumn<int>("key");
        QTest::addColumn<Qt::KeyboardModifiers>("modifiers");
        QTest::addColumn<bool>("inTextBox");
        QTest::addColumn<int>("frame");      // the selector afterwards
        QTest::addColumn<QString>("start");  // cmdFrame(2)'s caption afterwards
        QTest::addColumn<bool>("saved");
        const Qt::KeyboardModifiers none;
        for (const bool text : {false, true}) {
            const QString where = text ? " in a text box" : "";
            auto row = [&](const char* name) -> QTestData& {
                return QTest::newRow(qPrintable(name + where));
            };
            row("PgDown") << int(Qt::Key_PageDown) << none << text << (text ? 5 : 6) << u("START")
                          << false;
            row("PgUp") << int(Qt::Key_PageUp) << none << text << (text ? 5 : 4) << u("START")
                        << false;
            row("Home") << int(Qt::Key_Home) << none << text << (text ? 5 : 3) << u("START")
                        << false;
            row("End") << int(Qt::Key_End) << none << text << (text ? 5 : 200) << u("START")
                       << false;
            row("Ctrl+Return") << int(Qt::Key_Return) << Qt::KeyboardModifiers(Qt::ControlModifier)
                               << text << (text ? 5 : 3) << (text ? u("START") : u("STOP"))
                               << false;
            row("Ctrl+S") << int(Qt::Key_S) << Qt::KeyboardModifiers(Qt::ControlModifier) << text
                          << 5 << u("START") << !text;
        }
    }
    void keysActLikeTheirControlsOutsideTextBoxes() {
        QFETCH(int, key);
        QFETCH(Qt::KeyboardModifiers, modifiers);
        QFETCH(bool, inTextBox);
        QFETCH(int, frame);
        QFETCH(QString, start);
        QFETCH(bool, saved);
        QVERIFY(QFile::remove(folder_->settingsFile()));
        if (inTextBox) w_->txtFrame[0]->setFocus();
        press(key, modifiers);
        QCOMPARE(w_->hscFrame[0]->value(), frame);
        // Through the selector's own change handler: caption, current frame, frame-number box.
        QCOMPARE(w_->fraFrame->title(), u("フレーム：") + QString::number(frame));
        QCOMPARE(w_->state().intFrameNo, int16_t(frame));
        QCOMPARE(w_->txtScroll->text(), QString::number(frame));
        QCOMPARE(w_->cmdFrame[2]->text(), start);
        QCOMPARE(QFile::exists(folder_->settingsFile()), saved);
        QCOMPARE(w_->txtFrame[0]->text(), u("3"));  // the text box's text untouched
    }

    void everyMemoryCommandUndoesAndRedoes_data() {
        QTest::addColumn<QString>("command");
        QTest::newRow("記憶 of a cleared grid") << "store";
        QTest::newRow("全消去, frames 3..200") << "erase";
        QTest::newRow("全塗潰, whole memory") << "fill";
        QTest::newRow("全画像") << "picture";
        QTest::newRow("背景 loaded") << "layer";
    }
    void everyMemoryCommandUndoesAndRedoes() {
        QFETCH(QString, command);
        const auto original = storeOf(w_->state().bytFrameData());
        if (command == "store") {
            w_->cmdPattern[0]->click();
            w_->cmdDrawTool[1]->click();
        } else if (command == "erase") {
            w_->cmdLayer[0]->click();
        } else if (command == "fill") {
            w_->chkLayer->setChecked(false);
            w_->cmdLayer[1]->click();
        } else if (command == "picture") {
            w_->cmdLayer[2]->click();
        } else {
            QVERIFY(folder_->writeFrameFile(FrameMemory{}, "SecondData.txt"));
            w_->optLayer[1]->click();
        }
        const auto changed = storeOf(w_->state().bytFrameData());
        QVERIFY(changed != original);

        press(Qt::Key_Z, Qt::ControlModifier);
        QVERIFY(storeOf(w_->state().bytFrameData()) == original);
        QVERIFY(gridShowsSelectedFrame());
        press(Qt::Key_Z, Qt::ControlModifier);  // nothing older: nothing changes
        QVERIFY(storeOf(w_->state().bytFrameData()) == original);
        press(Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
        QVERIFY(storeOf(w_->state().bytFrameData()) == changed);
        QVERIFY(gridShowsSelectedFrame());
        press(Qt::Key_Z, Qt::ControlModifier);
        press(Qt::Key_Y, Qt::ControlModifier);
        QVERIFY(storeOf(w_->state().bytFrameData()) == changed);
    }

    // "取消し" keeps its meaning (the grid back to the stored frame) and is no step; a text box
    // keeps Ctrl+Z for its own text.
    void revertAndTextBoxesLeaveTheHistoryAlone() {
        const auto original = storeOf(w_->state().bytFrameData());
        w_->cmdLayer[0]->click();
        const auto erased = storeOf(w_->state().bytFrameData());
        w_->cmdPattern[1]->click();
        w_->cmdDrawTool[2]->click();
        QVERIFY(gridShowsSelectedFrame());

        w_->txtFrame[1]->setFocus();
        w_->txtFrame[1]->selectAll();
        QTest::keyClicks(w_->txtFrame[1], "12");
        QCOMPARE(w_->txtFrame[1]->text(), u("12"));
        press(Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(w_->txtFrame[1]->text(), u("200"));
        QVERIFY(storeOf(w_->state().bytFrameData()) == erased);

        w_->cmdPattern[0]->setFocus();
        press(Qt::Key_Z, Qt::ControlModifier);
        QVERIFY(storeOf(w_->state().bytFrameData()) == original);
    }

    void everyControlExplainsItselfInBothLanguages() {
        const QRegularExpression japanese(u("[\\x{3040}-\\x{30FF}\\x{4E00}-\\x{9FFF}]"));
        const QRegularExpression english(u("\\n[A-Z][a-z]+\\b"));
        int controls = 0;
        for (QWidget* control : w_->findChildren<QWidget*>()) {
            const QString name = control->objectName();
            if (name.isEmpty() || name == u("dotView")) continue;
            ++controls;
            QVERIFY2(japanese.match(control->toolTip()).hasMatch(), qPrintable(name));
            QVERIFY2(english.match(control->toolTip()).hasMatch(), qPrintable(name));
            QVERIFY2(control->toolTip().count(u'\n') == 1, qPrintable(name));
        }
        QCOMPARE(controls, 49);
        for (const KeyRow& row : keyTable()) {
            if (row.control == nullptr) continue;
            auto* control = w_->findChild<QWidget*>(QString::fromLatin1(row.control));
            QVERIFY2(control != nullptr, row.control);
            const QStringList lines = control->toolTip().split(u'\n');
            QVERIFY2(lines[0].contains(keyNames(row)), qPrintable(keyNames(row)));
            QVERIFY2(lines[1].contains(keyNames(row)), qPrintable(keyNames(row)));
        }
    }

    // One table: no key does two things, every row says what it does in both languages.
    void everyKeyOnceWithBothLanguages() {
        QSet<int> seen;
        for (const KeyRow& row : keyTable()) {
            QVERIFY(!QString::fromUtf8(row.japanese).isEmpty());
            QVERIFY(!QString::fromUtf8(row.english).isEmpty());
            QVERIFY(!keyNames(row).isEmpty());
            for (const QKeyCombination k : row.keys) {
                if (k == QKeyCombination()) continue;
                QVERIFY2(!seen.contains(k.toCombined()), qPrintable(keyNames(row)));
                seen.insert(k.toCombined());
            }
        }
    }

    // The README's key table is the key table, row for row.
    void readmeListsTheKeyTable() {
        QFile readme(QStringLiteral(DOTREEL_SOURCE_DIR "/README.md"));
        QVERIFY(readme.open(QIODevice::ReadOnly));
        const QString text = QString::fromUtf8(readme.readAll());
        const QString table = markdownKeyTable();
        if (!text.contains(table))
            qInfo().noquote() << "README's key table should read:\n" << table;
        QVERIFY(text.contains(table));
    }

    void f1AndQuestionMarkShowTheKeySheet_data() {
        QTest::addColumn<int>("key");
        QTest::addColumn<Qt::KeyboardModifiers>("modifiers");
        QTest::newRow("F1") << int(Qt::Key_F1) << Qt::KeyboardModifiers();
        QTest::newRow("? with Shift")
            << int(Qt::Key_Question) << Qt::KeyboardModifiers(Qt::ShiftModifier);
        QTest::newRow("? alone") << int(Qt::Key_Question) << Qt::KeyboardModifiers();
    }
    void f1AndQuestionMarkShowTheKeySheet() {
        QFETCH(int, key);
        QFETCH(Qt::KeyboardModifiers, modifiers);
        press(key, modifiers);
        auto* sheet = w_->findChild<QDialog*>(QStringLiteral("keySheet"));
        QVERIFY(sheet != nullptr && sheet->isVisible());
        auto* table = sheet->findChild<QTableWidget*>(QStringLiteral("keyTable"));
        QVERIFY(table != nullptr);
        const auto rows = keyTable();
        QCOMPARE(table->rowCount(), int(rows.size()));
        for (int r = 0; r < table->rowCount(); ++r) {
            QCOMPARE(table->item(r, 0)->text(), keyNames(rows[size_t(r)]));
            QCOMPARE(table->item(r, 1)->text(), QString::fromUtf8(rows[size_t(r)].japanese));
            QCOMPARE(table->item(r, 2)->text(), QString::fromUtf8(rows[size_t(r)].english));
        }
        sheet->close();
        press(key, modifiers);  // again: the same sheet, shown once more
        QCOMPARE(w_->findChildren<QDialog*>(QStringLiteral("keySheet")).size(), 1);
        QVERIFY(sheet->isVisible());
    }
};

QTEST_MAIN(TestWindowKeys)
#include "test_window_keys.moc"
