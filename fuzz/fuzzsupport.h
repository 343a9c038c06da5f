// Shared pieces of the fuzz targets: a scratch folder in memory for the files they read, and
// the line rule of the input files written out once more, independently, to compare against.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>
#include <vector>

namespace fuzzsupport {

// A folder of its own for this process, under /dev/shm when there is one (files there never
// touch a disk, which keeps the executions per second up), removed again at a normal exit.
inline const std::string& scratchFolder() {
    // Never destroyed, so that the clean-up at exit still finds its name.
    static const std::string* const folder = [] {
        namespace fs = std::filesystem;
        std::error_code ec;
        // fuzz/run names a folder of its own, which it removes also after a crash (an abort
        // skips the clean-up below).
        const char* given = std::getenv("DOTREEL_FUZZ_SCRATCH");
        const std::string base =
            given != nullptr && fs::is_directory(given, ec) ? std::string(given)
            : fs::is_directory("/dev/shm", ec)              ? std::string("/dev/shm")
                                                            : fs::temp_directory_path().string();
        std::string pattern = base + "/dotreel-fuzz-XXXXXX";
        if (::mkdtemp(pattern.data()) == nullptr) {
            std::perror("mkdtemp");
            std::abort();
        }
        return new std::string(pattern + "/");
    }();
    static const bool cleanupRegistered = [] {
        return std::atexit([] {
                   std::error_code removeError;
                   std::filesystem::remove_all(*folder, removeError);
               }) == 0;
    }();
    (void)cleanupRegistered;
    return *folder;
}

inline void writeWholeFile(const std::string& path, std::string_view content) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(content.data(), static_cast<std::streamsize>(content.size()));
    if (!out) {
        std::perror(path.c_str());
        std::abort();
    }
}

// The lines of an input file: a line ends at CR, at CR LF or at a lone LF, and the last line
// needs no line end. An empty file has no line at all.
inline std::vector<std::string> referenceLines(std::string_view content) {
    std::vector<std::string> lines;
    std::string current;
    for (size_t i = 0; i < content.size(); ++i) {
        const char c = content[i];
        if (c == '\r' || c == '\n') {
            lines.push_back(current);
            current.clear();
            if (c == '\r' && i + 1 < content.size() && content[i + 1] == '\n') ++i;
        } else {
            current += c;
        }
    }
    if (!content.empty() && content.back() != '\r' && content.back() != '\n')
        lines.push_back(current);
    return lines;
}

// The same rule without a copy: `visit` gets each line, without its end, as a view of `content`.
template <class Visit>
void forEachReferenceLine(std::string_view content, Visit&& visit) {
    size_t start = 0;
    for (size_t i = 0; i < content.size(); ++i) {
        const char c = content[i];
        if (c == '\r' || c == '\n') {
            visit(content.substr(start, i - start));
            if (c == '\r' && i + 1 < content.size() && content[i + 1] == '\n') ++i;
            start = i + 1;
        }
    }
    if (start < content.size()) visit(content.substr(start));
}

// Stops the run with a message that libFuzzer records beside the input that caused it.
[[noreturn]] inline void fail(const char* what) {
    std::fprintf(stderr, "fuzz property broken: %s\n", what);
    std::abort();
}

inline void check(bool condition, const char* what) {
    if (!condition) fail(what);
}

}  // namespace fuzzsupport
