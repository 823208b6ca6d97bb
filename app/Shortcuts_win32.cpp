#include "app/Shortcuts.h"
