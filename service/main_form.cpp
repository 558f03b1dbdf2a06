#include "main_form.h"

#include <algorithm>
#include <cstdio>

#include "common/core/cipher.h"
#include "common/core/list_text.h"
#include "core/stop_wait.h"
#include "hollin.h"
#include "list_files.h"
#include "svcit.h"
#include "velmsendmail.h"
#include "platform/winapi/late_bound.h"
#include "platform/winapi/oleauto.h"
#include "quenloc_messages.h"
#include "record_adapter.h"
#include "settings_store.h"
#include "syslog_sender.h"
#include "text_rules.h"
#include "warning_log.h"

namespace quenloc {

std::string ToPath;

namespace {

const CLSID& kMirrolanClass = CLSID_Mirrolan;
const IID& kMirrolanInterface = IID__Mirrolan;
const IID& kMirrolanEvents = DIID___Mirrolan;
const IID& kMirrolanDrain = IID_IMirrolanDrain;
const IID& kSvcItEvents = DIID__ISvcItEvents;
const IID& kMailEvents = DIID___VelmSendmail;

constexpr DISPID kSendMessage = DISPID_VELMSENDMAIL_SENDMESSAGE;

DISPID MailDispid(MailProperty p) {
    switch (p) {
    case MailProperty::Body: return DISPID_VELMSENDMAIL_BODY;
    case MailProperty::Subject: return DISPID_VELMSENDMAIL_SUBJECT;
    case MailProperty::Password: return DISPID_VELMSENDMAIL_PASSWORD;
    case MailProperty::UserName: return DISPID_VELMSENDMAIL_USERNAME;
    case MailProperty::SMTPServer: return DISPID_VELMSENDMAIL_SMTPSERVER;
    case MailProperty::FromEmail: return DISPID_VELMSENDMAIL_FROMEMAIL;
    case MailProperty::ToEmail: return DISPID_VELMSENDMAIL_TOEMAIL;
    }
    return DISPID_UNKNOWN;
}

struct WatchedLog {
    const char* log_name;
    vantrel::common::SettingId setting;
    const char* started_text;
};
using vantrel::common::SettingId;
constexpr WatchedLog kLogs[6] = {
    {"Application", SettingId::MonitorAppLog, "Application Log Monitoring Started"},
    {"Security", SettingId::MonitorSecurityLog, "Security Log Monitoring Started"},
    {"System", SettingId::MonitorSystemLog, "System Log Monitoring Started"},
    {"Directory Service", SettingId::MonitorDSLog, "DS Log Monitoring Started"},
    {"DNS Server", SettingId::MonitorDNSLog, "DNS Log Monitoring Started"},
    {"File Replication Service", SettingId::MonitorFRSLog, "FRS Log Monitoring Started"},
};

ComPtr<IDispatch> CreateByProgId(const wchar_t* prog_id) {
    CLSID clsid;
    Check(::CLSIDFromProgID(prog_id, &clsid), "CLSIDFromProgID");
    ComPtr<IDispatch> object;
    Check(::CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch,
                             reinterpret_cast<void**>(object.GetAddressOf())),
          "CreateObject");
    return object;
}

template <class Statement>
void Statement_(trap::Frame& frame, Statement&& s) {
    frame.Do([&] { Translate(s); });
}

}  // namespace

void DoEvents() {
    const DWORD begin = ::GetTickCount();
    MSG msg;
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            ::PostQuitMessage(static_cast<int>(msg.wParam));
            return;
        }
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
        if (::GetTickCount() - begin >= kDoEventsSliceMs) return;
    }
}

MainForm::MainForm() = default;
MainForm::~MainForm() {
    for (auto& m : monitors_) m.Release();
    for (auto& m : stopping_) m.Release();
    mail_events_.Reset();
    svcit_events_.Reset();
}

