// The layer options, the layer commands and the save button in the real window, on a program
// folder of real files: what each click does to the frame memory, the grid and the files.
#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QtTest>
#include <memory>

#include "ui/frmmain.h"
#include "windowfixture.h"

using namespace dotreel;
using namespace dotreel::testing;

namespace {

// A second layer, different from patternMemory() in every frame.
std::unique_ptr<FrameMemory> backgroundMemory() {
    auto memory = std::make_unique<FrameMemory>();
    memory->fill(0);
    for (int k = 0; k < kStoreBytes; ++k)
        (*memory)[static_cast<size_t>(k)] = static_cast<uint8_t>((k * 11 + 0x40) & 0xC3);
    return memory;
}

DotGrid gridOf(const FrameMemory& memory, int frame) {
    DotGrid grid;
    Bit_Convert(memory, grid, frame);
    return grid;
}

bool storeEquals(const FrameMemory& a, const FrameMemory& b) {
    return std::equal(a.begin(), a.begin() + kStoreBytes, b.begin());
}

bool frameEquals(const FrameMemory& m, int frame, const FrameMemory& src, int srcFrame) {
    return std::equal(m.begin() + frame * kFrameBytes, m.begin() + (frame + 1) * kFrameBytes,
                      src.begin() + srcFrame * kFrameBytes);
}

QByteArray readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

}  // namespace

class TestWindowLayers : public QObject {
    Q_OBJECT

    std::unique_ptr<ProgramFolder> folder_;
    std::unique_ptr<FrameMemory> image_;
    std::unique_ptr<FrameMemory> background_;
    ScriptedDialogs dialogs_;
    std::unique_ptr<frmMain> window_;

    std::unique_ptr<frmMain> openWindow(ScriptedDialogs& dialogs) {
        auto w = std::make_unique<frmMain>(folder_->path(), &dialogs);
        w->Form_Load();
        return w;
    }

    // Draws on the grid without storing: every change of the memory must throw it away.
    void drawUnstored() {
        for (int i = 0; i < 64; ++i) window_->state().dots.put(i, true);
    }

    void showFrame(int frame) {
        window_->hscFrame[0]->setValue(frame);
        QCOMPARE(window_->hscFrame[0]->value(), frame);
    }

    void setRange(const char* start, const char* end, bool ticked = true) {
        window_->txtFrame[0]->setText(QString::fromUtf8(start));
        window_->txtFrame[1]->setText(QString::fromUtf8(end));
        if (window_->chkLayer->isChecked() != ticked)
            QTest::mouseClick(window_->chkLayer, Qt::LeftButton);
        QCOMPARE(window_->chkLayer->isChecked(), ticked);
    }

private slots:
    void init() {
        folder_ = std::make_unique<ProgramFolder>();
        image_ = patternMemory();
        background_ = backgroundMemory();
        QVERIFY(folder_->writeFrameFile(*image_, "FirstData.txt"));
        QVERIFY(folder_->writeFrameFile(*background_, "SecondData.txt"));
        QVERIFY(folder_->writeSettings("0\r\n267\r\n10\r\n"));
        dialogs_ = ScriptedDialogs{};
        window_ = openWindow(dialogs_);
        QVERIFY(dialogs_.calls.empty());
        window_->show();
        QVERIFY(QTest::qWaitForWindowExposed(window_.get()));
    }

    void cleanup() {
        window_.reset();
        folder_.reset();
    }

    void choosingALayerLoadsItAndShowsTheSelectedFrame() {
        frmMain& w = *window_;
        showFrame(7);
        drawUnstored();
        QTest::mouseClick(w.optLayer[1], Qt::LeftButton);
        QVERIFY(w.optLayer[1]->isChecked());
        QVERIFY(storeEquals(w.state().bytFrameData(), *background_));
        QCOMPARE(w.state().dots.intDot, gridOf(*background_, 7).intDot);
        QVERIFY(w.state().dots.viewMatchesState());
        QCOMPARE(w.state().intFrameNo, int16_t{7});

        QTest::mouseClick(w.optLayer[0], Qt::LeftButton);
        QVERIFY(storeEquals(w.state().bytFrameData(), *image_));
        QCOMPARE(w.state().dots.intDot, gridOf(*image_, 7).intDot);
        QVERIFY(dialogs_.calls.empty());
    }

