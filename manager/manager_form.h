// The manager's main window, MainForm, and the program's run.
#pragma once

#include <windows.h>

#include <string>

namespace vantrel::manager {

// The main window's public texts through which the setup window passes its fields to its
// save steps; they keep the last saved values until the program ends.
struct PublicFields {
    std::string strSMTPServer, strFromEmail, strUserName, strPassword;
    std::string strConsoleName, strConsolePort, strConsoleProtocol;
    bool bSecureConsole = false;
};
PublicFields& MainFormFields();

// The folder whose "exclusions.txt", "To.txt" and "syslogsend.exe" the windows use.
const std::string& ProgramsFolderOfForms();

// Creates MainForm over the programs' folder and runs the message loop until it closes.
// Returns the exit code.
int RunManager(HINSTANCE instance, const std::string& programs_folder);

// The window's caption, by which tests and users find it.
constexpr const wchar_t* kMainCaption = L"Vantrel Manager";

}  // namespace vantrel::manager