void MainForm::Load() {
    mail_ = CreateByProgId(L"VelmSendMail.VelmSendmail");
    auto* mail_sink = new DispatchSink(kMailEvents);
    // Outcomes do not always come in the order the mails were handed over: the control
    // numbers them, when it can.
    if (FAILED(mail_->QueryInterface(velmsendmail::IID_IVelmSendmailNumbers,
                                     reinterpret_cast<void**>(mail_numbers_.GetAddressOf()))))
        mail_numbers_.Reset();
    mail_sink->On(DISPID_VELMSENDMAIL_ERROR, [this](DISPPARAMS* p) {
        mail_ledger_.Answered(MailNumber(&velmsendmail::IVelmSendmailNumbers::Answering));
        VelmSendmail1_Error(TextArgument(p, 0));
    });
    mail_sink->On(DISPID_VELMSENDMAIL_SENDCOMPLETE, [this](DISPPARAMS*) {
        mail_ledger_.Answered(MailNumber(&velmsendmail::IVelmSendmailNumbers::Answering));
    });
    HRESULT hr = mail_events_.Connect(mail_.Get(), kMailEvents, mail_sink);
    mail_sink->Release();
    Check(hr, "VelmSendmail events");

    svcit_ = CreateByProgId(L"SVCITLib.SvcIt");
    auto* svcit_sink = new DispatchSink(kSvcItEvents);
    svcit_sink->On(DISPID_SVCIT_START, [this](DISPPARAMS* p) { SvcIt1_Start(TextArgument(p, 0)); });
    svcit_sink->On(DISPID_SVCIT_STOP, [this](DISPPARAMS*) { SvcIt1_Stop(); });
    svcit_sink->On(DISPID_SVCIT_MESSAGE, [this](DISPPARAMS* p) { SvcIt1_Message(TextArgument(p, 0)); });
    // Binding the events starts the service dispatcher.
    hr = svcit_events_.Connect(svcit_.Get(), kSvcItEvents, svcit_sink);
    svcit_sink->Release();
    Check(hr, "SvcIt events");
    loaded_ = true;
}

void MainForm::SvcIt1_Start(const std::string&) {
    trap::Frame frame("MainForm", "Sub SvcIt1_Start");
    frame.OnError([](const trap::RunTimeError& e) {
        trap::IgnoreErrors([&] { vantrel::common::DebugLog("Error: " + std::to_string(e.number) + " - " + e.description); });
    });
    frame.Run([&] {
        Statement_(frame, [&] { LoadSettings(); });
        if (vantrel::common::DebugEnabled) {
            Statement_(frame, [] { vantrel::common::SendDebugSyslog("Debugging Started In SvcIt1_Start"); });
            Statement_(frame, [] { vantrel::common::SendDebugSyslog("Debug point 1 in SvcIt1_Start"); });
        }
        for (size_t log = 0; log < 6; ++log) {
            if (monitor_switch_[log] != "1") continue;
            if (log == 0) Statement_(frame, [] { vantrel::common::DebugLog("Before Creating Application Log Monitor"); });
            Statement_(frame, [&] { CreateMonitor(log); });
            Statement_(frame, [&] { Check(monitors_[log].object ? monitors_[log].object->StartMonitoring(
                                                 vantrel::Bstr(Wide(kLogs[log].log_name)).get())
                                                           : E_POINTER,
                                          "StartMonitoring"); });
            Statement_(frame, [&] { vantrel::common::DebugLog(kLogs[log].started_text); });
            if (log == 0) Statement_(frame, [] { vantrel::common::DebugLog("Debugging Started In SvcIt1_Start"); });
        }
        Statement_(frame, [] { vantrel::common::DebugLog("Exiting SvcIt1_Start"); });
    });
}

// A new monitor in the log's variable, its NewLogEntry bound to the handler; the object
// the variable held before is dropped.
void MainForm::CreateMonitor(size_t log) {
    ComPtr<IMirrolanMonitor> object;
    Check(::CoCreateInstance(kMirrolanClass, nullptr, CLSCTX_INPROC_SERVER, kMirrolanInterface,
                             reinterpret_cast<void**>(object.GetAddressOf())),
          "Mirrolan");
    monitors_[log].Release();
    monitors_[log].object = object;
    monitors_[log].log = log;
    auto* sink = new DispatchSink(kMirrolanEvents);
    sink->On(DISPID_MIRROLAN_NEWLOGENTRY, [this, log](DISPPARAMS* p) {
        if (!p || p->cArgs != 1) return;
        VARIANT& v = p->rgvarg[0];
        IDispatch* record = v.vt == VT_DISPATCH                          ? v.pdispVal
                            : v.vt == (VT_DISPATCH | VT_BYREF) && v.ppdispVal ? *v.ppdispVal
                                                                              : nullptr;
        NewLogEntry(log, record);
    });
    HRESULT hr = monitors_[log].events.Connect(object.Get(), kMirrolanEvents, sink);
    sink->Release();
    Check(hr, "Mirrolan events");
}

