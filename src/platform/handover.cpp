#include "platform/handover.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "platform/appfolder.h"
#include "platform/errors.h"

namespace dotreel {

void replaceWithSibling(const std::string& program, const std::vector<std::string>& args) {
    const std::string path = applicationFolder() + "/" + program;
    std::vector<char*> argv;
    argv.reserve(args.size() + 1);
    for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    // Whatever this process already printed must come before what the other one prints.
    std::fflush(nullptr);
    ::execv(path.c_str(), argv.data());
    throw fileError(errno, path);
}

}  // namespace dotreel
