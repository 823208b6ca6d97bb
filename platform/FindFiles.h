// Files and folders whose names match a wildcard pattern.
#pragma once

#include <string>
#include <vector>

namespace platform {

// The names (without folder) of the files and folders of every attribute in the pattern's folder
// whose names match its last part, in the order the file system lists them; "." and ".." are
// left out. "*" matches any run of characters, "?" exactly one, other characters themselves
// with ASCII letters in either case ("C:\data\arc???.zip"). A missing folder gives no names.
//
// Windows also matches against the short (8.3) names and lets a "?" before a "." or the end of
// the pattern match nothing; POSIX hosts have neither rule, so portable callers do not rely on
// them.
std::vector<std::string> FindFiles(const std::string& pattern);

}  // namespace platform
