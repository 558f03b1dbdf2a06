#include "test_support.h"

#include <sys/stat.h>

#include <cstdio>
#include <fstream>
#include <iterator>

#include "platform/evtlog/core/evt_listing.h"

namespace vantrel::evt::test {

Event MakeEvent(const std::u16string& tag, int strings, int data, bool sid) {
    Event e;
    e.timeGenerated = 1000000000;
    e.eventId = 0x40001000;
    e.eventType = 4;
    e.category = 3;
    e.source = u"Src" + tag;
    e.computer = u"HOST";
    for (int i = 0; i < strings; ++i) e.strings.push_back(tag + u"-" + char16_t(u'a' + i % 26));
    for (int i = 0; i < data; ++i) e.data.push_back(uint8_t(i * 7));
    if (sid) e.sid = {1, 1, 0, 0, 0, 0, 0, 5, 18, 0, 0, 0};
    return e;
}

namespace {
bool Latin1Convert(void*, const char16_t* text, size_t units, std::string& out) {
    for (size_t i = 0; i < units; ++i) out.push_back(text[i] < 0x100 ? char(text[i]) : '?');
    return true;
}
}  // namespace

AnsiConverter Latin1() { return AnsiConverter{Latin1Convert, nullptr}; }

std::vector<uint8_t> ReadFile(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(f), {});
}

bool WriteFile(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream f(path, std::ios::binary | std::ios::trunc);
    f.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    return bool(f);
}

bool Exists(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0;
}

std::string FixturePath(const char* name) { return std::string(EVTLOG_FIXTURES) + "/" + name; }

std::string ScratchPath(const char* name) {
    mkdir(EVTLOG_SCRATCH, 0755);
    return std::string(EVTLOG_SCRATCH) + "/" + name;
}

std::string Evtexport(const std::string& path) {
    std::string cmd = "evtexport '" + path + "' 2>/dev/null";
    FILE* p = popen(cmd.c_str(), "r");
    if (!p) return {};
    std::string out;
    char buf[65536];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
    if (pclose(p) != 0) return {};
    // Drop the tool's banner line and the blank line after it.
    size_t body = out.find("\n\n");
    return body == std::string::npos ? std::string() : out.substr(body + 2);
}

std::string Listing(Storage& s) {
    Header h;
    uint32_t size = 0;
    RecordIndex index;
    if (LoadHeader(s, h, size, true) || index.Refresh(s, h, size)) return "unreadable";
    std::string out;
    std::vector<uint8_t> rec;
    for (uint32_t n = index.First(); n < index.First() + index.Count(); ++n) {
        uint32_t len = index.Size(n, h, size);
        rec.resize(len);
        Event e;
        if (!RingRead(s, size, index.Offset(n), rec.data(), len) || !DecodeEvent(rec.data(), len, e))
            return out + "bad record " + std::to_string(n);
        out += ListEvent(e);
    }
    return out;
}

uint32_t AppendEvent(MemoryStorage& s, Header& h, uint32_t& fileSize, const Settings& st,
                     const Event& e, uint32_t now) {
    std::vector<uint8_t> rec = EncodeRecord(e);
    uint32_t number = 0;
    return AppendRecord(s, h, fileSize, st, rec, now, number);
}

}  // namespace vantrel::evt::test
