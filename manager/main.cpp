// Tallisk.exe, the manager program.
#include <windows.h>

#include <objbase.h>

#include "manager_form.h"
#include "syslog_sender.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    ::CoInitialize(nullptr);
    int code = vantrel::manager::RunManager(instance, vantrel::common::ProgramsFolder());
    ::CoUninitialize();
    return code;
}
