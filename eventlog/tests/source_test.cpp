// EventSource writing real events, read back through EventLog, and the registry
// configuration classes of sources and logs.
#include <gtest/gtest.h>

#include <windows.h>
#include <sddl.h>

#include "client_support.h"
#include "registry_read.h"

namespace {

const char kLogKey[] = "SYSTEM\\CurrentControlSet\\Services\\EventLog";

VARIANT Missing() {
    VARIANT v;
    v.vt = VT_ERROR;
    v.scode = DISP_E_PARAMNOTFOUND;
    return v;
}

// Owns a SAFEARRAY inside a VARIANT of the given element type.
struct ArrayArg {
    ArrayArg(VARTYPE type, LONG n, UINT dims = 1) {
        SAFEARRAYBOUND b[2] = {{static_cast<ULONG>(n), 0}, {2, 0}};
        v.vt = VT_ARRAY | type;
        v.parray = ::SafeArrayCreate(type, dims, b);
    }
    ~ArrayArg() { ::VariantClear(&v); }
    VARIANT v;
};

class Source : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(log_.Clear());
        // Sources of this test belong to its log, so that their events land there.
        for (const char* name : {"VtSourceA", "lorvex_source_test"}) {
            vantrel::RegKey k;
            ::RegCreateKeyExA(HKEY_LOCAL_MACHINE, (std::string(kLogKey) + "\\VtSourceTest\\" + name).c_str(), 0,
                              nullptr, 0, KEY_SET_VALUE, nullptr, k.put(), nullptr);
        }
        src_ = Create<IEventSource>(L"Lorvex.EventSource");
        ASSERT_TRUE(src_);
        src_->put_SourceName(B(L"VtSourceA").get());
        el_ = Create<IEventLog>(L"Lorvex.EventLog");
        el_->put_SourceName(B(L"VtSourceTest").get());
        el_->put_CacheSize(0);
    }
    ComPtr<IEventLogRecord> Last() {
        long oldest = 0, count = 0;
        el_->get_OldestRecordNumber(&oldest);
        el_->get_RecordCount(&count);
        ComPtr<IEventLogRecord> r;
        if (count > 0) el_->ReadRecord(oldest + count - 1, &r);
        return r;
    }
    long Count() {
        long count = 0;
        el_->get_RecordCount(&count);
        return count;
    }
    static std::vector<std::wstring> StringsOf(IEventLogRecord* r) {
        vantrel::Variant v;
        r->get_Strings(v.put());
        std::vector<std::wstring> out;
        if (v->vt != (VT_ARRAY | VT_VARIANT)) return out;
        LONG lo = 0, hi = -1;
        ::SafeArrayGetLBound(v->parray, 1, &lo);
        ::SafeArrayGetUBound(v->parray, 1, &hi);
        for (LONG i = lo; i <= hi; ++i) {
            vantrel::Variant e;
            ::SafeArrayGetElement(v->parray, &i, e.get());
            out.push_back(e->bstrVal);
        }
        return out;
    }
    static std::vector<int> DataOf(IEventLogRecord* r) {
        vantrel::Variant v;
        r->get_Data(v.put());
        std::vector<int> out;
        if (v->vt != (VT_ARRAY | VT_VARIANT)) return out;
        LONG lo = 0, hi = -1;
        ::SafeArrayGetLBound(v->parray, 1, &lo);
        ::SafeArrayGetUBound(v->parray, 1, &hi);
        for (LONG i = lo; i <= hi; ++i) {
            vantrel::Variant e;
            ::SafeArrayGetElement(v->parray, &i, e.get());
            out.push_back(e->bVal);
        }
        return out;
    }
    ComApartment apartment_;
    TestLog log_{"VtSourceTest"};
    ComPtr<IEventSource> src_;
    ComPtr<IEventLog> el_;
};

TEST_F(Source, ReportsWhatAReaderDecodesIdentically) {
    long handle = -1;
    src_->get_hEventSource(&handle);
    EXPECT_EQ(handle, 0);  // registered only by the first report
    ASSERT_EQ(src_->ReportError(1000, Missing(), Missing()), S_OK);
    auto r = Last();
    ASSERT_TRUE(r);
    vantrel::Bstr text;
    r->get_EventType(text.put());
    EXPECT_EQ(text.str(), L"Error");
    r->get_SourceName(text.put());
    EXPECT_EQ(text.str(), L"VtSourceA");
    long id = 0;
    r->get_EventId(&id);
    EXPECT_EQ(id, 1000);
    EXPECT_TRUE(StringsOf(r.Get()).empty());
    EXPECT_TRUE(DataOf(r.Get()).empty());
    src_->get_hEventSource(&handle);
    EXPECT_NE(handle, 0);

    src_->put_Category(65537);
    vantrel::Bstr one(L"only");
    VARIANT s;
    s.vt = VT_BSTR;
    s.bstrVal = one.get();
    ASSERT_EQ(src_->ReportWarning(7, s, Missing()), S_OK);
    r = Last();
    long category = 0;
    r->get_Category(&category);
    EXPECT_EQ(category, 1);
    r->get_EventType(text.put());
    EXPECT_EQ(text.str(), L"Warning");
    EXPECT_EQ(StringsOf(r.Get()), std::vector<std::wstring>{L"only"});
}

