// The service's hidden main form: the host control, the mail control, the list, the
// settings fields and the six log monitors, with the handlers of their events.
#pragma once

#include <windows.h>

#include <array>
#include <memory>
#include <string>
#include <vector>

#include "com_support.h"
#include "core/entry_filter.h"
#include "core/mail_ledger.h"
#include "core/notification.h"
#include "outside/mail/message_numbers.h"
#include "mirrolan.h"
#include "warnings.h"

namespace quenloc {

// The monitor interface: StartMonitoring is the first method after the dispatch methods,
// and nothing else of it is used.
using IMirrolanMonitor = ::_Mirrolan;

// Our own monitor's stop, found with QueryInterface: the monitor takes what its log holds
// and lets go of the log; the entries it took are still raised, and Waiting says how many
// are left. A monitor without it is simply released at a stop.
using IMirrolanDrain = ::IMirrolanDrain;

class MainForm {
public:
    MainForm();
    ~MainForm();
    MainForm(const MainForm&) = delete;
    MainForm& operator=(const MainForm&) = delete;

    // Creates the controls and binds their events; errors go to the caller's tail.
    void Load();
    bool loaded() const { return loaded_; }

    // Event handlers.
    void SvcIt1_Start(const std::string& arguments);
    void SvcIt1_Stop();
    void SvcIt1_Message(const std::string& text);
    void VelmSendmail1_Error(const std::string& text);
    void NewLogEntry(size_t log, IDispatch* record);

    // Once the form has unloaded and every handler has returned: lets the monitors raise
    // the entries they took before the stop, then the mail control finish the mail it
    // holds, each within a bound, and names what is left.
    void FinishEntries();
    void FinishMail();

    // Not called by the program: the monitors without settings reload or debug texts.
    void StartIt();
    void StopIt();

private:
    struct Monitor {
        ComPtr<IMirrolanMonitor> object;
        ComPtr<IMirrolanDrain> drain;  // once it drains after a stop
        Connection events;
        size_t log = 0;
        void Release() {
            events.Reset();
            drain.Reset();
            object.Reset();
        }
    };

    void LoadSettings();
    void LogWarning(unsigned long event_id, const std::string& text);
    std::vector<Warning> StartWarnings();
    static bool CheckSMTPSetup(const std::string& to, const std::string& smtp_server, const std::string& from_email);
    void CreateMonitor(size_t log);
    void StopMonitor(Monitor& m);
    void NameOnce(unsigned long event_id, const std::string& text);
    void ShowEventDescription(RecordView& record, const std::string& label);
    bool IsOwnMailWarning(RecordView& record, const std::string& label);
    uint32_t MailNumber(HRESULT (STDMETHODCALLTYPE velmsendmail::IVelmSendmailNumbers::*read)(ULONG*));
    void Unload();
    void Form_Unload();

    bool loaded_ = false;
    ComPtr<IDispatch> svcit_;
    ComPtr<IDispatch> mail_;
    ComPtr<velmsendmail::IVelmSendmailNumbers> mail_numbers_;  // empty: a control without them
    Connection svcit_events_;
    Connection mail_events_;
    std::array<Monitor, 6> monitors_;
    // Monitors let go of at a stop: out of their variables, still raising what they took.
    std::vector<Monitor> stopping_;
    MailLedger mail_ledger_;
    Warnings warnings_{[this](unsigned long event_id, const std::string& text) { LogWarning(event_id, text); }};

    // List1 and the settings fields.
    std::vector<std::string> list1_;
    std::string smtp_server_, from_email_;
    std::array<std::string, 6> monitor_switch_;
    FilterSettings filter_;
};

// Lets pending window messages and events through once, for kDoEventsSliceMs at most: a
// monitor that raises its entries on a timer always has one more due by the time a handler
// returns, so "until none is left" could be never, and the caller (a stop's bounded wait,
// an include walk) must get its turn back. A quit request met on the way is posted again
// for the program's own loop.
constexpr DWORD kDoEventsSliceMs = 250;
void DoEvents();

extern std::string ToPath;

}  // namespace quenloc
