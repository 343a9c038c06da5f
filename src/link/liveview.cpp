#include "link/liveview.h"

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <thread>
#include <utility>

#include "link/session.h"

namespace dotreel::link {

struct LiveView::Impl {
    std::function<void(const std::string&)> lost;

    mutable std::mutex mutex;
    std::condition_variable wake;
    std::optional<PanelFrame> pending;
    std::optional<PanelFrame> lastTaken;  // the frame in flight or sent last
    bool connected = false;
    std::string port;
    Stats stats;

    std::atomic<bool> stopping{false};
    std::thread worker;

    void run(std::unique_ptr<Session> session);
    void join() {
        stopping = true;
        wake.notify_all();
        // From the lost callback (the worker itself) there is nothing to wait for.
        if (worker.joinable() && worker.get_id() != std::this_thread::get_id()) worker.join();
        stopping = false;
    }
};

// The worker owns the session: it sends the pending frame whenever there is one, and ends when
// told to stop or when the link fails (reported once, the session closed with the port).
void LiveView::Impl::run(std::unique_ptr<Session> session) {
    std::string failure;
    for (;;) {
        PanelFrame frame{};
        {
            std::unique_lock lock(mutex);
            wake.wait(lock, [this] { return stopping.load() || pending.has_value(); });
            if (stopping) return;
            frame = *pending;
            pending.reset();
            lastTaken = frame;
        }
        try {
            session->show(frame.data());
        } catch (const LinkError& e) {
            if (e.kind() == LinkError::Kind::Cancelled) return;
            failure = e.what();
            break;
        }
        const std::lock_guard lock(mutex);
        ++stats.sent;
    }
    session.reset();  // closes the port, so that connect() may open it again
    {
        const std::lock_guard lock(mutex);
        connected = false;
        pending.reset();
    }
    if (lost) lost("The panel on " + port + " stopped answering: " + failure + ".");
}

LiveView::LiveView(std::function<void(const std::string&)> lost) : impl_(std::make_unique<Impl>()) {
    impl_->lost = std::move(lost);
}

LiveView::~LiveView() { disconnect(); }

bool LiveView::connect(const std::string& port, unsigned baud, std::string& error) {
    disconnect();
    try {
        auto session = std::make_unique<Session>(SerialPort::open(port, baud), &impl_->stopping);
        session->hello();
        {
            const std::lock_guard lock(impl_->mutex);
            impl_->connected = true;
            impl_->port = port;
            impl_->pending.reset();
            impl_->lastTaken.reset();
        }
        impl_->worker = std::thread(&Impl::run, impl_.get(), std::move(session));
        return true;
    } catch (const LinkError& e) {
        error = e.what();
        return false;
    }
}

void LiveView::disconnect() {
    impl_->join();
    const std::lock_guard lock(impl_->mutex);
    impl_->connected = false;
    impl_->pending.reset();
}

bool LiveView::connected() const {
    const std::lock_guard lock(impl_->mutex);
    return impl_->connected;
}

const std::string& LiveView::port() const {
    const std::lock_guard lock(impl_->mutex);
    return impl_->port;
}

void LiveView::offer(const PanelFrame& frame) {
    {
        const std::lock_guard lock(impl_->mutex);
        if (!impl_->connected) return;
        ++impl_->stats.offered;
        if (impl_->pending) {
            ++impl_->stats.skipped;
            impl_->pending.reset();
        }
        // The panel shows (or is about to show) this very picture already.
        if (impl_->lastTaken && *impl_->lastTaken == frame) return;
        impl_->pending = frame;
    }
    impl_->wake.notify_one();
}

LiveView::Stats LiveView::stats() const {
    const std::lock_guard lock(impl_->mutex);
    return impl_->stats;
}

}  // namespace dotreel::link
