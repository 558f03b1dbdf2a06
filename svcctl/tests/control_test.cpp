// The control in a C++ test container: late-bound calls by DISPID as the manager makes
// them, persistence through a stream and a property bag, property-browser texts, the
// ambient user mode, and the lock members with doubles (Wine's database lock is fake).
#include <gtest/gtest.h>
#include <windows.h>

#include <ocidl.h>
#include <olectl.h>
#include <wrl/client.h>

#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "automation/service_control.h"
#include "binding.h"
#include "core/control_state.h"
#include "dovrin.h"
#include "platform/winapi/ambient_site.h"
#include "platform/winapi/com_barrier.h"
#include "platform/winapi/oleauto.h"

using Microsoft::WRL::ComPtr;
using dovrin::binding::Group;
using dovrin::binding::ScopedEntry;
using vantrel::Variant;

namespace {

struct Com {
    Com() { ::CoInitialize(nullptr); }
    ~Com() { ::CoUninitialize(); }
};

ComPtr<IDispatch> NewControl() {
    ComPtr<IDispatch> d;
    EXPECT_EQ(dovrin::automation::CreateServiceControl(IID_IDispatch, reinterpret_cast<void**>(d.GetAddressOf())), S_OK);
    return d;
}

// Calls by DISPID as a late-bound container does; the status and error text come back.
struct Call {
    HRESULT status = S_OK;
    std::wstring description;
    Variant result;
};

Call Invoke(IDispatch* d, DISPID id, WORD flags, std::vector<VARIANT> args = {}) {
    Call c;
    std::vector<VARIANT> reversed(args.rbegin(), args.rend());
    DISPID put = DISPID_PROPERTYPUT;
    DISPPARAMS params{reversed.data(), nullptr, UINT(reversed.size()), 0};
    if (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) {
        params.rgdispidNamedArgs = &put;
        params.cNamedArgs = 1;
    }
    EXCEPINFO ex{};
    c.status = d->Invoke(id, IID_NULL, 0, flags, &params, c.result.get(), &ex, nullptr);
    if (c.status == DISP_E_EXCEPTION) {
        c.status = ex.scode;
        if (ex.bstrDescription) c.description = ex.bstrDescription;
        ::SysFreeString(ex.bstrDescription);
        ::SysFreeString(ex.bstrSource);
        ::SysFreeString(ex.bstrHelpFile);
    }
    for (auto& a : args) ::VariantClear(&a);
    return c;
}

VARIANT Long(long v) {
    VARIANT x;
    x.vt = VT_I4;
    x.lVal = v;
    return x;
}
VARIANT BoolArg(bool v) {
    VARIANT x;
    x.vt = VT_BOOL;
    x.boolVal = v ? VARIANT_TRUE : VARIANT_FALSE;
    return x;
}
VARIANT Str(const wchar_t* s) {
    VARIANT x;
    x.vt = VT_BSTR;
    x.bstrVal = ::SysAllocString(s);
    return x;
}

HRESULT Put(IDispatch* d, DISPID id, VARIANT v) { return Invoke(d, id, DISPATCH_PROPERTYPUT, {v}).status; }
long GetLong(IDispatch* d, DISPID id) {
    Call c = Invoke(d, id, DISPATCH_PROPERTYGET);
    EXPECT_EQ(c.status, S_OK) << id;
    Variant v;
    ::VariantChangeType(v.get(), c.result.get(), 0, VT_I4);
    return v->lVal;
}
std::wstring GetText(IDispatch* d, DISPID id) {
    Call c = Invoke(d, id, DISPATCH_PROPERTYGET);
    EXPECT_EQ(c.status, S_OK) << id;
    return c.result->vt == VT_BSTR && c.result->bstrVal ? c.result->bstrVal : L"";
}

// DISPIDs the manager program is built against.
enum : DISPID {
    kMachineName = 10, kDatabaseName = 0xB, kActiveManager = 0xE, kActiveService = 0xF,
    kManagerAccess = 0x10, kServiceAccess = 0x11, kServiceName = 0x12, kServiceType = 0x13,
    kDisplayName = 0x14, kStartType = 0x16, kErrorControl = 0x17, kTagId = 0x19,
    kLoadOrder = 0x18, kDependencies = 0x1A, kPassword = 0x1D, kManagerHandle = 0x1E, kDBLockHandle = 0x21,
    kDBLocked = 0x22, kStartservice = 0x25, kControlService = 0x26,
    kQueryServiceLockStatus = 0x2C, kLogonAs = 0x103, kGetEveryoneName = 0x105
};

// The description of the error information the calling thread was left.
std::wstring LastErrorText() {
    ComPtr<IErrorInfo> info;
    if (::GetErrorInfo(0, info.GetAddressOf()) != S_OK || !info) return L"";
    vantrel::Bstr text;
    info->GetDescription(text.put());
    return text.str();
}

TEST(ControlDispatch, NamesMapToTheFixedDispids) {
    Com com;
    auto d = NewControl();
    const std::map<std::wstring, DISPID> expected = {
        {L"DatabaseName", 0xB}, {L"ManagerAccess", 0x10}, {L"ServiceAccess", 0x11},
        {L"ServiceName", 0x12}, {L"DisplayName", 0x14}, {L"BinaryPathName", 0x15},
        {L"StartType", 0x16}, {L"ErrorControl", 0x17}, {L"ServiceType", 0x13},
        {L"LoadOrder", 0x18}, {L"TagId", 0x19}, {L"Dependencies", 0x1A},
        {L"ServiceStartName", 0x1B}, {L"Password", 0x1D}, {L"ManagerHandle", 0x1E},
        {L"ServiceHandle", 0x20}, {L"DBLockHandle", 0x21}, {L"DBLocked", 0x22},
        {L"DeleteService", 0x23}, {L"Createservice", 0x24}, {L"Startservice", 0x25},
        {L"ControlService", 0x26}, {L"GetServiceDisplayName", 0x27},
        {L"GetServiceKeyName", 0x1F}, {L"QueryServiceStatus", 0x28},
        {L"NotifyBootConfigStatus", 0x29}, {L"GetServiceList", 0x2A},
        {L"GetDependentServiceList", 0x2B}, {L"QueryServiceLockStatus", 0x2C},
        {L"GetOrderGroupList", 0x2D}, {L"GetPropertyServiceNames", 0x2E},
        {L"ActiveManager", 0xE}, {L"ActiveService", 0xF}, {L"MachineName", 10}};
    for (const auto& [name, id] : expected) {
        LPOLESTR n = const_cast<LPOLESTR>(name.c_str());
        DISPID got = 0;
        EXPECT_EQ(d->GetIDsOfNames(IID_NULL, &n, 1, 0, &got), S_OK) << std::string(name.begin(), name.end());
        EXPECT_EQ(got, id) << std::string(name.begin(), name.end());
    }
}

TEST(ControlDispatch, ConversionsAndRefusedPutsByDispid) {
    Com com;
    auto d = NewControl();
    EXPECT_EQ(Put(d.Get(), kServiceAccess, Long(0xF01FF)), S_OK);
    EXPECT_EQ(GetLong(d.Get(), kServiceAccess), 983551);
    EXPECT_EQ(Put(d.Get(), kServiceAccess, Long(0x14)), S_OK);
    EXPECT_EQ(GetLong(d.Get(), kServiceAccess), 20);
    EXPECT_EQ(Put(d.Get(), kStartType, Long(7)), S_OK);
    EXPECT_EQ(GetLong(d.Get(), kStartType), 4);
    EXPECT_EQ(Put(d.Get(), kErrorControl, Long(9)), S_OK);
    EXPECT_EQ(GetLong(d.Get(), kErrorControl), 1);

    EXPECT_EQ(Put(d.Get(), kManagerAccess, Long(5)), S_OK);
    EXPECT_EQ(Put(d.Get(), kActiveManager, BoolArg(true)), S_OK);
    EXPECT_EQ(GetLong(d.Get(), kActiveManager), -1);
    EXPECT_NE(GetLong(d.Get(), kManagerHandle), 0);
    Call refused = Invoke(d.Get(), kManagerAccess, DISPATCH_PROPERTYPUT, {Long(1)});
    EXPECT_EQ(refused.status, HRESULT(0x800407D0));
    EXPECT_EQ(refused.description, L"Can not change parameter when CONTROL SERVICE MANAGER is active");
    EXPECT_EQ(GetLong(d.Get(), kManagerAccess), 5);
    EXPECT_EQ(Put(d.Get(), kActiveManager, BoolArg(false)), S_OK);
    EXPECT_EQ(GetLong(d.Get(), kManagerHandle), 0);

    // A service that does not exist: the system's text with its code.
    Put(d.Get(), kServiceName, Str(L"VtTestNoSuchService"));
    Call open = Invoke(d.Get(), kActiveService, DISPATCH_PROPERTYPUT, {BoolArg(true)});
    EXPECT_EQ(open.status, HRESULT(0x800407D0));
    EXPECT_EQ(open.description.rfind(L"1060: ", 0), 0u) << open.description;
    EXPECT_EQ(GetLong(d.Get(), kActiveService), 0);

    // Object properties take a script's Set (PROPERTYPUTREF) as their put, and ignore it.
    Call deps = Invoke(d.Get(), kDependencies, DISPATCH_PROPERTYGET);
    ASSERT_EQ(deps.status, S_OK);
    VARIANT same;
    ::VariantInit(&same);
    ::VariantCopy(&same, deps.result.get());
    EXPECT_EQ(Invoke(d.Get(), kDependencies, DISPATCH_PROPERTYPUTREF, {same}).status, S_OK);
    Call logon = Invoke(d.Get(), kLogonAs, DISPATCH_PROPERTYGET);
    ASSERT_EQ(logon.status, S_OK);
    Call again = Invoke(d.Get(), kLogonAs, DISPATCH_PROPERTYGET);
    EXPECT_EQ(logon.result->pdispVal, again.result->pdispVal);  // the same object
    VARIANT none;
    none.vt = VT_DISPATCH;
    none.pdispVal = nullptr;
    EXPECT_EQ(Invoke(d.Get(), kLogonAs, DISPATCH_PROPERTYPUTREF, {none}).status, S_OK);
}

// --- the database lock through doubles ---
SC_LOCK const kLock = reinterpret_cast<SC_LOCK>(0x5300);
int unlocks = 0;
SC_LOCK WINAPI FakeLock(SC_HANDLE) { return kLock; }
BOOL WINAPI FakeUnlock(SC_LOCK) { ++unlocks; return TRUE; }
// The owner text lies in the caller's buffer, after the record, as the system puts it.
BOOL WINAPI LockedStatus(SC_HANDLE, LPQUERY_SERVICE_LOCK_STATUSA status, DWORD, LPDWORD) {
    char* owner = reinterpret_cast<char*>(status + 1);
    std::strcpy(owner, "VTDOMAIN\\admin");
    status->fIsLocked = 1;
    status->lpLockOwner = owner;
    status->dwLockDuration = 42;
    return TRUE;
}

TEST(ControlDispatch, RunningOutOfMemoryIsReportedNotThrown) {
    Com com;
    auto d = NewControl();
    ASSERT_EQ(Put(d.Get(), kServiceName, Str(L"VtSomeService")), S_OK);
    vantrel::com::FailAllocationForTest("automation string");
    Call c = Invoke(d.Get(), kServiceName, DISPATCH_PROPERTYGET);
    vantrel::com::FailAllocationForTest(nullptr);
    EXPECT_EQ(c.status, E_OUTOFMEMORY);
    EXPECT_EQ(c.description, L"Out of memory");
    EXPECT_EQ(GetText(d.Get(), kServiceName), L"VtSomeService");
}

BOOL WINAPI NoMemoryForSid(PSID_IDENTIFIER_AUTHORITY, BYTE, DWORD, DWORD, DWORD, DWORD, DWORD, DWORD, DWORD,
                           DWORD, PSID* sid) {
    *sid = nullptr;
    ::SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return FALSE;
}

// The name "everyone" stands only for a SID that cannot be looked up; a SID that cannot be
// made is the caller's error.
TEST(ControlDispatch, EveryoneNameRaisesWhenItsSidCannotBeAllocated) {
    Com com;
    auto d = NewControl();
    {
        ScopedEntry no_memory(Group::Account, "AllocateAndInitializeSid", &NoMemoryForSid);
        Call c = Invoke(d.Get(), kGetEveryoneName, DISPATCH_METHOD, {Str(L"")});
        EXPECT_EQ(c.status, HRESULT(0x800407D0));
        EXPECT_EQ(c.description.rfind(L"8: ", 0), 0u) << c.description;
        EXPECT_GT(c.description.size(), 5u) << "the system's text for the code";
        EXPECT_TRUE(c.result->vt != VT_BSTR || ::SysStringLen(c.result->bstrVal) == 0);  // no name at all
    }
    Call c = Invoke(d.Get(), kGetEveryoneName, DISPATCH_METHOD, {Str(L"")});
    EXPECT_EQ(c.status, S_OK);
    ASSERT_EQ(c.result->vt, VT_BSTR);
    EXPECT_STREQ(c.result->bstrVal, L"Everyone");
}

TEST(ControlDispatch, LockMembersWithDoubles) {
    Com com;
    ScopedEntry lock(Group::Service, "LockServiceDatabase", &FakeLock);
    ScopedEntry unlock(Group::Service, "UnlockServiceDatabase", &FakeUnlock);
    ScopedEntry status(Group::Service, "QueryServiceLockStatusA", &LockedStatus);
    auto d = NewControl();
    Put(d.Get(), kManagerAccess, Long(0x19));  // connect, lock, query lock status
    ASSERT_EQ(Put(d.Get(), kActiveManager, BoolArg(true)), S_OK);
    EXPECT_EQ(Put(d.Get(), kDBLocked, BoolArg(true)), S_OK);
    EXPECT_EQ(GetLong(d.Get(), kDBLocked), -1);
    EXPECT_EQ(GetLong(d.Get(), kDBLockHandle), 0x5300);

    Call q = Invoke(d.Get(), kQueryServiceLockStatus, DISPATCH_METHOD);
    ASSERT_EQ(q.status, S_OK);
    ComPtr<IQueryServiceLockStatus> st;
    ASSERT_EQ(q.result->pdispVal->QueryInterface(IID_IQueryServiceLockStatus, reinterpret_cast<void**>(st.GetAddressOf())), S_OK);
    long v = 0;
    st->get_fIsLocked(&v);
    EXPECT_EQ(v, 1);
    st->get_dwLockDuration(&v);
    EXPECT_EQ(v, 42);
    vantrel::Bstr owner;
    st->get_lpLockOwner(owner.put());
    EXPECT_EQ(owner.str(), L"VTDOMAIN\\admin");

    unlocks = 0;
    EXPECT_EQ(Put(d.Get(), kDBLocked, BoolArg(false)), S_OK);
    EXPECT_EQ(unlocks, 1);
    EXPECT_EQ(GetLong(d.Get(), kDBLockHandle), 0);
}

// --- persistence ---

class MemoryBag : public IPropertyBag {
public:
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
        if (riid == IID_IUnknown || riid == IID_IPropertyBag) {
            *ppv = this;
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }
    STDMETHODIMP Read(LPCOLESTR name, VARIANT* v, IErrorLog*) override {
        auto it = values.find(name);
        if (it == values.end()) return E_INVALIDARG;
        return ::VariantCopy(v, it->second.get());
    }
    STDMETHODIMP Write(LPCOLESTR name, VARIANT* v) override {
        return ::VariantCopy(values[name].put(), v);
    }
    std::map<std::wstring, Variant> values;
};

TEST(ControlPersistence, StreamRoundTripKeepsEveryStoredProperty) {
    Com com;
    auto d = NewControl();
    Put(d.Get(), kMachineName, Str(L"VtHost"));
    Put(d.Get(), kManagerAccess, Long(7));
    Put(d.Get(), kServiceAccess, Long(0x14));
    Put(d.Get(), kServiceName, Str(L"VtTestPersisted"));
    Put(d.Get(), kTagId, Long(9));
    Put(d.Get(), kPassword, Str(L"secret"));
    Call deps = Invoke(d.Get(), kDependencies, DISPATCH_PROPERTYGET);
    ComPtr<IStringList> list;
    deps.result->pdispVal->QueryInterface(IID_IStringList, reinterpret_cast<void**>(list.GetAddressOf()));
    vantrel::Bstr text(L"VtA\r\n+VtGroup");
    list->put_Text(text.get());

    ComPtr<IPersistStreamInit> persist;
    ASSERT_EQ(d.As(&persist), S_OK);
    EXPECT_EQ(persist->IsDirty(), S_OK);
    ComPtr<IStream> stream;
    ASSERT_EQ(::CreateStreamOnHGlobal(nullptr, TRUE, stream.GetAddressOf()), S_OK);
    ASSERT_EQ(persist->Save(stream.Get(), TRUE), S_OK);
    EXPECT_EQ(persist->IsDirty(), S_FALSE);

    auto back = NewControl();
    ComPtr<IPersistStreamInit> loader;
    ASSERT_EQ(back.As(&loader), S_OK);
    LARGE_INTEGER zero{};
    stream->Seek(zero, STREAM_SEEK_SET, nullptr);
    ASSERT_EQ(loader->Load(stream.Get()), S_OK);
    EXPECT_EQ(GetText(back.Get(), kMachineName), L"VtHost");
    EXPECT_EQ(GetLong(back.Get(), kManagerAccess), 7);
    EXPECT_EQ(GetLong(back.Get(), kServiceAccess), 20);
    EXPECT_EQ(GetText(back.Get(), kServiceName), L"VtTestPersisted");
    EXPECT_EQ(GetLong(back.Get(), kTagId), 9);
    EXPECT_EQ(GetText(back.Get(), kPassword), L"secret");
    Call backDeps = Invoke(back.Get(), kDependencies, DISPATCH_PROPERTYGET);
    ComPtr<IStringList> backList;
    backDeps.result->pdispVal->QueryInterface(IID_IStringList, reinterpret_cast<void**>(backList.GetAddressOf()));
    vantrel::Bstr backText;
    backList->get_Text(backText.put());
    EXPECT_EQ(backText.str(), L"VtA\r\n+VtGroup\r\n");
}

TEST(ControlPersistence, ABrokenStreamLoadsNothing) {
    Com com;
    auto d = NewControl();
    ComPtr<IPersistStreamInit> persist;
    ASSERT_EQ(d.As(&persist), S_OK);
    ComPtr<IStream> stream;
    ::CreateStreamOnHGlobal(nullptr, TRUE, stream.GetAddressOf());
    // A length far beyond the data, then a valid-looking start.
    ULONG huge = 0x7FFFFFFF;
    stream->Write(&huge, sizeof huge, nullptr);
    stream->Write("VTCS", 4, nullptr);
    LARGE_INTEGER zero{};
    stream->Seek(zero, STREAM_SEEK_SET, nullptr);
    EXPECT_EQ(persist->Load(stream.Get()), HRESULT(0x8000FFFF));
    EXPECT_EQ(GetLong(d.Get(), kManagerAccess), 1);  // unchanged
}

TEST(ControlPersistence, ARefusedStreamLoadLeavesTheSetterRulesInForce) {
    Com com;
    auto source = NewControl();
    Put(source.Get(), kMachineName, Str(L"VtOtherHost"));
    ComPtr<IPersistStreamInit> saver;
    ASSERT_EQ(source.As(&saver), S_OK);
    ComPtr<IStream> stream;
    ASSERT_EQ(::CreateStreamOnHGlobal(nullptr, TRUE, stream.GetAddressOf()), S_OK);
    ASSERT_EQ(saver->Save(stream.Get(), TRUE), S_OK);

    // Another machine while the manager is open is refused, and the load with it.
    auto d = NewControl();
    ASSERT_EQ(Put(d.Get(), kActiveManager, BoolArg(true)), S_OK);
    ComPtr<IPersistStreamInit> loader;
    ASSERT_EQ(d.As(&loader), S_OK);
    LARGE_INTEGER zero{};
    stream->Seek(zero, STREAM_SEEK_SET, nullptr);
    EXPECT_EQ(loader->Load(stream.Get()), HRESULT(0x800407D0));

    // The control is not left loading: the open manager still refuses a new access.
    Call refused = Invoke(d.Get(), kManagerAccess, DISPATCH_PROPERTYPUT, {Long(5)});
    EXPECT_EQ(refused.status, HRESULT(0x800407D0));
    EXPECT_EQ(refused.description, L"Can not change parameter when CONTROL SERVICE MANAGER is active");
    EXPECT_NE(GetLong(d.Get(), kManagerAccess), 5);
    EXPECT_EQ(Put(d.Get(), kActiveManager, BoolArg(false)), S_OK);
}

TEST(ControlPersistence, TheManagersFormStreamLoads) {
    Com com;
    // The values the manager's form holds: 28 x 28, both flags false, [M_CONNECT], all
    // service access, BOOT_START, ERROR_IGNORE, no service type, tag 0; no texts.
    dovrin::ControlState form;
    auto add = [&](const char* name, dovrin::ValueKind kind, int value) {
        dovrin::StateValue v;
        v.name = name;
        v.kind = kind;
        v.integer = value;
        form.values.push_back(v);
    };
    add("ActiveManager", dovrin::ValueKind::Boolean, 0);
    add("ActiveService", dovrin::ValueKind::Boolean, 0);
    add("ManagerAccess", dovrin::ValueKind::Integer, 1);
    add("ServiceAccess", dovrin::ValueKind::Integer, 983551);
    add("StartType", dovrin::ValueKind::Integer, 0);
    add("ErrorControl", dovrin::ValueKind::Integer, 0);
    add("ServiceType", dovrin::ValueKind::Integer, 0);
    add("TagId", dovrin::ValueKind::Integer, 0);
    auto bytes = dovrin::EncodeControlState(form);
    ComPtr<IStream> stream;
    ::CreateStreamOnHGlobal(nullptr, TRUE, stream.GetAddressOf());
    ULONG size = ULONG(bytes.size());
    stream->Write(&size, sizeof size, nullptr);
    stream->Write(bytes.data(), size, nullptr);
    LARGE_INTEGER zero{};
    stream->Seek(zero, STREAM_SEEK_SET, nullptr);

    auto d = NewControl();
    Put(d.Get(), kServiceAccess, Long(4));
    Put(d.Get(), kStartType, Long(3));
    ComPtr<IPersistStreamInit> persist;
    ASSERT_EQ(d.As(&persist), S_OK);
    ASSERT_EQ(persist->Load(stream.Get()), S_OK);
    EXPECT_EQ(GetLong(d.Get(), kManagerAccess), 1);
    EXPECT_EQ(GetLong(d.Get(), kServiceAccess), 983551);
    EXPECT_EQ(GetLong(d.Get(), kStartType), 0);
    EXPECT_EQ(GetLong(d.Get(), kServiceType), 0);
    EXPECT_EQ(GetLong(d.Get(), kActiveManager), 0);
    EXPECT_EQ(GetText(d.Get(), kServiceName), L"");
    // And the manager's calling order works on the loaded control.
    EXPECT_EQ(Put(d.Get(), kManagerAccess, Long(5)), S_OK);
    EXPECT_EQ(Put(d.Get(), kActiveManager, BoolArg(true)), S_OK);
}

TEST(ControlPersistence, PropertyBagHoldsOnlyStoredPublishedProperties) {
    Com com;
    auto d = NewControl();
    Put(d.Get(), kServiceName, Str(L"VtTestBag"));
    Put(d.Get(), kManagerAccess, Long(5));
    Put(d.Get(), kActiveManager, BoolArg(true));
    ComPtr<IPersistPropertyBag> persist;
    ASSERT_EQ(d.As(&persist), S_OK);
    MemoryBag bag;
    ASSERT_EQ(persist->Save(&bag, TRUE, TRUE), S_OK);
    for (const wchar_t* handle : {L"ManagerHandle", L"ServiceHandle", L"DBLockHandle", L"DBLocked"})
        EXPECT_EQ(bag.values.count(handle), 0u);
    EXPECT_EQ(bag.values.count(L"DisplayName"), 0u);  // empty texts are not stored
    ASSERT_EQ(bag.values.count(L"ServiceName"), 1u);
    EXPECT_EQ(std::wstring(bag.values[L"ServiceName"]->bstrVal), L"VtTestBag");
    EXPECT_EQ(bag.values[L"ManagerAccess"]->lVal, 5);
    EXPECT_EQ(bag.values[L"ActiveManager"]->boolVal, VARIANT_TRUE);
    // Both logon texts are always stored, empty or not.
    EXPECT_EQ(bag.values.count(L"LogonAs.UserName"), 1u);
    EXPECT_EQ(bag.values.count(L"LogonAs.Password"), 1u);
    Put(d.Get(), kActiveManager, BoolArg(false));

    // Loading opens the manager as recorded, after all values are set.
    auto back = NewControl();
    ComPtr<IPersistPropertyBag> loader;
    ASSERT_EQ(back.As(&loader), S_OK);
    ASSERT_EQ(loader->Load(&bag, nullptr), S_OK);
    EXPECT_EQ(GetText(back.Get(), kServiceName), L"VtTestBag");
    EXPECT_EQ(GetLong(back.Get(), kManagerAccess), 5);
    EXPECT_EQ(GetLong(back.Get(), kActiveManager), -1);
    EXPECT_NE(GetLong(back.Get(), kManagerHandle), 0);
}

// --- the container's side: site, ambient user mode, browsing, pages ---

TEST(ControlContainer, SitedControlAnswersTheBrowserAndNamesItsPages) {
    Com com;
    auto d = NewControl();
    ComPtr<IOleObject> ole;
    ASSERT_EQ(d.As(&ole), S_OK);
    DWORD misc = 0;
    EXPECT_EQ(ole->GetMiscStatus(DVASPECT_CONTENT, &misc), S_OK);
    EXPECT_EQ(misc, 0x400u);
    auto design = vantrel::com::AmbientSite::Create(false);  // design time
    ASSERT_EQ(ole->SetClientSite(design.Get()), S_OK);

    ComPtr<IPerPropertyBrowsing> browse;
    ASSERT_EQ(d.As(&browse), S_OK);
    Put(d.Get(), kManagerAccess, Long(3));
    vantrel::Bstr text;
    ASSERT_EQ(browse->GetDisplayString(kManagerAccess, text.put()), S_OK);
    EXPECT_EQ(text.str(), L"M_CONNECT+M_CREATE_SERVICE - 3");
    Put(d.Get(), kManagerAccess, Long(0));
    browse->GetDisplayString(kManagerAccess, text.put());
    EXPECT_EQ(text.str(), L" - 0");
    Put(d.Get(), kServiceAccess, Long(0xF01FF));
    browse->GetDisplayString(kServiceAccess, text.put());
    EXPECT_EQ(text.str(), L"S_ALL_ACCESS - 983551");
    Put(d.Get(), kServiceAccess, Long(0x10181));  // query config, interrogate, user control, delete
    browse->GetDisplayString(kServiceAccess, text.put());
    EXPECT_EQ(text.str(), L"S_QUERY_CONFIG+S_USER_DEFINED_CONTROL+S_DELETE+S_INTERROGATE - 65921");
    EXPECT_EQ(browse->GetDisplayString(kServiceName, text.put()), E_NOTIMPL);

    // Machine names in design mode: a server enumeration that fails here is swallowed.
    CALPOLESTR strings{};
    CADWORD cookies{};
    EXPECT_EQ(browse->GetPredefinedStrings(kMachineName, &strings, &cookies), S_OK);
    EXPECT_GT(design->asked(), 0);
    for (ULONG i = 0; i < strings.cElems; ++i) ::CoTaskMemFree(strings.pElems[i]);
    ::CoTaskMemFree(strings.pElems);
    ::CoTaskMemFree(cookies.pElems);

    // A value asked for before its list: the list, empty until then, has no such index.
    for (DISPID id : {kServiceName, kLoadOrder}) {
        Variant none;
        EXPECT_EQ(browse->GetPredefinedValue(id, 0, none.put()), HRESULT(0x8000FFFF)) << id;
        EXPECT_EQ(LastErrorText(), L"List index out of bounds (0)") << id;
        EXPECT_EQ(none->vt, VT_EMPTY);
    }

    // Service names, each value found again by its cookie.
    ASSERT_EQ(browse->GetPredefinedStrings(kServiceName, &strings, &cookies), S_OK);
    ASSERT_GT(strings.cElems, 0u);
    Variant value;
    ASSERT_EQ(browse->GetPredefinedValue(kServiceName, cookies.pElems[strings.cElems - 1], value.put()), S_OK);
    EXPECT_EQ(std::wstring(value->bstrVal), strings.pElems[strings.cElems - 1]);
    EXPECT_NE(browse->GetPredefinedValue(kServiceName, strings.cElems, value.put()), S_OK);
    for (ULONG i = 0; i < strings.cElems; ++i) ::CoTaskMemFree(strings.pElems[i]);
    ::CoTaskMemFree(strings.pElems);
    ::CoTaskMemFree(cookies.pElems);

    ComPtr<ISpecifyPropertyPages> pages;
    ASSERT_EQ(d.As(&pages), S_OK);
    CAUUID ids{};
    ASSERT_EQ(pages->GetPages(&ids), S_OK);
    ASSERT_EQ(ids.cElems, 4u);
    EXPECT_EQ(ids.pElems[0], dovrin::automation::kLogonAsPage);
    EXPECT_EQ(ids.pElems[1], dovrin::automation::kManagerAccessPage);
    EXPECT_EQ(ids.pElems[2], dovrin::automation::kServiceAccessPage);
    EXPECT_EQ(ids.pElems[3], dovrin::automation::kDependenciesPage);
    ::CoTaskMemFree(ids.pElems);

    // The event interface takes one sink (the site's dispatch) and lets it go again.
    ComPtr<IConnectionPointContainer> points;
    ASSERT_EQ(d.As(&points), S_OK);
    ComPtr<IConnectionPoint> point;
    ASSERT_EQ(points->FindConnectionPoint(DIID_INTServiceXEvents, point.GetAddressOf()), S_OK);
    DWORD cookie = 0, second = 0;
    ASSERT_EQ(point->Advise(static_cast<IDispatch*>(design.Get()), &cookie), S_OK);
    EXPECT_EQ(point->Advise(static_cast<IDispatch*>(design.Get()), &second), CONNECT_E_ADVISELIMIT);
    EXPECT_EQ(point->Unadvise(cookie), S_OK);
    EXPECT_EQ(point->Unadvise(cookie), CONNECT_E_NOCONNECTION);
    ComPtr<IProvideClassInfo> provide;
    ASSERT_EQ(d.As(&provide), S_OK);
    ComPtr<ITypeInfo> coclass;
    ASSERT_EQ(provide->GetClassInfo(coclass.GetAddressOf()), S_OK);
    TYPEATTR* attr = nullptr;
    ASSERT_EQ(coclass->GetTypeAttr(&attr), S_OK);
    EXPECT_EQ(attr->guid, CLSID_VuRURazerir);
    EXPECT_EQ(attr->typekind, TKIND_COCLASS);
    coclass->ReleaseTypeAttr(attr);
    ole->SetClientSite(nullptr);
}

TEST(ControlContainer, ActivatesInAParentWindowAndDeactivates) {
    Com com;
    HWND parent = ::CreateWindowA("STATIC", "VtTestParent", WS_OVERLAPPEDWINDOW, 0, 0, 200, 200,
                                  nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(parent, nullptr);
    auto d = NewControl();
    ComPtr<IOleObject> ole;
    ASSERT_EQ(d.As(&ole), S_OK);
    RECT pos{10, 20, 110, 70};
    ASSERT_EQ(ole->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, nullptr, 0, parent, &pos), S_OK);
    ComPtr<IOleInPlaceObject> inplace;
    ASSERT_EQ(d.As(&inplace), S_OK);
    HWND window = nullptr;
    ASSERT_EQ(inplace->GetWindow(&window), S_OK);
    EXPECT_EQ(::GetParent(window), parent);
    RECT r;
    ::GetWindowRect(window, &r);
    EXPECT_EQ(r.right - r.left, 28);  // the control keeps its icon size
    EXPECT_EQ(Invoke(d.Get(), 1, DISPATCH_METHOD).status, S_OK);  // Repaint
    EXPECT_EQ(inplace->InPlaceDeactivate(), S_OK);
    EXPECT_FALSE(::IsWindow(window));
    ::DestroyWindow(parent);
}

}  // namespace
