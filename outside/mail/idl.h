// The generated interface header, included after windows.h: the control's method
// SendMessage must not turn into the window function's A/W name.
#pragma once

#include <windows.h>
#undef SendMessage

#include "velmsendmail.h"
