#include "socket_channel.h"

#include <ws2tcpip.h>

#include <cstring>
#include <memory>
#include <vector>

#include "platform/winapi/handles.h"

namespace velmsendmail {

namespace {

// Long enough for a slow server, short enough that a dead one is noticed.
constexpr unsigned kConnectTimeoutMs = 20000;
constexpr size_t kMaxLine = 64 * 1024;

std::wstring Wide(const std::string& s) {
    int n = ::MultiByteToWideChar(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), nullptr, 0);
    std::wstring w(static_cast<size_t>(n), L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), w.data(), n);
    return w;
}

std::string Seconds(unsigned ms) {
    unsigned s = (ms + 999) / 1000;
    return std::to_string(s) + (s == 1 ? " second" : " seconds");
}

bool WaitFor(SOCKET s, bool write, unsigned timeout_ms) {
    fd_set set, failed;
    FD_ZERO(&set);
    FD_ZERO(&failed);
    FD_SET(s, &set);
    FD_SET(s, &failed);
    timeval tv{static_cast<long>(timeout_ms / 1000), static_cast<long>((timeout_ms % 1000) * 1000)};
    int n = write ? ::select(0, nullptr, &set, &failed, &tv) : ::select(0, &set, nullptr, &failed, &tv);
    return n > 0 && FD_ISSET(s, &set);
}

}  // namespace

std::string SystemText(long code) {
    char* text = nullptr;
    DWORD n = ::FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                   FORMAT_MESSAGE_IGNORE_INSERTS,
                               nullptr, static_cast<DWORD>(code), 0, reinterpret_cast<char*>(&text), 0, nullptr);
    std::string s = n ? std::string(text, n) : std::string();
    if (text) ::LocalFree(text);
    while (!s.empty() && (s.back() == '\r' || s.back() == '\n' || s.back() == ' ' || s.back() == '.')) s.pop_back();
    char code_text[32];
    wsprintfA(code_text, code < 0 ? "0x%08lX" : "%ld", code);
    return s.empty() ? std::string("error ") + code_text : s + " (" + code_text + ")";
}

SocketChannel::~SocketChannel() {
    if (have_context_) ::DeleteSecurityContext(&context_);
    if (have_cred_) ::FreeCredentialsHandle(&cred_);
    if (socket_ != INVALID_SOCKET) ::closesocket(socket_);
}

bool SocketChannel::Wait(SOCKET s, bool write, unsigned limit_ms, std::string& error) const {
    ULONGLONG now = ::GetTickCount64();
    ULONGLONG left = session_end_ > now ? session_end_ - now : 0;
    bool session_ends_first = left <= limit_ms;
    if (WaitFor(s, write, session_ends_first ? static_cast<unsigned>(left) : limit_ms)) return true;
    if (session_ends_first) error = "the session took longer than its limit of " + Seconds(session_ms_);
    else if (write) error = "the server took no data within " + Seconds(limit_ms);
    else error = "the server did not answer within " + Seconds(limit_ms);
    return false;
}

bool SocketChannel::Connect(const std::string& host, unsigned short port, std::string& error) {
    session_end_ = ::GetTickCount64() + session_ms_;
    host_ = host;
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_protocol = IPPROTO_TCP;
    addrinfo* list = nullptr;
    int rc = ::getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &list);
    if (rc != 0 || !list) {
        error = "Cannot find the SMTP server " + host + ": " + SystemText(rc);
        return false;
    }
    long last = WSAETIMEDOUT;
    for (addrinfo* a = list; a; a = a->ai_next) {
        SOCKET s = ::socket(a->ai_family, a->ai_socktype, a->ai_protocol);
        if (s == INVALID_SOCKET) continue;
        u_long nonblocking = 1;
        ::ioctlsocket(s, FIONBIO, &nonblocking);
        bool ok = ::connect(s, a->ai_addr, static_cast<int>(a->ai_addrlen)) == 0;
        if (!ok && ::WSAGetLastError() == WSAEWOULDBLOCK) {
            std::string late;
            if (Wait(s, true, std::min(kConnectTimeoutMs, reply_ms_), late)) {
                int so_error = 0;
                int len = sizeof(so_error);
                ::getsockopt(s, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&so_error), &len);
                ok = so_error == 0;
                if (!ok) last = so_error;
            } else {
                int so_error = 0;
                int len = sizeof(so_error);
                ::getsockopt(s, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&so_error), &len);
                last = so_error ? so_error : WSAETIMEDOUT;
            }
        } else if (!ok) {
            last = ::WSAGetLastError();
        }
        if (ok) {
            socket_ = s;
            break;
        }
        ::closesocket(s);
    }
    ::freeaddrinfo(list);
    if (socket_ == INVALID_SOCKET) {
        error = "Cannot connect to the SMTP server " + host + " port " + std::to_string(port) + ": " + SystemText(last);
        return false;
    }
    return true;
}

