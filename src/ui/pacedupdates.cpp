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
    if (timer_.isActive()) return;
    const qint64 wait =
        sinceLastPass_.isValid() ? kRefreshMs - sinceLastPass_.elapsed() : qint64{0};
    if (wait <= 0)
        pass();
    else
        timer_.start(static_cast<int>(wait));
}

void PacedUpdates::pass() {
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
