#include "core/record_decoding.h"

#include <algorithm>
#include <cstring>

#include "core/errors.h"

namespace dovrin {
namespace {

const char kMalformed[] = "The system returned a malformed service record";

class Reader {
public:
    explicit Reader(const RecordBuffer& b) : b_(b) {
        if (b.pointer_size != 4 && b.pointer_size != 8) throw Error(kMalformed);
    }

    std::uint32_t Dword(std::size_t at) const {
        Need(at, 4);
        std::uint32_t v;
        std::memcpy(&v, b_.data + at, 4);
        return v;
    }

    std::uint64_t Pointer(std::size_t at) const {
        Need(at, b_.pointer_size);
        if (b_.pointer_size == 4) return Dword(at);
        std::uint64_t v;
        std::memcpy(&v, b_.data + at, 8);
        return v;
    }

    // The offset in the buffer that a pointer refers to; npos for a null pointer.
    std::size_t Offset(std::uint64_t pointer) const {
        if (pointer == 0) return std::string::npos;
        if (pointer < b_.address || pointer - b_.address >= b_.size) throw Error(kMalformed);
        return std::size_t(pointer - b_.address);
    }

    // A NUL-terminated text that must end inside the buffer; empty for a null pointer.
    std::string Text(std::size_t field) const {
        std::size_t at = Offset(Pointer(field));
        if (at == std::string::npos) return {};
        auto start = b_.data + at;
        auto end = static_cast<const unsigned char*>(std::memchr(start, 0, b_.size - at));
        if (!end) throw Error(kMalformed);
        return std::string(reinterpret_cast<const char*>(start), std::size_t(end - start));
    }

    const RecordBuffer& buffer() const { return b_; }

private:
    void Need(std::size_t at, std::size_t n) const {
        if (at > b_.size || n > b_.size - at) throw Error(kMalformed);
    }
    const RecordBuffer& b_;
};

}  // namespace

std::vector<EnumEntry> DecodeEnumServiceStatus(const RecordBuffer& buffer, std::uint32_t count) {
    Reader r(buffer);
    const unsigned p = buffer.pointer_size;
    const std::size_t size = EnumEntrySize(p);
    if (count > buffer.size / size) throw Error(kMalformed);
    std::vector<EnumEntry> entries;
    entries.reserve(count);
    for (std::uint32_t i = 0; i < count; ++i) {
        std::size_t at = i * size;
        EnumEntry e;
        e.service_name = r.Text(at);
        e.display_name = r.Text(at + p);
        std::size_t s = at + 2 * p;
        e.status = {r.Dword(s), r.Dword(s + 4), r.Dword(s + 8), r.Dword(s + 12),
                    r.Dword(s + 16), r.Dword(s + 20), r.Dword(s + 24)};
        entries.push_back(std::move(e));
    }
    return entries;
}

ServiceConfig DecodeServiceConfig(const RecordBuffer& buffer, std::size_t dependency_limit) {
    Reader r(buffer);
    const unsigned p = buffer.pointer_size;
    if (buffer.size < ServiceConfigSize(p)) throw Error(kMalformed);
    ServiceConfig c;
    c.service_type = r.Dword(0);
    c.start_type = r.Dword(4);
    c.error_control = r.Dword(8);
    std::size_t at = AlignTo(12, p);
    c.binary_path_name = r.Text(at);
    c.load_order_group = r.Text(at + p);
    c.tag_id = r.Dword(ConfigTagOffset(p));
    at = ConfigDependenciesOffset(p);
    // The dependency list: its first string decides whether there is any.
    std::size_t deps = r.Offset(r.Pointer(at));
    if (deps != std::string::npos && r.Text(at).size() > 0) {
        std::size_t limit = std::min(dependency_limit, buffer.size - deps);
        MultiSzToStrings(buffer.data + deps, limit, c.dependencies);
    }
    c.service_start_name = r.Text(at + p);
    c.display_name = r.Text(at + 2 * p);
    return c;
}

LockStatus DecodeLockStatus(const RecordBuffer& buffer) {
    Reader r(buffer);
    const unsigned p = buffer.pointer_size;
    if (buffer.size < LockStatusSize(p)) throw Error(kMalformed);
    LockStatus s;
    s.is_locked = r.Dword(0);
    s.lock_owner = r.Text(LockOwnerOffset(p));
    s.lock_duration = r.Dword(LockOwnerOffset(p) + p);
    return s;
}

}  // namespace dovrin
