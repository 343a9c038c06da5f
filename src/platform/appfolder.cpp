#include "platform/appfolder.h"

#include <filesystem>
#include <system_error>

namespace dotreel {

std::string applicationFolder() {
    std::error_code ec;
    const auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (ec || exe.empty()) return std::filesystem::current_path(ec).string();
    const auto folder = exe.parent_path();
    return folder.empty() ? std::string("/") : folder.string();
}

}  // namespace dotreel
