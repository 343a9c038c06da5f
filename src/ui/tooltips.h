// What each control of the window does, in Japanese and English, shown as its tooltip.
#pragma once

#include <span>

class QString;
class QWidget;

namespace dotreel {

struct Tooltip {
    const char* control;  // the control's object name, e.g. "cmdLayer(0)"
    const char* text;     // a Japanese line, then an English line
};

// One entry per control of the window.
std::span<const Tooltip> tooltipTable();

// A control's tooltip: its two lines, each followed by the keys that the key table gives it.
QString tooltipText(const Tooltip& tip);

// Gives every control of `window` named in the table its tooltip.
void applyTooltips(QWidget& window);

}  // namespace dotreel
