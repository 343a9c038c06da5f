// Pacing repaint requests: pass at once after a quiet spell, otherwise at the next refresh.
#include "ui/pacedupdates.h"

#include <algorithm>

namespace dotreel {

PacedUpdates::PacedUpdates(QObject* parent) : QObject(parent) {
    timer_.setSingleShot(true);
    timer_.setTimerType(Qt::PreciseTimer);
    connect(&timer_, &QTimer::timeout, this, [this] { pass(); });
}

void PacedUpdates::update(QWidget* widget, const QRegion& area) {
    auto same = std::find_if(waiting_.begin(), waiting_.end(),
                             [widget](const Request& r) { return r.widget == widget; });
    if (same == waiting_.end()) {
        waiting_.push_back({widget, area});
    } else if (!same->area.isEmpty()) {
        // An empty area already stands for the whole widget.
        if (area.isEmpty())
            same->area = QRegion();
        else
            same->area += area;
    }
    schedule();
}

void PacedUpdates::schedule() {
    if (passing_ || passQueued_ || timer_.isActive()) return;
    const qint64 wait =
        sinceLastPass_.isValid() ? kRefreshMs - sinceLastPass_.elapsed() : qint64{0};
    if (wait <= 0) {
        passQueued_ = true;
        // After the running handler, with whatever else it asks for. Called by name: the
        // functor overload builds its call object in a header template, where the static
        // analyzer takes Qt's ownership of it for a leak.
        QMetaObject::invokeMethod(this, "pass", Qt::QueuedConnection);
    } else {
        timer_.start(static_cast<int>(wait));
    }
}

void PacedUpdates::pass() {
    passQueued_ = false;
    timer_.stop();
    passing_ = true;
    emit aboutToPass();
    passing_ = false;
    sinceLastPass_.start();
    ++passes_;
    std::vector<Request> requests;
    requests.swap(waiting_);
    for (const Request& request : requests) {
        if (request.widget.isNull()) continue;
        if (request.area.isEmpty())
            request.widget->update();
        else
            request.widget->update(request.area);
    }
}

}  // namespace dotreel
