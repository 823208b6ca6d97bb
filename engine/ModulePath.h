// Where the engine module itself was loaded from.
#pragma once

#include <string>

namespace engine {

// The module's full path; on POSIX hosts in Windows form on drive Z: (the host's root).
std::string ModulePath();

}  // namespace engine
