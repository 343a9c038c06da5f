// The panel on the serial link following the grid: the picture on show is offered to the link
// each time the grid view is told to repaint, the link's troubles become one warning each, and
// Ctrl+L connects again.
#pragma once

#include <QObject>
#include <QString>
#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <utility>

#include "core/dotgrid.h"
#include "link/liveview.h"

namespace dotreel {

class Dialogs;

class LivePanel : public QObject {
    Q_OBJECT
public:
    static constexpr const char* kTitle = "LiveView";

    // `grid` is the grid on show and `dialogs` what the warnings go through; neither is owned,
    // and both must outlive every call but the destructor.
    LivePanel(const DotGrid& grid, Dialogs& dialogs, QObject* parent = nullptr);
    ~LivePanel() override;

    // Connects to `port` and sends the picture on show. A failure is one warning; the editor
    // goes on without the panel. True when connected.
    bool connectTo(const std::string& port, unsigned baud);
    // Ctrl+L: connects again to the last port; when none was given, to the one the port chooser
    // names (nothing when it names none).
    void reconnect();
    // What Ctrl+L asks when no port was given: by default the port dialog over the window.
    using PortChooser = std::function<std::string()>;
    void setPortChooser(PortChooser chooser) { chooser_ = std::move(chooser); }
    // The rate for a port chosen later (--baud without --port).
    void setBaud(unsigned baud) { baud_ = baud; }
    bool connected() const;
    const std::string& lastPort() const { return port_; }

    // The grid's picture may have changed: offered when it differs from the one offered last.
    void pictureChanged();

    link::LiveView::Stats stats() const;
    // How many times the link was given a picture (changed pictures only).
    uint64_t offers() const { return offers_; }

private:
    // The link's worker reports a lost link here, queued onto the window's thread.
    Q_INVOKABLE void linkLost(const QString& message, quint64 connection);
    void warn(const std::string& japanese, const std::string& english);
    void offerPicture();

    const DotGrid& grid_;
    Dialogs& dialogs_;
    std::unique_ptr<link::LiveView> link_;
    std::string port_;
    unsigned baud_ = 115200;
    PortChooser chooser_;
    link::PanelFrame lastOffered_{};
    bool offeredAny_ = false;
    uint64_t offers_ = 0;
    // The connection the link's next report belongs to: a report about an earlier one, still on
    // its way when Ctrl+L connected again, is not shown.
    std::atomic<uint64_t> connection_{0};
    bool lostShown_ = false;
};

}  // namespace dotreel
