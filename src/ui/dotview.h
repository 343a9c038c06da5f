// The LCD grid: 3904 dots and the eight lattice markers, painted from the dot grid's fills.
// The view is the grid's observer: a change of fill only records the dot; the changed area is
// asked for once, after the running handler has returned, and the recorded dots are drawn into
// the picture when it is painted.
#pragma once

#include <QImage>
#include <QRect>
#include <QRegion>
#include <QWidget>
#include <array>
#include <span>
#include <vector>

#include "core/dotgrid.h"

namespace dotreel {

// The onion skin: lit dots of the neighbouring frames shown faintly in the grid's unlit dots.
enum class OnionSkin : uint8_t { Off, Previous, PreviousAndNext };

class DotView : public QWidget, public DotObserver {
    Q_OBJECT
public:
    // The view lies at the window's origin, so its coordinates are the window's.
    static constexpr int kViewWidth = 911;
    static constexpr int kViewHeight = 273;
    static constexpr int kOrigin = 28;  // left and top of dot (row 0, column 0)
    static constexpr int kPitch = 7;    // one pixel less than the size: neighbours share a border
    static constexpr int kDotSize = 8;
    static constexpr int kMarkerCount = 8;

    explicit DotView(DotGrid& grid, QWidget* parent = nullptr);
    ~DotView() override;

    // Where dot `index` (the dot index of the frame layout) and marker `marker` stand.
    static QRect dotRect(int index);
    static QRect markerRect(int marker);
    // True when the 8 x 8 block of the page holding the dot is light grey rather than white.
    static bool onGreyBlock(int index);

    // The onion skin's frames: the bytes of the previous and the next frame (null: none, as
    // before frame 0), shown under the unlit dots; nothing of the grid changes. The view is drawn
    // anew only when what it shows differs.
    void setOnionSkin(OnionSkin mode, const uint8_t* previous, const uint8_t* next);
    OnionSkin onionSkin() const { return onionMode_; }
    // The colour of an unlit dot's inside on `background` when the previous and / or the next
    // frame light it: a tone between the background and black, lighter for the next frame, so a
    // grey block's tone stays darker than a white block's and the checkerboard still reads.
    static QRgb onionTone(QRgb background, bool previous, bool next);

    void dotChanged(int index) override;
    void dotsChanged(std::span<const int> indexes) override;

    // Passes the repaint requests through `pacer` (not owned; null: straight to the widget).
    void setPacer(class PacedUpdates* pacer);

signals:
    // The grid's fills changed since the last repaint request, which has just been made: once
    // per handler that changed dots, and during fast playback at most once per refresh. The
    // picture on show is the grid's as it stands now.
    void pictureChanged();

protected:
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    Q_INVOKABLE void flushChanges();
    void requestRepaint(const QRegion& area);
    void paintArea(class QPainter& painter, const QRect& area) const;
    // The part of `area` covered by the grid's squares and the markers: the rest of an opaque
    // picture is never drawn.
    static QRegion shownParts(const QRegion& area);

    QRgb insideColour(int index) const;
    void renderAll();
    void renderDot(int index);
    // Draws the recorded dots into the picture: one by one when few, else all insides in a pass.
    void renderChanged();
    void renderAllInsides();
    void writeRect(const QRect& rect, QRgb colour);  // opaque pixels straight into image_
    void recordStale(int index);
    void queueFlush();

    DotGrid& grid_;
    // The grid as painted: kept up to date dot by dot, so a repaint only copies pixels.
    QImage image_;
    QRgb white_ = 0;  // the palette's base colour, looked up once per full render
    // Dots whose fill changed since the picture was last brought up to date, each once; beyond
    // the number where one pass over all insides is cheaper, only that all are to be drawn.
    std::vector<int> stale_;
    std::vector<bool> isStale_;
    bool allStale_ = false;
    // Dots changed since the last repaint request, up to the number beyond which the request
    // covers the whole grid.
    std::vector<int> unflushed_;
    bool flushQueued_ = false;
    class PacedUpdates* pacer_ = nullptr;
    OnionSkin onionMode_ = OnionSkin::Off;
    // Per dot: bit 0 lit in the previous frame, bit 1 lit in the next (all 0 while off).
    std::vector<uint8_t> onion_;
};

}  // namespace dotreel
