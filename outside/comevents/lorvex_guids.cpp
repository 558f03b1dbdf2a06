// The interface and class ids of Lorvex.dll's type library, for its clients.
#include <windows.h>

#include <initguid.h>

#include "lorvex.h"
