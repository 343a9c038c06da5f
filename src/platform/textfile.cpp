#include "platform/textfile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <system_error>

#include "platform/errors.h"

namespace dotreel {
namespace {

// Closes a descriptor on every way out.
struct Descriptor {
    int fd;
    ~Descriptor() {
        if (fd >= 0) ::close(fd);
    }
};

// Reads the whole file; `identity` is what the file was when the reading began, so a change
// made while it is read shows as a change later.
std::string readWholeFile(const std::string& path, FileIdentity& identity) {
    // O_NONBLOCK: opening a FIFO without a writer must not wait; it is refused below anyway.
    const Descriptor file{::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY)};
    if (file.fd < 0) throw fileError(errno, path);
    struct stat st {};
    if (::fstat(file.fd, &st) != 0) throw fileError(errno, path);
    if (S_ISDIR(st.st_mode)) throw fileError(EISDIR, path);
    // A device or a FIFO may never end (/dev/zero) or never answer (a FIFO without a writer).
    if (!S_ISREG(st.st_mode)) throw notAFileError(path);
    if (st.st_size > kLargestInputFile) throw tooLargeError(path, st.st_size, kLargestInputFile);
    identity = fileIdentity(st);

    // One read of the size fstat gave, and one more to see the end; a file that grows meanwhile
    // (or reports no size, as some system files do) is read on, but never beyond the limit.
    std::string content;
    size_t filled = 0;
    content.resize(static_cast<size_t>(st.st_size) + 1);
    for (;;) {
        if (filled == content.size()) {
            if (filled > static_cast<size_t>(kLargestInputFile))
                throw tooLargeError(path, static_cast<int64_t>(filled), kLargestInputFile);
            content.resize(std::min(filled * 2 + 4096, static_cast<size_t>(kLargestInputFile) + 1));
        }
        const ssize_t n = ::read(file.fd, content.data() + filled, content.size() - filled);
        if (n < 0) {
            if (errno == EINTR) continue;
            throw fileError(errno, path);
        }
        if (n == 0) break;
        filled += static_cast<size_t>(n);
    }
    content.resize(filled);
    return content;
}

char lowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (lowerAscii(a[i]) != lowerAscii(b[i])) return false;
    return true;
}

}  // namespace

int16_t FileTable::freeFile() const {
    int16_t n = 1;
    while (files_.count(n) != 0) ++n;
    return n;
}

void FileTable::openForInput(int16_t fileNo, const std::string& path) {
    InputFile f;
    f.path = path;
    f.content = readWholeFile(path, f.identity);
    last_.file = nullptr;
    files_[fileNo] = std::move(f);
}

FileTable::InputFile& FileTable::file(int16_t fileNo) {
    if (last_.file != nullptr && last_.fileNo == fileNo) return *last_.file;
    auto it = files_.find(fileNo);
    if (it == files_.end()) throw PlatformError(ErrorKind::IoError, "ファイルが開かれていません。");
    last_.fileNo = fileNo;
    last_.file = &it->second;
    return it->second;
}

void FileTable::lineInput(int16_t fileNo, std::string_view& line) {
    InputFile& f = file(fileNo);
    if (f.position >= f.content.size()) throw endOfFileError(f.path);
    const SplitLine split = splitLine(f.content, f.position);
    line = split.text;
    f.position = split.next;
}

std::string_view FileTable::contents(int16_t fileNo) { return file(fileNo).content; }

FileIdentity FileTable::identity(int16_t fileNo) { return file(fileNo).identity; }

void FileTable::lineInput(int16_t fileNo, std::string& line) {
    std::string_view view;
    lineInput(fileNo, view);
    line.assign(view);
}

void FileTable::close(int16_t fileNo) {
    last_.file = nullptr;
    files_.erase(fileNo);
}

std::string resolveFileName(const std::string& folder, const std::string& name) {
    // Every spelling of a name must reach the same file, also when the folder holds several
    // names that differ only in letter case ("Data.txt" beside "data.txt"): otherwise a save
    // under one spelling would never be read back under the other. The byte-wise smallest of
    // the matching names is taken, whichever spelling was asked for.
    std::string best;
    std::error_code ec;
    for (std::filesystem::directory_iterator it(folder, ec), end; !ec && it != end;
         it.increment(ec)) {
        const std::string candidate = it->path().filename().string();
        if (equalsIgnoringCase(candidate, name) && (best.empty() || candidate < best))
            best = candidate;
    }
    return folder + (best.empty() ? name : best);
}

}  // namespace dotreel