bool SocketChannel::SendRaw(const char* data, size_t size, std::string& error) {
    size_t done = 0;
    while (done < size) {
        if (!Wait(socket_, true, reply_ms_, error)) return false;
        int n = ::send(socket_, data + done, static_cast<int>(size - done), 0);
        if (n == SOCKET_ERROR) {
            if (::WSAGetLastError() == WSAEWOULDBLOCK) continue;
            error = SystemText(::WSAGetLastError());
            return false;
        }
        done += static_cast<size_t>(n);
    }
    return true;
}

bool SocketChannel::ReceiveRaw(std::string& error) {
    if (!Wait(socket_, false, reply_ms_, error)) return false;
    char buffer[16384];
    int n = ::recv(socket_, buffer, sizeof(buffer), 0);
    if (n == 0) {
        error = "the server closed the connection";
        return false;
    }
    if (n == SOCKET_ERROR) {
        error = SystemText(::WSAGetLastError());
        return false;
    }
    raw_.append(buffer, static_cast<size_t>(n));
    return true;
}

bool SocketChannel::Write(const std::string& data, std::string& error) {
    if (!tls_) return SendRaw(data.data(), data.size(), error);
    size_t done = 0;
    while (done < data.size()) {
        size_t chunk = std::min<size_t>(data.size() - done, sizes_.cbMaximumMessage);
        std::vector<char> message(sizes_.cbHeader + chunk + sizes_.cbTrailer);
        memcpy(message.data() + sizes_.cbHeader, data.data() + done, chunk);
        SecBuffer buffers[4] = {
            {sizes_.cbHeader, SECBUFFER_STREAM_HEADER, message.data()},
            {static_cast<unsigned long>(chunk), SECBUFFER_DATA, message.data() + sizes_.cbHeader},
            {sizes_.cbTrailer, SECBUFFER_STREAM_TRAILER, message.data() + sizes_.cbHeader + chunk},
            {0, SECBUFFER_EMPTY, nullptr},
        };
        SecBufferDesc desc{SECBUFFER_VERSION, 4, buffers};
        SECURITY_STATUS st = ::EncryptMessage(&context_, 0, &desc, 0);
        if (st != SEC_E_OK) {
            error = "encryption failed: " + SystemText(st);
            return false;
        }
        if (!SendRaw(message.data(), buffers[0].cbBuffer + buffers[1].cbBuffer + buffers[2].cbBuffer, error))
            return false;
        done += chunk;
    }
    return true;
}

bool SocketChannel::Decrypt(std::string& error) {
    for (;;) {
        if (raw_.empty() && !ReceiveRaw(error)) return false;
        SecBuffer buffers[4] = {
            {static_cast<unsigned long>(raw_.size()), SECBUFFER_DATA, raw_.data()},
            {0, SECBUFFER_EMPTY, nullptr},
            {0, SECBUFFER_EMPTY, nullptr},
            {0, SECBUFFER_EMPTY, nullptr},
        };
        SecBufferDesc desc{SECBUFFER_VERSION, 4, buffers};
        SECURITY_STATUS st = ::DecryptMessage(&context_, &desc, 0, nullptr);
        if (st == SEC_E_INCOMPLETE_MESSAGE) {
            if (!ReceiveRaw(error)) return false;
            continue;
        }
        if (st == SEC_I_CONTEXT_EXPIRED) {
            error = "the server closed the secure connection";
            return false;
        }
        if (st != SEC_E_OK && st != SEC_I_RENEGOTIATE) {
            error = "decryption failed: " + SystemText(st);
            return false;
        }
        std::string extra;
        bool got = false;
        for (auto& b : buffers) {
            if (b.BufferType == SECBUFFER_DATA && b.cbBuffer) {
                plain_.append(static_cast<char*>(b.pvBuffer), b.cbBuffer);
                got = true;
            }
            if (b.BufferType == SECBUFFER_EXTRA && b.cbBuffer)
                extra.assign(static_cast<char*>(b.pvBuffer), b.cbBuffer);
        }
        raw_ = extra;
        if (st == SEC_I_RENEGOTIATE) {
            // TLS 1.3 post-handshake messages (session tickets) arrive this way: they go
            // back through the handshake, then reading goes on.
            if (!Handshake(false, error)) return false;
            SECURITY_STATUS q = ::QueryContextAttributesW(&context_, SECPKG_ATTR_STREAM_SIZES, &sizes_);
            if (q != SEC_E_OK) {
                error = "TLS stream sizes unknown: " + SystemText(q);
                return false;
            }
        }
        if (got) return true;
    }
}