void MainForm::SvcIt1_Stop() {
    {
        trap::Frame frame("MainForm", "Sub SvcIt1_Stop");
        frame.Run([&] {
            for (auto& m : monitors_) Statement_(frame, [&] { StopMonitor(m); });
            if (vantrel::common::DebugEnabled)
                Statement_(frame, [] { vantrel::common::SendDebugSyslog("Debugging Stopped In SvcIt1_Stop"); });
            Statement_(frame, [&] { Unload(); });
        });
    }
    // A tail that left early still ends in a stopped service: one that stays pending for
    // ever watches nothing and cannot be started again.
    for (auto& m : monitors_) m.Release();
    Unload();
}

// Empties the monitor's variable. A monitor of ours stops following its log, having taken
// what it holds now, and goes on raising those entries (FinishEntries waits for them); any
// other monitor, or one whose stop fails, is released at once, and the failure goes to the
// tail of a frame of its own, so the rest of the stop goes on whatever the answer.
void MainForm::StopMonitor(Monitor& m) {
    if (!m.object) return;
    Monitor held = std::move(m);
    if (FAILED(held.object->QueryInterface(kMirrolanDrain, reinterpret_cast<void**>(held.drain.GetAddressOf()))) ||
        !held.drain) {
        held.Release();
        return;
    }
    const HRESULT hr = held.drain->StopMonitoring();
    if (SUCCEEDED(hr)) {
        stopping_.push_back(std::move(held));
        return;
    }
    held.Release();
    trap::Frame frame("MainForm", "Sub StopMonitor");
    frame.Run([&] { Statement_(frame, [&] { Check(hr, "StopMonitoring"); }); });
}

void MainForm::Unload() {
    if (!loaded_) return;
    Form_Unload();
    loaded_ = false;
    // Ends the modal display in Main once the handlers running now have returned.
    ::PostQuitMessage(0);
}

void MainForm::Form_Unload() {
    trap::Frame frame("MainForm", "Sub Form_Unload");
    frame.Run([&] { Statement_(frame, [] { vantrel::common::DebugLog("Unloading MainForm"); }); });
}

// No desktop to show a box on when the program has a console or a redirected output:
// the text goes there, so nothing waits for an answer nobody can give.
void MainForm::SvcIt1_Message(const std::string& text) {
    HANDLE err = ::GetStdHandle(STD_ERROR_HANDLE);
    DWORD written = 0;
    const std::string line = text + "\r\n";
    if (err && err != INVALID_HANDLE_VALUE &&
        ::WriteFile(err, line.data(), static_cast<DWORD>(line.size()), &written, nullptr))
        return;
    ::MessageBoxA(nullptr, text.c_str(), "Quenloc", MB_OK);
}

void MainForm::VelmSendmail1_Error(const std::string& text) {
    trap::IgnoreErrors([&] { vantrel::common::DebugLog("VelmSendMail1 Error: " + text); });
    // Without debug lines this warning is all that says mail is failing.
    warnings_.MailFailed(text);
}

void MainForm::LoadSettings() {
    ToPath = vantrel::common::ProgramsFolder() + "\\To.txt";
    auto read = [](SettingId id) {
        std::string value;
        vantrel::common::GetKeyValue(HKEY_LOCAL_MACHINE, vantrel::common::kSettingsKey,
                                     vantrel::common::SettingName(id), value);
        return value;
    };
    smtp_server_ = read(SettingId::SMTPServer);
    from_email_ = read(SettingId::FromEmail);
    for (size_t log = 0; log < 6; ++log) monitor_switch_[log] = read(kLogs[log].setting);
    filter_.info = read(SettingId::MonitorInfoEvents);
    filter_.warning = read(SettingId::MonitorWarningEvents);
    filter_.error = read(SettingId::MonitorErrorEvents);
    filter_.mode = read(SettingId::IncludeExclude);
    vantrel::common::LoadAddressesFromFile([this](const std::string& item) { list1_.push_back(item); }, vantrel::common::ProgramsFolder() + "\\EXCLUSIONS.TXT");
    // Before the warnings, so that debug lines go out whatever becomes of them.
    if (read(SettingId::Debug) == "1") vantrel::common::DebugEnabled = true;
    warnings_.WriteBestEffort(StartWarnings());
}