TEST_F(Source, AcceptsStringAndByteArraysInEveryShape) {
    ArrayArg strings(VT_BSTR, 2);
    LONG i = 0;
    vantrel::Bstr a(L"first"), b(L"second");
    ::SafeArrayPutElement(strings.v.parray, &i, a.get());
    i = 1;
    ::SafeArrayPutElement(strings.v.parray, &i, b.get());
    ArrayArg bytes(VT_UI1, 3);
    for (LONG k = 0; k < 3; ++k) {
        BYTE value = static_cast<BYTE>(k == 2 ? 255 : k + 1);
        ::SafeArrayPutElement(bytes.v.parray, &k, &value);
    }
    ASSERT_EQ(src_->ReportInformation(1, strings.v, bytes.v), S_OK);
    auto r = Last();
    EXPECT_EQ(StringsOf(r.Get()), (std::vector<std::wstring>{L"first", L"second"}));
    EXPECT_EQ(DataOf(r.Get()), (std::vector<int>{1, 2, 255}));

    // Arrays of variants, passed by reference as scripts do.
    ArrayArg vstrings(VT_VARIANT, 2), vbytes(VT_VARIANT, 3);
    for (LONG k = 0; k < 2; ++k) {
        VARIANT e;
        e.vt = VT_BSTR;
        e.bstrVal = k ? b.get() : a.get();
        ::SafeArrayPutElement(vstrings.v.parray, &k, &e);
    }
    for (LONG k = 0; k < 3; ++k) {
        VARIANT e;
        e.vt = VT_I4;
        e.lVal = k == 2 ? 255 : k + 1;
        ::SafeArrayPutElement(vbytes.v.parray, &k, &e);
    }
    VARIANT by_ref;
    by_ref.vt = VT_BYREF | VT_VARIANT;
    by_ref.pvarVal = &vstrings.v;
    ASSERT_EQ(src_->ReportInformation(2, by_ref, vbytes.v), S_OK);
    r = Last();
    EXPECT_EQ(StringsOf(r.Get()), (std::vector<std::wstring>{L"first", L"second"}));
    EXPECT_EQ(DataOf(r.Get()), (std::vector<int>{1, 2, 255}));
}

TEST_F(Source, RefusesOtherShapesAndWritesNothing) {
    const long before = Count();
    VARIANT number;
    number.vt = VT_I4;
    number.lVal = 5;
    EXPECT_EQ(src_->ReportError(1, number, Missing()), DISP_E_TYPEMISMATCH);
    EXPECT_EQ(ErrorText(), L"Unsupported variant type - strings expected");
    EXPECT_EQ(src_->ReportError(1, Missing(), number), DISP_E_TYPEMISMATCH);
    EXPECT_EQ(ErrorText(), L"Unsupported variant type - byte array expected");

    ArrayArg too_big(VT_VARIANT, 1);
    LONG k = 0;
    VARIANT e;
    e.vt = VT_I4;
    e.lVal = 256;
    ::SafeArrayPutElement(too_big.v.parray, &k, &e);
    EXPECT_TRUE(FAILED(src_->ReportError(1, Missing(), too_big.v)));
    EXPECT_EQ(ErrorText(), L"Error converting to a byte value");

    ArrayArg flat(VT_VARIANT, 2, 2);
    EXPECT_EQ(src_->ReportError(1, flat.v, Missing()), E_INVALIDARG);
    EXPECT_EQ(ErrorText(), L"Incorrect array dimensions - expecting one dimensional array");
    EXPECT_EQ(src_->ReportError(1, Missing(), flat.v), E_INVALIDARG);
    EXPECT_EQ(Count(), before);
}

