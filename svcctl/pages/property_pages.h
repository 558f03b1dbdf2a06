// The control's four design-time property pages: COM property-page objects that host
// dialogs and edit the control late-bound, by member name.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

namespace dovrin::pages {

HRESULT CreateLogonAsPage(REFIID riid, void** ppv);
HRESULT CreateManagerAccessPage(REFIID riid, void** ppv);
HRESULT CreateServiceAccessPage(REFIID riid, void** ppv);
HRESULT CreateDependenciesPage(REFIID riid, void** ppv);

// How a page shows a failed write: a message box with the page's caption as title. Tests
// replace it, since a modal box would wait for a user.
using ErrorReporter = std::function<void(HWND page, const std::string& text, const std::string& caption)>;
void SetErrorReporter(ErrorReporter reporter);

// The joined descriptive texts of the pages.
std::string LogonAsDescription();
std::string ManagerAccessDescription();
std::string ServiceAccessDescription();
std::string DependenciesDescription();

}  // namespace dovrin::pages
