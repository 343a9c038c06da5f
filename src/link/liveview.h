// The editor's live view on the panel: the picture on show goes down the serial link without the
// window ever waiting for the cable. One worker thread owns the port; offer() only swaps the
// newest frame into a single pending slot (a newer frame replaces one not yet sent), so during
// fast playback frames are skipped, never queued. A link that stops answering is reported once
// through the callback, after which offers are dropped until connect() is called again.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace dotreel::link {

// 488 bytes in the store's order: byte k = half * 244 + page * 61 + column.
using PanelFrame = std::array<uint8_t, 488>;

class LiveView {
public:
    struct Stats {
        uint64_t offered = 0;  // offer() calls while connected
        uint64_t sent = 0;     // frames the device acknowledged
        uint64_t skipped = 0;  // frames replaced in the slot before they were sent
    };

    // `lost` is called at most once per connection, from the worker thread, with a message fit
    // for a warning dialog (the caller queues it to its own thread).
    explicit LiveView(std::function<void(const std::string&)> lost = {});
    ~LiveView();  // disconnects; never waits longer than one answer time-out
    LiveView(const LiveView&) = delete;
    LiveView& operator=(const LiveView&) = delete;

    // Opens the port, says hello and checks the protocol version. Blocks for at most one hello
    // exchange with its retries. false with `error` set (same messages as dotreel-tool device).
    bool connect(const std::string& port, unsigned baud, std::string& error);
    void disconnect();
    bool connected() const;
    const std::string& port() const;

    // Never blocks: the frame replaces any pending one; a frame equal to the last one sent is
    // not sent again. Ignored when not connected.
    void offer(const PanelFrame& frame);

    Stats stats() const;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace dotreel::link
