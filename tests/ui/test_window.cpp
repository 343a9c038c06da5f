// The window as created: every control at its place with its caption, font and initial state,
// the wiring of the controls and the mouse, the icon and the real step-failure dialog.
#include <QCheckBox>
#include <QFontInfo>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QTimer>
#include <QtTest>
#include <algorithm>

#include "ui/dotview.h"
#include "ui/fonts.h"
#include "ui/frmmain.h"
#include "ui/icon.h"
#include "ui/qtdialogs.h"
#include "windowfixture.h"

using namespace dotreel;
using namespace dotreel::testing;

namespace {

// Counts the mouse presses and moves that reach a widget itself, not those a child keeps.
class MouseSpy : public QObject {
public:
    explicit MouseSpy(QWidget* target) { target->installEventFilter(this); }
    int presses = 0;
    int moves = 0;
    QPointF lastMove;

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::MouseButtonPress) ++presses;
        if (event->type() == QEvent::MouseMove) {
            ++moves;
            lastMove = static_cast<QMouseEvent*>(event)->position();
        }
        return false;
    }
};

bool dotOn(frmMain& w, int row, int column) {
    return w.state().dots.intDot[static_cast<size_t>(dotIndexAt(row, column))] == kDotOn;
}

QString captionOf(QWidget* control) {
    if (auto* b = qobject_cast<QAbstractButton*>(control)) return b->text();
    if (auto* l = qobject_cast<QLabel*>(control)) return l->text();
    if (auto* t = qobject_cast<QLineEdit*>(control)) return t->text();
    if (auto* g = qobject_cast<QGroupBox*>(control)) return g->title();
    return QString();
}

}  // namespace

class WindowTest : public QObject {
    Q_OBJECT
private slots:
    void windowHasCaptionSizeAndNoMenu();
    void controlsStandAtDesignedPlaces_data();
    void controlsStandAtDesignedPlaces();
    void windowFontFallsBackToFixedPitchJapaneseFont();
    void fontFamilyIsChosenAmongTheInstalledOnes_data();
    void fontFamilyIsChosenAmongTheInstalledOnes();
    void controlsHoldDesignedInitialState();
    void scrollBarsHaveDesignedRanges_data();
    void scrollBarsHaveDesignedRanges();
    void optionGroupsAreIndependentPerGroupBox();
    void scrollBarSignalsReachChangeHandler();
    void mouseMoveOverGridReachesWindowInTwips();
    void mousePressOverGridReachesWindowWithButtonAndShift();
    void mouseOverControlsDoesNotReachWindow();
    void iconIsSixteenColourLcdPicture();
    void messageBoxesAnswerReturnAndEscape_data();
    void messageBoxesAnswerReturnAndEscape();
};

void WindowTest::windowHasCaptionSizeAndNoMenu() {
    ScriptedDialogs dialogs;  // never the real dialog: handlers behind the controls may ask
    frmMain w("/nonexistent-folder", &dialogs);
    QCOMPARE(w.windowTitle(), u("Dotreel ： SG12232"));
    QCOMPARE(w.size(), QSize(911, 579));  // 13665 x 8685 twips
    QVERIFY(w.findChild<QMenuBar*>() == nullptr);
    QVERIFY(!w.windowIcon().isNull());
    QVERIFY(w.hasMouseTracking());
    QVERIFY(w.dotView->testAttribute(Qt::WA_TransparentForMouseEvents));
}

