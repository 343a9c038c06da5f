// Handing the whole command line over to another program of the same installation, which then
// runs in this process's place (same process id, standard streams and exit status).
#pragma once

#include <string>
#include <vector>

namespace dotreel {

// Runs `program` from the folder of the running executable with `args` (args[0] is the name it
// sees). Returns only when it could not be started; throws PlatformError saying why.
void replaceWithSibling(const std::string& program, const std::vector<std::string>& args);

}  // namespace dotreel
