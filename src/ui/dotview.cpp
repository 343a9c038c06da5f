#include "ui/dotview.h"

#include <QMetaObject>
#include <QPaintEvent>
#include <QPainter>
#include <QRegion>
#include <algorithm>

#include "core/frame.h"
#include "ui/pacedupdates.h"

namespace dotreel {

namespace {

// Beyond this many changed dots one rectangle around them all is cheaper than a region.
constexpr size_t kMaxSeparateRects = 32;
// Beyond this many changed dots one pass over every dot's inside is cheaper than one by one.
constexpr size_t kMaxSeparateDots = kDotCount / 8;

// The lattice places of the markers: column and row, one place outside the grid.
constexpr std::array<std::array<int, 2>, DotView::kMarkerCount> kMarkerPlaces{{
    {-1, -1},
    {-1, kRows},
    {kHalfColumns, -1},
    {kColumns, -1},
    {kColumns, kRows},
    {kHalfColumns, kRows},
    {kHalfColumns - 1, -1},
    {kHalfColumns - 1, kRows},
}};

const QColor kGreyBlock(224, 224, 224);
const QColor kMarkerRed(255, 0, 0);

int floorDiv(int a, int b) { return a >= 0 ? a / b : -((-a + b - 1) / b); }

// The lattice places (0..count-1) whose squares meet the pixel span [from, to].
std::pair<int, int> latticeSpan(int from, int to, int count) {
    const int first =
        -floorDiv(-(from - DotView::kOrigin - (DotView::kDotSize - 1)), DotView::kPitch);
    const int last = floorDiv(to - DotView::kOrigin, DotView::kPitch);
    return {std::max(first, 0), std::min(last, count - 1)};
}

}  // namespace

DotView::DotView(DotGrid& grid, QWidget* parent)
    : QWidget(parent), grid_(grid), isStale_(kDotCount, false), onion_(kDotCount, 0) {
    // The dots are no controls of their own: presses and moves over them belong to the window.
    setAttribute(Qt::WA_TransparentForMouseEvents);
    grid_.setObserver(this);
    // The picture is drawn at the first paint, from the grid as it stands then: start-up puts a
    // frame on the grid before that, and one whole drawing instead of two is a quarter of a
    // millisecond less before the window first appears.
}

void DotView::renderAll() {
    // Drawn from the grid as it stands: no dot is left behind.
    for (const int index : stale_) isStale_[static_cast<size_t>(index)] = false;
    stale_.clear();
    allStale_ = false;
    white_ = palette().color(QPalette::Base).rgb();
    const QColor border = palette().color(QPalette::WindowText);
    const QColor white = palette().color(QPalette::Base);
    if (border.alpha() != 255 || white.alpha() != 255) {
        // See-through colours blend where squares overlap: the painter does that, on a picture
        // that is see-through between the squares.
        image_ = QImage(kViewWidth, kViewHeight, QImage::Format_ARGB32_Premultiplied);
        image_.fill(Qt::transparent);
        QPainter painter(&image_);
        paintArea(painter, image_.rect());
        return;
    }
    // Opaque colours: an opaque picture, of which only the squares are ever shown (see
    // shownParts), so the pixels between them are never written, and a repaint copies pixels
    // instead of blending them.
    image_ = QImage(kViewWidth, kViewHeight, QImage::Format_RGB32);
    // Opaque colours are written straight into the picture, as the painter would put them, at a
    // fraction of the cost of 7808 painter fills. Neighbouring squares share their borders, so
    // the borders together cover one rectangle; the insides go over it.
    const QRgb borderRgb = border.rgb();
    const QRect last = dotRect(dotIndexAt(kRows - 1, kColumns - 1));
    writeRect(QRect(dotRect(0).topLeft(), last.bottomRight()), borderRgb);
    renderAllInsides();
    for (int marker = 0; marker < kMarkerCount; ++marker) {
        const QRect square = markerRect(marker);
        writeRect(square, borderRgb);
        writeRect(square.adjusted(1, 1, -1, -1), kMarkerRed.rgb());
    }
}

void DotView::renderAllInsides() {
    uchar* const bits = image_.bits();
    const qsizetype stride = image_.bytesPerLine();
    std::array<QRgb, kColumns> fills{};
    for (int row = 0; row < kRows; ++row) {
        for (int column = 0; column < kColumns; ++column) {
            fills[static_cast<size_t>(column)] = insideColour(dotIndexAt(row, column));
        }
        const int top = kOrigin + row * kPitch + 1;
        for (int y = top; y < top + kDotSize - 2; ++y) {
            auto* line = reinterpret_cast<QRgb*>(bits + y * stride) + kOrigin + 1;
            for (int column = 0; column < kColumns; ++column, line += kPitch)
                std::fill(line, line + kDotSize - 2, fills[static_cast<size_t>(column)]);
        }
    }
    for (const int index : stale_) isStale_[static_cast<size_t>(index)] = false;
    stale_.clear();
    allStale_ = false;
}

void DotView::renderChanged() {
    if (image_.isNull()) {
        renderAll();
        return;
    }
    if (allStale_ || stale_.size() > kMaxSeparateDots) {
        renderAllInsides();
        return;
    }
    if (stale_.empty()) return;
    for (const int index : stale_) {
        renderDot(index);
        isStale_[static_cast<size_t>(index)] = false;
    }
    stale_.clear();
}

void DotView::writeRect(const QRect& rect, QRgb colour) {
    // One look-up of the pixels: scanLine() checks for sharing on every call.
    uchar* const bits = image_.bits();
    const qsizetype stride = image_.bytesPerLine();
    for (int y = rect.top(); y <= rect.bottom(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(bits + y * stride);
        std::fill(line + rect.left(), line + rect.right() + 1, colour);
    }
}

// Only the inside of a dot changes with its fill; its border is shared with its neighbours.
void DotView::renderDot(int index) {
    writeRect(dotRect(index).adjusted(1, 1, -1, -1), insideColour(index));
}

QRgb DotView::insideColour(int index) const {
    if (grid_.fillStyle(index) == kFillSolid) return qRgb(0, 0, 0);
    const QRgb background = onGreyBlock(index) ? kGreyBlock.rgb() : white_;
    const uint8_t onion = onion_[static_cast<size_t>(index)];
    if (onion == 0) return background;
    return onionTone(background, (onion & 1) != 0, (onion & 2) != 0);
}

QRgb DotView::onionTone(QRgb background, bool previous, bool next) {
    // Kept of the background: the previous frame a third darker, the next a fifth, both a half.
    const int keep = previous && next ? 50 : previous ? 65 : next ? 80 : 100;
    auto scale = [keep](int channel) { return (channel * keep + 50) / 100; };
    return qRgb(scale(qRed(background)), scale(qGreen(background)), scale(qBlue(background)));
}

void DotView::setOnionSkin(OnionSkin mode, const uint8_t* previous, const uint8_t* next) {
    if (mode == OnionSkin::Off && onionMode_ == OnionSkin::Off) return;  // every tick while off
    std::vector<uint8_t> onion(kDotCount, 0);
    if (mode != OnionSkin::Off) {
        if (mode != OnionSkin::PreviousAndNext) next = nullptr;
        for (int index = 0; index < kDotCount; ++index) {
            const int byte = index / 8;
            const int bit = index % 8;
            uint8_t o = 0;
            if (previous != nullptr && ((previous[byte] >> bit) & 1) != 0) o |= 1;
            if (next != nullptr && ((next[byte] >> bit) & 1) != 0) o |= 2;
            onion[static_cast<size_t>(index)] = o;
        }
    }
    onionMode_ = mode;
    if (onion == onion_) return;
    onion_ = std::move(onion);
    // Every unlit dot may change its tone: all insides are drawn again, the whole grid repainted.
    allStale_ = true;
    if (unflushed_.size() <= kMaxSeparateDots) unflushed_.resize(kMaxSeparateDots + 1, 0);
    queueFlush();
}

DotView::~DotView() { grid_.setObserver(nullptr); }

QRect DotView::dotRect(int index) {
    return {kOrigin + dotColumn(index) * kPitch, kOrigin + dotRow(index) * kPitch, kDotSize,
            kDotSize};
}

QRect DotView::markerRect(int marker) {
    const auto& place = kMarkerPlaces[static_cast<size_t>(marker)];
    return {kOrigin + place[0] * kPitch, kOrigin + place[1] * kPitch, kDotSize, kDotSize};
}

bool DotView::onGreyBlock(int index) {
    return (dotPage(index) + dotColumnInHalf(index) / 8) % 2 == 1;
}

void DotView::recordStale(int index) {
    if (allStale_ || isStale_[static_cast<size_t>(index)]) return;
    if (stale_.size() >= kMaxSeparateDots) {
        allStale_ = true;
        return;
    }
    isStale_[static_cast<size_t>(index)] = true;
    stale_.push_back(index);
}

void DotView::queueFlush() {
    if (flushQueued_) return;
    flushQueued_ = true;
    if (pacer_ != nullptr) {
        // The pacer's next pass flushes (aboutToPass): no event of its own on every tick.
        pacer_->schedule();
        return;
    }
    // One repaint request for everything the running handler changes.
    // Called by name: the functor overload builds its call object in a header template,
    // where the static analyzer takes Qt's ownership of it for a leak.
    QMetaObject::invokeMethod(this, "flushChanges", Qt::QueuedConnection);
}

void DotView::dotChanged(int index) {
    // Only the dot is recorded here, at a few instructions per dot: a command may change
    // thousands of them in one handler.
    recordStale(index);
    if (unflushed_.size() <= kMaxSeparateDots) unflushed_.push_back(index);
    queueFlush();
}

void DotView::dotsChanged(std::span<const int> indexes) {
    if (!allStale_) {
        if (stale_.size() + indexes.size() > kMaxSeparateDots)
            allStale_ = true;
        else
            for (const int index : indexes) recordStale(index);
    }
    // Past kMaxSeparateDots the request covers the whole grid: the dots beyond are not needed.
    const size_t room = kMaxSeparateDots + 1 - std::min(unflushed_.size(), kMaxSeparateDots + 1);
    const size_t taken = std::min(room, indexes.size());
    unflushed_.insert(unflushed_.end(), indexes.begin(),
                      indexes.begin() + static_cast<std::ptrdiff_t>(taken));
    queueFlush();
}

void DotView::flushChanges() {
    flushQueued_ = false;
    if (unflushed_.empty()) return;
    if (unflushed_.size() <= kMaxSeparateRects) {
        // Few rectangles: uniting them is cheap (setRects would need them banded and sorted).
        QRegion region;
        for (const int index : unflushed_) region += dotRect(index);
        requestRepaint(region);
    } else if (unflushed_.size() <= kMaxSeparateDots) {
        QRect bounds;
        for (const int index : unflushed_) bounds |= dotRect(index);
        requestRepaint(bounds);
    } else {
        requestRepaint(QRect(dotRect(0).topLeft(),
                             dotRect(dotIndexAt(kRows - 1, kColumns - 1)).bottomRight()));
    }
    unflushed_.clear();
    emit pictureChanged();
}

void DotView::setPacer(PacedUpdates* pacer) {
    pacer_ = pacer;
    // The changed dots join the pacer's pass even when it comes before this view's own flush,
    // so the grid and the controls written by the same handler appear together.
    connect(pacer, &PacedUpdates::aboutToPass, this, [this] {
        if (flushQueued_) flushChanges();
    });
}

void DotView::requestRepaint(const QRegion& area) {
    if (pacer_ != nullptr)
        pacer_->update(this, area);
    else
        update(area);
}

void DotView::changeEvent(QEvent* event) {
    if (event->type() == QEvent::PaletteChange) {
        // Drawn anew in the new colours at the next paint.
        image_ = QImage();
        update();
    }
    QWidget::changeEvent(event);
}

QRegion DotView::shownParts(const QRegion& area) {
    static const QRegion squares = [] {
        QRegion all(QRect(dotRect(0).topLeft(),
                          dotRect(dotIndexAt(kRows - 1, kColumns - 1)).bottomRight()));
        for (int marker = 0; marker < kMarkerCount; ++marker) all += markerRect(marker);
        return all;
    }();
    return area.intersected(squares);
}

void DotView::paintEvent(QPaintEvent* event) {
    renderChanged();
    QPainter painter(this);
    const QRegion parts = image_.hasAlphaChannel() ? event->region() : shownParts(event->region());
    for (const QRect& area : parts) painter.drawImage(area, image_, area);
}

void DotView::paintArea(QPainter& painter, const QRect& area) const {
    const QColor border = palette().color(QPalette::WindowText);
    const QColor white = palette().color(QPalette::Base);
    auto paintSquare = [&](const QRect& square, const QColor& fill) {
        painter.fillRect(square, border);
        painter.fillRect(square.adjusted(1, 1, -1, -1), fill);
    };

    const auto [firstColumn, lastColumn] = latticeSpan(area.left(), area.right(), kColumns);
    const auto [firstRow, lastRow] = latticeSpan(area.top(), area.bottom(), kRows);
    for (int row = firstRow; row <= lastRow; ++row) {
        for (int column = firstColumn; column <= lastColumn; ++column) {
            const int index = dotIndexAt(row, column);
            QColor fill = onGreyBlock(index) ? kGreyBlock : white;
            if (grid_.fillStyle(index) == kFillSolid) {
                fill = Qt::black;
            } else if (const uint8_t onion = onion_[static_cast<size_t>(index)]; onion != 0) {
                fill = QColor::fromRgb(onionTone(fill.rgb(), (onion & 1) != 0, (onion & 2) != 0));
                fill.setAlpha(white.alpha());
            }
            paintSquare(dotRect(index), fill);
        }
    }
    for (int marker = 0; marker < kMarkerCount; ++marker) {
        const QRect square = markerRect(marker);
        if (square.intersects(area)) paintSquare(square, kMarkerRed);
    }
}

}  // namespace dotreel
