#include "app/Firewall.h"
