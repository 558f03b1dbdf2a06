#include "send_job.h"

#include <winsock2.h>
#include <windows.h>

#include <atomic>

#include "core/mail_text.h"
#include "core/retry_plan.h"
#include "core/settings_table.h"
#include "platform/winapi/handles.h"
#include "socket_channel.h"

namespace velmsendmail {

namespace {

std::string Utf8(const std::wstring& w) {
    if (w.empty()) return {};
    int n = ::WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), nullptr, 0, nullptr, nullptr);
    std::string s(static_cast<size_t>(n), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), s.data(), n, nullptr, nullptr);
    return s;
}

std::wstring Wide(const std::string& s) {
    if (s.empty()) return {};
    int n = ::MultiByteToWideChar(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), nullptr, 0);
    std::wstring w(static_cast<size_t>(n), L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), w.data(), n);
    return w;
}

std::string HostName() {
    char name[256];
    DWORD size = sizeof(name);
    if (::GetComputerNameExA(ComputerNameDnsFullyQualified, name, &size) && size) return std::string(name, size);
    size = sizeof(name);
    if (::GetComputerNameA(name, &size) && size) return std::string(name, size);
    return "localhost";
}

std::string DateNow() {
    SYSTEMTIME local;
    ::GetLocalTime(&local);
    TIME_ZONE_INFORMATION tz;
    DWORD zone = ::GetTimeZoneInformation(&tz);
    long bias = tz.Bias;
    if (zone == TIME_ZONE_ID_DAYLIGHT) bias += tz.DaylightBias;
    else if (zone == TIME_ZONE_ID_STANDARD) bias += tz.StandardBias;
    DateTime t{local.wYear, local.wMonth, local.wDay, local.wDayOfWeek, local.wHour, local.wMinute, local.wSecond,
               static_cast<int>(-bias)};
    return FormatDate(t);
}

// A time in seconds from the control's own key (HKLM\SOFTWARE\VelmSendmail), between
// lowest and 1 hour, else the default.
unsigned Seconds(vantrel::common::SettingId id, unsigned lowest) {
    using namespace vantrel::common;
    DWORD value = 0, size = sizeof(value), type = 0;
    vantrel::RegKey key;
    bool read = ::RegOpenKeyExW(HKEY_LOCAL_MACHINE, WideSettingText(kMailControlKey).c_str(), 0, KEY_QUERY_VALUE,
                                key.put()) == ERROR_SUCCESS &&
                ::RegQueryValueExW(key.get(), WideSettingText(SettingName(id)).c_str(), nullptr, &type,
                                   reinterpret_cast<BYTE*>(&value), &size) == ERROR_SUCCESS;
    if (!read || type != REG_DWORD || value < lowest || value > 3600) value = FallbackNumber(id);
    return value;
}

unsigned LimitMs(vantrel::common::SettingId id) { return Seconds(id, 1) * 1000; }

struct Winsock {
    bool ok;
    Winsock() { WSADATA d; ok = ::WSAStartup(MAKEWORD(2, 2), &d) == 0; }
    ~Winsock() { if (ok) ::WSACleanup(); }
};

SessionResult Refused(std::string why) { return SessionResult{std::move(why), {}}; }

std::string Run(const SendJob& job, Outcome& flags) {
    bool& passing = flags.passing;
    if (job.server.empty()) return "No SMTP server is set";
    auto server = ParseServer(Utf8(job.server));
    if (!server) return "The SMTP server \"" + Utf8(job.server) + "\" is not a server name with an optional :port";
    std::string from = Utf8(job.from);
    if (from.empty()) return "No sender address is set";
    if (!IsValidAddress(from)) return "The sender address \"" + from + "\" is not a valid mail address";
    // An invalid address is left out and named in the outcome; the others still get the mail.
    Recipients recipients = SortRecipients(Utf8(job.to));
    if (recipients.valid.empty() && recipients.invalid.empty()) return "No recipient address is set";
    if (recipients.valid.empty())
        return OutcomeText(Refused("No valid recipient address is set"), recipients.invalid);

    static std::atomic<unsigned> counter{0};
    FILETIME now;
    ::GetSystemTimeAsFileTime(&now);
    uint64_t stamp = (static_cast<uint64_t>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
    uint64_t unique = (static_cast<uint64_t>(::GetCurrentProcessId()) << 32) | ++counter;
    std::string host = HostName();
    MailFields fields{from, recipients.valid, Utf8(job.subject), Utf8(job.body), DateNow(),
                      MakeMessageId(stamp, unique, from, host)};

    Winsock winsock;
    if (!winsock.ok) {
        passing = true;
        return "The network is not available";
    }
    SocketChannel channel;
    // A server that answers slowly, or a byte at a time, holds the mails behind this one
    // no longer than the session limit.
    channel.SetLimits(LimitMs(vantrel::common::SettingId::ReplyTimeoutSeconds),
                      LimitMs(vantrel::common::SettingId::SessionTimeoutSeconds));
    std::string error;
    // No connection may be a server restarting or a network down for a while.
    if (!channel.Connect(server->host, server->port, error)) {
        passing = true;
        return OutcomeText(Refused(error), recipients.invalid);
    }
    Envelope e{host, from, recipients.valid, Utf8(job.user), Utf8(job.password), ComposeMessage(fields)};
    SessionResult result = RunSession(channel, e);
    passing = result.passing;
    flags.unanswered_end = result.unanswered_end;
    return OutcomeText(result, recipients.invalid);
}

}  // namespace

Outcome Deliver(const SendJob& job) {
    Outcome outcome;
    try {
        outcome.text = Wide(Run(job, outcome));
    } catch (const std::exception& e) {
        outcome = Outcome{L"The message was not sent: " + Wide(e.what()), false};
    }
    return outcome;
}

unsigned RetryWindowSeconds() { return Seconds(vantrel::common::SettingId::RetryWindowSeconds, 0); }

std::wstring GiveUpMessage(const std::wstring& last_error, unsigned tries, unsigned window_seconds) {
    return Wide(GiveUpText(Utf8(last_error), tries, window_seconds));
}

std::wstring UnansweredEndMessage(const std::wstring& last_error, unsigned tries) {
    return Wide(UnansweredEndText(Utf8(last_error), tries));
}

std::wstring QueueFullMessage() { return Wide(QueueFullText()); }

}  // namespace velmsendmail
