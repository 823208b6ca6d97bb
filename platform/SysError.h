// The system's own text for a Windows error number (GetLastError values).
#pragma once

#include <cstdint>
#include <string>

namespace platform {

// The text the system gives for `code`, in the ANSI code page, without a trailing line break;
// "" when the system knows no text for it. On POSIX hosts a table of the numbers the platform
// layer reports stands in for the system's message catalogue.
std::string SystemErrorText(uint32_t code);

// The number of the last failure the system recorded for this thread (GetLastError), and the
// way to clear it before a call whose failure is to be read. POSIX hosts translate the C
// library's errno into the Windows number for the same failure.
uint32_t LastSystemError();
void ClearSystemError();

}  // namespace platform
