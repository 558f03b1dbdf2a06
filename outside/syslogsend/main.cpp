// syslogsend.exe "<PRI>text": sends one syslog message to the server that the settings
// name, over UDP or TCP, and exits with a status that says what failed. Over TCP a message
// that cannot be delivered waits in the spool beside the program, behind what waits there
// already, and one sender at a time stays behind to deliver the spool in order. A program
// of the windows subsystem (no console host to start); run from a console, it says there
// what failed.
#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

#include "core/spool.h"
#include "core/syslog_message.h"
#include "core/syslog_text.h"
#include "settings_store.h"
#include "lost_message.h"
#include "sender_events.h"
#include "spool_file.h"
#include "syslog_sender.h"
#include "syslogsend_messages.h"
#include "transport.h"

namespace {

using namespace syslogsend;

constexpr DWORD kFirstRetryMs = 1000;
constexpr DWORD kLongestRetryMs = 60000;
// The sender that stays behind gives up after this long without a delivery; the spool
// then waits for the next sender.
constexpr ULONGLONG kRetryWindowMs = 60ull * 60 * 1000;
// How long a sender waits for a spool that another program holds before it does without.
constexpr ULONGLONG kHeldSpoolWaitMs = 30000;
constexpr DWORD kHeldSpoolPollMs = 250;
// user.warning: the notice of dropped messages.
constexpr int kNoticePriority = 1 * 8 + 4;

bool said = false;

void Say(const std::string& text) {
    said = true;
    // Wine gives a program of the windows subsystem its parent's console already.
    static bool attached = ::AttachConsole(ATTACH_PARENT_PROCESS) || ::GetLastError() == ERROR_ACCESS_DENIED;
    if (!attached) return;
    vantrel::FileHandle out(::CreateFileA("CONOUT$", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                          OPEN_EXISTING, 0, nullptr));
    const std::string line = "syslogsend: " + text + "\r\n";
    DWORD written = 0;
    if (out) ::WriteFile(out.get(), line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
}

std::string Setting(vantrel::common::SettingId id) {
    std::string value;
    vantrel::common::GetKeyValue(HKEY_LOCAL_MACHINE, vantrel::common::kSettingsKey, vantrel::common::SettingName(id),
                                 value);
    return value;
}

std::optional<Destination> ReadDestination(ExitStatus& status) {
    using vantrel::common::SettingId;
    return ParseDestination(Setting(SettingId::SyslogConsoleName), Setting(SettingId::SyslogConsolePort),
                            Setting(SettingId::SyslogProtocol), status);
}

std::string Compose(int priority, const std::string& text) {
    char name[MAX_COMPUTERNAME_LENGTH + 1];
    DWORD size = sizeof(name);
    const std::string host = ::GetComputerNameA(name, &size) ? std::string(name, size) : std::string();
    SYSTEMTIME now;
    ::GetLocalTime(&now);
    return ComposeMessage(priority, LocalTime{now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond}, host,
                          text);
}

std::string SystemText(DWORD error) {
    char* text = nullptr;
    const DWORD n = ::FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                         FORMAT_MESSAGE_IGNORE_INSERTS,
                                     nullptr, error, 0, reinterpret_cast<char*>(&text), 0, nullptr);
    vantrel::LocalMemory owned(text);
    std::string s = n ? std::string(text, n) : std::string();
    while (!s.empty() && (s.back() == '\n' || s.back() == '\r' || s.back() == ' ' || s.back() == '.')) s.pop_back();
    return "error " + std::to_string(error) + (s.empty() ? "" : ": " + s);
}

// The installer's request that senders waiting for their receiver end.
class EndRequest {
public:
    EndRequest() : event_(GlobalEvent(kEndRequestEvent)) {}
    HANDLE handle() const { return event_.get(); }
    // Waits up to `ms` (0: only looks); true once the request is made.
    bool Wait(DWORD ms) const {
        if (event_) return ::WaitForSingleObject(event_.get(), ms) == WAIT_OBJECT_0;
        ::Sleep(ms);
        return false;
    }

private:
    vantrel::Handle event_;
};

// The one sender that holds the retry lock delivers the spool, oldest first, the notice of
// dropped messages ahead, with growing pauses while the receiver stays away. It reads the
// destination again for every try, so that a corrected setting takes effect. What it
// delivered leaves the file before anything more goes: while the file refuses that, it
// keeps it in mind and tries again.
ExitStatus DeliverSpool(SpoolFile& spool, DWORD delay) {
    EndRequest end;
    ULONGLONG last_progress = ::GetTickCount64();
    std::optional<DeliveredMark> unsaved;
    size_t unsaved_count = 0;
    for (;;) {
        if (end.Wait(delay)) {
            if (unsaved) {
                SpoolFile::Lock lock(spool, kHeldSpoolWaitMs / 6);
                if (lock.held() && spool.Save(*unsaved)) unsaved.reset();
            }
            break;
        }
        if (::GetTickCount64() - last_progress > kRetryWindowMs) break;
        delay = delay ? std::min(delay * 2, kLongestRetryMs) : kFirstRetryMs;
        Spool pending;
        {
            SpoolFile::Lock lock(spool, kLockWaitMs, end.handle());
            if (!lock.held()) continue;
            if (unsaved) {
                if (!spool.Save(*unsaved)) continue;
                unsaved.reset();
                last_progress = ::GetTickCount64();
            }
            unsigned long error = 0;
            std::optional<Spool> read = spool.Read(error);
            // Held by another program: try again later, and never take it for empty.
            if (!read) continue;
            pending = std::move(*read);
            if (pending.messages.empty() && !pending.dropped && !pending.damaged) {
                // A file that cannot be removed holds only what its marks took out.
                spool.Write(pending);
                spool.ReleaseRetry();
                return kSent;
            }
        }
        std::vector<std::string> batch;
        if (pending.dropped || pending.damaged)
            batch.push_back(Compose(kNoticePriority, DropNoticeText(pending.dropped, pending.damaged)));
        const size_t count = std::min(pending.messages.size(), kBatch);
        for (size_t i = 0; i < count; ++i) batch.push_back(pending.messages[i].message);
        ExitStatus status = kSent;
        auto destination = ReadDestination(status);
        if (!destination || Deliver(*destination, batch) != kSent) continue;
        last_progress = ::GetTickCount64();
        delay = 0;
        const DeliveredMark mark = MarkDelivery(pending, count);
        SpoolFile::Lock lock(spool, kLockWaitMs, end.handle());
        if (!lock.held() || !spool.Save(mark)) {
            unsaved = mark;
            unsaved_count = count;
            delay = kFirstRetryMs;
        }
    }
    if (unsaved)
        WriteWarning(SYSLOGSEND_DELIVERED_UNMARKED,
                     std::to_string(unsaved_count) + " syslog messages were delivered, but " + spool.path() +
                         " could not be changed to take them out (another program holds it): they may be "
                         "delivered again.");
    spool.ReleaseRetry();
    return kSpooled;
}

// Puts the message in the spool, waiting a bounded time for a file that another program
// holds. On success `retrier` says whether this process now delivers the spool; on failure
// `why` says what kept it out.
bool Keep(SpoolFile& spool, const std::string& message, bool& retrier, std::string& why) {
    retrier = false;
    if (!spool.usable()) {
        why = "the spool's locks could not be made";
        return false;
    }
    const ULONGLONG start = ::GetTickCount64();
    for (;;) {
        unsigned long error = 0;
        {
            SpoolFile::Lock lock(spool);
            if (!lock.held()) {
                why = "another sender kept " + spool.path() + " locked";
                return false;
            }
            error = spool.Append(message);
            if (!error) {
                retrier = spool.TakeRetry();
                return true;
            }
        }
        if (!SpoolFile::Passing(error) || ::GetTickCount64() - start > kHeldSpoolWaitMs) {
            why = spool.path() + " could not be written, " + SystemText(error);
            return false;
        }
        ::Sleep(kHeldSpoolPollMs);
    }
}

ExitStatus SendTcp(const Destination& destination, const std::string& message) {
    SpoolFile spool(vantrel::common::ProgramsFolder());
    if (spool.usable()) {
        bool queued = false, other_retrier = false;
        {
            SpoolFile::Lock lock(spool);
            if (lock.held()) {
                other_retrier = !spool.TakeRetry();
                // Behind what waits already, so that order is kept; where the spool refuses
                // it, the message goes ahead of it rather than nowhere.
                if (other_retrier || !spool.Empty()) queued = spool.Append(message) == 0;
                if (!queued) spool.ReleaseRetry();
            }
        }
        if (queued) return other_retrier ? kSpooled : DeliverSpool(spool, 0);
    }
    const ExitStatus status = Deliver(destination, {message});
    if (!Transient(status)) return status;
    bool retrier = false;
    std::string why;
    if (!Keep(spool, message, retrier, why)) {
        const std::string failure = "not delivered to " + destination.host + ":" + std::to_string(destination.port) +
                                    ", " + StatusText(status) + "; not kept: " + why;
        ReportLost(message, failure, Setting(vantrel::common::SettingId::Debug) == "1");
        Say("lost: " + failure);
        return status;
    }
    Say(std::string(StatusText(status)) + "; kept in the spool until the server answers");
    return retrier ? DeliverSpool(spool, kFirstRetryMs) : kSpooled;
}

ExitStatus Run() {
    // The callers pass ANSI text; split the command line ourselves so that no byte of it
    // goes through another code page.
    auto args = vantrel::common::SplitCommandLine(::GetCommandLineA());
    if (args.size() != 2) return kBadArgument;
    auto argument = ParseArgument(args[1]);
    if (!argument) return kBadArgument;
    ExitStatus status = kSent;
    auto destination = ReadDestination(status);
    if (!destination) return status;
    const std::string message = Compose(argument->priority, argument->text);
    if (destination->udp) return Deliver(*destination, {message});
    return SendTcp(*destination, message);
}

}  // namespace

int main() {
    const ExitStatus status = Run();
    ReportLostSinceWarning();
    if (status != kSent && !said) Say(StatusText(status));
    return status;
}
