// The library as a client sees it: classes created by ProgID, error information, the
// type library, and when the DLL may be unloaded.
#include <gtest/gtest.h>
#include <windows.h>

#include <oleauto.h>
#include <wrl/client.h>

#include <algorithm>
#include <ostream>
#include <string>
#include <vector>

#include "error_report.h"
#include "lorvex.h"
#include "platform/winapi/com_server.h"
#include "platform/winapi/oleauto.h"
#include "platform/winapi/proc_address.h"

// The reporter is linked into this test directly; it needs a module of its own.
namespace vantrel::com {
ModuleCounts& Counts() { static ModuleCounts counts; return counts; }
HMODULE ModuleHandle() { return nullptr; }
}  // namespace vantrel::com

namespace {

using Microsoft::WRL::ComPtr;

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
    auto can_unload = vantrel::ProcAddress<HRESULT(WINAPI*)()>(dll, "DllCanUnloadNow");
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

// The binary contract of the type library, written out from the interface tables: each
// member's vtable slot, dispatch id, kind and help string. A property with get and put
// takes two consecutive slots.
struct Slot {
    int slot;
    std::wstring name;
    DISPID id;
    INVOKEKIND kind;
    std::wstring help;
    bool operator==(const Slot& o) const {
        return slot == o.slot && name == o.name && id == o.id && kind == o.kind && help == o.help;
    }
};
std::ostream& operator<<(std::ostream& out, const Slot& s) {
    const char* kinds[] = {"?", "method", "get", "?", "put"};
    return out << "slot " << s.slot << " " << std::string(s.name.begin(), s.name.end()) << " id " << s.id << " "
               << kinds[s.kind < 5 ? s.kind : 0] << " \"" << std::string(s.help.begin(), s.help.end()) << "\"";
}

enum Kind { Get, GetPut, Method };
struct Row {
    const wchar_t* name;
    DISPID id;
    Kind kind;
    const wchar_t* help;
};

// Members from slot 7 on, as the table lists them.
std::vector<Slot> Expand(std::initializer_list<Row> rows) {
    std::vector<Slot> slots;
    int slot = 7;
    for (const Row& r : rows) {
        const INVOKEKIND first = r.kind == Method ? INVOKE_FUNC : INVOKE_PROPERTYGET;
        slots.push_back({slot++, r.name, r.id, first, r.help});
        if (r.kind == GetPut) slots.push_back({slot++, r.name, r.id, INVOKE_PROPERTYPUT, r.help});
    }
    return slots;
}

// What the type library says of a dual interface's members, in slot order.
std::vector<Slot> SlotsOf(ITypeLib* tl, REFIID iid) {
    std::vector<Slot> slots;
    ComPtr<ITypeInfo> info, vtable_view;
    if (FAILED(tl->GetTypeInfoOfGuid(iid, &info))) return slots;
    // A dual interface is found as its dispatch view; the vtable view holds the slots.
    HREFTYPE href;
    if (FAILED(info->GetRefTypeOfImplType(-1, &href)) || FAILED(info->GetRefTypeInfo(href, &vtable_view))) return slots;
    TYPEATTR* attr = nullptr;
    if (FAILED(vtable_view->GetTypeAttr(&attr))) return slots;
    for (UINT i = 0; i < attr->cFuncs; ++i) {
        FUNCDESC* f = nullptr;
        if (FAILED(vtable_view->GetFuncDesc(i, &f))) continue;
        vantrel::Bstr name, help;
        vtable_view->GetDocumentation(f->memid, name.put(), help.put(), nullptr, nullptr);
        slots.push_back({static_cast<int>(f->oVft / sizeof(void*)), name.str(), f->memid, f->invkind, help.str()});
        vtable_view->ReleaseFuncDesc(f);
    }
    vtable_view->ReleaseTypeAttr(attr);
    std::sort(slots.begin(), slots.end(), [](const Slot& a, const Slot& b) { return a.slot < b.slot; });
    return slots;
}

TEST_F(Library, TypeLibraryKeepsSlotsDispIdsAndHelpStringsOfEveryInterface) {
    ComPtr<ITypeLib> tl;
    // Written out on purpose, not taken from the IDL: the fixed contract callers compiled against.
    const GUID libid = {0x35D78BF0, 0xD5A4, 0x11D2, {0x96, 0x79, 0x00, 0x00, 0xF8, 0x77, 0x0C, 0x8E}};
    ASSERT_EQ(::LoadRegTypeLib(libid, 1, 0, 0x409, &tl), S_OK);
    vantrel::Bstr name, doc;
    tl->GetDocumentation(-1, name.put(), doc.put(), nullptr, nullptr);
    EXPECT_EQ(name.str(), L"Lorvex");
    EXPECT_EQ(doc.str(), L"Harvick Lorvex control 1.8");

    const wchar_t* computer = L"The name of the computer whose event log is being accessed";
    const wchar_t* log_name = L"The name of the event log";
    const wchar_t* source = L"The name of the source of the event";
    const wchar_t* search_order = L"The message file search order";
    const wchar_t* cache = L"The size in bytes of the internal read cache";
    const wchar_t* oldest = L"The oldest record number in the event log";
    const wchar_t* count = L"The number of records in the event log";
    const wchar_t* read = L"Read the specified event log record";
    const wchar_t* backup = L"Backup the event log to file";
    const wchar_t* records = L"Return the collection of event log records";
    const std::pair<const IID*, std::vector<Slot>> interfaces[] = {
        {&IID_IEventLogRecord,
         Expand({{L"RecordNumber", 1, Get, L"The event log record number"},
                 {L"ComputerName", 2, Get, L"The computer name"},
                 {L"SourceName", 3, Get, L"The source name"},
                 {L"UserName", 4, Get, L"The user name"},
                 {L"Category", 5, Get, L"The event category"},
                 {L"CategoryDescription", 6, Get, L"The category description"},
                 {L"EventType", 7, Get, L"The event type"},
                 {L"EventId", 8, Get, L"The event ID"},
                 {L"EventDescription", 9, Get, L"The event description"},
                 {L"TimeGenerated", 10, Get, L"Time the event was generated"},
                 {L"TimeWritten", 11, Get, L"Time the event was written"},
                 {L"Strings", 12, Get, L"The event strings"},
                 {L"Data", 13, Get, L"The binary event data"},
                 {L"EventCode", 14, Get, L"The event code"}})},
        {&IID_IEventLog,
         Expand({{L"hEventLog", 0, Get, L"The event log handle"},
                 {L"ComputerName", 1, GetPut, computer},
                 {L"SourceName", 2, GetPut, log_name},
                 {L"OldestRecordNumber", 3, Get, oldest},
                 {L"RecordCount", 4, Get, count},
                 {L"ReadRecord", 5, Method, read},
                 {L"Backup", 6, Method, backup},
                 {L"Clear", 7, Method, L"Clear the event log"},
                 {L"EventLogRecords", 8, Method, records},
                 {L"MessageFileSearchOrder", 9, GetPut, search_order},
                 {L"ChangeCheckInterval", 10, GetPut, L"The event log change check interval (in milliseconds)"},
                 {L"CacheSize", 11, GetPut, cache}})},
        {&IID_IEventLogRecordCollection,
         Expand({{L"Count", 1, Get, L"The number of event log records in the collection"},
                 {L"Item", 0, Get, L"The specified event log record object in the collection"},
                 {L"_NewEnum", -4, Get, L"An enumerator for the collection"}})},
        {&IID_IEventLogBackup,
         Expand({{L"hEventLogBackup", 0, Get, L"The backup event log handle"},
                 {L"ComputerName", 1, GetPut, computer},
                 {L"FileName", 2, GetPut, L"The name of the event log file"},
                 {L"OldestRecordNumber", 3, Get, oldest},
                 {L"RecordCount", 4, Get, count},
                 {L"ReadRecord", 5, Method, read},
                 {L"Backup", 6, Method, backup},
                 {L"EventLogRecords", 7, Method, records},
                 {L"MessageFileSearchOrder", 8, GetPut, search_order},
                 {L"CacheSize", 9, GetPut, cache}})},
        {&IID_IEventSource,
         Expand({{L"hEventSource", 0, Get, L"The event source handle"},
                 {L"ComputerName", 1, GetPut, computer},
                 {L"SourceName", 2, GetPut, source},
                 {L"Category", 3, GetPut, L"The event category"},
                 {L"UserId", 4, GetPut, L"Flag indicating whether the user ID is logged"},
                 {L"ReportInformation", 5, Method, L"Report information"},
                 {L"ReportWarning", 6, Method, L"Report a warning"},
                 {L"ReportError", 7, Method, L"Report an error"}})},
        {&IID_IEventSourceConfiguration,
         Expand({{L"SourceName", 1, GetPut, source},
                 {L"EventMessageFile", 2, GetPut, L"The comma separated list of event message files"},
                 {L"CategoryMessageFile", 3, GetPut, L"The comma separated list of category message files"},
                 {L"ParameterMessageFile", 4, GetPut, L"The comma separated list of parameter message files"},
                 {L"CategoryCount", 5, GetPut, L"The number of supported categories"},
                 {L"TypesSupported", 6, GetPut, L"The types supported"}})},
        {&IID_IEventLogConfiguration,
         Expand({{L"ComputerName", 1, GetPut, computer},
                 {L"SourceName", 2, GetPut, log_name},
                 {L"FileName", 3, GetPut, L"The name of the event log file"},
                 {L"MaximumSize", 4, GetPut, L"The maximum size of the event log file"},
                 {L"OverwriteMode", 5, GetPut, L"The overwrite mode"},
                 {L"OverwritePeriod", 6, GetPut, L"The overwrite period"}})},
    };
    for (const auto& [iid, expected] : interfaces) {
        wchar_t text[40];
        ::StringFromGUID2(*iid, text, 40);
        EXPECT_EQ(SlotsOf(tl.Get(), *iid), expected) << std::string(text, text + 38);
    }

    // The collection's interface is hidden; the event interface is dispatch-only.
    ComPtr<ITypeInfo> info;
    TYPEATTR* attr = nullptr;
    ASSERT_EQ(tl->GetTypeInfoOfGuid(IID_IEventLogRecordCollection, &info), S_OK);
    info->GetTypeAttr(&attr);
    EXPECT_TRUE(attr->wTypeFlags & TYPEFLAG_FHIDDEN);
    EXPECT_TRUE(attr->wTypeFlags & TYPEFLAG_FDUAL);
    info->ReleaseTypeAttr(attr);
    ASSERT_EQ(tl->GetTypeInfoOfGuid(DIID__IEventLogEvents, &info), S_OK);
    info->GetTypeAttr(&attr);
    EXPECT_EQ(attr->typekind, TKIND_DISPATCH);
    EXPECT_FALSE(attr->wTypeFlags & TYPEFLAG_FDUAL);
    ASSERT_EQ(attr->cFuncs, 1u);
    info->ReleaseTypeAttr(attr);
    FUNCDESC* fired = nullptr;
    ASSERT_EQ(info->GetFuncDesc(0, &fired), S_OK);
    vantrel::Bstr help;
    info->GetDocumentation(fired->memid, name.put(), help.put(), nullptr, nullptr);
    EXPECT_EQ(name.str(), L"OnEventLogChange");
    EXPECT_EQ(fired->memid, 1);
    EXPECT_EQ(fired->cParams, 0);
    EXPECT_EQ(help.str(), L"Fired when the event log changes");
    info->ReleaseFuncDesc(fired);

    // Every class is creatable except the record.
    for (const CLSID* clsid : {&CLSID_EventSource, &CLSID_EventSourceConfiguration, &CLSID_EventLog,
                               &CLSID_EventLogBackup, &CLSID_EventLogRecord, &CLSID_EventLogConfiguration}) {
        ASSERT_EQ(tl->GetTypeInfoOfGuid(*clsid, &info), S_OK);
        info->GetTypeAttr(&attr);
        EXPECT_EQ((attr->wTypeFlags & TYPEFLAG_FCANCREATE) != 0, clsid != &CLSID_EventLogRecord);
        info->ReleaseTypeAttr(attr);
    }
}

}  // namespace
