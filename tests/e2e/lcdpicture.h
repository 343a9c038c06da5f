// What the end-to-end tests expect: whole frame memories, their frame files as the editor writes
// them, and the 32 x 122 picture of one frame as the window must show it.
// Written from the LCD's layout on purpose, not with the editor's own helpers, so that a fault in
// those helpers shows up here as a difference.
#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>
#include <QStringList>
#include <array>
#include <cstdint>
#include <optional>

namespace e2e {

constexpr int kRows = 32;
constexpr int kColumns = 122;
constexpr int kHalfColumns = 61;
constexpr int kFrameBytes = 488;
constexpr int kStoreBytes = 131072;

// The whole frame memory: 131072 bytes, frame n at n * 488.
using Store = QByteArray;

inline uint8_t byteAt(const Store& store, int index) {
    return static_cast<uint8_t>(store.at(index));
}

inline void putByte(Store& store, int index, uint8_t value) {
    store[index] = static_cast<char>(value);
}

// A store of pseudo-random bytes: every frame differs from its neighbours and from an empty grid.
inline Store randomStore(uint32_t seed) {
    Store store(kStoreBytes, '\0');
    uint32_t x = seed;
    for (int k = 0; k < kStoreBytes; ++k) {
        x = x * 1664525u + 1013904223u;
        putByte(store, k, static_cast<uint8_t>(x >> 24));
    }
    return store;
}

inline Store filledStore(uint8_t value) { return Store(kStoreBytes, static_cast<char>(value)); }

// A frame file as the editor writes it: one byte a line, two upper-case hex digits, CR LF.
inline QByteArray frameFileText(const Store& store) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    QByteArray text;
    text.reserve(store.size() * 4);
    for (qsizetype k = 0; k < store.size(); ++k) {
        const auto b = static_cast<uint8_t>(store.at(k));
        text.append(kDigits[b >> 4]);
        text.append(kDigits[b & 15]);
        text.append("\r\n");
    }
    return text;
}

// Where the first difference between a written frame file and the expected store lies, or an
// empty text when there is none.
inline QString frameFileDifference(const QByteArray& written, const Store& expected) {
    const QByteArray want = frameFileText(expected);
    if (written == want) return {};
    if (written.size() != want.size())
        return QStringLiteral("file is %1 bytes, expected %2").arg(written.size()).arg(want.size());
    qsizetype at = 0;
    while (written.at(at) == want.at(at)) ++at;
    const qsizetype line = at / 4;
    int differing = 0;
    for (qsizetype k = 0; k < want.size(); k += 4)
        if (written.mid(k, 4) != want.mid(k, 4)) ++differing;
    return QStringLiteral(
               "%1 lines differ; first at line %2 (frame %3, byte %4): got \"%5\", "
               "expected \"%6\"")
        .arg(differing)
        .arg(line)
        .arg(line / kFrameBytes)
        .arg(line % kFrameBytes)
        .arg(QString::fromLatin1(written.mid(line * 4, 2)))
        .arg(QString::fromLatin1(want.mid(line * 4, 2)));
}

// The byte and bit of a frame that hold the dot at (row, column): the module's two halves of 61
// columns, four pages of 8 rows each, one byte per column of a page, bit 0 at the top.
struct DotBit {
    int byte;
    int bit;
};

inline DotBit dotBit(int frame, int row, int column) {
    const int half = column / kHalfColumns;
    const int page = row / 8;
    return {frame * kFrameBytes + half * 244 + page * kHalfColumns + column % kHalfColumns,
            row % 8};
}

// The pixel at the middle of dot (row, column) in the window: 8 x 8 squares on a 7 px pitch
// from (28, 28).
inline int dotCentreX(int column) { return 28 + 7 * column + 4; }
inline int dotCentreY(int row) { return 28 + 7 * row + 4; }

// One frame's picture, row by row.
class Picture {
public:
    bool at(int row, int column) const { return dots_[index(row, column)]; }
    void set(int row, int column, bool on) { dots_[index(row, column)] = on; }
    bool operator==(const Picture&) const = default;

    static Picture ofFrame(const Store& store, int frame) {
        Picture picture;
        for (int r = 0; r < kRows; ++r)
            for (int c = 0; c < kColumns; ++c) {
                const DotBit place = dotBit(frame, r, c);
                picture.set(r, c, ((byteAt(store, place.byte) >> place.bit) & 1) != 0);
            }
        return picture;
    }

    static Picture filled(bool on) {
        Picture picture;
        picture.dots_.fill(on);
        return picture;
    }

    void storeInto(Store& store, int frame) const {
        for (int r = 0; r < kRows; ++r)
            for (int c = 0; c < kColumns; ++c) {
                const DotBit place = dotBit(frame, r, c);
                const auto mask = static_cast<uint8_t>(1u << place.bit);
                const uint8_t old = byteAt(store, place.byte);
                putByte(store, place.byte,
                        at(r, c) ? static_cast<uint8_t>(old | mask)
                                 : static_cast<uint8_t>(old & ~mask));
            }
    }

    // The picture a screenshot of the window shows: a dot is on when the middle of its square is
    // black (off dots are white or light grey). Empty when the image is too small for the grid.
    static std::optional<Picture> fromScreen(const QImage& image) {
        if (image.width() < dotCentreX(kColumns - 1) + 1 ||
            image.height() < dotCentreY(kRows - 1) + 1)
            return std::nullopt;
        Picture picture;
        for (int r = 0; r < kRows; ++r)
            for (int c = 0; c < kColumns; ++c)
                picture.set(r, c, qGray(image.pixel(dotCentreX(c), dotCentreY(r))) < 100);
        return picture;
    }

    Picture inverted() const {
        Picture picture;
        for (size_t i = 0; i < dots_.size(); ++i) picture.dots_[i] = !dots_[i];
        return picture;
    }

    // Every column takes its right neighbour; column 121 takes the old column 0.
    Picture rotatedLeft() const {
        Picture picture;
        for (int r = 0; r < kRows; ++r)
            for (int c = 0; c < kColumns; ++c) picture.set(r, c, at(r, (c + 1) % kColumns));
        return picture;
    }

    // Every row takes the row above it; row 0 becomes `vacated`.
    Picture shiftedDown(bool vacated) const {
        Picture picture;
        for (int r = 0; r < kRows; ++r)
            for (int c = 0; c < kColumns; ++c) picture.set(r, c, r == 0 ? vacated : at(r - 1, c));
        return picture;
    }

    // "(row, column) on/off" for the first few dots that differ from `expected`, and the count.
    QString differenceFrom(const Picture& expected) const {
        QStringList places;
        int count = 0;
        for (int r = 0; r < kRows; ++r)
            for (int c = 0; c < kColumns; ++c)
                if (at(r, c) != expected.at(r, c)) {
                    if (++count <= 8)
                        places << QStringLiteral("(%1, %2) shown %3")
                                      .arg(r)
                                      .arg(c)
                                      .arg(at(r, c) ? QStringLiteral("on") : QStringLiteral("off"));
                }
        return QStringLiteral("%1 dots differ: %2")
            .arg(count)
            .arg(places.join(QStringLiteral(", ")));
    }

private:
    static size_t index(int row, int column) {
        return static_cast<size_t>(row * kColumns + column);
    }
    std::array<bool, kRows * kColumns> dots_{};
};

}  // namespace e2e
