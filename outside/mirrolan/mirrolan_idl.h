// The generated interface header of the log monitor, included after windows.h.
#pragma once

#include <windows.h>

#include "mirrolan.h"
