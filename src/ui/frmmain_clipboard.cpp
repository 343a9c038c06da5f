// Copy and paste through the system clipboard: the grid as a picture and as frame text, and the
// playback range's frames as frame text.
#include <QBuffer>
#include <QClipboard>
#include <QGuiApplication>
#include <QImage>
#include <QMimeData>
#include <QScrollBar>
#include <algorithm>
#include <memory>
#include <string>

#include "files/frametext.h"
#include "pictures/imageimport.h"
#include "ui/frmmain.h"

namespace dotreel {
namespace {

constexpr const char* kPngType = "image/png";

QByteArray pngOf(const QImage& picture) {
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    picture.save(&buffer, "PNG");
    return png;
}

// The clipboard's text as frame bytes, when it is one.
std::optional<std::vector<uint8_t>> clipboardFrames(const QMimeData* mime) {
    if (mime == nullptr || !mime->hasText()) return std::nullopt;
    return parseFrameText(mime->text().toStdString());
}

QImage clipboardPicture(const QMimeData* mime) {
    if (mime == nullptr) return {};
    if (mime->hasFormat(QString::fromLatin1(kPngType))) {
        QImage png;
        if (png.loadFromData(mime->data(QString::fromLatin1(kPngType)), "PNG")) return png;
    }
    if (mime->hasImage()) return qvariant_cast<QImage>(mime->imageData());
    return {};
}

const char* const kNothingToPaste =
    "クリップボードにはフレームも画像もありません。何も変えていません。\n"
    "The clipboard holds neither frames nor a picture; nothing was changed.";

}  // namespace

void frmMain::copyGrid() {
    const auto bytes = gridFrameBytes(state_.dots);
    auto* mime = new QMimeData;  // the clipboard takes it
    mime->setData(QString::fromLatin1(kPngType), pngOf(pictures::framePicture(bytes)));
    mime->setText(QString::fromStdString(formatFrameText(bytes)));
    QGuiApplication::clipboard()->setMimeData(mime);
}

void frmMain::pasteGrid(bool dither) {
    const QMimeData* mime = QGuiApplication::clipboard()->mimeData();
    std::array<uint8_t, kFrameBytes> bytes{};
    if (const auto frames = clipboardFrames(mime)) {
        if (frames->size() != static_cast<size_t>(kFrameBytes)) {
            dialogs_->warn(kClipboardTitle,
                           "クリップボードには複数のフレームがあります（Ctrl+Alt+V で貼り付け）。\n"
                           "The clipboard holds several frames: Ctrl+Alt+V pastes them.");
            return;
        }
        std::copy(frames->begin(), frames->end(), bytes.begin());
    } else if (const QImage picture = clipboardPicture(mime); !picture.isNull()) {
        pictures::ImportOptions options;
        options.dither = dither;
        DotGrid fitted;
        pictures::pictureToGrid(pictures::fitToLcd(picture, false), options, fitted);
        bytes = gridFrameBytes(fitted);
    } else {
        dialogs_->warn(kClipboardTitle, kNothingToPaste);
        return;
    }
    // Drawing on the grid, like any other: the frame changes on 記憶 only.
    state_.dots.putFrame(bytes);
}

void frmMain::copyRange() {
    const int start = state_.intPlayRange[0];
    const int end = state_.intPlayRange[1];
    const int first = std::min(start, end);
    const int last = std::max(start, end);
    if (first < 0 || last > kLastFrame) {
        dialogs_->warn(kClipboardTitle,
                       "再生範囲が 0～267 の外です。何もコピーしていません。\n"
                       "The playback range lies outside frames 0..267; nothing was copied.");
        return;
    }
    const FrameMemory& memory = state_.bytFrameData();
    const std::span<const uint8_t> frames(
        memory.data() + static_cast<ptrdiff_t>(first) * kFrameBytes,
        static_cast<size_t>(last - first + 1) * kFrameBytes);
    auto* mime = new QMimeData;
    mime->setText(QString::fromStdString(formatFrameText(frames)));
    QGuiApplication::clipboard()->setMimeData(mime);
}

void frmMain::pasteRange() {
    const auto frames = clipboardFrames(QGuiApplication::clipboard()->mimeData());
    if (!frames) {
        dialogs_->warn(kClipboardTitle,
                       "クリップボードにはフレームがありません。何も変えていません。\n"
                       "The clipboard holds no frames; nothing was changed.");
        return;
    }
    const int first = hscFrame[0]->value();
    const int count = static_cast<int>(frames->size()) / kFrameBytes;
    const int stored = std::clamp(kFrameCount - first, 0, count);
    const auto before = memoryBefore();
    std::copy_n(frames->begin(), static_cast<ptrdiff_t>(stored) * kFrameBytes,
                state_.bytFrameData().begin() + static_cast<ptrdiff_t>(first) * kFrameBytes);
    memoryChanged(before);
    showSelectedFrame();
    if (stored < count) {
        const std::string n = std::to_string(count - stored);
        dialogs_->warn(kClipboardTitle, "フレーム267を超える " + n +
                                            " フレームは貼り付けませんでした。\n" + n +
                                            " frame(s) past frame 267 left out.");
    }
}

}  // namespace dotreel
