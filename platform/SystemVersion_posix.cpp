#include <sys/utsname.h>

#include "platform/SystemVersion.h"

namespace platform {

std::string SystemVersionText() {
    utsname name{};
    if (uname(&name) != 0) return "POSIX";
    return std::string(name.sysname) + " " + name.release;
}

}  // namespace platform
