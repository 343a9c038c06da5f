// Repaint requests paced to the screen's refresh. The first request after a quiet spell is passed
// on as soon as the running handler returns; those that follow within one refresh wait for the
// next one. Everything a handler asks for goes in one pass, so the controls it writes appear
// together, and a control written a thousand times a second is painted no more often than the
// screen can show.
#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QRegion>
#include <QTimer>
#include <QWidget>
#include <vector>

namespace dotreel {

class PacedUpdates : public QObject {
    Q_OBJECT
public:
    static constexpr int kRefreshMs = 16;  // about 60 pictures a second

    explicit PacedUpdates(QObject* parent = nullptr);

    // Asks for `area` of `widget` to be repainted (an empty area: the whole widget).
    void update(QWidget* widget, const QRegion& area = QRegion());
    // Makes sure that a pass comes, as update() would, without a request of its own: for callers
    // that add theirs from aboutToPass.
    void schedule();
    // How many times the waiting requests have been passed on to the widgets.
    int passes() const { return passes_; }

signals:
    // Just before a pass: the moment to add requests that are still being gathered.
    void aboutToPass();

private:
    Q_INVOKABLE void pass();

    struct Request {
        QPointer<QWidget> widget;
        QRegion area;  // empty = the whole widget
    };
    std::vector<Request> waiting_;
    QTimer timer_;
    QElapsedTimer sinceLastPass_;
    bool passQueued_ = false;
    bool passing_ = false;
    int passes_ = 0;
};

// Runs `write` on `widget` without the repaint that the write would ask for itself: the caller
// asks through PacedUpdates instead. QWidget::setUpdatesEnabled(true) would repaint at once,
// so the attribute is set directly.
template <typename Write>
void writeWithoutRepaint(QWidget* widget, Write write) {
    const bool wasDisabled = widget->testAttribute(Qt::WA_UpdatesDisabled);
    widget->setAttribute(Qt::WA_UpdatesDisabled, true);
    write();
    if (!wasDisabled) widget->setAttribute(Qt::WA_UpdatesDisabled, false);
}

}  // namespace dotreel
