// The editor's only window: the dot grid, the tool groups around it and the frame controls.
// The handlers are public so that tests can drive them exactly as the controls do.
#pragma once

#include <QFont>
#include <QWidget>
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/dialogs.h"
#include "app/history.h"
#include "app/modmain.h"
#include "app/steprunner.h"
#include "draw/shapes.h"
#include "layers/framecommand.h"

class QCheckBox;
class QCloseEvent;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMouseEvent;
class QPushButton;
class QRadioButton;
class QScrollBar;
class QTimer;

namespace dotreel {

class DotView;       // src/ui/dotview.h
class LivePanel;     // src/ui/livepanel.h
class PacedUpdates;  // src/ui/pacedupdates.h

class frmMain : public QWidget {
    Q_OBJECT
public:
    // appFolder: the folder that plays the program's folder (tests pass a temporary one).
    // dialogs: what the handlers ask the user through, not owned; null = message boxes.
    explicit frmMain(std::string appFolder, Dialogs* dialogs = nullptr, QWidget* parent = nullptr);
    ~frmMain() override;

    ModMain& state();  // the shared state (modMain)

    // The window's font family list in the given size (points).
    static QFont designFont(double points);

    void Form_Load();  // runs subSetup(); main() calls it before show()
    void subSetup();

    // Handlers: public so that tests can call them; the controls' signals call them too.
    void Form_MouseDown(int Button, int Shift, float X, float Y);  // X, Y in twips
    void Form_MouseMove(int Button, int Shift, float X, float Y);
    void cmdDrawTool_Click(int16_t Index);
    void cmdPattern_Click(int16_t Index);
    void optLayer_Click(int16_t Index);
    void cmdLayer_Click(int16_t Index);
    void cmdScroll_Click(int16_t Index);
    bool cmdFile_Click();  // true when the save completed
    // Closing the window: true when it may close. With unsaved work it asks 保存 (closes only
    // once the save completed), 破棄 or キャンセル.
    bool Form_QueryUnload();
    void hscFrame_Change(int16_t Index);
    void cmdFrame_Click(int16_t Index);
    void tmrFrame_Timer();

    // The undo history of the frame memory; undo and redo then show the selector's frame.
    // The record of which file the memory came from travels with each step.
    using MemorySourceRecord = MemorySource;
    using History = MemoryHistory<MemorySourceRecord>;
    const History& history() const { return history_; }
    void undoMemory();
    void redoMemory();

    // Pictures dropped onto the window, stored from the selector's frame on (one history step);
    // `dither` when Shift was held. Warns about pictures left out or a file it cannot read.
    static constexpr const char* kDropTitle = "Form_DragDrop";
    void dropPictures(const std::vector<std::string>& paths, bool dither);
    // A change of the frame memory made elsewhere (the text dialog's marquee), as one history
    // step; the grid then shows the selector's frame.
    void changeMemory(const std::function<void(FrameMemory&)>& change);

    // Insert, duplicate, delete or move the frame on show (one history step), then show the
    // frame the command names. Insert and duplicate ask first when frame 267 is not empty.
    static constexpr const char* kFrameCommandTitle = "frameCommand";
    void frameCommand(FrameCommand command);

    // The onion skin (O): off -> the previous frame -> previous and next -> off. A view only: the
    // dot state, the memory and every handler see nothing of it. It follows the frame on show,
    // during playback too.
    void cycleOnionSkin();

    // The system clipboard. copyGrid: the grid as on screen (unstored drawing included), as a
    // 122 x 32 one-bit PNG and as the frame's 488 bytes in the frame file's text form. pasteGrid:
    // those bytes as they are, or a picture fitted as import fits it (threshold, or dithered),
    // into the grid as unstored drawing. copyRange / pasteRange: the playback range's frames as
    // that text, pasted into the frames from the one on show on (one history step). Anything
    // else on the clipboard: a warning, nothing changed.
    static constexpr const char* kClipboardTitle = "Clipboard";
    void copyGrid();
    void pasteGrid(bool dither);
    void copyRange();
    void pasteRange();

    // Shows the key sheet (F1, ?), a window of its own, made on first use.
    void showKeySheet();

    // The panel on a serial port following the grid: every picture the grid shows goes to it,
    // without the window ever waiting for the cable. A port that cannot be opened, and later a
    // lost link, is one warning each (title LivePanel::kTitle); the editor goes on without it.
    // reconnectPanel (Ctrl+L) connects again to the last port.
    bool connectPanel(const std::string& port, unsigned baud);
    void reconnectPanel();
    LivePanel* livePanel;

    // Controls, named and indexed as designed.
    QGroupBox *fraPattern, *fraDrawTool, *fraScroll, *fraFrame, *fraLayer, *fraFile;
    std::array<QGroupBox*, 2> fraSpace;
    std::array<QPushButton*, 3> cmdPattern, cmdDrawTool, cmdFrame, cmdLayer;
    std::array<QPushButton*, 5> cmdScroll;
    QPushButton* cmdFile;
    QLineEdit* txtScroll;
    std::array<QLineEdit*, 3> txtFrame;
    std::array<QRadioButton*, 2> optScroll;
    std::array<QRadioButton*, 4> optLayer;
    std::array<QCheckBox*, 1> chkScroll;
    QCheckBox *chkFrame, *chkLayer;
    std::array<QScrollBar*, 2> hscFrame;
    std::array<QLabel*, 4> lblFrame, lblComment;
    QTimer* tmrFrame;
    DotView* dotView;  // draws shpDot(0..3903) and shpPoint(0..7)
    // Paces the repaints of the grid and of the controls that playback writes on every tick.
    PacedUpdates* pacedUpdates;

protected:
    void mousePressEvent(QMouseEvent*) override;  // -> Form_MouseDown with position x 15
    void mouseMoveEvent(QMouseEvent*) override;   // -> Form_MouseMove with position x 15
    // Only a line or rectangle being drawn hears the release; otherwise it stays unhandled.
    void mouseReleaseEvent(QMouseEvent*) override;
    void closeEvent(QCloseEvent*) override;  // -> Form_QueryUnload

private:
    class SettingsControls;
    // Pencil and eraser with Shift (a line) or Ctrl+Shift (a rectangle) held at the press: the
    // press starts a shape instead of reaching Form_MouseDown. True when one was started.
    bool startShape(const QMouseEvent& event);
    void createControls();
    void connectControls();
    // Taken before a command changes the frame memory; given back once it has, as one step.
    History::Before memoryBefore() const;
    void memoryChanged(const History::Before& before);
    void showSelectedFrame();
    // Gives the view the neighbours of the selector's frame as the memory now holds them.
    void refreshOnionSkin();
    MemorySourceRecord memorySource() const;
    void setMemorySource(const MemorySourceRecord& source);

    ModMain state_;
    std::unique_ptr<Dialogs> ownDialogs_;  // the message boxes, when no dialogs were given
    // Every question goes through here, so that a tick knows when one is open.
    std::unique_ptr<TrackedDialogs> dialogs_;
    std::string appFolder_;
    History history_;
    std::unique_ptr<ShapeStroke> shape_;  // the line or rectangle being dragged, if any
    // The image layer read on another thread while the window is built; Form_Load takes it.
    std::unique_ptr<class FrameFileReadAhead> readAhead_;
};

}  // namespace dotreel