void WindowTest::controlsStandAtDesignedPlaces_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("parentName");
    QTest::addColumn<QRect>("twips");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<double>("points");
    auto row = [](const char* name, const char* parent, int l, int t, int w, int h,
                  const char* caption, double points) {
        QTest::newRow(name) << u(name) << u(parent) << QRect(l, t, w, h) << u(caption) << points;
    };
    row("fraPattern", "frmMain", 420, 4095, 2220, 2010, "描画パターン", 9.75);
    row("fraDrawTool", "frmMain", 2835, 4095, 2220, 2010, "描画ツール", 9.75);
    row("fraScroll", "frmMain", 5250, 4095, 3900, 2010, "スクロール", 9.75);
    row("fraFrame", "frmMain", 9345, 4095, 3900, 2010, "フレーム", 9.75);
    row("fraLayer", "frmMain", 420, 6300, 3375, 2010, "レイヤ", 9.75);
    row("fraFile", "frmMain", 3990, 6300, 1065, 2010, "ファイル", 9.75);
    row("fraSpace(0)", "frmMain", 5250, 6300, 3900, 2010, "", 9.75);
    row("fraSpace(1)", "frmMain", 9345, 6300, 3900, 2010, "", 9.75);
    row("cmdPattern(0)", "fraPattern", 1260, 525, 750, 330, "消去", 9);
    row("cmdPattern(1)", "fraPattern", 210, 525, 750, 330, "塗 潰", 9);
    row("cmdPattern(2)", "fraPattern", 1260, 1365, 750, 330, "反 転", 9);
    row("cmdDrawTool(0)", "fraDrawTool", 420, 525, 1380, 330, "クリック", 9.75);
    row("cmdDrawTool(1)", "fraDrawTool", 1260, 1365, 750, 330, "記憶", 9);
    row("cmdDrawTool(2)", "fraDrawTool", 210, 1365, 750, 330, "取消し", 9);
    row("cmdScroll(0)", "fraScroll", 945, 525, 645, 330, "UP", 9);
    row("cmdScroll(1)", "fraScroll", 945, 1365, 645, 330, "DOWN", 9);
    row("cmdScroll(2)", "fraScroll", 210, 945, 645, 330, "LEFT", 9);
    row("cmdScroll(3)", "fraScroll", 1680, 945, 645, 330, "RIGHT", 9);
    row("cmdScroll(4)", "fraScroll", 945, 945, 645, 330, "Image", 9);
    row("txtScroll", "fraScroll", 1680, 525, 645, 330, "", 11.25);
    row("optScroll(0)", "fraScroll", 2520, 525, 1275, 225, "ローテート", 9);
    row("optScroll(1)", "fraScroll", 2520, 840, 960, 225, "シフト", 9);
    row("chkScroll(0)", "fraScroll", 2730, 1155, 855, 225, "塗潰", 9.75);
    row("hscFrame(0)", "fraFrame", 105, 315, 1905, 330, "", 9.75);
    row("hscFrame(1)", "fraFrame", 2310, 315, 1485, 330, "", 9.75);
    row("lblFrame(0)", "fraFrame", 105, 945, 435, 225, "開始", 9.75);
    row("txtFrame(0)", "fraFrame", 525, 840, 645, 330, "", 11.25);
    row("cmdFrame(0)", "fraFrame", 1260, 840, 750, 330, "セット", 9);
    row("lblFrame(1)", "fraFrame", 105, 1365, 435, 225, "終了", 9.75);
    row("txtFrame(1)", "fraFrame", 525, 1260, 645, 330, "", 11.25);
    row("cmdFrame(1)", "fraFrame", 1260, 1260, 750, 330, "セット", 9);
    row("lblFrame(2)", "fraFrame", 2310, 945, 435, 225, "間隔", 9);
    row("txtFrame(2)", "fraFrame", 2730, 840, 645, 330, "", 11.25);
    row("lblFrame(3)", "fraFrame", 3465, 945, 330, 225, "ms", 11.25);
    row("cmdFrame(2)", "fraFrame", 2730, 1365, 855, 435, "START", 9.75);
    row("chkFrame", "fraFrame", 525, 1680, 1170, 225, "リピート", 9.75);
    row("optLayer(0)", "fraLayer", 210, 420, 960, 225, "画像", 9.75);
    row("optLayer(1)", "fraLayer", 210, 735, 960, 225, "背景", 9.75);
    row("optLayer(2)", "fraLayer", 210, 1050, 960, 225, "合成", 9.75);
    row("optLayer(3)", "fraLayer", 210, 1365, 1275, 225, "画像|背景", 9.75);
    row("cmdLayer(0)", "fraLayer", 1680, 420, 750, 330, "全消去", 9);
    row("cmdLayer(1)", "fraLayer", 1680, 945, 750, 330, "全塗潰", 9);
    row("cmdLayer(2)", "fraLayer", 2520, 420, 750, 330, "全画像", 9);
    row("chkLayer", "fraLayer", 1680, 1470, 1590, 330, "フレーム指定", 9.75);
    row("cmdFile", "fraFile", 210, 840, 645, 435, "保存", 9.75);
    row("lblComment(0)", "fraSpace(1)", 1785, 1050, 2010, 225, "24C64 ： 16フレーム", 9.75);
    row("lblComment(1)", "fraSpace(1)", 1785, 1260, 2010, 225, "24C128： 33フレーム", 9.75);
    row("lblComment(2)", "fraSpace(1)", 1785, 1470, 2010, 225, "24C256： 67フレーム", 9.75);
    row("lblComment(3)", "fraSpace(1)", 1785, 1680, 2010, 225, "24C512：134フレーム", 9.75);
}