bool SocketChannel::ReadLine(std::string& line, std::string& error) {
    for (;;) {
        std::string& text = tls_ ? plain_ : raw_;
        size_t lf = text.find('\n');
        if (lf != std::string::npos) {
            line = text.substr(0, lf);
            if (!line.empty() && line.back() == '\r') line.pop_back();
            text.erase(0, lf + 1);
            return true;
        }
        if (text.size() > kMaxLine) {
            error = "the server sent an overlong line";
            return false;
        }
        if (!(tls_ ? Decrypt(error) : ReceiveRaw(error))) return false;
    }
}

bool SocketChannel::StartTls(std::string& error) {
    if (!raw_.empty()) {
        // Text after the server's go-ahead would be plain text inside what must be TLS.
        error = "the server sent data before the secure connection began";
        return false;
    }
    SCHANNEL_CRED cred{};
    cred.dwVersion = SCHANNEL_CRED_VERSION;
    // The certificate is checked here, after the handshake (VerifyServer): the platform's
    // automatic check is not done everywhere.
    cred.dwFlags = SCH_CRED_MANUAL_CRED_VALIDATION | SCH_CRED_NO_DEFAULT_CREDS;
    TimeStamp expiry;
    SECURITY_STATUS st = ::AcquireCredentialsHandleW(nullptr, const_cast<wchar_t*>(UNISP_NAME_W),
                                                     SECPKG_CRED_OUTBOUND, nullptr, &cred, nullptr, nullptr, &cred_,
                                                     &expiry);
    if (st != SEC_E_OK) {
        error = "no TLS credentials: " + SystemText(st);
        return false;
    }
    have_cred_ = true;
    if (!Handshake(true, error) || !VerifyServer(error)) return false;
    st = ::QueryContextAttributesW(&context_, SECPKG_ATTR_STREAM_SIZES, &sizes_);
    if (st != SEC_E_OK) {
        error = "TLS stream sizes unknown: " + SystemText(st);
        return false;
    }
    tls_ = true;
    return true;
}

namespace {

// The policy's flag to skip its host-name check (wininet.h, which we do not include).
constexpr DWORD kIgnoreNameMismatch = 0x00001000;

// The address bytes of an IPv4 or IPv6 literal; empty for a host name.
std::string AddressBytes(const std::string& host) {
    in_addr v4;
    if (::inet_pton(AF_INET, host.c_str(), &v4) == 1) return std::string(reinterpret_cast<char*>(&v4), sizeof(v4));
    in6_addr v6;
    if (::inet_pton(AF_INET6, host.c_str(), &v6) == 1) return std::string(reinterpret_cast<char*>(&v6), sizeof(v6));
    return {};
}

// True when the certificate's subject alternative names hold this IP address.
bool NamesAddress(PCCERT_CONTEXT cert, const std::string& address) {
    PCERT_EXTENSION ext = ::CertFindExtension(szOID_SUBJECT_ALT_NAME2, cert->pCertInfo->cExtension,
                                              cert->pCertInfo->rgExtension);
    if (!ext) return false;
    CERT_ALT_NAME_INFO* names = nullptr;
    DWORD size = 0;
    if (!::CryptDecodeObjectEx(X509_ASN_ENCODING, X509_ALTERNATE_NAME, ext->Value.pbData, ext->Value.cbData,
                               CRYPT_DECODE_ALLOC_FLAG, nullptr, &names, &size))
        return false;
    vantrel::LocalMemory hold(static_cast<HLOCAL>(names));
    bool found = false;
    for (DWORD i = 0; i < names->cAltEntry && !found; ++i) {
        const CERT_ALT_NAME_ENTRY& n = names->rgAltEntry[i];
        found = n.dwAltNameChoice == CERT_ALT_NAME_IP_ADDRESS && n.IPAddress.cbData == address.size() &&
                memcmp(n.IPAddress.pbData, address.data(), address.size()) == 0;
    }
    return found;
}

}  // namespace