TEST_F(Source, UserIdAndDefaultSourceName) {
    long on = -1;
    ASSERT_EQ(src_->put_UserId(1), S_OK);
    src_->get_UserId(&on);
    EXPECT_EQ(on, 1);
    ASSERT_EQ(src_->ReportInformation(3, Missing(), Missing()), S_OK);
    vantrel::Bstr user;
    Last()->get_UserName(user.put());
    char name[256];
    DWORD size = sizeof name;
    ::GetUserNameA(name, &size);
    const std::wstring expected = L"\\" + vantrel::WideFromAnsi(name);
    EXPECT_EQ(user.str().substr(user.str().size() - std::min(user.str().size(), expected.size())), expected);
    src_->put_UserId(0);
    src_->get_UserId(&on);
    EXPECT_EQ(on, 0);

    // No source name: the program's file name without its extension.
    src_->put_SourceName(B(L"").get());
    ASSERT_EQ(src_->ReportInformation(4, Missing(), Missing()), S_OK);
    vantrel::Bstr source;
    Last()->get_SourceName(source.put());
    EXPECT_EQ(source.str(), L"lorvex_source_test");
}

class Configuration : public ::testing::Test {
protected:
    ComApartment apartment_;
};

TEST_F(Configuration, SourceKeyComesAndGoesWithItsValues) {
    const std::string key = std::string(kLogKey) + "\\Application\\VtMyApp";
    ::RegDeleteTreeA(HKEY_LOCAL_MACHINE, key.c_str());
    auto cfg = Create<IEventSourceConfiguration>(L"Lorvex.EventSourceConfiguration");
    ASSERT_TRUE(cfg);
    EXPECT_EQ(cfg->put_EventMessageFile(B(L"x.dll").get()), E_FAIL);
    EXPECT_EQ(ErrorText(), L"Failed to supply source name");
    cfg->put_SourceName(B(L"VtMyApp").get());
    vantrel::Bstr text;
    EXPECT_TRUE(FAILED(cfg->get_ParameterMessageFile(text.put())));
    EXPECT_TRUE(StartsWith(ErrorText(), L"Error opening event source registry key - "));

    ASSERT_EQ(cfg->put_EventMessageFile(B(L"%SystemRoot%\\msg.dll").get()), S_OK);
    vantrel::RegKey k;
    ASSERT_EQ(::RegOpenKeyExA(HKEY_LOCAL_MACHINE, key.c_str(), 0, KEY_READ, k.put()), ERROR_SUCCESS);
    DWORD type = 0;
    ::RegQueryValueExA(k.get(), "EventMessageFile", nullptr, &type, nullptr, nullptr);
    EXPECT_EQ(type, static_cast<DWORD>(REG_EXPAND_SZ));
    k.reset();
    ASSERT_EQ(cfg->get_EventMessageFile(text.put()), S_OK);
    EXPECT_EQ(text.str(), L"%SystemRoot%\\msg.dll");
    ASSERT_EQ(cfg->get_ParameterMessageFile(text.put()), S_OK);
    EXPECT_EQ(text.length(), 0u);  // registered, value missing

    ASSERT_EQ(cfg->put_EventMessageFile(nullptr), S_OK);  // the last value: the key goes too
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, key));

    ASSERT_EQ(cfg->put_CategoryCount(3), S_OK);
    ASSERT_EQ(cfg->put_TypesSupported(static_cast<LORVEX_TYPES_SUPPORTED>(7)), S_OK);
    long n = 0;
    cfg->get_CategoryCount(&n);
    EXPECT_EQ(n, 3);
    ASSERT_EQ(cfg->put_TypesSupported(static_cast<LORVEX_TYPES_SUPPORTED>(0)), S_OK);
    EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, key));
    ASSERT_EQ(cfg->put_CategoryCount(0), S_OK);
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, key));
}

// Deleting a source's last value checks whether its key is now empty. A key that may be
// written but not read fails that check, and the failure names it.
TEST_F(Configuration, AKeyThatCannotBeReadWhenItsLastValueGoesIsReportedAsTheKeyQuery) {
    const std::string key = std::string(kLogKey) + "\\Application\\VtWriteOnly";
    ::RegDeleteTreeA(HKEY_LOCAL_MACHINE, key.c_str());
    auto setDacl = [&](const char* sddl) {
        PSECURITY_DESCRIPTOR sd = nullptr;
        ASSERT_TRUE(::ConvertStringSecurityDescriptorToSecurityDescriptorA(sddl, SDDL_REVISION_1, &sd, nullptr));
        vantrel::RegKey k;
        ASSERT_EQ(::RegOpenKeyExA(HKEY_LOCAL_MACHINE, key.c_str(), 0, WRITE_DAC, k.put()), ERROR_SUCCESS);
        EXPECT_EQ(::RegSetKeySecurity(k.get(), DACL_SECURITY_INFORMATION, sd), ERROR_SUCCESS);
        ::LocalFree(sd);
    };
    auto cfg = Create<IEventSourceConfiguration>(L"Lorvex.EventSourceConfiguration");
    cfg->put_SourceName(B(L"VtWriteOnly").get());
    ASSERT_EQ(cfg->put_CategoryCount(2), S_OK);
    setDacl("D:P(A;;0x2;;;WD)");  // KEY_SET_VALUE for everyone, nothing else
    vantrel::RegKey probe;
    ASSERT_EQ(::RegOpenKeyExA(HKEY_LOCAL_MACHINE, key.c_str(), 0, KEY_QUERY_VALUE, probe.put()),
              ERROR_ACCESS_DENIED);
    EXPECT_TRUE(FAILED(cfg->put_CategoryCount(0)));
    EXPECT_TRUE(StartsWith(ErrorText(), L"Error querying event source registry key - ")) << ErrorText();
    setDacl("D:(A;;KA;;;WD)");
    ::RegDeleteTreeA(HKEY_LOCAL_MACHINE, key.c_str());
}

