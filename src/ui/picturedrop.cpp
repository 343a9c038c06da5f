#include "ui/picturedrop.h"

#include <QDropEvent>
#include <QMimeData>
#include <QUrl>

#include "pictures/imageimport.h"
#include "ui/frmmain.h"

namespace dotreel {
namespace {

std::vector<std::string> localFiles(const QMimeData* mime) {
    std::vector<std::string> paths;
    if (mime == nullptr || !mime->hasUrls()) return paths;
    for (const QUrl& url : mime->urls())
        if (url.isLocalFile()) paths.push_back(url.toLocalFile().toStdString());
    return paths;
}

}  // namespace

DroppedPictures storeDroppedPictures(const std::vector<std::string>& paths, bool dither,
                                     FrameMemory& memory, int first) {
    DroppedPictures result;
    std::vector<QImage> fitted;  // 122 x 32 grey each: small, whatever the pictures' size
    try {
        for (const std::string& path : paths)
            for (const QImage& picture : pictures::readPictures(path))
                fitted.push_back(pictures::fitToLcd(picture, false));
    } catch (const pictures::PictureError& e) {
        result.error = e.what();
        return result;
    }
    pictures::ImportOptions options;
    options.dither = dither;
    for (const QImage& picture : fitted) {
        const int frame = first + result.stored;
        if (frame > kLastFrame) {
            ++result.leftOut;
            continue;
        }
        pictures::storePicture(picture, options, memory, frame);
        ++result.stored;
    }
    return result;
}

PictureDropTarget::PictureDropTarget(frmMain& window) : QObject(&window), window_(window) {
    window.setAcceptDrops(true);
    window.installEventFilter(this);
}

bool PictureDropTarget::eventFilter(QObject* watched, QEvent* event) {
    if (watched != &window_) return false;
    switch (event->type()) {
        case QEvent::DragEnter:
        case QEvent::DragMove: {
            auto* drag = static_cast<QDropEvent*>(event);
            if (localFiles(drag->mimeData()).empty()) return false;
            drag->acceptProposedAction();
            return true;
        }
        case QEvent::Drop: {
            auto* drop = static_cast<QDropEvent*>(event);
            const std::vector<std::string> paths = localFiles(drop->mimeData());
            if (paths.empty()) return false;
            drop->acceptProposedAction();
            window_.dropPictures(paths, drop->modifiers().testFlag(Qt::ShiftModifier));
            return true;
        }
        default:
            return false;
    }
}

}  // namespace dotreel
