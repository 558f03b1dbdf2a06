#include "transport.h"

#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>

namespace syslogsend {

namespace {

// An absent server must never keep the sender waiting long.
constexpr int kConnectTimeoutMs = 5000;
constexpr int kSendTimeoutMs = 5000;
// How long the receiver has to close its side once it has read ours to the end.
constexpr int kCloseTimeoutMs = 3000;

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

// After our end of the stream: a receiver that read it all closes its side (recv gives 0);
// one that died before reading resets the connection. A receiver that keeps the
// connection open counts as having taken the data.
bool ReceiverTookAll(SOCKET s) {
    char sink[256];
    for (;;) {
        fd_set readable;
        FD_ZERO(&readable);
        FD_SET(s, &readable);
        timeval tv{kCloseTimeoutMs / 1000, (kCloseTimeoutMs % 1000) * 1000};
        int ready = ::select(0, &readable, nullptr, nullptr, &tv);
        if (ready == 0) return true;
        if (ready < 0) return false;
        int n = ::recv(s, sink, sizeof(sink), 0);
        if (n == 0) return true;
        if (n < 0) return false;
    }
}

}  // namespace

ExitStatus Deliver(const Destination& d, const std::vector<std::string>& messages) {
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
        for (const auto& message : messages) {
            std::string datagram = message.substr(0, kMaxDatagram);
            int n = ::sendto(s.get(), datagram.data(), static_cast<int>(datagram.size()), 0, a->ai_addr,
                             static_cast<int>(a->ai_addrlen));
            if (n != static_cast<int>(datagram.size())) return kSendFailed;
        }
        return kSent;
    }

    std::string stream;
    for (const auto& message : messages) stream += FrameOctetCounting(message);
    for (const addrinfo* a = addresses.head; a; a = a->ai_next) {
        Socket s(::socket(a->ai_family, a->ai_socktype, a->ai_protocol));
        if (!s || !ConnectWithTimeout(s.get(), a)) continue;
        DWORD timeout = kSendTimeoutMs;
        ::setsockopt(s.get(), SOL_SOCKET, SO_SNDTIMEO, reinterpret_cast<const char*>(&timeout), sizeof(timeout));
        if (!SendAll(s.get(), stream)) return kSendFailed;
        // The receiver sees the end of the stream only after all of it.
        if (::shutdown(s.get(), SD_SEND) != 0 || !ReceiverTookAll(s.get())) return kSendFailed;
        return kSent;
    }
    return kConnectFailed;
}

}  // namespace syslogsend
