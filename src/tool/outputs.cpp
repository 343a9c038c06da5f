#include "tool/outputs.h"

#include <filesystem>
#include <system_error>

#include "platform/errors.h"
#include "platform/safewrite.h"
#include "tool/args.h"
#include "tool/store.h"

namespace dotreel::tool {

std::string numberedPath(const std::string& path, int number, int width) {
    std::string digits = std::to_string(number);
    if (static_cast<int>(digits.size()) < width)
        digits.insert(0, static_cast<size_t>(width) - digits.size(), '0');
    const std::filesystem::path p(path);
    const std::string stem = p.stem().string();
    const std::string numbered = stem + "-" + digits + p.extension().string();
    return (p.parent_path() / numbered).string();
}

void writeOutputs(const std::vector<OutputFile>& outputs, bool force,
                  const std::vector<std::string>& inputs) {
    for (const auto& out : outputs) {
        std::error_code ec;
        const bool exists = std::filesystem::exists(std::filesystem::symlink_status(out.path, ec));
        for (const auto& input : inputs) {
            std::error_code eq;
            if (exists && std::filesystem::equivalent(out.path, input, eq))
                throw ToolError("'" + out.path + "' is the input file; choose another output");
        }
        // A device or a FIFO is never replaced by a file, even with --force (as root,
        // "-o /dev/full" would otherwise be swapped for a regular file); a link to a regular
        // file is fine, the file it names is replaced.
        const PathKind kind = exists ? pathKind(out.path) : PathKind::Missing;
        if (kind == PathKind::Folder || kind == PathKind::Other)
            throw ToolError("cannot write '" + out.path +
                            "': it is not a regular file (a folder, device or pipe is never "
                            "replaced)");
        if (exists && !force)
            throw ToolError("'" + out.path + "' already exists (use --force to replace it)");
    }
    for (const auto& out : outputs) {
        try {
            writeFileAtomically(out.path, out.data);
        } catch (const PlatformError& e) {
            throw ToolError("cannot write " + describeFailure(e, out.path));
        }
    }
}

}  // namespace dotreel::tool
