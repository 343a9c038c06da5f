// frmMain: the controls at their designed places, the wiring of their signals to the handlers,
// the mouse events, and the start-up sequence with the frame and interval selectors' handler.
#include "ui/frmmain.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QStringList>
#include <QTimer>
#include <utility>

#include "app/startup.h"
#include "files/settingsfile.h"
#include "platform/errors.h"
#include "ui/dotview.h"
#include "ui/fonts.h"
#include "ui/icon.h"
#include "ui/livepanel.h"
#include "ui/pacedupdates.h"
#include "ui/picturedrop.h"
#include "ui/qtdialogs.h"
#include "ui/shortcuts.h"
#include "ui/texttool.h"
#include "ui/tooltips.h"

namespace dotreel {

namespace {

constexpr int kTwipsPerPixel = 15;

// Positions are designed in twips; every one of them is a whole number of pixels.
QRect twips(int left, int top, int width, int height) {
    return {left / kTwipsPerPixel, top / kTwipsPerPixel, width / kTwipsPerPixel,
            height / kTwipsPerPixel};
}

QString text(const char* utf8) { return QString::fromUtf8(utf8); }

QString decimal(int value) { return QString::number(value); }

// The Mouse button and Shift codes that the mouse handlers expect: left 1, right 2, middle 4;
// Shift 1, Ctrl 2, Alt 4.
int buttonCode(Qt::MouseButtons buttons) {
    int code = 0;
    if (buttons & Qt::LeftButton) code |= 1;
    if (buttons & Qt::RightButton) code |= 2;
    if (buttons & Qt::MiddleButton) code |= 4;
    return code;
}

int shiftCode(Qt::KeyboardModifiers modifiers) {
    int code = 0;
    if (modifiers & Qt::ShiftModifier) code |= 1;
    if (modifiers & Qt::ControlModifier) code |= 2;
    if (modifiers & Qt::AltModifier) code |= 4;
    return code;
}

}  // namespace

// The boxes, the timer and the interval selector as start-up's settings steps write them.
class frmMain::SettingsControls : public StartupControls {
public:
    explicit SettingsControls(frmMain& window) : w_(window) {}
    void setSettingsText(SettingsField field, const std::string& value) override {
        w_.txtFrame[static_cast<size_t>(field)]->setText(QString::fromStdString(value));
    }
    void setTimerInterval(int milliseconds) override { w_.tmrFrame->setInterval(milliseconds); }
    void setIntervalSelector(int milliseconds) override { w_.hscFrame[1]->setValue(milliseconds); }

private:
    frmMain& w_;
};

QFont frmMain::designFont(double points) { return dotreel::designFont(points); }

frmMain::frmMain(std::string appFolder, Dialogs* dialogs, QWidget* parent)
    : QWidget(parent),
      ownDialogs_(dialogs != nullptr ? nullptr : std::make_unique<QtDialogs>(this)),
      dialogs_(std::make_unique<TrackedDialogs>(dialogs != nullptr ? *dialogs : *ownDialogs_)),
      appFolder_(std::move(appFolder)),
      readAhead_(std::make_unique<FrameFileReadAhead>(appFolder_)) {
    setWindowTitle(text("Dotreel ： SG12232"));
    setWindowIcon(QIcon(QPixmap::fromImage(makeAppIcon())));
    setFont(designFont(9.75));
    // The window's own face is the dialog face colour of the palette.
    setBackgroundRole(QPalette::Window);
    setAutoFillBackground(true);
    setFixedSize(911, 579);
    setMouseTracking(true);

    {
        // A line edit lays out its text in the application's font before it takes its own: with
        // the window's font as the application's meanwhile, no font is set up (a third of a
        // millisecond each) for a face that the window never shows.
        const ApplicationFontDuring windowFont(font());
        createControls();
    }
    connectControls();
    livePanel = new LivePanel(state_.dots, *dialogs_, this);
    // Every change of the picture on show passes through the grid view's repaint request.
    connect(dotView, &DotView::pictureChanged, livePanel, &LivePanel::pictureChanged);
    applyTooltips(*this);
    new Shortcuts(*this);          // owned by the window
    new PictureDropTarget(*this);  // owned by the window
    installTextTool(*this);        // Ctrl+T
}

frmMain::~frmMain() {
    // The view observes the grid inside state_, which dies before QWidget deletes the children;
    // the panel reads it, and its link is closed before the window goes.
    delete livePanel;
    livePanel = nullptr;
    delete dotView;
    dotView = nullptr;
}

bool frmMain::connectPanel(const std::string& port, unsigned baud) {
    return livePanel->connectTo(port, baud);
}

void frmMain::reconnectPanel() { livePanel->reconnect(); }

ModMain& frmMain::state() { return state_; }

void frmMain::createControls() {
    pacedUpdates = new PacedUpdates(this);
    dotView = new DotView(state_.dots, this);
    dotView->setPacer(pacedUpdates);
    dotView->setGeometry(0, 0, DotView::kViewWidth, DotView::kViewHeight);

    auto makeBox = [this](const char* caption, QRect place) {
        auto* box = new QGroupBox(text(caption), this);
        box->setGeometry(place);
        // A control keeps its own mouse input: the window hears presses and moves only where no
        // control lies, as the grid's dots are no controls of their own.
        box->setAttribute(Qt::WA_NoMousePropagation);
        return box;
    };
    fraPattern = makeBox("描画パターン", twips(420, 4095, 2220, 2010));
    fraDrawTool = makeBox("描画ツール", twips(2835, 4095, 2220, 2010));
    fraScroll = makeBox("スクロール", twips(5250, 4095, 3900, 2010));
    fraFrame = makeBox("フレーム", twips(9345, 4095, 3900, 2010));
    fraLayer = makeBox("レイヤ", twips(420, 6300, 3375, 2010));
    fraFile = makeBox("ファイル", twips(3990, 6300, 1065, 2010));
    fraSpace[0] = makeBox("", twips(5250, 6300, 3900, 2010));
    fraSpace[1] = makeBox("", twips(9345, 6300, 3900, 2010));

    auto makeButton = [](QWidget* box, const char* caption, QRect place, double points) {
        auto* button = new QPushButton(text(caption), box);
        button->setGeometry(place);
        if (points > 0) button->setFont(designFont(points));
        return button;
    };
    auto makeText = [](QWidget* box, QRect place) {
        auto* edit = new QLineEdit(box);
        edit->setGeometry(place);
        edit->setFont(designFont(11.25));
        return edit;
    };
    auto makeLabel = [](QWidget* box, const char* caption, QRect place, double points) {
        auto* label = new QLabel(text(caption), box);
        label->setGeometry(place);
        label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        if (points > 0) label->setFont(designFont(points));
        return label;
    };
    auto makeOption = [](QWidget* box, const char* caption, QRect place, double points) {
        auto* option = new QRadioButton(text(caption), box);
        option->setGeometry(place);
        if (points > 0) option->setFont(designFont(points));
        return option;
    };
    auto makeCheck = [](QWidget* box, const char* caption, QRect place) {
        auto* check = new QCheckBox(text(caption), box);
        check->setGeometry(place);
        return check;
    };
    auto makeScrollBar = [](QWidget* box, QRect place, int minimum, int maximum, int value) {
        auto* bar = new QScrollBar(Qt::Horizontal, box);
        bar->setGeometry(place);
        bar->setRange(minimum, maximum);
        bar->setValue(value);
        bar->setSingleStep(1);
        bar->setPageStep(1);
        // One change when the thumb is let go, not one per frame passed over.
        bar->setTracking(false);
        return bar;
    };

    cmdPattern[0] = makeButton(fraPattern, "消去", twips(1260, 525, 750, 330), 9);
    cmdPattern[1] = makeButton(fraPattern, "塗 潰", twips(210, 525, 750, 330), 9);
    cmdPattern[2] = makeButton(fraPattern, "反 転", twips(1260, 1365, 750, 330), 9);

    cmdDrawTool[0] = makeButton(fraDrawTool, "クリック", twips(420, 525, 1380, 330), 0);
    cmdDrawTool[1] = makeButton(fraDrawTool, "記憶", twips(1260, 1365, 750, 330), 9);
    cmdDrawTool[2] = makeButton(fraDrawTool, "取消し", twips(210, 1365, 750, 330), 9);

    cmdScroll[0] = makeButton(fraScroll, "UP", twips(945, 525, 645, 330), 9);
    cmdScroll[1] = makeButton(fraScroll, "DOWN", twips(945, 1365, 645, 330), 9);
    cmdScroll[2] = makeButton(fraScroll, "LEFT", twips(210, 945, 645, 330), 9);
    cmdScroll[3] = makeButton(fraScroll, "RIGHT", twips(1680, 945, 645, 330), 9);
    cmdScroll[4] = makeButton(fraScroll, "Image", twips(945, 945, 645, 330), 9);
    txtScroll = makeText(fraScroll, twips(1680, 525, 645, 330));
    optScroll[0] = makeOption(fraScroll, "ローテート", twips(2520, 525, 1275, 225), 9);
    optScroll[1] = makeOption(fraScroll, "シフト", twips(2520, 840, 960, 225), 9);
    optScroll[0]->setChecked(true);
    chkScroll[0] = makeCheck(fraScroll, "塗潰", twips(2730, 1155, 855, 225));
    chkScroll[0]->setChecked(false);

    hscFrame[0] = makeScrollBar(fraFrame, twips(105, 315, 1905, 330), 0, 32767, 0);
    hscFrame[1] =
        makeScrollBar(fraFrame, twips(2310, 315, 1485, 330), kIntervals.low, kIntervals.high, 1);
    lblFrame[0] = makeLabel(fraFrame, "開始", twips(105, 945, 435, 225), 0);
    txtFrame[0] = makeText(fraFrame, twips(525, 840, 645, 330));
    cmdFrame[0] = makeButton(fraFrame, "セット", twips(1260, 840, 750, 330), 9);
    lblFrame[1] = makeLabel(fraFrame, "終了", twips(105, 1365, 435, 225), 0);
    txtFrame[1] = makeText(fraFrame, twips(525, 1260, 645, 330));
    cmdFrame[1] = makeButton(fraFrame, "セット", twips(1260, 1260, 750, 330), 9);
    lblFrame[2] = makeLabel(fraFrame, "間隔", twips(2310, 945, 435, 225), 9);
    txtFrame[2] = makeText(fraFrame, twips(2730, 840, 645, 330));
    lblFrame[3] = makeLabel(fraFrame, "ms", twips(3465, 945, 330, 225), 11.25);
    cmdFrame[2] = makeButton(fraFrame, "START", twips(2730, 1365, 855, 435), 0);
    chkFrame = makeCheck(fraFrame, "リピート", twips(525, 1680, 1170, 225));
    chkFrame->setChecked(true);

    optLayer[0] = makeOption(fraLayer, "画像", twips(210, 420, 960, 225), 0);
    optLayer[1] = makeOption(fraLayer, "背景", twips(210, 735, 960, 225), 0);
    optLayer[2] = makeOption(fraLayer, "合成", twips(210, 1050, 960, 225), 0);
    optLayer[3] = makeOption(fraLayer, "画像|背景", twips(210, 1365, 1275, 225), 0);
    optLayer[0]->setChecked(true);
    cmdLayer[0] = makeButton(fraLayer, "全消去", twips(1680, 420, 750, 330), 9);
    cmdLayer[1] = makeButton(fraLayer, "全塗潰", twips(1680, 945, 750, 330), 9);
    cmdLayer[2] = makeButton(fraLayer, "全画像", twips(2520, 420, 750, 330), 9);
    chkLayer = makeCheck(fraLayer, "フレーム指定", twips(1680, 1470, 1590, 330));
    chkLayer->setChecked(true);

    cmdFile = makeButton(fraFile, "保存", twips(210, 840, 645, 435), 0);

    lblComment[0] = makeLabel(fraSpace[1], "24C64 ： 16フレーム", twips(1785, 1050, 2010, 225), 0);
    lblComment[1] = makeLabel(fraSpace[1], "24C128： 33フレーム", twips(1785, 1260, 2010, 225), 0);
    lblComment[2] = makeLabel(fraSpace[1], "24C256： 67フレーム", twips(1785, 1470, 2010, 225), 0);
    lblComment[3] = makeLabel(fraSpace[1], "24C512：134フレーム", twips(1785, 1680, 2010, 225), 0);

    tmrFrame = new QTimer(this);
    tmrFrame->setTimerType(Qt::PreciseTimer);
    tmrFrame->setInterval(0);

    // Names as designed, so that a control can be found by its name and index.
    auto nameOne = [](QObject* control, const char* name) {
        control->setObjectName(QString::fromLatin1(name));
    };
    auto nameArray = [](auto& controls, const char* name) {
        for (size_t i = 0; i < controls.size(); ++i)
            controls[i]->setObjectName(QStringLiteral("%1(%2)").arg(QLatin1String(name)).arg(i));
    };
    nameOne(this, "frmMain");
    nameOne(fraPattern, "fraPattern");
    nameOne(fraDrawTool, "fraDrawTool");
    nameOne(fraScroll, "fraScroll");
    nameOne(fraFrame, "fraFrame");
    nameOne(fraLayer, "fraLayer");
    nameOne(fraFile, "fraFile");
    nameArray(fraSpace, "fraSpace");
    nameArray(cmdPattern, "cmdPattern");
    nameArray(cmdDrawTool, "cmdDrawTool");
    nameArray(cmdFrame, "cmdFrame");
    nameArray(cmdLayer, "cmdLayer");
    nameArray(cmdScroll, "cmdScroll");
    nameOne(cmdFile, "cmdFile");
    nameOne(txtScroll, "txtScroll");
    nameArray(txtFrame, "txtFrame");
    nameArray(optScroll, "optScroll");
    nameArray(optLayer, "optLayer");
    nameArray(chkScroll, "chkScroll");
    nameOne(chkFrame, "chkFrame");
    nameOne(chkLayer, "chkLayer");
    nameArray(hscFrame, "hscFrame");
    nameArray(lblFrame, "lblFrame");
    nameArray(lblComment, "lblComment");
    nameOne(tmrFrame, "tmrFrame");
    nameOne(dotView, "dotView");

    // The grid is drawn over nothing else; it stays below the group boxes in stacking order.
    dotView->lower();
}

void frmMain::connectControls() {
    auto connectClicks = [this](auto& buttons, void (frmMain::*handler)(int16_t)) {
        for (size_t i = 0; i < buttons.size(); ++i) {
            const auto index = static_cast<int16_t>(i);
            connect(buttons[i], &QPushButton::clicked, this,
                    [this, handler, index] { (this->*handler)(index); });
        }
    };
    connectClicks(cmdPattern, &frmMain::cmdPattern_Click);
    connectClicks(cmdDrawTool, &frmMain::cmdDrawTool_Click);
    connectClicks(cmdFrame, &frmMain::cmdFrame_Click);
    connectClicks(cmdLayer, &frmMain::cmdLayer_Click);
    connectClicks(cmdScroll, &frmMain::cmdScroll_Click);
    connect(cmdFile, &QPushButton::clicked, this, [this] { cmdFile_Click(); });

    for (size_t i = 0; i < optLayer.size(); ++i) {
        const auto index = static_cast<int16_t>(i);
        // Every click loads, also on the option already selected: that is how a given-up load
        // is retried and a layer changed on disk is read again. Arrow keys and Space click too.
        connect(optLayer[i], &QRadioButton::clicked, this,
                [this, index] { optLayer_Click(index); });
    }
    for (size_t i = 0; i < hscFrame.size(); ++i) {
        const auto index = static_cast<int16_t>(i);
        connect(hscFrame[i], &QScrollBar::valueChanged, this,
                [this, index](int) { hscFrame_Change(index); });
    }
    connect(tmrFrame, &QTimer::timeout, this, [this] { tmrFrame_Timer(); });
}

void frmMain::Form_Load() { subSetup(); }

void frmMain::subSetup() {
    ModMain& s = state_;
    StepRunner step(s, *dialogs_, kStartupTitle);

    // The folders, the initial state and the controls: nothing here can fail.
    s.strProcName = "subSetup";
    history_.clear();
    setUpFolders(s, appFolder_);
    s.bytDrawMode = 0;
    s.intFrameNo = 0;
    hscFrame[0]->setMaximum(kFrameNumbers.high);
    hscFrame[0]->setValue(0);
    hscFrame[1]->setValue(10);
    txtFrame[2]->setText(decimal(hscFrame[1]->value()));
    tmrFrame->setInterval(hscFrame[1]->value());
    txtScroll->setText(QStringLiteral("0"));
    fraFrame->setTitle(text("フレーム：") + decimal(hscFrame[0]->value()));
    cmdDrawTool[0]->setText(text("クリック"));
    cmdDrawTool[1]->setText(text("記憶"));
    cmdDrawTool[2]->setText(text("取消し"));

    // The playback settings. Giving up the settings gives up only the settings: the frame file is
    // still loaded, so that a later save cannot overwrite a good frame file with empty frames.
    SettingsControls controls(*this);
    readSettings(s, step, controls);

    // The image layer's frame file, then frame 0 on the grid.
    const bool read = readImageLayer(s, step, readAhead_.get());
    readAhead_.reset();
    if (!read) return;
    const int32_t frame = hscFrame[0]->value();
    step([&] { Bit_Convert(s.bytFrameData(), s.dots, frame); });
}

void frmMain::hscFrame_Change(int16_t Index) {
    if (Index == 0) {
        const int v = hscFrame[0]->value();
        // QGroupBox::setTitle repaints the whole box and every control in it, which at playback
        // speed costs more than the frame itself; only the caption strip changes.
        writeWithoutRepaint(fraFrame, [&] { fraFrame->setTitle(text("フレーム：") + decimal(v)); });
        pacedUpdates->update(fraFrame,
                             QRect(0, 0, fraFrame->width(), fraFrame->fontMetrics().height() + 2));
        try {
            Bit_Convert(state_.bytFrameData(), state_.dots, v);
        } catch (const PlatformError&) {
            // Only reachable before start-up has limited the selector to 0..267: a frame beyond
            // the frame memory is not shown and does not become the current frame.
            return;
        }
        state_.intFrameNo = static_cast<int16_t>(v);
        refreshOnionSkin();
        writeWithoutRepaint(txtScroll, [&] { txtScroll->setText(decimal(state_.intFrameNo)); });
        pacedUpdates->update(txtScroll);
    } else if (Index == 1) {
        const int w = hscFrame[1]->value();
        txtFrame[2]->setText(decimal(w));
        tmrFrame->setInterval(w);
    }
}

void frmMain::mousePressEvent(QMouseEvent* event) {
    if (shape_ != nullptr || startShape(*event)) return;
    Form_MouseDown(buttonCode(event->button()), shiftCode(event->modifiers()),
                   static_cast<float>(event->position().x() * kTwipsPerPixel),
                   static_cast<float>(event->position().y() * kTwipsPerPixel));
}

void frmMain::closeEvent(QCloseEvent* event) {
    if (Form_QueryUnload())
        event->accept();
    else
        event->ignore();
}

void frmMain::mouseMoveEvent(QMouseEvent* event) {
    const auto X = static_cast<float>(event->position().x() * kTwipsPerPixel);
    const auto Y = static_cast<float>(event->position().y() * kTwipsPerPixel);
    if (shape_ != nullptr) {
        if (const auto end = latticeAtTwips(X, Y)) shape_->moveTo(*end);
        return;
    }
    // Shift without a button lifts the pencil and the eraser, so that the pointer can go to
    // where a line is to start without drawing its way there.
    const bool drawingMode = state_.bytDrawMode == 1 || state_.bytDrawMode == 2;
    if (drawingMode && event->buttons() == Qt::NoButton &&
        event->modifiers().testFlag(Qt::ShiftModifier))
        return;
    Form_MouseMove(buttonCode(event->buttons()), shiftCode(event->modifiers()),
                   static_cast<float>(event->position().x() * kTwipsPerPixel),
                   static_cast<float>(event->position().y() * kTwipsPerPixel));
}

bool frmMain::startShape(const QMouseEvent& event) {
    const bool drawingMode = state_.bytDrawMode == 1 || state_.bytDrawMode == 2;
    if (!drawingMode || !event.modifiers().testFlag(Qt::ShiftModifier)) return false;
    const auto start = latticeAtTwips(static_cast<float>(event.position().x() * kTwipsPerPixel),
                                      static_cast<float>(event.position().y() * kTwipsPerPixel));
    if (!start) return false;
    const ShapeKind kind =
        event.modifiers().testFlag(Qt::ControlModifier) ? ShapeKind::Rectangle : ShapeKind::Line;
    shape_ = std::make_unique<ShapeStroke>(state_.dots, kind, state_.bytDrawMode == 1, *start);
    return true;
}

void frmMain::mouseReleaseEvent(QMouseEvent* event) {
    if (shape_ == nullptr) {
        QWidget::mouseReleaseEvent(event);
        return;
    }
    if (const auto end = latticeAtTwips(static_cast<float>(event->position().x() * kTwipsPerPixel),
                                        static_cast<float>(event->position().y() * kTwipsPerPixel)))
        shape_->moveTo(*end);
    // The shape stays on the grid as drawing, unstored until 記憶 like any other.
    shape_.reset();
}

}  // namespace dotreel