TEST_F(Configuration, RetentionMapsToModeAndPeriodBothWays) {
    const std::string key = std::string(kLogKey) + "\\VtConfigLog";
    vantrel::RegKey k;
    ::RegCreateKeyExA(HKEY_LOCAL_MACHINE, key.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, k.put(), nullptr);
    DWORD retention = 300;
    ::RegSetValueExA(k.get(), "Retention", 0, REG_DWORD, reinterpret_cast<BYTE*>(&retention), 4);
    auto cfg = Create<IEventLogConfiguration>(L"Lorvex.EventLogConfiguration");
    cfg->put_SourceName(B(L"VtConfigLog").get());
    LORVEX_OVERWRITE_MODE mode;
    long period = 0;
    ASSERT_EQ(cfg->get_OverwriteMode(&mode), S_OK);
    cfg->get_OverwritePeriod(&period);
    EXPECT_EQ(mode, LORVEX_OVERWRITE_OLDER_THAN);
    EXPECT_EQ(period, 300);

    auto stored = [&] {
        DWORD v = 0, size = 4;
        ::RegQueryValueExA(k.get(), "Retention", nullptr, nullptr, reinterpret_cast<BYTE*>(&v), &size);
        return v;
    };
    retention = 0;
    ::RegSetValueExA(k.get(), "Retention", 0, REG_DWORD, reinterpret_cast<BYTE*>(&retention), 4);
    cfg->get_OverwriteMode(&mode);
    ASSERT_EQ(cfg->put_OverwritePeriod(120), S_OK);
    EXPECT_EQ(stored(), 0u);
    ASSERT_EQ(cfg->put_OverwriteMode(LORVEX_OVERWRITE_OLDER_THAN), S_OK);
    EXPECT_EQ(stored(), 120u);
    ASSERT_EQ(cfg->put_OverwriteMode(LORVEX_NO_OVERWRITE), S_OK);
    EXPECT_EQ(stored(), 0xFFFFFFFFu);
    cfg->get_OverwriteMode(&mode);
    cfg->get_OverwritePeriod(&period);
    EXPECT_EQ(mode, LORVEX_NO_OVERWRITE);
    EXPECT_EQ(period, 0);

    ASSERT_EQ(cfg->put_MaximumSize(0x100000), S_OK);
    cfg->get_MaximumSize(&period);
    EXPECT_EQ(period, 0x100000);
    ASSERT_EQ(cfg->put_FileName(B(L"%SystemRoot%\\vt.evt").get()), S_OK);
    vantrel::Bstr file;
    ASSERT_EQ(cfg->get_FileName(file.put()), S_OK);
    EXPECT_EQ(file.str(), L"%SystemRoot%\\vt.evt");  // not expanded
    // The value is read into 260 bytes: a text of 259 characters fits with its
    // terminating zero, one of 260 does not (ERROR_MORE_DATA).
    ASSERT_EQ(cfg->put_FileName(vantrel::Bstr(std::wstring(259, L'f')).get()), S_OK);
    ASSERT_EQ(cfg->get_FileName(file.put()), S_OK);
    EXPECT_EQ(file.str(), std::wstring(259, L'f'));
    ASSERT_EQ(cfg->put_FileName(vantrel::Bstr(std::wstring(260, L'f')).get()), S_OK);
    EXPECT_EQ(static_cast<uint32_t>(cfg->get_FileName(file.put())), 0x800700EAu);
    EXPECT_TRUE(StartsWith(ErrorText(), L"Error reading file name - ")) << ErrorText();

    // A log name with no key: the failure names the cause.
    cfg->put_SourceName(B(L"VtNoSuchLog").get());
    EXPECT_TRUE(FAILED(cfg->get_MaximumSize(&period)));
    EXPECT_TRUE(StartsWith(ErrorText(), L"Error opening registry key - "));
    k.reset();
    ::RegDeleteTreeA(HKEY_LOCAL_MACHINE, key.c_str());
}

}  // namespace
