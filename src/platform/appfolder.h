// The folder of the running program.
#pragma once

#include <string>

namespace dotreel {

// The folder that holds the running executable, without a trailing separator (except for
// the root "/"). Falls back to the current folder when the system cannot tell.
std::string applicationFolder();

}  // namespace dotreel
