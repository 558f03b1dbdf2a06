// An SMTP connection over Winsock, turned into TLS through Schannel on STARTTLS.
#pragma once

#include <winsock2.h>
#include <windows.h>

#define SECURITY_WIN32
#include <security.h>
#include <schannel.h>
#include <wincrypt.h>

#include <string>

#include "core/smtp_session.h"

namespace velmsendmail {

class SocketChannel : public SmtpChannel {
public:
    SocketChannel() = default;
    SocketChannel(const SocketChannel&) = delete;
    SocketChannel& operator=(const SocketChannel&) = delete;
    ~SocketChannel() override;

    // Connects to the first address of host that answers within the time-out.
    bool Connect(const std::string& host, unsigned short port, std::string& error);

    bool Write(const std::string& data, std::string& error) override;
    bool ReadLine(std::string& line, std::string& error) override;
    bool StartTls(std::string& error) override;

private:
    bool SendRaw(const char* data, size_t size, std::string& error);
    // Appends what arrives to raw_; false on close, error or time-out.
    bool ReceiveRaw(std::string& error);
    // The first handshake (initial) or its continuation when the server asks for one.
    bool Handshake(bool initial, std::string& error);
    bool VerifyServer(std::string& error);
    bool Decrypt(std::string& error);

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
