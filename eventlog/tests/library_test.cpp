// The library as a client sees it: classes created by ProgID, error information, the
// type library, and when the DLL may be unloaded.
#include <gtest/gtest.h>
#include <windows.h>

#include <oleauto.h>

#include <string>
#include <vector>

#include "errors.h"
#include "lorvex.h"
#include "platform/winapi/com_server.h"
#include "platform/winapi/oleauto.h"

// The reporter is linked into this test directly; it needs a module of its own.
namespace vantrel::com {
ModuleCounts& Counts() { static ModuleCounts counts; return counts; }
HMODULE ModuleHandle() { return nullptr; }
}  // namespace vantrel::com

namespace {

struct ComApartment {
    ComApartment() { ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED); }
    ~ComApartment() { ::CoUninitialize(); }
};

template <class Itf>
Itf* CreateByProgId(const wchar_t* progid) {
    CLSID clsid;
    if (FAILED(::CLSIDFromProgID(progid, &clsid))) return nullptr;
    Itf* p = nullptr;
    ::CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, __uuidof(Itf), reinterpret_cast<void**>(&p));
    return p;
}

struct LastError {
    std::wstring source, description;
};

LastError TakeErrorInfo() {
    LastError e;
    IErrorInfo* info = nullptr;
    if (::GetErrorInfo(0, &info) != S_OK || !info) return e;
    vantrel::Bstr source, description;
    info->GetSource(source.put());
    info->GetDescription(description.put());
    info->Release();
    e.source = source.str();
    e.description = description.str();
    return e;
}

class Library : public ::testing::Test {
protected:
    ComApartment apartment_;
};

TEST_F(Library, EveryClassIsCreatedByItsProgId) {
    for (const wchar_t* progid : {L"Lorvex.EventSource", L"Lorvex.EventSource.1", L"Lorvex.EventSourceConfiguration",
                                  L"Lorvex.EventLog", L"Lorvex.EventLog.1", L"Lorvex.EventLogBackup",
                                  L"Lorvex.EventLogRecord", L"Lorvex.EventLogRecord.1",
                                  L"Lorvex.EventLogConfiguration"}) {
        IDispatch* obj = CreateByProgId<IDispatch>(progid);
        EXPECT_NE(obj, nullptr) << std::string(progid, progid + wcslen(progid));
        if (obj) obj->Release();
    }
}

TEST_F(Library, ADirectlyCreatedRecordHoldsTheDefaults) {
    IEventLogRecord* r = CreateByProgId<IEventLogRecord>(L"Lorvex.EventLogRecord");
    ASSERT_NE(r, nullptr);
    long n = -1;
    EXPECT_EQ(r->get_RecordNumber(&n), S_OK);
    EXPECT_EQ(n, 0);
    EXPECT_EQ(r->get_EventCode(&n), S_OK);
    EXPECT_EQ(n, 0);
    vantrel::Bstr text;
    EXPECT_EQ(r->get_EventType(text.put()), S_OK);
    ASSERT_NE(text.get(), nullptr);  // empty, but a real string
    EXPECT_EQ(text.length(), 0u);
    DATE d = 1.0;
    EXPECT_EQ(r->get_TimeWritten(&d), S_OK);
    EXPECT_EQ(d, 0.0);
    vantrel::Variant v;
    EXPECT_EQ(r->get_Strings(v.put()), S_OK);
    EXPECT_EQ(v->vt, VT_EMPTY);
    EXPECT_EQ(r->get_Data(v.put()), S_OK);
    EXPECT_EQ(v->vt, VT_EMPTY);
    r->Release();
}

TEST_F(Library, NullResultPointerGivesEPointerWithItsText) {
    IEventLogRecord* r = CreateByProgId<IEventLogRecord>(L"Lorvex.EventLogRecord");
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(r->get_UserName(nullptr), E_POINTER);
    LastError e = TakeErrorInfo();
    EXPECT_EQ(e.source, L"Lorvex.EventLogRecord.1");
    EXPECT_EQ(e.description, L"Null pointer");
    EXPECT_EQ(r->get_Strings(nullptr), E_POINTER);
    EXPECT_EQ(r->get_TimeGenerated(nullptr), E_POINTER);
    r->Release();

    IEventLog* log = CreateByProgId<IEventLog>(L"Lorvex.EventLog");
    ASSERT_NE(log, nullptr);
    EXPECT_EQ(log->get_RecordCount(nullptr), E_POINTER);
    EXPECT_EQ(TakeErrorInfo().source, L"Lorvex.EventLog.1");
    log->Release();
}

TEST_F(Library, OnlyTheOwnDualInterfaceSupportsErrorInfo) {
    IEventLog* log = CreateByProgId<IEventLog>(L"Lorvex.EventLog");
    ASSERT_NE(log, nullptr);
    ISupportErrorInfo* sei = nullptr;
    ASSERT_EQ(log->QueryInterface(IID_ISupportErrorInfo, reinterpret_cast<void**>(&sei)), S_OK);
    EXPECT_EQ(sei->InterfaceSupportsErrorInfo(IID_IEventLog), S_OK);
    EXPECT_EQ(sei->InterfaceSupportsErrorInfo(IID_IEventLogRecord), S_FALSE);
    sei->Release();
    log->Release();
}

