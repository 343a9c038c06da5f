// The window's keyboard: keys that work the controls the way a click does, the undo history,
// the frame commands, the onion skin, the clipboard, the panel's link, and the modifiers of the
// mouse. One table
// says what every key and modifier does, in Japanese and English: the key sheet (F1), the
// tooltips and the README's key table all come from it. A text box that has the focus keeps
// every key for itself.
#pragma once

#include <QKeyCombination>
#include <QObject>
#include <QString>
#include <array>
#include <span>

namespace dotreel {

class frmMain;

enum class KeyAction {
    Save,
    NextFrame,
    PreviousFrame,
    StartFrame,
    EndFrame,
    StartStop,
    Undo,
    Redo,
    InsertFrame,
    DuplicateFrame,
    DeleteFrame,
    MoveFrameEarlier,
    MoveFrameLater,
    OnionSkin,
    CopyGrid,
    PasteGrid,
    PasteGridDithered,
    CopyRange,
    PasteRange,
    KeySheet,
    ConnectPanel,
    Text,     // the text dialog (stamp or marquee), wired where it is built
    Gesture,  // a modifier of the mouse: no key of its own
};

struct KeyRow {
    // Up to two keys; an unused one is QKeyCombination() (Key_unknown, never matched).
    std::array<QKeyCombination, 2> keys;
    const char* gesture;  // the mouse gesture with its modifiers ("Shift+drag"), or nullptr
    KeyAction action;
    const char* control;  // the control whose tooltip names the key, or nullptr
    const char* japanese;
    const char* english;
};

// Every key and modifier, in the order the key sheet and the README list them.
std::span<const KeyRow> keyTable();

// The keys of a row as the sheet, the tooltips and the README spell them ("Ctrl+Shift+Z, Ctrl+Y"),
// or its gesture.
QString keyNames(const KeyRow& row);

// The README's key table, header included, one line per row, as Markdown.
QString markdownKeyTable();

// Installed on the window as an event filter; the window owns it. It sees the keys that no
// control took for itself.
class Shortcuts : public QObject {
    Q_OBJECT
public:
    explicit Shortcuts(frmMain& window);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool run(KeyAction action);  // false: the key does nothing here and goes on
    frmMain& window_;
};

}  // namespace dotreel
