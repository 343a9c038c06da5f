#include "platform/appfolder.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <system_error>
#include <vector>

#include "platform/errors.h"

namespace dotreel {

namespace fs = std::filesystem;

std::string applicationFolder() {
    std::error_code ec;
    const auto exe = fs::read_symlink("/proc/self/exe", ec);
    if (ec || exe.empty()) return fs::current_path(ec).string();
    const auto folder = exe.parent_path();
    return folder.empty() ? std::string("/") : folder.string();
}

std::string userDataHome(const char* xdgDataHome, const char* home) {
    if (xdgDataHome != nullptr && xdgDataHome[0] == '/') return xdgDataHome;
    if (home == nullptr || home[0] == '\0') return {};
    std::string base = home;
    if (base.back() != '/') base += '/';
    return base + ".local/share";
}

std::string userDataHome() {
    const char* home = std::getenv("HOME");
    std::string fromDatabase;
    if (home == nullptr || home[0] == '\0') {
        // A session started without HOME (a service, `env -i`) still belongs to a user.
        std::vector<char> buffer(16384);
        passwd entry{};
        passwd* found = nullptr;
        if (getpwuid_r(getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 &&
            found != nullptr && found->pw_dir != nullptr)
            fromDatabase = found->pw_dir;
        home = fromDatabase.c_str();
    }
    return userDataHome(std::getenv("XDG_DATA_HOME"), home);
}

bool isFolder(const std::string& path) {
    std::error_code ec;
    return fs::is_directory(path, ec);
}

bool canWriteFolder(const std::string& path) {
    return isFolder(path) && access(path.c_str(), W_OK | X_OK) == 0;
}

std::string absoluteFolder(const std::string& path) {
    std::error_code ec;
    fs::path full = fs::absolute(path, ec);
    if (ec) full = path;
    std::string text = full.lexically_normal().string();
    while (text.size() > 1 && text.back() == '/') text.pop_back();
    return text;
}

void makeFolders(const std::string& path) {
    std::error_code ec;
    fs::create_directories(path, ec);
    if (ec) throw fileError(ec.value(), path);
}

void copyMissingFiles(const std::string& from, const std::string& to) {
    std::error_code ec;
    for (fs::directory_iterator it(from, ec), end; !ec && it != end; it.increment(ec)) {
        if (!it->is_regular_file()) continue;
        const fs::path target = fs::path(to) / it->path().filename();
        std::error_code copyEc;
        fs::copy_file(it->path(), target, fs::copy_options::skip_existing, copyEc);
        if (copyEc) throw fileError(copyEc.value(), target.string());
    }
    if (ec) throw fileError(ec.value(), from);
}

}  // namespace dotreel
