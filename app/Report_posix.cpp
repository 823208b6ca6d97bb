#include "app/Report.h"
#include "platform/Console.h"

namespace admin {

void ShowReport(const std::string& utf8, bool problem) {
    if (problem)
        platform::WriteStandardError(utf8);
    else
        platform::WriteStandardOutput(utf8);
}

}  // namespace admin