void WindowTest::controlsStandAtDesignedPlaces() {
    QFETCH(QString, name);
    QFETCH(QString, parentName);
    QFETCH(QRect, twips);
    QFETCH(QString, caption);
    QFETCH(double, points);
    ScriptedDialogs dialogs;  // never the real dialog: handlers behind the controls may ask
    frmMain w("/nonexistent-folder", &dialogs);
    auto* control = w.findChild<QWidget*>(name);
    QVERIFY2(control != nullptr, qPrintable(name));
    QCOMPARE(control->parentWidget()->objectName(), parentName);
    const QRect pixels(twips.x() / 15, twips.y() / 15, twips.width() / 15, twips.height() / 15);
    QCOMPARE(control->geometry(), pixels);
    QCOMPARE(captionOf(control), caption);
    QCOMPARE(control->font().pointSizeF(), points);
    QCOMPARE(control->font().families(), QStringList{designFamily()});
    QVERIFY(control->isVisibleTo(&w));
}

void WindowTest::windowFontFallsBackToFixedPitchJapaneseFont() {
    ScriptedDialogs dialogs;  // never the real dialog: handlers behind the controls may ask
    frmMain w("/nonexistent-folder", &dialogs);
    QCOMPARE(w.font().families(), QStringList{designFamily()});
    QCOMPARE(w.font().pointSizeF(), 9.75);
    QCOMPARE(w.font().weight(), QFont::Normal);
    const QFontInfo used(w.lblComment[0]->font());
    if (!used.family().contains(u("Gothic"), Qt::CaseInsensitive))
        QSKIP("no Japanese Gothic font installed here");
    // The lblComment captions line up only in a fixed-pitch font.
    const QFontMetrics metrics(w.lblComment[0]->font());
    QCOMPARE(metrics.horizontalAdvance(w.lblComment[0]->text()),
             metrics.horizontalAdvance(w.lblComment[3]->text()));
}

void WindowTest::fontFamilyIsChosenAmongTheInstalledOnes_data() {
    QTest::addColumn<QStringList>("installed");
    QTest::addColumn<QString>("chosen");
    const QString designed = u("ＭＳ ゴシック");
    QTest::newRow("designed face") << QStringList{u("IPAGothic"), designed} << designed;
    QTest::newRow("designed face, Latin name")
        << QStringList{u("ms gothic"), u("IPAGothic")} << u("MS Gothic");
    QTest::newRow("stand-in only")
        << QStringList{u("DejaVu Sans"), u("IPAGothic")} << u("IPAGothic");
    QTest::newRow("none of them") << QStringList{u("DejaVu Sans")} << u("IPAGothic");
}

void WindowTest::fontFamilyIsChosenAmongTheInstalledOnes() {
    QFETCH(QStringList, installed);
    QFETCH(QString, chosen);
    QCOMPARE(chooseDesignFamily(installed), chosen);
}

void WindowTest::controlsHoldDesignedInitialState() {
    ScriptedDialogs dialogs;  // never the real dialog: handlers behind the controls may ask
    frmMain w("/nonexistent-folder", &dialogs);
    QVERIFY(w.optLayer[0]->isChecked());
    for (size_t i = 1; i < 4; ++i) QVERIFY(!w.optLayer[i]->isChecked());
    QVERIFY(w.optScroll[0]->isChecked());
    QVERIFY(!w.optScroll[1]->isChecked());
    QVERIFY(!w.chkScroll[0]->isChecked());
    QVERIFY(w.chkFrame->isChecked());
    QVERIFY(w.chkLayer->isChecked());
    QVERIFY(w.txtScroll->text().isEmpty());
    for (auto* box : w.txtFrame) QVERIFY(box->text().isEmpty());
    QVERIFY(!w.tmrFrame->isActive());
    QCOMPARE(w.tmrFrame->interval(), 0);
    QCOMPARE(w.tmrFrame->timerType(), Qt::PreciseTimer);
    QCOMPARE(w.cmdFrame[2]->text(), u("START"));
    QCOMPARE(w.fraFrame->title(), u("フレーム"));
    for (int i = 0; i < kDotCount; ++i) QCOMPARE(w.state().dots.fillStyle(i), kFillTransparent);
    QCOMPARE(w.state().strProcName, std::string());
}

