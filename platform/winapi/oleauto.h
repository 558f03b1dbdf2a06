// Owning wrappers for automation strings, variants and safe arrays.
#pragma once

#include <windows.h>

#include <oleauto.h>

#include <string>
#include <utility>

namespace vantrel {

class Bstr {
public:
    Bstr() = default;
    explicit Bstr(const wchar_t* s) : s_(s ? ::SysAllocString(s) : nullptr) {}
    explicit Bstr(const std::wstring& s) : s_(::SysAllocStringLen(s.data(), static_cast<UINT>(s.size()))) {}
    Bstr(Bstr&& o) noexcept : s_(std::exchange(o.s_, nullptr)) {}
    Bstr& operator=(Bstr&& o) noexcept {
        if (this != &o) { reset(); s_ = std::exchange(o.s_, nullptr); }
        return *this;
    }
    Bstr(const Bstr&) = delete;
    Bstr& operator=(const Bstr&) = delete;
    ~Bstr() { reset(); }

    BSTR get() const { return s_; }
    BSTR* put() { reset(); return &s_; }
    BSTR release() { return std::exchange(s_, nullptr); }
    void reset() { ::SysFreeString(s_); s_ = nullptr; }
    UINT length() const { return ::SysStringLen(s_); }
    std::wstring str() const { return s_ ? std::wstring(s_, length()) : std::wstring(); }

private:
    BSTR s_ = nullptr;
};

class Variant {
public:
    Variant() { ::VariantInit(&v_); }
    Variant(Variant&& o) noexcept : v_(o.v_) { ::VariantInit(&o.v_); }
    Variant& operator=(Variant&& o) noexcept {
        if (this != &o) { ::VariantClear(&v_); v_ = o.v_; ::VariantInit(&o.v_); }
        return *this;
    }
    Variant(const Variant&) = delete;
    Variant& operator=(const Variant&) = delete;
    ~Variant() { ::VariantClear(&v_); }

    VARIANT* get() { return &v_; }
    const VARIANT* get() const { return &v_; }
    VARIANT* operator->() { return &v_; }
    const VARIANT* operator->() const { return &v_; }
    VARIANT* put() { ::VariantClear(&v_); return &v_; }
    VARIANT release() { VARIANT v = v_; ::VariantInit(&v_); return v; }

private:
    VARIANT v_;
};

class SafeArray {
public:
    SafeArray() = default;
    explicit SafeArray(SAFEARRAY* a) : a_(a) {}
    SafeArray(SafeArray&& o) noexcept : a_(std::exchange(o.a_, nullptr)) {}
    SafeArray& operator=(SafeArray&& o) noexcept {
        if (this != &o) { reset(); a_ = std::exchange(o.a_, nullptr); }
        return *this;
    }
    SafeArray(const SafeArray&) = delete;
    SafeArray& operator=(const SafeArray&) = delete;
    ~SafeArray() { reset(); }

    SAFEARRAY* get() const { return a_; }
    SAFEARRAY* release() { return std::exchange(a_, nullptr); }
    void reset() { if (a_) ::SafeArrayDestroy(a_); a_ = nullptr; }

private:
    SAFEARRAY* a_ = nullptr;
};

// ANSI (system code page) and Unicode conversions used at every API boundary.
std::wstring WideFromAnsi(const char* s, size_t len);
inline std::wstring WideFromAnsi(const std::string& s) { return WideFromAnsi(s.data(), s.size()); }
std::string AnsiFromWide(const wchar_t* s, size_t len);
inline std::string AnsiFromWide(const std::wstring& s) { return AnsiFromWide(s.data(), s.size()); }

}  // namespace vantrel
