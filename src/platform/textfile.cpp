#include "platform/textfile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <system_error>

#include "platform/errors.h"

namespace dotreel {
namespace {

// Reads the whole file; `identity` is what the file was when the reading began, so a change
// made while it is read shows as a change later.
std::string readWholeFile(const std::string& path, FileIdentity& identity) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) throw fileError(errno, path);
    struct stat st {};
    if (::fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
        const int err = S_ISDIR(st.st_mode) ? EISDIR : errno;
        ::close(fd);
        throw fileError(err, path);
    }
    identity = fileIdentity(st);
    std::string content;
    content.reserve(static_cast<size_t>(st.st_size));
    char chunk[1 << 16];
    for (;;) {
        const ssize_t n = ::read(fd, chunk, sizeof chunk);
        if (n < 0) {
            if (errno == EINTR) continue;
            const int err = errno;
            ::close(fd);
            throw fileError(err, path);
        }
        if (n == 0) break;
        content.append(chunk, static_cast<size_t>(n));
    }
    ::close(fd);
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