TEST_F(Library, WindowsErrorsCarryCodeSystemMessageAndProgId) {
    char* message = nullptr;
    ::FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                     nullptr, ERROR_ACCESS_DENIED, 0x0400, reinterpret_cast<char*>(&message), 0, nullptr);
    ASSERT_NE(message, nullptr);
    std::string expected = std::string("Error opening event log - ") + message;
    ::LocalFree(message);

    HRESULT hr = lorvex::ReportWin32Error(CLSID_EventLog, ERROR_ACCESS_DENIED, "Error opening event log");
    EXPECT_EQ(static_cast<uint32_t>(hr), 0x80070005u);
    LastError e = TakeErrorInfo();
    EXPECT_EQ(e.source, L"Lorvex.EventLog.1");
    EXPECT_EQ(e.description, vantrel::WideFromAnsi(expected));
    EXPECT_EQ(e.description.substr(e.description.size() - 2), L"\r\n");  // the system's line end is kept

    // A failed call that recorded no code must not come back as success.
    hr = lorvex::ReportWin32Error(CLSID_EventLogBackup, 0, "Error opening backup event log");
    EXPECT_EQ(hr, E_FAIL);
    e = TakeErrorInfo();
    EXPECT_EQ(e.source, L"Lorvex.EventLogBackup.1");
    EXPECT_EQ(e.description, L"Error opening backup event log");

    // No fixed text: the system message alone.
    hr = lorvex::ReportWin32Error(CLSID_EventSource, ERROR_FILE_NOT_FOUND, nullptr);
    EXPECT_EQ(static_cast<uint32_t>(hr), 0x80070002u);
    EXPECT_EQ(TakeErrorInfo().description.find(L" - "), std::wstring::npos);

    // A class id that nobody registered leaves the source empty.
    const CLSID unknown = {0x12345678, 0, 0, {0, 0, 0, 0, 0, 0, 0, 1}};
    EXPECT_EQ(lorvex::ReportError(unknown, DISP_E_TYPEMISMATCH, "x"), DISP_E_TYPEMISMATCH);
    EXPECT_EQ(TakeErrorInfo().source, L"");
}

TEST_F(Library, DllCannotUnloadWhileARecordIsHeld) {
    IEventLogRecord* r = CreateByProgId<IEventLogRecord>(L"Lorvex.EventLogRecord");
    ASSERT_NE(r, nullptr);
    HMODULE dll = ::GetModuleHandleA("Lorvex.dll");
    ASSERT_NE(dll, nullptr);
    auto can_unload = reinterpret_cast<HRESULT(WINAPI*)()>(::GetProcAddress(dll, "DllCanUnloadNow"));
    ASSERT_NE(can_unload, nullptr);
    EXPECT_EQ(can_unload(), S_FALSE);
    r->Release();
    EXPECT_EQ(can_unload(), S_OK);

    // A server lock keeps it too.
    IClassFactory* factory = nullptr;
    ASSERT_EQ(::CoGetClassObject(CLSID_EventLog, CLSCTX_INPROC_SERVER, nullptr, IID_IClassFactory,
                                 reinterpret_cast<void**>(&factory)),
              S_OK);
    factory->LockServer(TRUE);
    factory->Release();
    EXPECT_EQ(can_unload(), S_FALSE);
    ASSERT_EQ(::CoGetClassObject(CLSID_EventLog, CLSCTX_INPROC_SERVER, nullptr, IID_IClassFactory,
                                 reinterpret_cast<void**>(&factory)),
              S_OK);
    factory->LockServer(FALSE);
    factory->Release();
    EXPECT_EQ(can_unload(), S_OK);
}

// The binary contract of the type library: for each interface, its members in slot
// order with their dispatch ids.
struct Member {
    const wchar_t* name;
    DISPID id;
    INVOKEKIND kind;
};

std::vector<Member> MembersInSlotOrder(ITypeInfo* info) {
    std::vector<Member> members;
    TYPEATTR* attr = nullptr;
    if (FAILED(info->GetTypeAttr(&attr))) return members;
    std::vector<std::pair<SHORT, Member>> by_slot;
    for (UINT i = 0; i < attr->cFuncs; ++i) {
        FUNCDESC* f = nullptr;
        info->GetFuncDesc(i, &f);
        vantrel::Bstr name;
        info->GetDocumentation(f->memid, name.put(), nullptr, nullptr, nullptr);
        static std::vector<std::wstring> names;  // keeps the texts alive for the result
        names.push_back(name.str());
        by_slot.push_back({f->oVft, {nullptr, f->memid, f->invkind}});
        by_slot.back().second.name = _wcsdup(names.back().c_str());
        info->ReleaseFuncDesc(f);
    }
    info->ReleaseTypeAttr(attr);
    std::sort(by_slot.begin(), by_slot.end(), [](auto& a, auto& b) { return a.first < b.first; });
    for (auto& s : by_slot) members.push_back(s.second);
    return members;
}

