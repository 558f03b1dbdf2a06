#include "core/control_state.h"

#include "core/errors.h"

namespace dovrin {

namespace {

constexpr char kMagic[4] = {'V', 'T', 'C', 'S'};
constexpr std::uint16_t kVersion = 1;

class Writer {
public:
    void Bytes(const void* p, std::size_t n) {
        auto b = static_cast<const std::uint8_t*>(p);
        out.insert(out.end(), b, b + n);
    }
    void U8(std::uint8_t v) { out.push_back(v); }
    void U16(std::uint16_t v) { for (int i = 0; i < 2; ++i) out.push_back(std::uint8_t(v >> (8 * i))); }
    void U32(std::uint32_t v) { for (int i = 0; i < 4; ++i) out.push_back(std::uint8_t(v >> (8 * i))); }
    void Text(const std::string& s) {
        U32(std::uint32_t(s.size()));
        Bytes(s.data(), s.size());
    }
    std::vector<std::uint8_t> out;
};

class Reader {
public:
    Reader(const std::uint8_t* d, std::size_t n) : data_(d), size_(n) {}
    const std::uint8_t* Take(std::size_t n) {
        if (n > size_ - pos_) throw Error("Invalid control state stream: truncated");
        const std::uint8_t* p = data_ + pos_;
        pos_ += n;
        return p;
    }
    std::uint8_t U8() { return *Take(1); }
    std::uint16_t U16() { auto p = Take(2); return std::uint16_t(p[0] | (p[1] << 8)); }
    std::uint32_t U32() {
        auto p = Take(4);
        return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 |
               std::uint32_t(p[3]) << 24;
    }
    std::string Text() {
        std::uint32_t n = U32();
        auto p = Take(n);
        return std::string(reinterpret_cast<const char*>(p), n);
    }

private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t pos_ = 0;
};

}  // namespace

const StateValue* ControlState::Find(const std::string& name) const {
    for (const auto& v : values)
        if (v.name == name) return &v;
    return nullptr;
}

std::vector<std::uint8_t> EncodeControlState(const ControlState& state) {
    Writer w;
    w.Bytes(kMagic, 4);
    w.U16(kVersion);
    w.U32(std::uint32_t(state.width));
    w.U32(std::uint32_t(state.height));
    for (const auto& v : state.values) {
        if (v.name.empty() || v.name.size() > 255) throw Error("Invalid property name: " + v.name);
        w.U8(std::uint8_t(v.name.size()));
        w.Bytes(v.name.data(), v.name.size());
        w.U8(std::uint8_t(v.kind));
        switch (v.kind) {
            case ValueKind::Text: w.Text(v.text); break;
            case ValueKind::Integer: w.U32(std::uint32_t(v.integer)); break;
            case ValueKind::Boolean: w.U8(v.integer ? 1 : 0); break;
            case ValueKind::List:
                w.U32(std::uint32_t(v.list.size()));
                for (const auto& s : v.list) w.Text(s);
                break;
        }
    }
    w.U8(0);
    return std::move(w.out);
}

ControlState DecodeControlState(const std::uint8_t* data, std::size_t size) {
    Reader r(data, size);
    auto magic = r.Take(4);
    for (int i = 0; i < 4; ++i)
        if (magic[i] != std::uint8_t(kMagic[i])) throw Error("Invalid control state stream: bad signature");
    if (r.U16() != kVersion) throw Error("Invalid control state stream: unknown version");
    ControlState state;
    state.width = std::int32_t(r.U32());
    state.height = std::int32_t(r.U32());
    for (;;) {
        std::uint8_t n = r.U8();
        if (n == 0) break;
        StateValue v;
        auto p = r.Take(n);
        v.name.assign(reinterpret_cast<const char*>(p), n);
        std::uint8_t kind = r.U8();
        switch (kind) {
            case std::uint8_t(ValueKind::Text): v.text = r.Text(); break;
            case std::uint8_t(ValueKind::Integer): v.integer = std::int32_t(r.U32()); break;
            case std::uint8_t(ValueKind::Boolean): {
                std::uint8_t b = r.U8();
                if (b > 1) throw Error("Invalid control state stream: bad boolean");
                v.integer = b;
                break;
            }
            case std::uint8_t(ValueKind::List): {
                std::uint32_t count = r.U32();
                // Each item takes at least its 4-byte length: a count the data cannot
                // hold is refused before anything is reserved.
                if (count > size / 4) throw Error("Invalid control state stream: truncated");
                for (std::uint32_t i = 0; i < count; ++i) v.list.push_back(r.Text());
                break;
            }
            default: throw Error("Invalid control state stream: unknown value kind");
        }
        v.kind = ValueKind(kind);
        state.values.push_back(std::move(v));
    }
    return state;
}

}  // namespace dovrin
