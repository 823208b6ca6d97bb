// What the command line says to the administrator before any window exists: the usage, or why
// the command line cannot be carried out.
#pragma once

#include <string>

namespace admin {

// Windows shows the text (UTF-8) in a box with the information icon, or the error icon for a
// problem; POSIX hosts write it to standard output, a problem to standard error.
void ShowReport(const std::string& utf8, bool problem);

}  // namespace admin
