// Shared helpers of the window tests: program folders on disk and a scripted failure prompt.
#pragma once

#include <QDir>
#include <QFile>
#include <QString>
#include <QTemporaryDir>
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "app/steprunner.h"
#include "core/frame.h"
#include "files/hexcodec.h"

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

// Answers the step-failure dialog from a script and records every call. `beforeAnswer` runs
// before each answer (to put a file in place before a Retry, for example).
struct ScriptedPrompt {
    struct Call {
        std::string title;
        std::string text;
    };
    std::deque<Answer> answers;
    std::vector<Call> calls;
    std::function<void(size_t callIndex)> beforeAnswer;

    FailurePrompt prompt() {
        return [this](const std::string& title, const std::string& text) {
            calls.push_back({title, text});
            if (beforeAnswer) beforeAnswer(calls.size() - 1);
            if (answers.empty()) return Answer::Cancel;  // never loop for ever in a test
            const Answer next = answers.front();
            answers.pop_front();
            return next;
        };
    }
};

}  // namespace dotreel::testing
