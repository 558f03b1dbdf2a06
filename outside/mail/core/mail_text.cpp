#include "mail_text.h"

#include <cstdio>

namespace velmsendmail {

namespace {

constexpr size_t kFoldAt = 78;

bool IsAscii(const std::string& s) {
    for (unsigned char c : s)
        if (c >= 0x80) return false;
    return true;
}

std::string Hex(uint64_t v) {
    char b[24];
    std::snprintf(b, sizeof(b), "%llx", static_cast<unsigned long long>(v));
    return b;
}

// RFC 2047 encoded words of at most 75 characters, split only between UTF-8 characters,
// joined by folding white space.
std::string EncodedWords(const std::string& utf8) {
    const std::string prefix = "=?utf-8?B?", suffix = "?=";
    const size_t max_raw = 45;  // 60 base64 characters per word
    std::string out;
    size_t i = 0;
    while (i < utf8.size()) {
        size_t end = std::min(utf8.size(), i + max_raw);
        while (end < utf8.size() && end > i + 1 && (static_cast<unsigned char>(utf8[end]) & 0xC0) == 0x80) --end;
        if (!out.empty()) out += "\r\n ";
        out += prefix + Base64(utf8.substr(i, end - i)) + suffix;
        i = end;
    }
    return out;
}

// Folds at blanks so that header lines stay short; "name: " counts on the first line.
std::string FoldAtBlanks(const std::string& name, const std::string& value) {
    std::string out;
    size_t line = name.size() + 2;
    size_t i = 0;
    while (i < value.size()) {
        size_t next = value.find(' ', i + 1);
        if (next == std::string::npos) next = value.size();
        std::string word = value.substr(i, next - i);  // begins with the blank, except the first
        if (line + word.size() > kFoldAt && i > 0 && !word.empty() && word[0] == ' ') {
            out += "\r\n";
            line = 0;
        }
        out += word;
        line += word.size();
        i = next;
    }
    return out;
}

std::string SubjectValue(const std::string& subject) {
    std::string clean = SanitizeHeaderText(subject);
    bool long_word = false;
    size_t run = 0;
    for (char c : clean) {
        run = (c == ' ') ? 0 : run + 1;
        if (run > 900) long_word = true;
    }
    if (!IsAscii(clean) || long_word) return EncodedWords(clean);
    return FoldAtBlanks("Subject", clean);
}

std::string Normalized(const std::string& body) {
    std::string out;
    for (size_t i = 0; i < body.size(); ++i) {
        if (body[i] == '\r') {
            out += "\r\n";
            if (i + 1 < body.size() && body[i + 1] == '\n') ++i;
        } else if (body[i] == '\n') {
            out += "\r\n";
        } else {
            out += body[i];
        }
    }
    return out;
}

bool NeedsQuotedPrintable(const std::string& crlf_body) {
    size_t line = 0;
    for (size_t i = 0; i < crlf_body.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(crlf_body[i]);
        if (c == '\r' && i + 1 < crlf_body.size() && crlf_body[i + 1] == '\n') {
            line = 0;
            ++i;
            continue;
        }
        if (c >= 0x80 || c == 0 || c == '\r' || c == '\n') return true;
        if (++line > 998) return true;
    }
    return false;
}

std::string QuotedPrintable(const std::string& crlf_body) {
    static const char* kHex = "0123456789ABCDEF";
    std::string out;
    size_t line = 0;
    auto emit = [&](const std::string& piece) {
        if (line + piece.size() > 75) {
            out += "=\r\n";
            line = 0;
        }
        out += piece;
        line += piece.size();
    };
    for (size_t i = 0; i < crlf_body.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(crlf_body[i]);
        if (c == '\r' && i + 1 < crlf_body.size() && crlf_body[i + 1] == '\n') {
            out += "\r\n";
            line = 0;
            ++i;
            continue;
        }
        bool at_line_end = i + 1 >= crlf_body.size() || crlf_body[i + 1] == '\r';
        bool literal = (c >= 33 && c <= 126 && c != '=') || ((c == ' ' || c == '\t') && !at_line_end);
        if (literal) {
            emit(std::string(1, static_cast<char>(c)));
        } else {
            std::string e = "=";
            e += kHex[c >> 4];
            e += kHex[c & 15];
            emit(e);
        }
    }
    return out;
}

}  // namespace

std::optional<ServerAddress> ParseServer(const std::string& server) {
    ServerAddress a;
    std::string port;
    if (!server.empty() && server[0] == '[') {
        size_t close = server.find(']');
        if (close == std::string::npos) return std::nullopt;
        a.host = server.substr(1, close - 1);
        if (close + 1 < server.size()) {
            if (server[close + 1] != ':') return std::nullopt;
            port = server.substr(close + 2);
            if (port.empty()) return std::nullopt;
        }
    } else {
        size_t colon = server.find(':');
        a.host = server.substr(0, colon);
        if (colon != std::string::npos) {
            port = server.substr(colon + 1);
            if (port.empty()) return std::nullopt;
        }
    }
    if (a.host.empty()) return std::nullopt;
    for (unsigned char c : a.host)
        if (c <= ' ' || c >= 0x7F) return std::nullopt;
    if (!port.empty()) {
        if (port.size() > 5) return std::nullopt;
        unsigned v = 0;
        for (char c : port) {
            if (c < '0' || c > '9') return std::nullopt;
            v = v * 10 + static_cast<unsigned>(c - '0');
        }
        if (v == 0 || v > 65535) return std::nullopt;
        a.port = static_cast<uint16_t>(v);
    }
    return a;
}

bool IsValidAddress(const std::string& address) {
    if (address.empty() || address.size() > 254) return false;
    for (unsigned char c : address) {
        if (c <= ' ' || c >= 0x7F) return false;
        switch (c) {
        case '<': case '>': case ',': case ';': case '"': case '(': case ')': case '\\': return false;
        default: break;
        }
    }
    return true;
}

std::vector<std::string> SplitRecipients(const std::string& text) {
    std::vector<std::string> out;
    size_t start = 0;
    for (;;) {
        size_t comma = text.find(',', start);
        std::string item = text.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
        size_t b = item.find_first_not_of(" \t");
        size_t e = item.find_last_not_of(" \t");
        if (b != std::string::npos) out.push_back(item.substr(b, e - b + 1));
        if (comma == std::string::npos) return out;
        start = comma + 1;
    }
}

Recipients SortRecipients(const std::string& text) {
    Recipients out;
    for (auto& r : SplitRecipients(text)) {
        if (IsValidAddress(r)) out.valid.push_back(std::move(r));
        else out.invalid.push_back({std::move(r), "not a valid mail address"});
    }
    return out;
}

std::string SanitizeHeaderText(const std::string& text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        if (c == '\r' || c == '\n') {
            if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
            out += ' ';
        } else if ((c < 0x20 && c != '\t') || c == 0x7F) {
            continue;
        } else {
            out += static_cast<char>(c == '\t' ? ' ' : c);
        }
    }
    return out;
}