// The warnings of a start: list lines that cannot be evaluated (the administrator hears
// of them once here rather than never), and mail settings that cannot send.
std::vector<Warning> MainForm::StartWarnings() {
    std::vector<Warning> warnings;
    if (filter_.mode == "E" || filter_.mode == "I") {
        const std::string unusable =
            UnusableLinesWarning(UnusableListLines(list1_, PlatformTextRules()), filter_.mode == "I");
        if (!unusable.empty())
            warnings.push_back({filter_.mode == "I" ? QUENLOC_INCLUDE_LINES_UNUSABLE : QUENLOC_EXCLUDE_LINES_UNUSABLE,
                                unusable});
    }
    std::string user;
    std::string recipients = vantrel::common::GetAddressesFromFile(ToPath, user);
    if (!CheckSMTPSetup(recipients, smtp_server_, from_email_))
        warnings.push_back({QUENLOC_SMTP_INCOMPLETE,
                            "Your SMTP settings are not fully configured.  No email notifications will be sent until "
                            "these settings are fully configured."});
    return warnings;
}

// A warning in the Application log through the host control.
void MainForm::LogWarning(unsigned long event_id, const std::string& text) { LogWarningWithId(svcit_.Get(), text, event_id); }

bool MainForm::CheckSMTPSetup(const std::string& to, const std::string& smtp_server, const std::string& from_email) {
    if (to.empty()) return false;
    if (from_email.empty()) return false;
    return !smtp_server.empty();
}

void MainForm::NewLogEntry(size_t log, IDispatch* dispatch) {
    // The monitor and the record stay alive until this handler returns, even when a stop
    // that runs nested in the include walk releases the monitor.
    ComPtr<IMirrolanMonitor> keep = monitors_[log].object;
    ComPtr<IDispatch> hold(dispatch);
    const LogHandler& handler = kLogHandlers[log];
    trap::Frame frame("MainForm", std::string("Sub ") + handler.name);
    frame.Run([&] {
        ComPtr<IEventLogRecord> record;
        Statement_(frame, [&] {
            Check(dispatch ? dispatch->QueryInterface(IID_IEventLogRecord, reinterpret_cast<void**>(record.GetAddressOf()))
                           : E_POINTER,
                  "EventLogRecord");
        });
        if (!record) return;
        RecordAdapter view(record.Get());
        FilterHooks hooks;
        hooks.statement = [&](const std::function<void()>& s) { Statement_(frame, s); };
        hooks.debug = [](const std::string& text) { vantrel::common::DebugLog(text); };
        hooks.yield = [] { DoEvents(); };
        hooks.send = [&] { ShowEventDescription(view, handler.label); };
        hooks.text = PlatformTextRules();
        FilterEntry(handler, filter_, list1_, view, hooks);
    });
}

void MainForm::ShowEventDescription(RecordView& record, const std::string& label) {
    trap::Frame frame("MainForm", "Sub ShowEventDescription");
    ComPtr<IDispatch> mail = mail_;
    std::string subject;
    DeliveryHooks hooks;
    hooks.smtp_server = smtp_server_;
    hooks.from_email = from_email_;
    hooks.setting = [](const std::string& name) {
        std::string value;
        vantrel::common::GetKeyValue(HKEY_LOCAL_MACHINE, vantrel::common::kSettingsKey, name, value);
        return value;
    };
    hooks.recipients = [](std::string& user) { return vantrel::common::GetAddressesFromFile(ToPath, user); };
    hooks.decrypt = [](const std::string& stored) { return vantrel::common::RC4ED(stored, vantrel::common::PasswordKey); };
    hooks.mail_set = [&](MailProperty p, const std::string& value) {
        if (!mail) throw trap::RunTimeError(91, "Object variable or With block variable not set");
        PutText(mail.Get(), MailDispid(p), value);
        if (p == MailProperty::Subject) subject = value;
    };
    hooks.mail_send = [&] {
        if (!mail) throw trap::RunTimeError(91, "Object variable or With block variable not set");
        CallMethod(mail.Get(), kSendMessage);
        mail_ledger_.Handed(MailNumber(&velmsendmail::IVelmSendmailNumbers::LastHanded), subject);
    };
    hooks.no_mail = IsOwnMailWarning(record, label);
    hooks.start_sender = [](const std::string& argument) {
        vantrel::common::StartSyslogSender(vantrel::common::ProgramsFolder(), argument);
    };
    hooks.debug = [](const std::string& text) { vantrel::common::DebugLog(text); };
    frame.Run([&] { quenloc::ShowEventDescription(record, label, hooks); });
}

