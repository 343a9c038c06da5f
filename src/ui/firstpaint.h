// Qt's plugins kept out of the window's first paint.
#pragma once

#include <QObject>
#include <QStringList>

class QWidget;

namespace dotreel {

// Takes Qt's plugin folders out of the search path until `window` has been painted once (or
// `limitMs` has passed), then puts them back as they were. The first paint reads the style's
// own pictures (the group boxes' frame) by name, and a picture read by name first loads every
// picture plugin to ask whether it reads it: half a millisecond of start-up for pictures that
// Qt reads itself. Make it after the window is built (its style is chosen by then) and before
// it is shown; the window owns it. The plugins are found again for the first picture dropped.
class PluginsAfterFirstPaint : public QObject {
public:
    explicit PluginsAfterFirstPaint(QWidget& window, int limitMs = 1000);
    ~PluginsAfterFirstPaint() override;

    bool eventFilter(QObject* watched, QEvent* event) override;

protected:
    void timerEvent(QTimerEvent* event) override;

private:
    void restore();

    QStringList paths_;
    int timer_ = 0;
    bool restoreQueued_ = false;
    bool restored_ = false;
};

}  // namespace dotreel