bool SocketChannel::VerifyServer(std::string& error) {
    PCCERT_CONTEXT cert = nullptr;
    SECURITY_STATUS st = ::QueryContextAttributesW(&context_, SECPKG_ATTR_REMOTE_CERT_CONTEXT, &cert);
    if (st != SEC_E_OK || !cert) {
        error = "the server sent no certificate";
        return false;
    }
    std::unique_ptr<const CERT_CONTEXT, decltype(&::CertFreeCertificateContext)> owned(cert,
                                                                                         ::CertFreeCertificateContext);
    CERT_CHAIN_PARA para{};
    para.cbSize = sizeof(para);
    PCCERT_CHAIN_CONTEXT chain = nullptr;
    if (!::CertGetCertificateChain(nullptr, cert, nullptr, cert->hCertStore, &para, 0, nullptr, &chain) || !chain) {
        error = "the server's certificate cannot be checked: " + SystemText(static_cast<long>(::GetLastError()));
        return false;
    }
    std::unique_ptr<const CERT_CHAIN_CONTEXT, decltype(&::CertFreeCertificateChain)> owned_chain(
        chain, ::CertFreeCertificateChain);
    // A server given by IP address is matched against the certificate's IP address
    // names here; the policy checks the trust and, for a host name, the name.
    std::string address = AddressBytes(host_);
    std::wstring name = Wide(host_);
    HTTPSPolicyCallbackData https{};
    https.cbStruct = sizeof(https);
    https.dwAuthType = AUTHTYPE_SERVER;
    https.fdwChecks = address.empty() ? 0 : kIgnoreNameMismatch;
    https.pwszServerName = name.data();
    CERT_CHAIN_POLICY_PARA policy{};
    policy.cbSize = sizeof(policy);
    policy.pvExtraPolicyPara = &https;
    CERT_CHAIN_POLICY_STATUS status{};
    status.cbSize = sizeof(status);
    BOOL checked = ::CertVerifyCertificateChainPolicy(CERT_CHAIN_POLICY_SSL, chain, &policy, &status);
    if (!checked || status.dwError) {
        error = "the server's certificate is not trusted for " + host_ + ": " +
                SystemText(static_cast<long>(checked ? status.dwError : ::GetLastError()));
        return false;
    }
    if (!address.empty() && !NamesAddress(cert, address)) {
        error = "the server's certificate is not trusted for " + host_ + ": it does not name that address";
        return false;
    }
    return true;
}

bool SocketChannel::Handshake(bool initial, std::string& error) {
    const DWORD flags = ISC_REQ_SEQUENCE_DETECT | ISC_REQ_REPLAY_DETECT | ISC_REQ_CONFIDENTIALITY |
                        ISC_REQ_ALLOCATE_MEMORY | ISC_REQ_STREAM | ISC_REQ_EXTENDED_ERROR;
    std::wstring target = Wide(host_);
    bool first = initial;
    // A handshake takes a few rounds; a server that never finishes one is given up on.
    for (int round = 0; round < 64; ++round) {
        SecBuffer in[2] = {
            {static_cast<unsigned long>(raw_.size()), SECBUFFER_TOKEN, raw_.data()},
            {0, SECBUFFER_EMPTY, nullptr},
        };
        SecBufferDesc in_desc{SECBUFFER_VERSION, 2, in};
        SecBuffer out[1] = {{0, SECBUFFER_TOKEN, nullptr}};
        SecBufferDesc out_desc{SECBUFFER_VERSION, 1, out};
        DWORD out_flags = 0;
        TimeStamp expiry;
        SECURITY_STATUS st = ::InitializeSecurityContextW(
            &cred_, first ? nullptr : &context_, target.data(), flags, 0, 0,
            first ? nullptr : &in_desc, 0, first ? &context_ : nullptr, &out_desc, &out_flags, &expiry);
        if (first && (st == SEC_E_OK || st == SEC_I_CONTINUE_NEEDED)) have_context_ = true;
        first = false;
        if (st == SEC_I_INCOMPLETE_CREDENTIALS) {
            // The server asks for a client certificate; go on without one.
            continue;
        }
        if (st == SEC_E_INCOMPLETE_MESSAGE) {
            if (!ReceiveRaw(error)) {
                error = "TLS handshake: " + error;
                return false;
            }
            continue;
        }
        if (out[0].cbBuffer && out[0].pvBuffer) {
            std::string token(static_cast<char*>(out[0].pvBuffer), out[0].cbBuffer);
            ::FreeContextBuffer(out[0].pvBuffer);
            if (!SendRaw(token.data(), token.size(), error)) {
                error = "TLS handshake: " + error;
                return false;
            }
        }
        if (st == SEC_E_OK || st == SEC_I_CONTINUE_NEEDED) {
            if (in[1].BufferType == SECBUFFER_EXTRA && in[1].cbBuffer)
                raw_ = raw_.substr(raw_.size() - in[1].cbBuffer);
            else
                raw_.clear();
            if (st == SEC_E_OK) return true;
            if (raw_.empty() && !ReceiveRaw(error)) {
                error = "TLS handshake: " + error;
                return false;
            }
            continue;
        }
        error = "TLS handshake failed: " + SystemText(st);
        return false;
    }
    error = "TLS handshake did not finish";
    return false;
}

}  // namespace velmsendmail
