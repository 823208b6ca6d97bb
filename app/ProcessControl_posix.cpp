#include "app/ProcessControl.h"
