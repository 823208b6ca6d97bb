// Placeholder until the Win32 backend lands.
#include "ui/HeadlessBackend.h"

namespace ui {
std::unique_ptr<Backend> CreateNativeBackend() { return std::make_unique<HeadlessBackend>(); }
}  // namespace ui
