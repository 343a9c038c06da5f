// The window's keyboard: keys that work the controls the way a click does, and the undo history.
// A text box that has the focus keeps every key for itself.
#pragma once

#include <QKeyCombination>
#include <QObject>
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
    Redo
};

struct KeyBinding {
    QKeyCombination keys;
    KeyAction action;
    const char* control;  // the control whose work the key does, or nullptr
};

std::span<const KeyBinding> keyBindings();

// Installed on the window as an event filter; the window owns it. It sees the keys that no
// control took for itself.
class Shortcuts : public QObject {
    Q_OBJECT
public:
    explicit Shortcuts(frmMain& window);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void run(KeyAction action);
    frmMain& window_;
};

}  // namespace dotreel