void WindowTest::scrollBarsHaveDesignedRanges_data() {
    QTest::addColumn<int>("index");
    QTest::addColumn<int>("minimum");
    QTest::addColumn<int>("maximum");
    QTest::addColumn<int>("value");
    QTest::newRow("frame selector") << 0 << 0 << 32767 << 0;
    QTest::newRow("interval selector") << 1 << 1 << 1000 << 1;
}

void WindowTest::scrollBarsHaveDesignedRanges() {
    QFETCH(int, index);
    QFETCH(int, minimum);
    QFETCH(int, maximum);
    QFETCH(int, value);
    ScriptedDialogs dialogs;  // never the real dialog: handlers behind the controls may ask
    frmMain w("/nonexistent-folder", &dialogs);
    QScrollBar* bar = w.hscFrame[static_cast<size_t>(index)];
    QCOMPARE(bar->orientation(), Qt::Horizontal);
    QCOMPARE(bar->minimum(), minimum);
    QCOMPARE(bar->maximum(), maximum);
    QCOMPARE(bar->value(), value);
    QCOMPARE(bar->singleStep(), 1);
    QCOMPARE(bar->pageStep(), 1);
    QVERIFY(!bar->hasTracking());
}

void WindowTest::optionGroupsAreIndependentPerGroupBox() {
    ScriptedDialogs dialogs;  // never the real dialog: handlers behind the controls may ask
    frmMain w("/nonexistent-folder", &dialogs);
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    QTest::mouseClick(w.optScroll[1], Qt::LeftButton);
    QVERIFY(w.optScroll[1]->isChecked());
    QVERIFY(!w.optScroll[0]->isChecked());
    QVERIFY(w.optLayer[0]->isChecked());
    QTest::mouseClick(w.optLayer[2], Qt::LeftButton);
    QVERIFY(w.optLayer[2]->isChecked());
    QVERIFY(!w.optLayer[0]->isChecked());
    QVERIFY(w.optScroll[1]->isChecked());
}

void WindowTest::scrollBarSignalsReachChangeHandler() {
    ScriptedDialogs dialogs;  // never the real dialog: handlers behind the controls may ask
    frmMain w("/nonexistent-folder", &dialogs);
    w.hscFrame[1]->setValue(33);
    QCOMPARE(w.txtFrame[2]->text(), u("33"));
    QCOMPARE(w.tmrFrame->interval(), 33);
    w.hscFrame[0]->setValue(2);
    QCOMPARE(w.fraFrame->title(), u("フレーム：2"));
    QCOMPARE(w.txtScroll->text(), u("2"));
}

void WindowTest::mouseMoveOverGridReachesWindowInTwips() {
    ScriptedDialogs dialogs;  // never the real dialog: handlers behind the controls may ask
    frmMain w("/nonexistent-folder", &dialogs);
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    w.cmdDrawTool_Click(0);  // pencil: every move over the grid sets its dot
    // Pixel 98 is 1470 twips, the left edge of column 10; pixel 97 still lies in column 9. Any
    // scale but 15 twips to the pixel puts one of them into another dot.
    QTest::mouseMove(&w, QPoint(98, 49));
    QTRY_VERIFY(dotOn(w, 3, 10));
    QTest::mouseMove(&w, QPoint(97, 48));
    QTRY_VERIFY(dotOn(w, 2, 9));
    QCOMPARE(std::count(w.state().dots.intDot.begin(), w.state().dots.intDot.end(), kDotOn), 2);
}

