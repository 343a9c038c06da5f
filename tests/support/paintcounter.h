// Counts the paint events a widget receives, without the widget keeping a counter for tests.
#pragma once

#include <QEvent>
#include <QObject>
#include <QWidget>

namespace dotreel::testing {

struct PaintCounter : QObject {
    explicit PaintCounter(QWidget* widget) { widget->installEventFilter(this); }
    int count = 0;
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint) ++count;
        return false;
    }
};

}  // namespace dotreel::testing
