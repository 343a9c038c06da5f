#include "ui/shortcuts.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <array>

#include "ui/frmmain.h"

namespace dotreel {
namespace {

constexpr auto kCtrl = Qt::ControlModifier;

const std::array kBindings{
    KeyBinding{kCtrl | Qt::Key_S, KeyAction::Save, "cmdFile"},
    KeyBinding{QKeyCombination(Qt::Key_PageDown), KeyAction::NextFrame, "hscFrame(0)"},
    KeyBinding{QKeyCombination(Qt::Key_PageUp), KeyAction::PreviousFrame, "hscFrame(0)"},
    KeyBinding{QKeyCombination(Qt::Key_Home), KeyAction::StartFrame, "hscFrame(0)"},
    KeyBinding{QKeyCombination(Qt::Key_End), KeyAction::EndFrame, "hscFrame(0)"},
    KeyBinding{kCtrl | Qt::Key_Return, KeyAction::StartStop, "cmdFrame(2)"},
    KeyBinding{kCtrl | Qt::Key_Enter, KeyAction::StartStop, nullptr},
    KeyBinding{kCtrl | Qt::Key_Z, KeyAction::Undo, nullptr},
    KeyBinding{kCtrl | Qt::ShiftModifier | Qt::Key_Z, KeyAction::Redo, nullptr},
    KeyBinding{kCtrl | Qt::Key_Y, KeyAction::Redo, nullptr},
};

}  // namespace

std::span<const KeyBinding> keyBindings() { return kBindings; }

Shortcuts::Shortcuts(frmMain& window) : QObject(&window), window_(window) {
    window.installEventFilter(this);
    // A click on the grid takes the focus from a text box, so that the keys work after drawing.
    window.setFocusPolicy(Qt::ClickFocus);
}

bool Shortcuts::eventFilter(QObject* watched, QEvent* event) {
    if (watched != &window_ || event->type() != QEvent::KeyPress) return false;
    if (qobject_cast<QLineEdit*>(window_.focusWidget()) != nullptr) return false;
    const auto* key = static_cast<QKeyEvent*>(event);
    // The keypad's Enter carries the keypad modifier; it counts as the Enter key alone.
    const QKeyCombination pressed(key->modifiers() & ~Qt::KeypadModifier, Qt::Key(key->key()));
    for (const KeyBinding& binding : kBindings) {
        if (binding.keys == pressed) {
            run(binding.action);
            return true;
        }
    }
    return false;
}

void Shortcuts::run(KeyAction action) {
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
    }
}

}  // namespace dotreel