uint32_t MainForm::MailNumber(HRESULT (STDMETHODCALLTYPE velmsendmail::IVelmSendmailNumbers::*read)(ULONG*)) {
    ULONG number = 0;
    if (!mail_numbers_ || FAILED((mail_numbers_.Get()->*read)(&number))) return 0;
    return number;
}

// Our warnings go to the Application log as the one insertion string of their entry.
bool MainForm::IsOwnMailWarning(RecordView& record, const std::string& label) {
    if (label != "Application Log") return false;
    bool own = false;
    trap::IgnoreErrors([&] {
        const auto strings = record.Strings();
        own = strings && strings->size() == 1 && warnings_.WroteMailWarning(strings->front());
    });
    return own;
}

namespace {

// Lets the thread's messages through until done() or the bound. The host control's
// checkpoint moves meanwhile, since its timer's messages flow.
bool WaitLettingMessagesThrough(const std::function<bool()>& done, unsigned bound_ms) {
    const DWORD begin = ::GetTickCount();
    return WaitBounded(
        done, [begin] { return static_cast<unsigned>(::GetTickCount() - begin); },
        [](unsigned most) {
            ::MsgWaitForMultipleObjects(0, nullptr, FALSE, most, QS_ALLINPUT);
            DoEvents();
        },
        bound_ms);
}

}  // namespace

// What is left at the end is said once: a debug line and a warning in the Application log.
void MainForm::NameOnce(unsigned long event_id, const std::string& text) {
    trap::Frame frame("MainForm", "Sub NameOnce");
    frame.Run([&] {
        Statement_(frame, [&] { vantrel::common::DebugLog(text); });
        Statement_(frame, [&] {
            if (svcit_) LogWarning(event_id, text);
        });
    });
}

void MainForm::FinishEntries() {
    trap::Frame frame("MainForm", "Sub FinishEntries");
    frame.Run([&] {
        std::vector<WaitingEntries> left;
        auto look = [&] {
            left.clear();
            for (auto& m : stopping_) {
                WaitingEntries w;
                w.log = kLogs[m.log].log_name;
                if (m.drain && SUCCEEDED(m.drain->Waiting(&w.count, &w.first, &w.last)) && w.count > 0)
                    left.push_back(w);
            }
            return left.empty();
        };
        std::string shorter;
        vantrel::common::GetKeyValue(HKEY_LOCAL_MACHINE, vantrel::common::kSettingsKey,
                                     vantrel::common::SettingName(SettingId::EntriesWaitAtEndMs), shorter);
        WaitLettingMessagesThrough(look, EntriesWaitBound(shorter));
        // Released before anything is named: no entry is raised after the count.
        for (auto& m : stopping_) m.Release();
        stopping_.clear();
        const std::string text = UnnotifiedText(left);
        if (!text.empty()) NameOnce(QUENLOC_ENTRIES_UNNOTIFIED, text);
    });
}

void MainForm::FinishMail() {
    trap::Frame frame("MainForm", "Sub FinishMail");
    frame.Run([&] {
        WaitLettingMessagesThrough([&] { return mail_ledger_.empty(); }, kMailWaitAtEndMs);
        const std::string unsent = mail_ledger_.UnsentText();
        if (!unsent.empty()) NameOnce(QUENLOC_MAILS_UNSENT, unsent);
    });
}

void MainForm::StartIt() {
    trap::Frame frame("MainForm", "Sub StartIt");
    frame.Run([&] {
        for (size_t log = 0; log < 6; ++log) {
            if (monitor_switch_[log] != "1") continue;
            Statement_(frame, [&] { CreateMonitor(log); });
            Statement_(frame, [&] {
                Check(monitors_[log].object->StartMonitoring(vantrel::Bstr(Wide(kLogs[log].log_name)).get()),
                      "StartMonitoring");
            });
        }
    });
}

void MainForm::StopIt() {
    trap::Frame frame("MainForm", "Sub StopIt");
    frame.Run([&] {
        for (auto& m : monitors_) Statement_(frame, [&] { StopMonitor(m); });
    });
}

}  // namespace quenloc
