// Printing the error dialog's view. The spooler and GDI calls go through one table, so
// that a test can stand in for a printer where the platform has none (Wine has none).
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace trap {

struct PrinterCalls {
    BOOL(WINAPI* GetDefaultPrinterA)(LPSTR, LPDWORD);
    HDC(WINAPI* CreateDCA)(LPCSTR, LPCSTR, LPCSTR, const DEVMODEA*);
    int(WINAPI* StartDocA)(HDC, const DOCINFOA*);
    int(WINAPI* StartPage)(HDC);
    LONG(WINAPI* TabbedTextOutA)(HDC, int, int, LPCSTR, int, int, const INT*, int);
    int(WINAPI* EndPage)(HDC);
    int(WINAPI* EndDoc)(HDC);
    BOOL(WINAPI* DeleteDC)(HDC);
};

// The calls in use: the system's, unless a test put others in their place.
PrinterCalls& Printer();

// Prints the lines to the default printer, a page after another; with no default
// printer nothing happens.
void PrintToDefaultPrinter(const std::vector<std::string>& lines);

}  // namespace trap