std::string FormatDate(const DateTime& t) {
    static const char* const kDays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    static const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                          "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    int offset = t.utc_offset_minutes;
    char sign = offset < 0 ? '-' : '+';
    if (offset < 0) offset = -offset;
    char b[64];
    std::snprintf(b, sizeof(b), "%s, %02d %s %04d %02d:%02d:%02d %c%02d%02d", kDays[((t.weekday % 7) + 7) % 7],
                  t.day % 100, kMonths[((t.month - 1) % 12 + 12) % 12], t.year % 10000, t.hour % 100,
                  t.minute % 100, t.second % 100, sign, (offset / 60) % 100, offset % 60);
    return b;
}

std::string ComposeMessage(const MailFields& f) {
    std::string to;
    size_t line = 4;
    for (size_t i = 0; i < f.to.size(); ++i) {
        std::string piece = (i ? ", " : "") + f.to[i];
        if (i && line + piece.size() > kFoldAt) {
            to += ",\r\n ";
            piece = f.to[i];
            line = 1;
        }
        to += piece;
        line += piece.size();
    }
    std::string body = Normalized(f.body);
    bool qp = NeedsQuotedPrintable(body);
    std::string m;
    m += "Date: " + f.date + "\r\n";
    m += "From: " + f.from + "\r\n";
    m += "To: " + to + "\r\n";
    m += "Subject: " + SubjectValue(f.subject) + "\r\n";
    m += "Message-ID: " + f.message_id + "\r\n";
    m += "MIME-Version: 1.0\r\n";
    m += "Content-Type: text/plain; charset=utf-8\r\n";
    m += std::string("Content-Transfer-Encoding: ") + (qp ? "quoted-printable" : "7bit") + "\r\n";
    m += "\r\n";
    m += qp ? QuotedPrintable(body) : body;
    return m;
}

std::string DotStuff(const std::string& message) {
    std::string out;
    bool line_start = true;
    for (size_t i = 0; i < message.size(); ++i) {
        if (line_start && message[i] == '.') out += '.';
        out += message[i];
        line_start = message[i] == '\n' && i > 0 && message[i - 1] == '\r';
    }
    if (out.size() < 2 || out.compare(out.size() - 2, 2, "\r\n") != 0) out += "\r\n";
    out += ".\r\n";
    return out;
}

std::string Base64(const std::string& bytes) {
    static const char* kAlphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    size_t i = 0;
    for (; i + 2 < bytes.size(); i += 3) {
        uint32_t v = (static_cast<unsigned char>(bytes[i]) << 16) | (static_cast<unsigned char>(bytes[i + 1]) << 8) |
                     static_cast<unsigned char>(bytes[i + 2]);
        out += kAlphabet[(v >> 18) & 63];
        out += kAlphabet[(v >> 12) & 63];
        out += kAlphabet[(v >> 6) & 63];
        out += kAlphabet[v & 63];
    }
    if (i < bytes.size()) {
        uint32_t v = static_cast<unsigned char>(bytes[i]) << 16;
        if (i + 1 < bytes.size()) v |= static_cast<unsigned char>(bytes[i + 1]) << 8;
        out += kAlphabet[(v >> 18) & 63];
        out += kAlphabet[(v >> 12) & 63];
        out += i + 1 < bytes.size() ? kAlphabet[(v >> 6) & 63] : '=';
        out += '=';
    }
    return out;
}

std::string MakeMessageId(uint64_t time_value, uint64_t unique, const std::string& from, const std::string& host) {
    std::string domain;
    size_t at = from.rfind('@');
    if (at != std::string::npos && at + 1 < from.size()) domain = from.substr(at + 1);
    if (domain.empty() || !IsValidAddress(domain)) domain = host;
    if (domain.empty() || !IsValidAddress(domain)) domain = "vantrel.invalid";
    return "<" + Hex(time_value) + "." + Hex(unique) + ".vantrel@" + domain + ">";
}

}  // namespace velmsendmail
