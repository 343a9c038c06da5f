// Shared helpers of the window tests: program folders on disk, frame memories to load, and the
// scripted dialogs.
#pragma once

#include <QDir>
#include <QFile>
#include <QString>
#include <QTemporaryDir>
#include <memory>
#include <string>

#include "core/frame.h"
#include "files/hexcodec.h"
#include "scripteddialogs.h"

namespace dotreel::testing {

inline QString u(const char* utf8) { return QString::fromUtf8(utf8); }

inline bool writeBytes(const QString& path, const std::string& bytes) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) return false;
    return file.write(bytes.data(), static_cast<qint64>(bytes.size())) ==
           static_cast<qint64>(bytes.size());
}

// A frame memory in which every frame differs from its neighbours and from an all-off grid.
inline std::unique_ptr<FrameMemory> patternMemory() {
    auto memory = std::make_unique<FrameMemory>();
    memory->fill(0);
    for (int k = 0; k < kStoreBytes; ++k)
        (*memory)[static_cast<size_t>(k)] = static_cast<uint8_t>((k * 37 + k / kFrameBytes) & 0xFF);
    return memory;
}

// A program folder with its data and settings folders.
class ProgramFolder {
public:
    ProgramFolder() {
        QDir(dir.path()).mkpath(u("データー"));
        QDir(dir.path()).mkpath(u("設定"));
    }
    std::string path() const { return dir.path().toStdString(); }
    QString dataFile(const char* name) const { return dir.path() + u("/データー/") + u(name); }
    QString settingsFile() const { return dir.path() + u("/設定/animation.txt"); }

    bool writeSettings(const std::string& content) const {
        return writeBytes(settingsFile(), content);
    }
    bool writeFrameFile(const FrameMemory& memory, const char* name = "FirstData.txt") const {
        return writeBytes(dataFile(name), formatFrameFile(memory));
    }

    QTemporaryDir dir;
};

}  // namespace dotreel::testing
