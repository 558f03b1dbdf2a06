// syslogsend.exe "<PRI>text": sends one syslog message to the server that the settings
// name, over UDP or TCP, and exits with a status that says what failed. A program of the
// windows subsystem (no console host to start); run from a console, it says there what
// failed.
#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>

#include <string>
#include <vector>

#include "core/syslog_message.h"
#include "core/syslog_text.h"
#include "platform/winapi/handles.h"
#include "settings_store.h"

namespace {

using namespace syslogsend;

// An absent server must never keep the sender waiting long.
constexpr int kConnectTimeoutMs = 5000;
constexpr int kSendTimeoutMs = 5000;

class Socket {
public:
    explicit Socket(SOCKET s) : s_(s) {}
    Socket(const Socket&) = delete;
    Socket& operator=(const Socket&) = delete;
    ~Socket() { if (s_ != INVALID_SOCKET) ::closesocket(s_); }
    SOCKET get() const { return s_; }
    explicit operator bool() const { return s_ != INVALID_SOCKET; }

private:
    SOCKET s_;
};

struct WinsockSession {
    bool ok;
    WinsockSession() { WSADATA d; ok = ::WSAStartup(MAKEWORD(2, 2), &d) == 0; }
    ~WinsockSession() { if (ok) ::WSACleanup(); }
};

struct AddressList {
    addrinfo* head = nullptr;
    ~AddressList() { if (head) ::freeaddrinfo(head); }
};

void Say(const std::string& text) {
    // Wine gives a program of the windows subsystem its parent's console already.
    if (!::AttachConsole(ATTACH_PARENT_PROCESS) && ::GetLastError() != ERROR_ACCESS_DENIED) return;
    vantrel::FileHandle out(::CreateFileA("CONOUT$", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                          OPEN_EXISTING, 0, nullptr));
    const std::string line = "syslogsend: " + text + "\r\n";
    DWORD written = 0;
    if (out) ::WriteFile(out.get(), line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
}

std::string Setting(const char* name) {
    std::string value;
    vantrel::common::GetKeyValue(HKEY_LOCAL_MACHINE, vantrel::common::kSettingsKey, name, value);
    return value;
}

std::string HostName() {
    char name[MAX_COMPUTERNAME_LENGTH + 1];
    DWORD size = sizeof(name);
    return ::GetComputerNameA(name, &size) ? std::string(name, size) : std::string();
}

bool ConnectWithTimeout(SOCKET s, const addrinfo* a) {
    u_long nonblocking = 1;
    ::ioctlsocket(s, FIONBIO, &nonblocking);
    if (::connect(s, a->ai_addr, static_cast<int>(a->ai_addrlen)) != 0 && ::WSAGetLastError() != WSAEWOULDBLOCK)
        return false;
    fd_set writable, failed;
    FD_ZERO(&writable);
    FD_ZERO(&failed);
    FD_SET(s, &writable);
    FD_SET(s, &failed);
    timeval tv{kConnectTimeoutMs / 1000, (kConnectTimeoutMs % 1000) * 1000};
    if (::select(0, nullptr, &writable, &failed, &tv) != 1 || !FD_ISSET(s, &writable)) return false;
    int error = 0;
    int len = sizeof(error);
    ::getsockopt(s, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &len);
    if (error) return false;
    nonblocking = 0;
    ::ioctlsocket(s, FIONBIO, &nonblocking);
    return true;
}

bool SendAll(SOCKET s, const std::string& data) {
    size_t done = 0;
    while (done < data.size()) {
        int n = ::send(s, data.data() + done, static_cast<int>(data.size() - done), 0);
        if (n <= 0) return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

int Send(const Destination& d, const std::string& message) {
    WinsockSession winsock;
    if (!winsock.ok) return kNetworkDown;
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = d.udp ? SOCK_DGRAM : SOCK_STREAM;
    hints.ai_protocol = d.udp ? IPPROTO_UDP : IPPROTO_TCP;
    AddressList addresses;
    if (::getaddrinfo(d.host.c_str(), std::to_string(d.port).c_str(), &hints, &addresses.head) != 0 ||
        !addresses.head)
        return kNameNotResolved;

    if (d.udp) {
        const addrinfo* a = addresses.head;
        Socket s(::socket(a->ai_family, a->ai_socktype, a->ai_protocol));
        if (!s) return kSendFailed;
        std::string datagram = message.substr(0, kMaxDatagram);
        int n = ::sendto(s.get(), datagram.data(), static_cast<int>(datagram.size()), 0, a->ai_addr,
                         static_cast<int>(a->ai_addrlen));
        return n == static_cast<int>(datagram.size()) ? kSent : kSendFailed;
    }

    for (const addrinfo* a = addresses.head; a; a = a->ai_next) {
        Socket s(::socket(a->ai_family, a->ai_socktype, a->ai_protocol));
        if (!s || !ConnectWithTimeout(s.get(), a)) continue;
        DWORD timeout = kSendTimeoutMs;
        ::setsockopt(s.get(), SOL_SOCKET, SO_SNDTIMEO, reinterpret_cast<const char*>(&timeout), sizeof(timeout));
        if (!SendAll(s.get(), FrameOctetCounting(message))) return kSendFailed;
        // The receiver sees the end of the stream only after all of it.
        ::shutdown(s.get(), SD_SEND);
        return kSent;
    }
    return kConnectFailed;
}

ExitStatus Run() {
    // The callers pass ANSI text; split the command line ourselves so that no byte of it
    // goes through another code page.
    auto args = vantrel::common::SplitCommandLine(::GetCommandLineA());
    if (args.size() != 2) return kBadArgument;
    auto argument = ParseArgument(args[1]);
    if (!argument) return kBadArgument;

    ExitStatus status = kSent;
    auto destination = ParseDestination(Setting("SyslogConsoleName"), Setting("SyslogConsolePort"),
                                        Setting("SyslogProtocol"), status);
    if (!destination) return status;

    SYSTEMTIME now;
    ::GetLocalTime(&now);
    LocalTime t{now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond};
    return static_cast<ExitStatus>(
        Send(*destination, ComposeMessage(argument->priority, t, HostName(), argument->text)));
}

}  // namespace

int main() {
    const ExitStatus status = Run();
    if (status != kSent) Say(StatusText(status));
    return status;
}
