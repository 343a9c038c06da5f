// Test helpers for the layer and save tests: a state pointed at a temporary application folder,
// frame files written line by line; the scripted dialogs come with them.
#pragma once

#include <QtCore/QDir>
#include <QtCore/QFile>
#include <QtCore/QString>

#include <cstdint>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <sstream>
#include <string>

#include "app/modmain.h"
#include "core/frame.h"
#include "scripteddialogs.h"

namespace layertest {

using dotreel::Answer;
using dotreel::FrameMemory;
using dotreel::ModMain;
using dotreel::testing::ScriptedDialogs;

// A state whose data and settings folders lie in `appFolder` (which must end in "/").
inline std::unique_ptr<ModMain> stateIn(const std::string& appFolder, bool makeFolders = true) {
    auto state = std::make_unique<ModMain>();
    state->strAppPath = appFolder;
    state->strDataPath = appFolder + "データー/";
    state->strSetPath = appFolder + "設定/";
    if (makeFolders) {
        QDir().mkpath(QString::fromStdString(state->strDataPath));
        QDir().mkpath(QString::fromStdString(state->strSetPath));
    }
    return state;
}

inline std::string folderOf(const QString& tempPath) { return tempPath.toStdString() + "/"; }

// Frame-file text written independently of the code under test: `lines` lines, each the byte
// `byteAt(k)` as two hexadecimal digits (upper or lower case), ended by `lineEnd`.
inline std::string frameText(const std::function<uint8_t(int)>& byteAt, int lines = 131072,
                             bool lowerCase = false, const std::string& lineEnd = "\r\n") {
    const char* digits = lowerCase ? "0123456789abcdef" : "0123456789ABCDEF";
    std::string out;
    out.reserve(static_cast<size_t>(lines) * (2 + lineEnd.size()));
    for (int k = 0; k < lines; ++k) {
        const uint8_t v = byteAt(k);
        out += digits[v >> 4];
        out += digits[v & 15];
        out += lineEnd;
    }
    return out;
}

inline void writeFile(const std::string& path, const std::string& content) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << content;
}

inline std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline bool fileExists(const std::string& path) {
    return QFile::exists(QString::fromStdString(path));
}

// A recognisable byte pattern, different for each `seed`.
inline uint8_t patternByte(int k, int seed) {
    return static_cast<uint8_t>((k * 131 + seed * 17 + (k >> 9)) & 0xFF);
}

inline std::unique_ptr<FrameMemory> patternMemory(int seed) {
    auto m = std::make_unique<FrameMemory>();
    for (int k = 0; k < dotreel::kMemoryBytes; ++k)
        (*m)[static_cast<size_t>(k)] = patternByte(k, seed);
    return m;
}

// True when `text` opens with `stepName` followed by "に失敗しました" and a line break.
inline bool namesFailedStep(const std::string& text, const std::string& stepName) {
    const std::string head = stepName + "に失敗しました\r\n";
    return text.compare(0, head.size(), head) == 0 && text.size() > head.size();
}

}  // namespace layertest
