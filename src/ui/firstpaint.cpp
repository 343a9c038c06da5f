#include "ui/firstpaint.h"

#include <QCoreApplication>
#include <QEvent>
#include <QWidget>

namespace dotreel {

PluginsAfterFirstPaint::PluginsAfterFirstPaint(QWidget& window, int limitMs)
    : QObject(&window), paths_(QCoreApplication::libraryPaths()) {
    // Plugins loaded already (the platform's, the style's) stay loaded: the list only tells
    // where new ones are looked for.
    QCoreApplication::setLibraryPaths({});
    window.installEventFilter(this);
    timer_ = startTimer(limitMs);
}

PluginsAfterFirstPaint::~PluginsAfterFirstPaint() { restore(); }

bool PluginsAfterFirstPaint::eventFilter(QObject* /*watched*/, QEvent* event) {
    if (event->type() == QEvent::Paint && !restoreQueued_) {
        // The paint event reaches the window before its controls paint: back once the whole
        // pass is over, which a zero timer waits for.
        restoreQueued_ = true;
        killTimer(timer_);
        timer_ = startTimer(0);
    }
    return false;
}

void PluginsAfterFirstPaint::timerEvent(QTimerEvent* /*event*/) { restore(); }

void PluginsAfterFirstPaint::restore() {
    if (restored_) return;
    restored_ = true;
    killTimer(timer_);
    QCoreApplication::setLibraryPaths(paths_);
}

}  // namespace dotreel
