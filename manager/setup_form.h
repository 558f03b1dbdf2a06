// The notification setup window, frmSMTPSetup, shown modally over its owner.
#pragma once

#include <windows.h>

#include <string>

namespace vantrel::manager {

void ShowSetup(HINSTANCE instance, HWND owner);

// A modal input box: prompt and title; false when cancelled. The answer is ANSI text.
bool InputBox(HINSTANCE instance, HWND owner, const char* prompt, const char* title, std::string& answer);

}  // namespace vantrel::manager
