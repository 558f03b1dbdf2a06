// Create functions of the library's classes, as the class factories call them.
#pragma once

#include <windows.h>

namespace lorvex {

HRESULT CreateEventSource(REFIID riid, void** ppv);
HRESULT CreateEventSourceConfiguration(REFIID riid, void** ppv);
HRESULT CreateEventLog(REFIID riid, void** ppv);
HRESULT CreateEventLogBackup(REFIID riid, void** ppv);
HRESULT CreateEventLogRecord(REFIID riid, void** ppv);
HRESULT CreateEventLogConfiguration(REFIID riid, void** ppv);

}  // namespace lorvex
