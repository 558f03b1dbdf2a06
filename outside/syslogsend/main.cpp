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
#include "spool_file.h"
#include "syslog_sender.h"
#include "transport.h"

namespace {

using namespace syslogsend;

constexpr DWORD kFirstRetryMs = 1000;
constexpr DWORD kLongestRetryMs = 60000;
// The sender that stays behind gives up after this long without a delivery; the spool
// then waits for the next sender.
constexpr ULONGLONG kRetryWindowMs = 60ull * 60 * 1000;
// Messages per connection while the spool is delivered.
constexpr size_t kBatch = 100;
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

// The one sender that holds the retry lock delivers the spool, oldest first, the notice of
// dropped messages ahead, with growing pauses while the receiver stays away. It reads the
// destination again for every try, so that a corrected setting takes effect.
ExitStatus DeliverSpool(SpoolFile& spool, DWORD delay) {
    ULONGLONG last_delivery = ::GetTickCount64();
    for (;;) {
        if (delay) ::Sleep(delay);
        Spool pending;
        {
            SpoolFile::Lock lock(spool);
            if (!lock.held()) break;
            pending = spool.Read();
            if (pending.messages.empty() && !pending.dropped) {
                spool.Write(pending);
                spool.ReleaseRetry();
                return kSent;
            }
        }
        std::vector<std::string> batch;
        if (pending.dropped) batch.push_back(Compose(kNoticePriority, DropNoticeText(pending.dropped)));
        uint64_t last = 0;
        for (size_t i = 0; i < pending.messages.size() && i < kBatch; ++i) {
            batch.push_back(pending.messages[i].message);
            last = pending.messages[i].sequence;
        }
        ExitStatus status = kSent;
        auto destination = ReadDestination(status);
        if (destination && Deliver(*destination, batch) == kSent) {
            SpoolFile::Lock lock(spool);
            Spool now = spool.Read();
            RemoveDelivered(now, last, pending.dropped);
            // A spool that cannot be shortened would be sent again and again.
            if (!lock.held() || !spool.Write(now)) break;
            last_delivery = ::GetTickCount64();
            delay = 0;
            continue;
        }
        if (::GetTickCount64() - last_delivery > kRetryWindowMs) break;
        delay = delay ? std::min(delay * 2, kLongestRetryMs) : kFirstRetryMs;
    }
    spool.ReleaseRetry();
    return kSpooled;
}

ExitStatus SendTcp(const Destination& destination, const std::string& message) {
    SpoolFile spool(vantrel::common::ProgramsFolder());
    if (!spool.usable()) return Deliver(destination, {message});
    bool queued = false;
    {
        SpoolFile::Lock lock(spool);
        if (!lock.held()) return Deliver(destination, {message});
        const bool other_retrier = !spool.TakeRetry();
        if (other_retrier || !spool.Empty()) {
            // Behind what waits already, so that order is kept.
            queued = spool.Append(message);
            if (queued && other_retrier) return kSpooled;
        }
        if (!queued) spool.ReleaseRetry();
    }
    if (queued) return DeliverSpool(spool, 0);
    const ExitStatus status = Deliver(destination, {message});
    if (!Transient(status)) return status;
    {
        SpoolFile::Lock lock(spool);
        if (!lock.held() || !spool.Append(message)) return status;
        Say(std::string(StatusText(status)) + "; kept in the spool until the server answers");
        queued = spool.TakeRetry();
    }
    return queued ? DeliverSpool(spool, kFirstRetryMs) : kSpooled;
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
    if (status != kSent && !said) Say(StatusText(status));
    return status;
}