void WindowTest::mousePressOverGridReachesWindowWithButtonAndShift() {
    ScriptedDialogs dialogs;  // never the real dialog: handlers behind the controls may ask
    frmMain w("/nonexistent-folder", &dialogs);
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    // Click mode: any button with any shift keys toggles the dot under the pointer.
    QTest::mousePress(w.windowHandle(), Qt::LeftButton, Qt::ShiftModifier, QPoint(35, 28));
    QVERIFY(dotOn(w, 0, 1));  // (525, 420) twips
    QTest::mouseRelease(w.windowHandle(), Qt::LeftButton, Qt::ShiftModifier, QPoint(35, 28));
    QTest::mousePress(w.windowHandle(), Qt::RightButton, Qt::ControlModifier | Qt::AltModifier,
                      QPoint(200, 100));
    QVERIFY(dotOn(w, 10, 24));  // (3000, 1500) twips
    QTest::mouseRelease(w.windowHandle(), Qt::RightButton, Qt::ControlModifier | Qt::AltModifier,
                        QPoint(200, 100));
}

void WindowTest::mouseOverControlsDoesNotReachWindow() {
    ScriptedDialogs dialogs;  // never the real dialog: handlers behind the controls may ask
    frmMain w("/nonexistent-folder", &dialogs);
    MouseSpy spy(&w);
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    // A place of its own: a move to where the pointer already is raises nothing.
    QTest::mouseMove(&w, QPoint(90, 40));
    QTRY_VERIFY(spy.moves > 0);
    const int moves = spy.moves;
    const int presses = spy.presses;
    // Inside a group box, away from its controls, and over a button.
    const QPoint overBox = w.fraSpace[0]->geometry().center();
    QTest::mouseMove(&w, overBox);
    QTest::mousePress(w.windowHandle(), Qt::LeftButton, {}, overBox);
    QTest::mouseRelease(w.windowHandle(), Qt::LeftButton, {}, overBox);
    // "消去" only clears the grid; "保存" would write files into the working folder here, as this
    // window never ran its start-up.
    const QPoint overButton = w.cmdPattern[0]->mapTo(&w, w.cmdPattern[0]->rect().center());
    QTest::mousePress(w.windowHandle(), Qt::LeftButton, {}, overButton);
    QTest::mouseRelease(w.windowHandle(), Qt::LeftButton, {}, overButton);
    // A later move over the grid arrives, so the ones before would have arrived by now.
    QTest::mouseMove(&w, QPoint(120, 60));
    QTRY_COMPARE(spy.moves, moves + 1);
    QCOMPARE(spy.lastMove, QPointF(120, 60));
    QCOMPARE(spy.presses, presses);
}

void WindowTest::iconIsSixteenColourLcdPicture() {
    const QImage icon = makeAppIcon();
    QCOMPARE(icon.size(), QSize(48, 48));
    QCOMPARE(icon.format(), QImage::Format_Indexed8);
    QVERIFY(icon.colorCount() <= 16);
    int green = 0;
    int black = 0;
    for (int y = 0; y < icon.height(); ++y) {
        for (int x = 0; x < icon.width(); ++x) {
            const QRgb p = icon.pixel(x, y);
            if (qAlpha(p) == 255 && qGreen(p) > 100 && qRed(p) < 50 && qBlue(p) < 50) ++green;
            if (qAlpha(p) == 255 && qRed(p) == 0 && qGreen(p) == 0 && qBlue(p) == 0) ++black;
        }
    }
    QVERIFY2(green > 200, qPrintable(QString::number(green)));
    QVERIFY2(black > 100, qPrintable(QString::number(black)));
    // Drawn at a slant: the rim's top edge is not level.
    auto firstOpaqueRow = [&](int x) {
        for (int y = 0; y < icon.height(); ++y)
            if (qAlpha(icon.pixel(x, y)) == 255) return y;
        return -1;
    };
    QVERIFY(firstOpaqueRow(14) != firstOpaqueRow(34));
    QCOMPARE(qAlpha(icon.pixel(0, 0)), 0);
}

namespace {

// The ways the window asks, each answered as the answer it returns.
enum Asking { Failure, Warning, YesNo, ThreeWay };

Answer askThrough(Dialogs& dialogs, int asking, const std::string& title, const std::string& text) {
    switch (asking) {
        case Failure:
            return dialogs.stepFailed(title, text);
        case Warning:
            dialogs.warn(title, text);
            return Answer::Ok;
        case YesNo:
            return dialogs.askYesNo(title, text) ? Answer::Yes : Answer::No;
        default:  // as asked on closing with unsaved work
            return dialogs.askSaveDiscardCancel(title, text);
    }
}

}  // namespace

