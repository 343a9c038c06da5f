// Shared by the tool's tests: stores with known bytes, frame files on disk, and one command line
// run in-process with its exit status and both output streams.
#pragma once

#include <QDir>
#include <QFile>
#include <QString>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "core/frame.h"
#include "files/hexcodec.h"
#include "tool/commands.h"

namespace fixtures {

using dotreel::FrameMemory;

inline std::unique_ptr<FrameMemory> emptyStore() {
    auto store = std::make_unique<FrameMemory>();
    store->fill(0);
    return store;
}

// Every byte of the store differs from its neighbours, the trailer after frame 267 included,
// so a byte out of place shows up.
inline std::unique_ptr<FrameMemory> patternStore() {
    auto store = emptyStore();
    for (size_t k = 0; k < static_cast<size_t>(dotreel::kStoreBytes); ++k)
        (*store)[k] = static_cast<uint8_t>((k * 7 + k / 256) & 0xFF);
    return store;
}

inline std::string readAll(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return {};
    return f.readAll().toStdString();
}

inline void writeAll(const QString& path, const std::string& data) {
    QFile f(path);
    if (f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        f.write(data.data(), static_cast<qint64>(data.size()));
}

inline void writeStore(const QString& path, const FrameMemory& store) {
    writeAll(path, dotreel::formatFrameFile(store));
}

// Decodes a frame file written by the tool: it must be 131072 lines of "HH\r\n".
inline std::unique_ptr<FrameMemory> readStore(const QString& path) {
    const std::string text = readAll(path);
    if (text.size() != static_cast<size_t>(dotreel::kStoreBytes) * 4) return nullptr;
    auto store = emptyStore();
    for (size_t k = 0; k < static_cast<size_t>(dotreel::kStoreBytes); ++k)
        (*store)[k] = dotreel::hexLineToByte(std::string_view(text).substr(k * 4, 2));
    return store;
}

inline std::string frameBytes(const FrameMemory& store, int frame) {
    return std::string(reinterpret_cast<const char*>(store.data()) + frame * dotreel::kFrameBytes,
                       dotreel::kFrameBytes);
}

struct Run {
    int code;
    std::string out;
    std::string err;
};

inline Run run(const std::vector<std::string>& args) {
    std::ostringstream out;
    std::ostringstream err;
    const int code = dotreel::tool::runTool(args, out, err);
    return {code, out.str(), err.str()};
}

inline std::string str(const QString& s) { return s.toStdString(); }

// The names in a folder, so that a test can see that nothing was left behind.
inline QStringList entries(const QString& folder) {
    return QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
}

}  // namespace fixtures
