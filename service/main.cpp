// Quenloc.exe, the monitoring service. Main loads the hidden main form and keeps the
// program alive, pumping its thread's messages, until the form is unloaded; then the
// entries the monitors took before the stop and the mail still queued get their chance
// before the form, and with it the host control, goes.
#include <windows.h>

#include <objbase.h>

#include "hollin.h"
#include "main_form.h"
#include "shared_frames.h"

namespace {

struct Apartment {
    HRESULT hr = ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    ~Apartment() {
        if (SUCCEEDED(hr)) ::CoUninitialize();
    }
};

}  // namespace

int main() {
    Apartment apartment;
    trap::HollinLoadSettings();
    quenloc::InstallSharedRoutineFrames();
    {
        quenloc::MainForm form;
        trap::Frame frame("modVantrel", "Sub Main");
        frame.Run([&] {
            frame.Do([&] { quenloc::Translate([&] { form.Load(); }); });
            if (!form.loaded()) return;
            MSG msg;
            while (::GetMessageW(&msg, nullptr, 0, 0) > 0) {
                ::TranslateMessage(&msg);
                ::DispatchMessageW(&msg);
            }
            frame.Do([&] { quenloc::Translate([&] { form.FinishEntries(); }); });
            frame.Do([&] { quenloc::Translate([&] { form.FinishMail(); }); });
        });
    }
    return 0;
}