    // Undoing a layer load gives back the record of which file the memory holds: the background
    // file on disk is then not what the memory holds, and saving over it asks first.
    void undoingALayerLoadMakesTheSaveAskAgain() {
        frmMain& w = *window_;
        QTest::mouseClick(w.optLayer[1], Qt::LeftButton);
        QVERIFY(storeEquals(w.state().bytFrameData(), *background_));
        w.undoMemory();
        QVERIFY(storeEquals(w.state().bytFrameData(), *image_));
        QCOMPARE(w.state().memorySource.fileName, std::string("FirstData.txt"));
        const QByteArray before = readAll(folder_->dataFile("SecondData.txt"));
        dialogs_.answers = {Answer::No};
        QTest::mouseClick(w.cmdFile, Qt::LeftButton);
        QCOMPARE(dialogs_.count(DialogKind::Question), size_t{1});
        QCOMPARE(readAll(folder_->dataFile("SecondData.txt")), before);
        w.redoMemory();
        QCOMPARE(w.state().memorySource.fileName, std::string("SecondData.txt"));
        QTest::mouseClick(w.cmdFile, Qt::LeftButton);  // the memory holds that file again
        QCOMPARE(dialogs_.count(DialogKind::Question), size_t{1});
    }

    void givenUpLoadKeepsTheGridWhileTheOptionShowsTheNewLayer() {
        frmMain& w = *window_;
        QVERIFY(QFile::remove(folder_->dataFile("SecondData.txt")));
        showFrame(2);
        drawUnstored();
        const auto gridBefore = w.state().dots.intDot;
        dialogs_.answers = {Answer::Cancel};
        QTest::mouseClick(w.optLayer[1], Qt::LeftButton);
        QCOMPARE(dialogs_.calls.size(), size_t{1});
        QCOMPARE(dialogs_.calls[0].title, std::string("optLayer_Click"));
        QVERIFY(QString::fromStdString(dialogs_.calls[0].text)
                    .startsWith(u("SecondData.txtのオープンに失敗しました\r\n")));
        QVERIFY(w.optLayer[1]->isChecked());
        QVERIFY(storeEquals(w.state().bytFrameData(), *image_));
        QCOMPARE(w.state().dots.intDot, gridBefore);

        // Saving now writes the image layer as the first background file.
        QTest::mouseClick(w.cmdFile, Qt::LeftButton);
        QCOMPARE(readAll(folder_->dataFile("SecondData.txt")),
                 QByteArray::fromStdString(formatFrameFile(*image_)));
    }

    void clickOnTheSelectedOptionReadsTheFileAgain() {
        frmMain& w = *window_;
        QVERIFY(w.optLayer[0]->isChecked());
        QVERIFY(folder_->writeFrameFile(*background_, "FirstData.txt"));
        QTest::mouseClick(w.optLayer[0], Qt::LeftButton);
        QVERIFY(w.optLayer[0]->isChecked());
        QVERIFY(storeEquals(w.state().bytFrameData(), *background_));
        QVERIFY(dialogs_.calls.empty());
    }

    // Each way of activating an option runs the load exactly once: with the files gone, one
    // run is one step-failure dialog.
    void everyActivationLoadsOnce_data() {
        QTest::addColumn<int>("focused");
        QTest::addColumn<int>("key");  // 0: a mouse click on the focused option
        QTest::addColumn<int>("selected");
        QTest::addColumn<QString>("step");
        const QString first = u("FirstData.txtのオープン");
        const QString second = u("SecondData.txtのオープン");
        QTest::newRow("click on the selected option") << 0 << 0 << 0 << first;
        QTest::newRow("click on another option") << 1 << 0 << 1 << second;
        QTest::newRow("space on the selected option") << 0 << int(Qt::Key_Space) << 0 << first;
        QTest::newRow("arrow down to the next option") << 0 << int(Qt::Key_Down) << 1 << second;
    }