TEST_F(Library, TypeLibraryKeepsSlotsDispIdsAndHelpStrings) {
    ITypeLib* tl = nullptr;
    const GUID libid = {0x35D78BF0, 0xD5A4, 0x11D2, {0x96, 0x79, 0x00, 0x00, 0xF8, 0x77, 0x0C, 0x8E}};
    ASSERT_EQ(::LoadRegTypeLib(libid, 1, 0, 0x409, &tl), S_OK);
    vantrel::Bstr name, doc;
    tl->GetDocumentation(-1, name.put(), doc.put(), nullptr, nullptr);
    EXPECT_EQ(name.str(), L"Lorvex");
    EXPECT_EQ(doc.str(), L"Harvick Lorvex control 1.8");

    ITypeInfo* info = nullptr;
    ASSERT_EQ(tl->GetTypeInfoOfGuid(IID_IEventLog, &info), S_OK);
    // The dual interface's vtable view starts after IUnknown and IDispatch (slot 7).
    ITypeInfo* vtable_view = nullptr;
    HREFTYPE href;
    if (SUCCEEDED(info->GetRefTypeOfImplType(-1, &href))) info->GetRefTypeInfo(href, &vtable_view);
    ITypeInfo* view = vtable_view ? vtable_view : info;
    auto members = MembersInSlotOrder(view);
    const Member expected[] = {
        {L"hEventLog", 0, INVOKE_PROPERTYGET},        {L"ComputerName", 1, INVOKE_PROPERTYGET},
        {L"ComputerName", 1, INVOKE_PROPERTYPUT},     {L"SourceName", 2, INVOKE_PROPERTYGET},
        {L"SourceName", 2, INVOKE_PROPERTYPUT},       {L"OldestRecordNumber", 3, INVOKE_PROPERTYGET},
        {L"RecordCount", 4, INVOKE_PROPERTYGET},      {L"ReadRecord", 5, INVOKE_FUNC},
        {L"Backup", 6, INVOKE_FUNC},                  {L"Clear", 7, INVOKE_FUNC},
        {L"EventLogRecords", 8, INVOKE_FUNC},         {L"MessageFileSearchOrder", 9, INVOKE_PROPERTYGET},
        {L"MessageFileSearchOrder", 9, INVOKE_PROPERTYPUT}, {L"ChangeCheckInterval", 10, INVOKE_PROPERTYGET},
        {L"ChangeCheckInterval", 10, INVOKE_PROPERTYPUT},   {L"CacheSize", 11, INVOKE_PROPERTYGET},
        {L"CacheSize", 11, INVOKE_PROPERTYPUT},
    };
    ASSERT_EQ(members.size(), std::size(expected));
    for (size_t i = 0; i < members.size(); ++i) {
        EXPECT_STREQ(members[i].name, expected[i].name) << "slot " << i + 7;
        EXPECT_EQ(members[i].id, expected[i].id) << "slot " << i + 7;
        EXPECT_EQ(members[i].kind, expected[i].kind) << "slot " << i + 7;
    }
    vantrel::Bstr help;
    MEMBERID id = 0;
    LPOLESTR want = const_cast<LPOLESTR>(L"ChangeCheckInterval");
    ASSERT_EQ(info->GetIDsOfNames(&want, 1, &id), S_OK);
    info->GetDocumentation(id, nullptr, help.put(), nullptr, nullptr);
    EXPECT_EQ(help.str(), L"The event log change check interval (in milliseconds)");
    if (vtable_view) vtable_view->Release();
    info->Release();

    // Every class is creatable except the record; the event interface is dispatch-only.
    for (const CLSID* clsid : {&CLSID_EventSource, &CLSID_EventSourceConfiguration, &CLSID_EventLog,
                               &CLSID_EventLogBackup, &CLSID_EventLogRecord, &CLSID_EventLogConfiguration}) {
        ASSERT_EQ(tl->GetTypeInfoOfGuid(*clsid, &info), S_OK);
        TYPEATTR* attr = nullptr;
        info->GetTypeAttr(&attr);
        EXPECT_EQ((attr->wTypeFlags & TYPEFLAG_FCANCREATE) != 0, clsid != &CLSID_EventLogRecord);
        info->ReleaseTypeAttr(attr);
        info->Release();
    }
    ASSERT_EQ(tl->GetTypeInfoOfGuid(DIID__IEventLogEvents, &info), S_OK);
    TYPEATTR* attr = nullptr;
    info->GetTypeAttr(&attr);
    EXPECT_EQ(attr->typekind, TKIND_DISPATCH);
    info->ReleaseTypeAttr(attr);
    LPOLESTR fired = const_cast<LPOLESTR>(L"OnEventLogChange");
    ASSERT_EQ(info->GetIDsOfNames(&fired, 1, &id), S_OK);
    EXPECT_EQ(id, 1);
    info->Release();
    tl->Release();
}

}  // namespace
