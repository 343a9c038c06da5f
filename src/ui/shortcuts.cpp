#include "ui/shortcuts.h"

#include <QKeyEvent>
#include <QKeySequence>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QStringList>

#include "layers/framecommand.h"
#include "ui/frmmain.h"

namespace dotreel {
namespace {

constexpr auto kCtrl = Qt::ControlModifier;
constexpr auto kShift = Qt::ShiftModifier;
constexpr auto kAlt = Qt::AltModifier;

constexpr std::array<QKeyCombination, 2> keys(QKeyCombination a,
                                              QKeyCombination b = QKeyCombination()) {
    return {a, b};
}
constexpr std::array<QKeyCombination, 2> kNoKeys{};

// Frames: N and Shift+N as in Piskel (new, duplicate), Alt+N and Alt+C as in Aseprite (new frame
// as a copy, remove frame); moving a frame goes with our own PgUp / PgDown, held with Alt. O is
// the onion skin's key in both editors' habits; the clipboard has the usual Ctrl+C / Ctrl+V,
// Shift adding the dither as it does on a drop.
constexpr std::array kTable{
    KeyRow{keys(kCtrl | Qt::Key_S), nullptr, KeyAction::Save, "cmdFile", "保存", "\"保存\" (save)"},
    KeyRow{keys(QKeyCombination(Qt::Key_PageDown)), nullptr, KeyAction::NextFrame, "hscFrame(0)",
           "次のフレーム（フレームのスクロールバーの矢印と同じ）",
           "next frame (as the selector's arrow)"},
    KeyRow{keys(QKeyCombination(Qt::Key_PageUp)), nullptr, KeyAction::PreviousFrame, "hscFrame(0)",
           "前のフレーム", "previous frame"},
    KeyRow{keys(QKeyCombination(Qt::Key_Home)), nullptr, KeyAction::StartFrame, "hscFrame(0)",
           "再生の開始フレーム", "the playback start frame"},
    KeyRow{keys(QKeyCombination(Qt::Key_End)), nullptr, KeyAction::EndFrame, "hscFrame(0)",
           "再生の終了フレーム", "the playback end frame"},
    KeyRow{keys(kCtrl | Qt::Key_Return, kCtrl | Qt::Key_Enter), nullptr, KeyAction::StartStop,
           "cmdFrame(2)", "再生の開始／停止（START / STOP）", R"("START" / "STOP")"},
    KeyRow{keys(kCtrl | Qt::Key_Z), nullptr, KeyAction::Undo, "cmdDrawTool(1)",
           "フレームメモリへの最後の変更を元に戻す", "undo the last change to the frame memory"},
    KeyRow{keys(kCtrl | kShift | Qt::Key_Z, kCtrl | Qt::Key_Y), nullptr, KeyAction::Redo,
           "cmdDrawTool(1)", "やり直す", "redo it"},
    KeyRow{keys(QKeyCombination(Qt::Key_N)), nullptr, KeyAction::InsertFrame, "fraFrame",
           "表示中のフレームに空のフレームを挿入（後ろのフレームは1つずつ後ろへ、"
           "フレーム267が空でなければ確認）",
           "insert an empty frame at the frame on show (the later frames move up; asks first "
           "when frame 267 is not empty)"},
    KeyRow{keys(kShift | Qt::Key_N, kAlt | Qt::Key_N), nullptr, KeyAction::DuplicateFrame,
           "fraFrame", "表示中のフレームを複製（挿入と同じ、複製を表示）",
           "duplicate the frame on show (as insert, with a copy, which is shown)"},
    KeyRow{keys(kAlt | Qt::Key_C), nullptr, KeyAction::DeleteFrame, "fraFrame",
           "表示中のフレームを削除（後ろのフレームは1つずつ前へ、フレーム267は空に）",
           "delete the frame on show (the later frames move down, frame 267 becomes empty)"},
    KeyRow{keys(kAlt | Qt::Key_PageUp), nullptr, KeyAction::MoveFrameEarlier, "fraFrame",
           "表示中のフレームを1つ前へ移動", "move the frame on show one place earlier"},
    KeyRow{keys(kAlt | Qt::Key_PageDown), nullptr, KeyAction::MoveFrameLater, "fraFrame",
           "表示中のフレームを1つ後ろへ移動", "move the frame on show one place later"},
    KeyRow{keys(QKeyCombination(Qt::Key_O)), nullptr, KeyAction::OnionSkin, "fraFrame",
           "オニオンスキン：切 → 前のフレーム → 前と次のフレーム → 切（表示だけ、再生中も追従）",
           "onion skin: off → previous frame → previous and next → off (view only; follows "
           "playback)"},
    KeyRow{keys(kCtrl | Qt::Key_C), nullptr, KeyAction::CopyGrid, "fraPattern",
           "グリッドを画面のとおりコピー（122×32の1ビットPNGとフレームの488行のテキスト）",
           "copy the grid as on screen (a 122 × 32 one-bit PNG and the frame's 488 lines of "
           "text)"},
    KeyRow{keys(kCtrl | Qt::Key_V), nullptr, KeyAction::PasteGrid, "fraPattern",
           "フレームのテキストか画像（しきい値）をグリッドに貼り付け（記憶するまでフレームは"
           "変わりません）",
           "paste a frame's text or a picture (threshold) into the grid (the frame changes on "
           "記憶 only)"},
    KeyRow{keys(kCtrl | kShift | Qt::Key_V), nullptr, KeyAction::PasteGridDithered, "fraPattern",
           "画像をディザで貼り付け", "paste a picture dithered"},
    KeyRow{keys(kCtrl | kShift | Qt::Key_C), nullptr, KeyAction::CopyRange, "fraLayer",
           "再生範囲（開始〜終了）のフレームをフレームファイルのテキストでコピー",
           "copy the playback range's frames (start..end) as frame-file text"},
    KeyRow{keys(kCtrl | kAlt | Qt::Key_V), nullptr, KeyAction::PasteRange, "fraLayer",
           "テキストのフレームを表示中のフレームから貼り付け（Ctrl+Z で元に戻せます）",
           "paste frames of text into the frames from the one on show on (Ctrl+Z undoes it)"},
    KeyRow{kNoKeys, "Shift+drag", KeyAction::Gesture, "cmdDrawTool(0)",
           "鉛筆・消しゴム：Shift を押してドラッグで直線",
           "pencil, eraser: a straight line from the press to the release"},
    KeyRow{kNoKeys, "Ctrl+Shift+drag", KeyAction::Gesture, "cmdDrawTool(0)",
           "鉛筆・消しゴム：Ctrl+Shift を押してドラッグで四角形の輪郭",
           "pencil, eraser: a rectangle's outline"},
    KeyRow{kNoKeys, "Shift+move", KeyAction::Gesture, "cmdDrawTool(0)",
           "鉛筆・消しゴム：ボタンを押さずに Shift で動かすと描きません",
           "pencil, eraser: moving with Shift and no button draws nothing"},
    KeyRow{kNoKeys, "Shift+drop", KeyAction::Gesture, "fraSpace(0)",
           "絵をディザで取り込み（しきい値の代わり）",
           "dropped pictures are dithered instead of thresholded"},
    KeyRow{keys(QKeyCombination(Qt::Key_F1), QKeyCombination(Qt::Key_Question)), nullptr,
           KeyAction::KeySheet, "fraSpace(0)", "キーの一覧（この表）", "this key sheet"},
    KeyRow{
        keys(kCtrl | Qt::Key_T), nullptr, KeyAction::Text, "cmdDrawTool(0)",
        "文字：最後にクリックした点にスタンプ、または表示中のフレームからマーキー",
        "text: a stamp at the last dot clicked, or a marquee into the frames from the one on show"},
    KeyRow{keys(kCtrl | Qt::Key_L), nullptr, KeyAction::ConnectPanel, "fraSpace(0)",
           "パネル（dotreel --port）にもう一度接続して表示中の絵を送る",
           "connect again to the panel (dotreel --port) and send the picture on show"},
};

}  // namespace

std::span<const KeyRow> keyTable() { return kTable; }

QString keyNames(const KeyRow& row) {
    if (row.gesture != nullptr) return QString::fromLatin1(row.gesture);
    QStringList names;
    for (const QKeyCombination k : row.keys)
        if (k != QKeyCombination()) names << QKeySequence(k).toString(QKeySequence::PortableText);
    return names.join(QStringLiteral(", "));
}

QString markdownKeyTable() {
    QString table = QStringLiteral("| key | does | 意味 |\n|---|---|---|\n");
    for (const KeyRow& row : kTable)
        table += QStringLiteral("| %1 | %2 | %3 |\n")
                     .arg(keyNames(row), QString::fromUtf8(row.english),
                          QString::fromUtf8(row.japanese));
    return table;
}

Shortcuts::Shortcuts(frmMain& window) : QObject(&window), window_(window) {
    window.installEventFilter(this);
    // A click on the grid takes the focus from a text box, so that the keys work after drawing.
    window.setFocusPolicy(Qt::ClickFocus);
}

bool Shortcuts::eventFilter(QObject* watched, QEvent* event) {
    if (watched != &window_ || event->type() != QEvent::KeyPress) return false;
    if (qobject_cast<QLineEdit*>(window_.focusWidget()) != nullptr) return false;
    const auto* key = static_cast<QKeyEvent*>(event);
    // The keypad's Enter carries the keypad modifier; it counts as the Enter key alone. "?" is
    // typed with Shift on most layouts, without it on some: either way it is "?".
    Qt::KeyboardModifiers modifiers = key->modifiers() & ~Qt::KeypadModifier;
    if (key->key() == Qt::Key_Question) modifiers &= ~Qt::ShiftModifier;
    const QKeyCombination pressed(modifiers, Qt::Key(key->key()));
    for (const KeyRow& row : kTable)
        for (const QKeyCombination k : row.keys)
            if (k != QKeyCombination() && k == pressed) return run(row.action);
    return false;
}

bool Shortcuts::run(KeyAction action) {
    QScrollBar* selector = window_.hscFrame[0];
    // Home and End go to the playback range's frames only where the selector can show them.
    auto showFrame = [selector](int frame) {
        if (frame >= selector->minimum() && frame <= selector->maximum()) selector->setValue(frame);
    };
    switch (action) {
        case KeyAction::Save:
            window_.cmdFile->click();
            break;
        case KeyAction::NextFrame:  // exactly as a click on the selector's right arrow
            selector->triggerAction(QAbstractSlider::SliderSingleStepAdd);
            break;
        case KeyAction::PreviousFrame:
            selector->triggerAction(QAbstractSlider::SliderSingleStepSub);
            break;
        case KeyAction::StartFrame:
            showFrame(window_.state().intPlayRange[0]);
            break;
        case KeyAction::EndFrame:
            showFrame(window_.state().intPlayRange[1]);
            break;
        case KeyAction::StartStop:
            window_.cmdFrame[2]->click();
            break;
        case KeyAction::Undo:
            window_.undoMemory();
            break;
        case KeyAction::Redo:
            window_.redoMemory();
            break;
        case KeyAction::InsertFrame:
            window_.frameCommand(FrameCommand::InsertEmpty);
            break;
        case KeyAction::DuplicateFrame:
            window_.frameCommand(FrameCommand::Duplicate);
            break;
        case KeyAction::DeleteFrame:
            window_.frameCommand(FrameCommand::Delete);
            break;
        case KeyAction::MoveFrameEarlier:
            window_.frameCommand(FrameCommand::MoveEarlier);
            break;
        case KeyAction::MoveFrameLater:
            window_.frameCommand(FrameCommand::MoveLater);
            break;
        case KeyAction::OnionSkin:
            window_.cycleOnionSkin();
            break;
        case KeyAction::CopyGrid:
            window_.copyGrid();
            break;
        case KeyAction::PasteGrid:
            window_.pasteGrid(false);
            break;
        case KeyAction::PasteGridDithered:
            window_.pasteGrid(true);
            break;
        case KeyAction::CopyRange:
            window_.copyRange();
            break;
        case KeyAction::PasteRange:
            window_.pasteRange();
            break;
        case KeyAction::KeySheet:
            window_.showKeySheet();
            break;
        case KeyAction::ConnectPanel:
            window_.reconnectPanel();
            break;
        case KeyAction::Text:
        case KeyAction::Gesture:
            return false;
    }
    return true;
}

}  // namespace dotreel