    void everyActivationLoadsOnce() {
        QFETCH(int, focused);
        QFETCH(int, key);
        QFETCH(int, selected);
        QFETCH(QString, step);
        frmMain& w = *window_;
        QVERIFY(QFile::remove(folder_->dataFile("FirstData.txt")));
        QVERIFY(QFile::remove(folder_->dataFile("SecondData.txt")));
        w.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&w));
        QRadioButton* option = w.optLayer[static_cast<size_t>(focused)];
        option->setFocus();
        QCOMPARE(QApplication::focusWidget(), option);
        dialogs_.answers = {Answer::Cancel, Answer::Cancel};
        if (key == 0)
            QTest::mouseClick(option, Qt::LeftButton);
        else
            QTest::keyClick(option, static_cast<Qt::Key>(key));
        QVERIFY(w.optLayer[static_cast<size_t>(selected)]->isChecked());
        QCOMPARE(dialogs_.calls.size(), size_t{1});
        QVERIFY(QString::fromStdString(dialogs_.calls[0].text).startsWith(step));
        QVERIFY(storeEquals(w.state().bytFrameData(), *image_));
    }

    void saveWritesTheSelectedLayerAndTheBoxesAsTheyStand() {
        frmMain& w = *window_;
        w.state().bytFrameData()[0] = 0xA0;
        w.txtFrame[0]->setText(u("5.0"));
        w.txtFrame[1]->setText(u("40"));
        w.txtFrame[2]->setText(u("100"));
        QTest::mouseClick(w.cmdFile, Qt::LeftButton);
        QVERIFY(dialogs_.calls.empty());
        const QByteArray frameFile = readAll(folder_->dataFile("FirstData.txt"));
        QCOMPARE(frameFile.size(), 524288);
        QVERIFY(frameFile.startsWith("A0\r\n"));
        QCOMPARE(readAll(folder_->settingsFile()), QByteArray("5.0\r\n40\r\n100\r\n"));
        // Saving changes no control.
        QCOMPARE(w.txtFrame[0]->text(), u("5.0"));
    }

    void savedWorkComesBackInANewWindow() {
        frmMain& w = *window_;
        // Draw on frame 9 and store it, then fill frames 20..22 with a layer command.
        showFrame(9);
        for (int i = 100; i < 300; i += 3) w.state().dots.put(i, true);
        QTest::mouseClick(w.cmdDrawTool[1], Qt::LeftButton);
        setRange("20", "22");
        QTest::mouseClick(w.cmdLayer[1], Qt::LeftButton);
        w.txtFrame[0]->setText(u("4"));
        w.txtFrame[1]->setText(u("12"));
        w.txtFrame[2]->setText(u("25"));
        const FrameMemory saved = w.state().bytFrameData();
        QTest::mouseClick(w.cmdFile, Qt::LeftButton);
        QVERIFY(dialogs_.calls.empty());

        ScriptedDialogs again;
        auto second = openWindow(again);
        QVERIFY(again.calls.empty());
        QVERIFY(storeEquals(second->state().bytFrameData(), saved));
        QCOMPARE(second->txtFrame[0]->text(), u("4"));
        QCOMPARE(second->txtFrame[1]->text(), u("12"));
        QCOMPARE(second->txtFrame[2]->text(), u("25"));
        QCOMPARE(second->state().intPlayRange[0], int16_t{4});
        QCOMPARE(second->state().intPlayRange[1], int16_t{12});
        QCOMPARE(second->hscFrame[1]->value(), 25);
        second->hscFrame[0]->setValue(9);
        QCOMPARE(second->state().dots.intDot, gridOf(saved, 9).intDot);
    }

    void compositeSavedWithTheCombinedOptionIsReadBackAsComposite() {
        frmMain& w = *window_;
        QTest::mouseClick(w.optLayer[3], Qt::LeftButton);
        const FrameMemory composite = w.state().bytFrameData();
        QTest::mouseClick(w.cmdFile, Qt::LeftButton);
        QTest::mouseClick(w.optLayer[0], Qt::LeftButton);
        QTest::mouseClick(w.optLayer[2], Qt::LeftButton);
        QVERIFY(dialogs_.calls.empty());
        QVERIFY(storeEquals(w.state().bytFrameData(), composite));
        QVERIFY(QFile::exists(folder_->dataFile("Data.txt")));
    }

    void eraseOverTheTickedRangeShowsTheChangedFrame() {
        frmMain& w = *window_;
        showFrame(4);
        drawUnstored();
        setRange("3", "5");
        QTest::mouseClick(w.cmdLayer[0], Qt::LeftButton);
        const FrameMemory& m = w.state().bytFrameData();
        for (int k = 0; k < kMemoryBytes; ++k) {
            const bool inRange = k >= 1464 && k <= 2927;
            QCOMPARE(m[static_cast<size_t>(k)],
                     inRange ? uint8_t{0} : (*image_)[static_cast<size_t>(k)]);
        }
        QCOMPARE(w.state().dots.intDot, DotGrid().intDot);  // frame 4 is empty now
        QVERIFY(w.state().dots.viewMatchesState());
        QCOMPARE(dialogs_.count(DialogKind::Warning), size_t{0});
    }

    void untickedFillCoversEverythingAndDropsUnstoredDrawing() {
        frmMain& w = *window_;
        drawUnstored();
        setRange("abc", "", /*ticked=*/false);
        QTest::mouseClick(w.cmdLayer[1], Qt::LeftButton);
        for (int k = 0; k < kStoreBytes; ++k)
            QCOMPARE(w.state().bytFrameData()[static_cast<size_t>(k)], uint8_t{255});
        QCOMPARE(w.state().bytFrameData()[kStoreBytes], uint8_t{0});
        for (int i = 0; i < kDotCount; ++i)
            QCOMPARE(w.state().dots.intDot[static_cast<size_t>(i)], kDotOn);
        QCOMPARE(dialogs_.count(DialogKind::Warning), size_t{0});
    }

    void pictureToAllTakesItsSourceFromTheFrameNumberBox() {
        frmMain& w = *window_;
        showFrame(10);
        QCOMPARE(w.txtScroll->text(), u("10"));
        drawUnstored();  // not part of the source: only the memory is copied
        setRange("0", "20");
        QTest::mouseClick(w.cmdLayer[2], Qt::LeftButton);
        for (int f = 0; f < kFrameCount; ++f)
            QVERIFY(frameEquals(w.state().bytFrameData(), f, *image_, f <= 20 ? 10 : f));
        QCOMPARE(w.state().dots.intDot, gridOf(*image_, 10).intDot);
    }

    void refusedInputWarnsAndChangesNothing_data() {
        QTest::addColumn<int>("index");
        QTest::addColumn<QString>("start");
        QTest::addColumn<QString>("end");
        QTest::addColumn<QString>("source");
        QTest::addColumn<QString>("box");
        QTest::newRow("erase, start not a number") << 0 << "abc"
                                                   << "5"
                                                   << "0"
                                                   << "「開始」";
        QTest::newRow("fill, end past the last frame") << 1 << "0"
                                                       << "268"
                                                       << "0"
                                                       << "「終了」";
        QTest::newRow("picture, source empty") << 2 << "0"
                                               << "5"
                                               << ""
                                               << "「スクロール」";
    }
    void refusedInputWarnsAndChangesNothing() {
        QFETCH(int, index);
        QFETCH(QString, start);
        QFETCH(QString, end);
        QFETCH(QString, source);
        QFETCH(QString, box);
        frmMain& w = *window_;
        showFrame(1);
        drawUnstored();
        const auto gridBefore = w.state().dots.intDot;
        w.txtFrame[0]->setText(start);
        w.txtFrame[1]->setText(end);
        w.txtScroll->setText(source);
        QTest::mouseClick(w.cmdLayer[static_cast<size_t>(index)], Qt::LeftButton);
        QCOMPARE(dialogs_.calls.size(), size_t{1});  // the warning and nothing else
        QCOMPARE(dialogs_.calls[0].kind, DialogKind::Warning);
        QCOMPARE(dialogs_.calls[0].title, std::string("cmdLayer_Click"));
        const QString text = QString::fromStdString(dialogs_.calls[0].text);
        QVERIFY2(text.contains(box) && text.contains(u("0～267")), qPrintable(text));
        QVERIFY(storeEquals(w.state().bytFrameData(), *image_));
        QCOMPARE(w.state().dots.intDot, gridBefore);
    }

    // After a layer load, a save replaces the option's file without a question only when the
    // memory holds that file; No (the default) leaves it as it was.
    void saveAfterALayerLoadAsksAboutFilesTheMemoryDoesNotHold_data() {
        QTest::addColumn<int>("option");
        QTest::addColumn<bool>("backgroundShort");
        QTest::addColumn<QString>("asked");  // the file named by the question; "" none
        QTest::newRow("background given up") << 1 << true << "SecondData.txt";
        QTest::newRow("image|background given up") << 3 << true << "Data.txt";
        QTest::newRow("background loaded") << 1 << false << "";
        QTest::newRow("composite loaded") << 2 << false << "";
        QTest::newRow("image|background loaded") << 3 << false << "";
    }
    void saveAfterALayerLoadAsksAboutFilesTheMemoryDoesNotHold() {
        QFETCH(int, option);
        QFETCH(bool, backgroundShort);
        QFETCH(QString, asked);
        frmMain& w = *window_;
        QVERIFY(folder_->writeFrameFile(*background_, "Data.txt"));
        if (backgroundShort) {
            std::string shortFile = formatFrameFile(*background_);
            shortFile.resize(shortFile.size() - 4);
            QVERIFY(writeBytes(folder_->dataFile("SecondData.txt"), shortFile));
        }
        dialogs_.answers = {Answer::Cancel};
        QTest::mouseClick(w.optLayer[static_cast<size_t>(option)], Qt::LeftButton);
        const QString target = folder_->dataFile(option == 1 ? "SecondData.txt" : "Data.txt");
        const QByteArray before = readAll(target);
        dialogs_.calls.clear();
        QCOMPARE(w.cmdFile_Click(), asked.isEmpty());
        QCOMPARE(dialogs_.calls.size(), size_t{asked.isEmpty() ? 0U : 1U});
        if (asked.isEmpty()) {
            QCOMPARE(readAll(target),
                     QByteArray::fromStdString(formatFrameFile(w.state().bytFrameData())));
            return;
        }
        QCOMPARE(dialogs_.calls[0].kind, DialogKind::Question);
        QVERIFY(QString::fromStdString(dialogs_.calls[0].text).contains(asked));
        QCOMPARE(readAll(target), before);
    }

    // Closing asks only while work would be lost: 保存 closes once the save completed, 破棄
    // closes without it, キャンセル keeps the window.
    void closingWithUnsavedWorkAsks_data() {
        QTest::addColumn<QString>("work");
        QTest::addColumn<int>("answer");  // 0: no question expected
        QTest::addColumn<bool>("closed");
        QTest::addColumn<bool>("saved");
        const int save = int(Answer::Save);
        QTest::newRow("nothing changed") << "none" << 0 << true << false;
        QTest::newRow("a dot toggled twice") << "twice" << 0 << true << false;
        QTest::newRow("saved already") << "saved" << 0 << true << true;
        QTest::newRow("unstored drawing, discard")
            << "drawn" << int(Answer::Discard) << true << false;
        QTest::newRow("stored drawing, cancel")
            << "stored" << int(Answer::Cancel) << false << false;
        QTest::newRow("stored drawing, save") << "stored" << save << true << true;
        QTest::newRow("layer command, save refused by the replace question")
            << "foreign" << save << false << false;
    }
    void closingWithUnsavedWorkAsks() {
        QFETCH(QString, work);
        QFETCH(int, answer);
        QFETCH(bool, closed);
        QFETCH(bool, saved);
        frmMain& w = *window_;
        QApplication::setQuitOnLastWindowClosed(false);
        if (work == "twice") {
            w.state().dots.put(5, w.state().dots.intDot[5] == 0);
            w.state().dots.put(5, w.state().dots.intDot[5] == 0);
        } else if (work != "none") {
            drawUnstored();
        }
        if (work == "stored" || work == "saved")
            QTest::mouseClick(w.cmdDrawTool[1], Qt::LeftButton);
        if (work == "saved") QVERIFY(w.cmdFile_Click());
        if (work == "foreign") {
            QVERIFY(QFile::remove(folder_->dataFile("FirstData.txt")));
            QVERIFY(folder_->writeFrameFile(*background_, "FirstData.txt"));
            QTest::mouseClick(w.cmdLayer[1], Qt::LeftButton);
        }
        const QByteArray before = readAll(folder_->dataFile("FirstData.txt"));
        const FrameMemory memory = w.state().bytFrameData();
        dialogs_.calls.clear();
        if (answer != 0) dialogs_.answers = {static_cast<Answer>(answer)};
        QCOMPARE(w.close(), closed);
        QCOMPARE(dialogs_.calls.size(), size_t{answer != 0 ? (work == "foreign" ? 2U : 1U) : 0U});
        if (answer != 0) {
            QCOMPARE(dialogs_.calls[0].title, std::string("Dotreel"));
            QCOMPARE(dialogs_.calls[0].buttons,
                     (std::vector<Answer>{Answer::Save, Answer::Discard, Answer::Cancel}));
        }
        const QByteArray after = readAll(folder_->dataFile("FirstData.txt"));
        if (saved)
            QCOMPARE(after, QByteArray::fromStdString(formatFrameFile(memory)));
        else
            QCOMPARE(after, before);
    }
};

QTEST_MAIN(TestWindowLayers)
#include "test_window_layers.moc"
