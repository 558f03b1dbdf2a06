// Lists every record of an event-log backup file as Lorvex decodes it, in the layout that
// evtexport prints, so that the two can be compared line by line.
//   record_dump FILE
#include <fcntl.h>
#include <io.h>
#include <windows.h>
#include <wrl/client.h>

#include <cstdio>
#include <string>

#include "lorvex.h"
#include "platform/winapi/oleauto.h"

using Microsoft::WRL::ComPtr;

namespace {

std::string Utf8(const std::wstring& w) {
    if (w.empty()) return {};
    int n = ::WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), nullptr, 0, nullptr, nullptr);
    std::string s(static_cast<size_t>(n), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), s.data(), n, nullptr, nullptr);
    return s;
}

std::string Text(ComPtr<IEventLogRecord>& r, HRESULT (STDMETHODCALLTYPE IEventLogRecord::*get)(BSTR*)) {
    vantrel::Bstr b;
    ((*r.Get()).*get)(b.put());
    return Utf8(b.str());
}

// "Jul 27, 2011 06:41:47 UTC": the process runs with TZ=UTC, so local dates are UTC.
std::string Time(DATE date) {
    static const char* months[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    SYSTEMTIME st;
    ::VariantTimeToSystemTime(date, &st);
    char buf[64];
    std::snprintf(buf, sizeof buf, "%s %02u, %u %02u:%02u:%02u UTC", months[st.wMonth - 1], st.wDay, st.wYear, st.wHour,
                  st.wMinute, st.wSecond);
    return buf;
}

std::string Type(const std::string& text) {
    if (text == "Error") return "Error event (1)";
    if (text == "Warning") return "Warning event (2)";
    if (text == "Information") return "Information event (4)";
    if (text == "Audit Success") return "Audit success event (8)";
    if (text == "Audit Failure") return "Audit failure event (16)";
    return "Unknown (0)";
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: record_dump FILE\n");
        return 2;
    }
    _setmode(_fileno(stdout), _O_BINARY);
    ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    int status = 0;
    {
        CLSID clsid;
        ComPtr<IEventLogBackup> backup;
        if (FAILED(::CLSIDFromProgID(L"Lorvex.EventLogBackup", &clsid)) ||
            FAILED(::CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IEventLogBackup,
                                      reinterpret_cast<void**>(backup.GetAddressOf())))) {
            std::fprintf(stderr, "record_dump: Lorvex.EventLogBackup is not registered\n");
            return 1;
        }
        backup->put_FileName(vantrel::Bstr(argv[1]).get());
        long oldest = 0, count = 0;
        if (FAILED(backup->get_OldestRecordNumber(&oldest)) || FAILED(backup->get_RecordCount(&count))) {
            std::fprintf(stderr, "record_dump: cannot open the file\n");
            return 1;
        }
        std::printf("evtexport 20200926\n\n");
        for (long n = oldest; n < oldest + count; ++n) {
            ComPtr<IEventLogRecord> r;
            if (FAILED(backup->ReadRecord(n, &r))) {
                std::fprintf(stderr, "record_dump: record %ld cannot be read\n", n);
                status = 1;
                continue;
            }
            long number = 0, category = 0, id = 0;
            DATE generated = 0, written = 0;
            r->get_RecordNumber(&number);
            r->get_Category(&category);
            r->get_EventId(&id);
            r->get_TimeGenerated(&generated);
            r->get_TimeWritten(&written);
            std::printf("Event number\t\t\t: %ld\n", number);
            std::printf("Creation time\t\t\t: %s\n", Time(generated).c_str());
            std::printf("Written time\t\t\t: %s\n", Time(written).c_str());
            std::printf("Event type\t\t\t: %s\n", Type(Text(r, &IEventLogRecord::get_EventType)).c_str());
            std::printf("Computer name\t\t\t: %s\n", Text(r, &IEventLogRecord::get_ComputerName).c_str());
            std::printf("Source name\t\t\t: %s\n", Text(r, &IEventLogRecord::get_SourceName).c_str());
            std::printf("Event category\t\t\t: %ld\n", category);
            std::printf("Event identifier\t\t: 0x%08lx (%lu)\n", static_cast<unsigned long>(id),
                        static_cast<unsigned long>(id));
            vantrel::Variant strings;
            r->get_Strings(strings.put());
            if (strings->vt == (VT_ARRAY | VT_VARIANT)) {
                LONG lower = 0, upper = -1;
                ::SafeArrayGetLBound(strings->parray, 1, &lower);
                ::SafeArrayGetUBound(strings->parray, 1, &upper);
                std::printf("Number of strings\t\t: %ld\n", upper - lower + 1);
                for (LONG i = lower; i <= upper; ++i) {
                    vantrel::Variant s;
                    ::SafeArrayGetElement(strings->parray, &i, s.get());
                    std::wstring w = s->vt == VT_BSTR && s->bstrVal ? s->bstrVal : L"";
                    std::printf("String: %ld\t\t\t: %s\n", i - lower + 1, Utf8(w).c_str());
                }
            } else {
                std::printf("Number of strings\t\t: 0\n");
            }
            std::printf("\n");
        }
    }
    ::CoUninitialize();
    return status;
}