void WindowTest::messageBoxesAnswerReturnAndEscape_data() {
    QTest::addColumn<int>("asking");
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("expected");
    QTest::addColumn<int>("icon");
    QTest::addColumn<QList<int>>("buttons");
    QTest::addColumn<QStringList>("captions");  // the program's own, sorted; empty: Qt's
    const int warningIcon = QMessageBox::Warning;
    const int questionIcon = QMessageBox::Question;
    const int enter = Qt::Key_Return;
    const int escape = Qt::Key_Escape;
    const QList<int> retryCancel{QMessageBox::Retry, QMessageBox::Cancel};
    const QList<int> ok{QMessageBox::Ok};
    const QList<int> yesNo{QMessageBox::Yes, QMessageBox::No};
    const QList<int> threeWay{QMessageBox::Save, QMessageBox::Discard, QMessageBox::Cancel};
    QTest::newRow("failure: Return answers Retry") << int{Failure} << enter << int(Answer::Retry)
                                                   << warningIcon << retryCancel << QStringList{};
    QTest::newRow("failure: Escape answers Cancel") << int{Failure} << escape << int(Answer::Cancel)
                                                    << warningIcon << retryCancel << QStringList{};
    QTest::newRow("warning: Return answers OK")
        << int{Warning} << enter << int(Answer::Ok) << warningIcon << ok << QStringList{};
    QTest::newRow("warning: Escape answers OK")
        << int{Warning} << escape << int(Answer::Ok) << warningIcon << ok << QStringList{};
    QTest::newRow("yes/no: Return answers No")
        << int{YesNo} << enter << int(Answer::No) << questionIcon << yesNo << QStringList{};
    QTest::newRow("yes/no: Escape answers No")
        << int{YesNo} << escape << int(Answer::No) << questionIcon << yesNo << QStringList{};
    QStringList ownCaptions{u("保存"), u("破棄"), u("キャンセル")};
    ownCaptions.sort();
    QTest::newRow("three-way: Return answers Save")
        << int{ThreeWay} << enter << int(Answer::Save) << questionIcon << threeWay << ownCaptions;
    QTest::newRow("three-way: Escape answers Cancel")
        << int{ThreeWay} << escape << int(Answer::Cancel) << questionIcon << threeWay
        << ownCaptions;
}

// The real message boxes, answered from inside their own event loop as a user would.
void WindowTest::messageBoxesAnswerReturnAndEscape() {
    QFETCH(int, asking);
    QFETCH(int, key);
    QFETCH(int, expected);
    QFETCH(int, icon);
    QFETCH(QList<int>, buttons);
    QFETCH(QStringList, captions);
    QWidget parent;
    QtDialogs dialogs(&parent);
    QString seenTitle;
    QString seenText;
    int seenIcon = QMessageBox::NoIcon;
    QList<int> seenButtons;
    QStringList seenCaptions;
    QTimer::singleShot(0, this, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (box == nullptr) return;
        seenTitle = box->windowTitle();
        seenText = box->text();
        seenIcon = box->icon();
        for (QAbstractButton* b : box->buttons()) {
            seenButtons << box->standardButton(b);
            seenCaptions << b->text();
        }
        QTest::keyClick(box, static_cast<Qt::Key>(key));
    });
    const Answer answer = askThrough(dialogs, asking, "cmdFile.Click",
                                     "animation.txtの書き込み処理に失敗しました\r\nX");
    QCOMPARE(seenTitle, u("cmdFile.Click"));  // the box was shown, and answered
    QCOMPARE(int(answer), expected);
    QCOMPARE(seenText, u("animation.txtの書き込み処理に失敗しました\nX"));
    QCOMPARE(seenIcon, icon);
    std::sort(seenButtons.begin(), seenButtons.end());
    std::sort(buttons.begin(), buttons.end());
    QCOMPARE(seenButtons, buttons);
    seenCaptions.sort();
    if (!captions.isEmpty()) QCOMPARE(seenCaptions, captions);
}

QTEST_MAIN(WindowTest)
#include "test_window.moc"
