// An SMTP connection over Winsock, turned into TLS through Schannel on STARTTLS.
#pragma once

#include <winsock2.h>
#include <windows.h>

#define SECURITY_WIN32
#include <security.h>
#include <schannel.h>
#include <wincrypt.h>

#include <algorithm>
#include <string>

#include "core/smtp_session.h"

namespace velmsendmail {

class SocketChannel : public SmtpChannel {
public:
    SocketChannel() = default;
    SocketChannel(const SocketChannel&) = delete;
    SocketChannel& operator=(const SocketChannel&) = delete;
    ~SocketChannel() override;

    // Limits in milliseconds: for each wait on the server, and for the whole session from
    // the start of Connect, so that no server can hold the sender longer.
    void SetLimits(unsigned reply_ms, unsigned session_ms) {
        reply_ms_ = reply_ms;
        session_ms_ = session_ms;
    }

    // Connects to the first address of host that answers within the time-out.
    bool Connect(const std::string& host, unsigned short port, std::string& error);

    bool Write(const std::string& data, std::string& error) override;
    bool ReadLine(std::string& line, std::string& error) override;
    bool StartTls(std::string& error) override;
    void AllowSlowReply(unsigned ms) override { reply_ms_ = std::max(reply_ms_, ms); }

private:
    // Waits until s can be written or read, within limit_ms and the session's end.
    bool Wait(SOCKET s, bool write, unsigned limit_ms, std::string& error) const;
    bool SendRaw(const char* data, size_t size, std::string& error);
    // Appends what arrives to raw_; false on close, error or time-out.
    bool ReceiveRaw(std::string& error);
    // The first handshake (initial) or its continuation when the server asks for one.
    bool Handshake(bool initial, std::string& error);
    bool VerifyServer(std::string& error);
    bool Decrypt(std::string& error);

    unsigned reply_ms_ = 30000;
    unsigned session_ms_ = 60000;
    ULONGLONG session_end_ = 0;
    SOCKET socket_ = INVALID_SOCKET;
    std::string host_;
    std::string raw_;    // received bytes not yet used (cipher text once TLS is on)
    std::string plain_;  // received text not yet returned as lines
    bool tls_ = false;
    bool have_cred_ = false;
    bool have_context_ = false;
    CredHandle cred_{};
    CtxtHandle context_{};
    SecPkgContext_StreamSizes sizes_{};
};

// A readable text for a Winsock or security status.
std::string SystemText(long code);

}  // namespace velmsendmail
