// The live view's wiring on the window's side: what is offered, when, and what the user is told.
#include "ui/livepanel.h"

#include <QApplication>
#include <QCursor>
#include <QWidget>
#include <utility>
#include <vector>

#include "app/dialogs.h"
#include "ui/portdialog.h"

namespace dotreel {

LivePanel::LivePanel(const DotGrid& grid, Dialogs& dialogs, QObject* parent)
    : QObject(parent), grid_(grid), dialogs_(dialogs) {
    chooser_ = [this] {
        std::vector<link::PortInfo> ports;
        try {
            ports = link::SerialPort::list();
        } catch (const link::LinkError&) {
            // No list: the dialog still takes a typed name.
        }
        return askForPort(qobject_cast<QWidget*>(this->parent()), ports);
    };
    link_ = std::make_unique<link::LiveView>([this](const std::string& message) {
        // On the link's worker thread: nothing of the window may be touched here. The report
        // carries the connection it belongs to, read before it is queued.
        const quint64 connection = connection_.load();
        QMetaObject::invokeMethod(this, "linkLost", Qt::QueuedConnection,
                                  Q_ARG(QString, QString::fromStdString(message)),
                                  Q_ARG(quint64, connection));
    });
}

// The link's destructor stops its worker, so no report is queued once QObject's own destructor
// drops the ones still waiting.
LivePanel::~LivePanel() = default;

bool LivePanel::connected() const { return link_->connected(); }

link::LiveView::Stats LivePanel::stats() const { return link_->stats(); }

bool LivePanel::connectTo(const std::string& port, unsigned baud) {
    port_ = port;
    baud_ = baud;
    link_->disconnect();
    ++connection_;
    lostShown_ = false;
    offeredAny_ = false;
    std::string error;
    bool ok = false;
    {
        // The hello exchange waits for the device, up to its retries: the wait is visible.
        QApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
        ok = link_->connect(port, baud, error);
        QApplication::restoreOverrideCursor();
    }
    if (!ok) {
        warn("パネル（" + port +
                 "）に接続できませんでした。パネルなしで続けます（Ctrl+L で"
                 "もう一度接続します）。",
             error + " (going on without the panel; Ctrl+L tries again)");
        return false;
    }
    // The panel shows whatever it showed before: bring it to the grid at once.
    offerPicture();
    return true;
}

void LivePanel::reconnect() {
    if (!port_.empty()) {
        connectTo(port_, baud_);
        return;
    }
    const std::string chosen = chooser_ ? chooser_() : std::string();
    if (!chosen.empty()) connectTo(chosen, baud_);
}

void LivePanel::pictureChanged() {
    if (!link_->connected()) return;
    offerPicture();
}

void LivePanel::offerPicture() {
    // 3904 dots gathered and 488 bytes compared: far less than the repaint this rides on.
    const link::PanelFrame picture = gridFrameBytes(grid_);
    if (offeredAny_ && picture == lastOffered_) return;
    lastOffered_ = picture;
    offeredAny_ = true;
    ++offers_;
    link_->offer(picture);
}

void LivePanel::linkLost(const QString& message, quint64 connection) {
    if (connection != connection_.load() || lostShown_) return;
    lostShown_ = true;
    link_->disconnect();
    warn("パネル（" + port_ +
             "）との接続が切れました。パネルなしで続けます（Ctrl+L で"
             "接続し直します）。",
         message.toStdString() + " (going on without the panel; Ctrl+L connects again)");
}

void LivePanel::warn(const std::string& japanese, const std::string& english) {
    dialogs_.warn(kTitle, japanese + "\n" + english);
}

}  // namespace dotreel
