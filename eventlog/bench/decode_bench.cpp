// Decoding speed of Lorvex records, printed as records per second:
//   1. every record of a backup file through IEventLogBackup::ReadRecord, no descriptions;
//   2. records of a log of its own whose source has a registered message file, with
//      EventDescription read for each.
//   decode_bench BACKUP_FILE MESSAGE_DLL
#include <windows.h>
#include <wrl/client.h>

#include <chrono>
#include <cstdio>
#include <string>

#include "lorvex.h"
#include "platform/evtlog/evtapi.h"
#include "platform/winapi/handles.h"
#include "platform/winapi/oleauto.h"

using Microsoft::WRL::ComPtr;
using Clock = std::chrono::steady_clock;

namespace {

template <class Itf>
ComPtr<Itf> Create(const wchar_t* progid) {
    CLSID clsid;
    ComPtr<Itf> p;
    if (SUCCEEDED(::CLSIDFromProgID(progid, &clsid)))
        ::CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, __uuidof(Itf), reinterpret_cast<void**>(p.GetAddressOf()));
    return p;
}

double Seconds(Clock::time_point since) { return std::chrono::duration<double>(Clock::now() - since).count(); }

void DecodeBackup(const wchar_t* file) {
    auto backup = Create<IEventLogBackup>(L"Lorvex.EventLogBackup");
    if (!backup) return;
    backup->put_FileName(vantrel::Bstr(file).get());
    backup->put_CacheSize(0x10000);
    long oldest = 0, count = 0;
    if (FAILED(backup->get_OldestRecordNumber(&oldest)) || FAILED(backup->get_RecordCount(&count))) {
        std::printf("backup file cannot be opened\n");
        return;
    }
    const int rounds = 5;
    auto start = Clock::now();
    long decoded = 0;
    for (int round = 0; round < rounds; ++round) {
        for (long n = oldest; n < oldest + count; ++n) {
            ComPtr<IEventLogRecord> r;
            if (SUCCEEDED(backup->ReadRecord(n, &r))) ++decoded;
        }
    }
    double s = Seconds(start);
    std::printf("decode without descriptions: %ld records in %.3f s, %.0f records/s\n", decoded, s, decoded / s);
}

void DecodeWithDescriptions(const std::string& dll) {
    const std::string log = "VtBenchLog";
    const std::string key = "SYSTEM\\CurrentControlSet\\Services\\EventLog\\" + log;
    vantrel::RegKey k, source;
    ::RegCreateKeyExA(HKEY_LOCAL_MACHINE, key.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, k.put(), nullptr);
    DWORD max_size = 0x1000000;
    ::RegSetValueExA(k.get(), "MaxSize", 0, REG_DWORD, reinterpret_cast<BYTE*>(&max_size), 4);
    ::RegCreateKeyExA(k.get(), "VtBenchSource", 0, nullptr, 0, KEY_SET_VALUE, nullptr, source.put(), nullptr);
    ::RegSetValueExA(source.get(), "EventMessageFile", 0, REG_EXPAND_SZ, reinterpret_cast<const BYTE*>(dll.c_str()),
                     static_cast<DWORD>(dll.size() + 1));

    const auto& api = vantrel::evtapi::Get();
    HANDLE h = api.OpenEventLogA(nullptr, log.c_str());
    api.ClearEventLogA(h, nullptr);
    api.CloseEventLog(h);
    HANDLE src = api.RegisterEventSourceA(nullptr, "VtBenchSource");
    const int events = 2000;
    const char* strings[] = {"C:"};
    for (int i = 0; i < events; ++i) api.ReportEventA(src, EVENTLOG_ERROR_TYPE, 0, 1000, nullptr, 1, 0, strings, nullptr);
    api.DeregisterEventSource(src);

    auto el = Create<IEventLog>(L"Lorvex.EventLog");
    el->put_SourceName(vantrel::Bstr(L"VtBenchLog").get());
    long oldest = 0, count = 0;
    el->get_OldestRecordNumber(&oldest);
    el->get_RecordCount(&count);
    auto start = Clock::now();
    long described = 0;
    for (long n = oldest; n < oldest + count; ++n) {
        ComPtr<IEventLogRecord> r;
        vantrel::Bstr text;
        if (SUCCEEDED(el->ReadRecord(n, &r)) && SUCCEEDED(r->get_EventDescription(text.put()))) ++described;
    }
    double s = Seconds(start);
    std::printf("decode with descriptions: %ld records in %.3f s, %.0f records/s\n", described, s, described / s);
    ::RegDeleteTreeA(HKEY_LOCAL_MACHINE, key.c_str());
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: decode_bench BACKUP_FILE MESSAGE_DLL\n");
        return 2;
    }
    ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    DecodeBackup(vantrel::WideFromAnsi(argv[1]).c_str());
    DecodeWithDescriptions(argv[2]);
    ::CoUninitialize();
    return 0;
}
