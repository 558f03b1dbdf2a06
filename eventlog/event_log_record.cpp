#include "event_log_record.h"

#include "classes.h"
#include "core/ole_date.h"
#include "core/raw_record.h"
#include "core/sid_text.h"
#include "error_report.h"
#include "message_formatter.h"

namespace lorvex {

EventLogRecord::EventLogRecord() = default;

HRESULT EventLogRecord::CopyText(const std::wstring& text, BSTR* out) const {
    if (!out) return ReportNullPointer(CLSID_EventLogRecord);
    *out = ::SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
    return *out ? S_OK : E_OUTOFMEMORY;
}

HRESULT EventLogRecord::CopyVariant(const vantrel::Variant& value, VARIANT* out) const {
    if (!out) return ReportNullPointer(CLSID_EventLogRecord);
    ::VariantInit(out);
    return ::VariantCopy(out, const_cast<VARIANT*>(value.get()));
}

template <class T>
static HRESULT CopyNumber(T value, T* out) {
    if (!out) return ReportNullPointer(CLSID_EventLogRecord);
    *out = value;
    return S_OK;
}

STDMETHODIMP EventLogRecord::get_RecordNumber(long* pVal) {
    return vantrel::com::Barrier([&]() -> HRESULT { return CopyNumber(record_number_, pVal); });
}
STDMETHODIMP EventLogRecord::get_ComputerName(BSTR* pVal) {
    return vantrel::com::Barrier([&]() -> HRESULT { return CopyText(computer_name_, pVal); });
}
STDMETHODIMP EventLogRecord::get_SourceName(BSTR* pVal) {
    return vantrel::com::Barrier([&]() -> HRESULT { return CopyText(source_name_, pVal); });
}
STDMETHODIMP EventLogRecord::get_UserName(BSTR* pVal) {
    return vantrel::com::Barrier([&]() -> HRESULT { return CopyText(user_name_, pVal); });
}
STDMETHODIMP EventLogRecord::get_Category(long* pVal) {
    return vantrel::com::Barrier([&]() -> HRESULT { return CopyNumber(category_, pVal); });
}
STDMETHODIMP EventLogRecord::get_EventType(BSTR* pVal) {
    return vantrel::com::Barrier([&]() -> HRESULT { return CopyText(event_type_, pVal); });
}
STDMETHODIMP EventLogRecord::get_EventId(long* pVal) {
    return vantrel::com::Barrier([&]() -> HRESULT { return CopyNumber(event_id_, pVal); });
}
STDMETHODIMP EventLogRecord::get_TimeGenerated(DATE* pVal) {
    return vantrel::com::Barrier([&]() -> HRESULT { return CopyNumber(time_generated_, pVal); });
}
STDMETHODIMP EventLogRecord::get_TimeWritten(DATE* pVal) {
    return vantrel::com::Barrier([&]() -> HRESULT { return CopyNumber(time_written_, pVal); });
}
STDMETHODIMP EventLogRecord::get_Strings(VARIANT* pVal) {
    return vantrel::com::Barrier([&]() -> HRESULT { return CopyVariant(strings_, pVal); });
}
STDMETHODIMP EventLogRecord::get_Data(VARIANT* pVal) {
    return vantrel::com::Barrier([&]() -> HRESULT { return CopyVariant(data_, pVal); });
}
STDMETHODIMP EventLogRecord::get_EventCode(long* pVal) {
    return vantrel::com::Barrier([&]() -> HRESULT {
        return CopyNumber(static_cast<long>(event_id_ & 0xFFFF), pVal);
    });
}

namespace {

const wchar_t* EventTypeText(uint16_t type) {
    switch (type) {
    case 1: return L"Error";
    case 2: return L"Warning";
    case 4: return L"Information";
    case 8: return L"Audit Success";
    case 16: return L"Audit Failure";
    default: return L"";
    }
}

// Orders the formatter does not know count as its default.
long SearchOrderFromValue(long value) { return (value == 0 || value == 1 || value == 3) ? value : 2; }

// A one-dimensional array of n variants with lower bound 1.
SAFEARRAY* CreateVariantVector(size_t n) {
    SAFEARRAYBOUND bound;
    bound.lLbound = 1;
    bound.cElements = static_cast<ULONG>(n);
    return ::SafeArrayCreate(VT_VARIANT, 1, &bound);
}

}  // namespace

HRESULT EventLogRecord::Init(const uint8_t* bytes, size_t size, SidCache* cache, long search_order) {
    RawRecord raw;
    if (!ParseRawRecord(bytes, size, &raw)) {
        // An offset or length pointing outside the record: refuse it rather than read past it.
        return ReportWin32Error(CLSID_EventLogRecord, ERROR_EVENTLOG_FILE_CORRUPT, "Error decoding event log record");
    }
    record_number_ = static_cast<long>(raw.record_number);
    HRESULT hr = EventTimeToDate(raw.time_generated, &time_generated_);
    if (FAILED(hr)) return hr;
    hr = EventTimeToDate(raw.time_written, &time_written_);
    if (FAILED(hr)) return hr;
    event_id_ = static_cast<long>(raw.event_id);
    event_type_ = EventTypeText(raw.event_type);
    category_ = raw.event_category;
    source_name_ = vantrel::WideFromAnsi(raw.source_name.data(), raw.source_name.size());
    computer_name_ = vantrel::WideFromAnsi(raw.computer_name.data(), raw.computer_name.size());
    if (raw.sid_length != 0) {
        hr = AccountText(raw.sid, raw.sid_length, cache, &user_name_);
        if (FAILED(hr)) return hr;
    }
    if (!raw.strings.empty()) {
        hr = StringsToVariant(raw.strings);
        if (FAILED(hr)) return hr;
    }
    if (raw.data_length != 0) {
        hr = DataToVariant(raw.data, raw.data_length);
        if (FAILED(hr)) return hr;
    }
    search_order_ = search_order;
    return S_OK;
}

HRESULT EventLogRecord::EventTimeToDate(uint32_t seconds, DATE* date) const {
    ULARGE_INTEGER t;
    t.QuadPart = (uint64_t(seconds) + 11644473600ull) * 10000000ull;
    FILETIME utc{t.LowPart, t.HighPart}, local;
    if (!::FileTimeToLocalFileTime(&utc, &local))
        return ReportWin32Error(CLSID_EventLogRecord, ::GetLastError(), "Error converting to local file time");
    SYSTEMTIME st;
    if (!::FileTimeToSystemTime(&local, &st))
        return ReportWin32Error(CLSID_EventLogRecord, ::GetLastError(), "Error converting to system time");
    auto value = OleDateFromCalendar({st.wYear, st.wMonth, st.wDay, st.wHour, st.wMinute, st.wSecond});
    if (!value) return E_UNEXPECTED;
    *date = *value;
    return S_OK;
}

HRESULT EventLogRecord::AccountText(const uint8_t* sid, size_t sid_length, SidCache* cache, std::wstring* text) const {
    // Only the bytes the record gives belong to the SID; one whose header claims more is invalid.
    const size_t length = SidLength(sid, sid_length);
    PSID psid = const_cast<uint8_t*>(sid);
    if (length == 0 || !::IsValidSid(psid)) return ReportError(CLSID_EventLogRecord, E_INVALIDARG, "Invalid SID");
    if (cache) {
        if (auto found = cache->Find(sid, length)) {
            *text = *found;
            return S_OK;
        }
    }
    char name[260], domain[260];
    DWORD name_size = sizeof name, domain_size = sizeof domain;
    SID_NAME_USE use;
    if (::LookupAccountSidA(nullptr, psid, name, &name_size, domain, &domain_size, &use)) {
        *text = vantrel::WideFromAnsi(std::string(domain) + "\\" + name);
    } else {
        *text = vantrel::WideFromAnsi(SidToText(sid));
    }
    if (cache) cache->Add(sid, length, *text);  // a cache that cannot take it only costs a lookup later
    return S_OK;
}

HRESULT EventLogRecord::StringsToVariant(const std::vector<std::string_view>& strings) {
    vantrel::SafeArray array(CreateVariantVector(strings.size()));
    if (!array.get()) return ReportError(CLSID_EventLogRecord, E_OUTOFMEMORY, "Failed to allocate safe array");
    for (LONG i = 0; i < static_cast<LONG>(strings.size()); ++i) {
        vantrel::Variant element;
        std::wstring wide = vantrel::WideFromAnsi(strings[i].data(), strings[i].size());
        element->vt = VT_BSTR;
        element->bstrVal = ::SysAllocStringLen(wide.data(), static_cast<UINT>(wide.size()));
        if (!element->bstrVal) {
            element->vt = VT_EMPTY;
            return ReportError(CLSID_EventLogRecord, E_OUTOFMEMORY, "Failed to allocate memory for string value");
        }
        LONG index = i + 1;
        HRESULT hr = ::SafeArrayPutElement(array.get(), &index, element.get());
        if (FAILED(hr)) return hr;
    }
    strings_->vt = VT_ARRAY | VT_VARIANT;
    strings_->parray = array.release();
    return S_OK;
}

HRESULT EventLogRecord::DataToVariant(const uint8_t* data, uint32_t length) {
    vantrel::SafeArray array(CreateVariantVector(length));
    if (!array.get()) return ReportError(CLSID_EventLogRecord, E_OUTOFMEMORY, "Failed to allocate safe array");
    for (LONG i = 0; i < static_cast<LONG>(length); ++i) {
        VARIANT element;
        element.vt = VT_UI1;
        element.bVal = data[i];
        LONG index = i + 1;
        HRESULT hr = ::SafeArrayPutElement(array.get(), &index, &element);
        if (FAILED(hr)) return hr;
    }
    data_->vt = VT_ARRAY | VT_VARIANT;
    data_->parray = array.release();
    return S_OK;
}

HRESULT EventLogRecord::VariantToStrings(std::vector<std::string>* strings) const {
    strings->clear();
    if (strings_->vt != (VT_ARRAY | VT_VARIANT) || !strings_->parray) return S_OK;
    SAFEARRAY* array = strings_->parray;
    LONG lower = 0, upper = -1;
    HRESULT hr = ::SafeArrayGetLBound(array, 1, &lower);
    if (FAILED(hr)) return ReportError(CLSID_EventLogRecord, hr, "Error getting array lower boundary");
    hr = ::SafeArrayGetUBound(array, 1, &upper);
    if (FAILED(hr)) return ReportError(CLSID_EventLogRecord, hr, "Error getting array upper boundary");
    const size_t count = upper >= lower ? static_cast<size_t>(upper - lower) + 1 : 0;
    if (!vantrel::com::TryResize(*strings, count, "Failed to allocate memory for string array"))
        return ReportError(CLSID_EventLogRecord, E_OUTOFMEMORY, "Failed to allocate memory for string array");
    try {
        for (LONG i = lower; i <= upper; ++i) {
            vantrel::Variant element;
            hr = ::SafeArrayGetElement(array, &i, element.get());
            if (FAILED(hr)) return ReportError(CLSID_EventLogRecord, hr, "Error getting array element");
            if (element->vt == VT_BSTR && element->bstrVal)
                (*strings)[static_cast<size_t>(i - lower)] =
                    vantrel::AnsiFromWide(element->bstrVal, ::SysStringLen(element->bstrVal));
        }
    } catch (const std::bad_alloc&) {
        return ReportError(CLSID_EventLogRecord, E_OUTOFMEMORY, "Failed to allocate memory for string array");
    }
    return S_OK;
}

STDMETHODIMP EventLogRecord::get_CategoryDescription(BSTR* pVal) {
    return vantrel::com::Barrier([&]() -> HRESULT {
        if (!pVal) return ReportNullPointer(CLSID_EventLogRecord);
        if (source_name_.empty())  // only a record a client made itself has no source
            return ReportError(CLSID_EventLogRecord, E_FAIL, "The event source isn't configured in the registry");
        std::string text;
        MessageFormatter formatter(CLSID_EventLogRecord);
        HRESULT hr = formatter.FormatCategory(SearchOrderFromValue(search_order_), vantrel::AnsiFromWide(computer_name_),
                                              vantrel::AnsiFromWide(source_name_), static_cast<uint32_t>(category_), &text);
        if (FAILED(hr)) return hr;
        *pVal = vantrel::Bstr(vantrel::WideFromAnsi(text)).release();
        if (!*pVal)
            return ReportError(CLSID_EventLogRecord, E_OUTOFMEMORY, "Failed to allocate memory for category description");
        return S_OK;
    });
}

STDMETHODIMP EventLogRecord::get_EventDescription(BSTR* pVal) {
    return vantrel::com::Barrier([&]() -> HRESULT {
        if (!pVal) return ReportNullPointer(CLSID_EventLogRecord);
        if (source_name_.empty())
            return ReportError(CLSID_EventLogRecord, E_FAIL, "The event source isn't configured in the registry");
        std::vector<std::string> strings;
        HRESULT hr = VariantToStrings(&strings);
        if (FAILED(hr)) return hr;
        std::string text;
        MessageFormatter formatter(CLSID_EventLogRecord);
        hr = formatter.FormatEvent(SearchOrderFromValue(search_order_), vantrel::AnsiFromWide(computer_name_),
                                   vantrel::AnsiFromWide(source_name_), static_cast<uint32_t>(event_id_), strings, &text);
        if (FAILED(hr)) return hr;
        *pVal = vantrel::Bstr(vantrel::WideFromAnsi(text)).release();
        if (!*pVal)
            return ReportError(CLSID_EventLogRecord, E_OUTOFMEMORY, "Failed to allocate memory for event description");
        return S_OK;
    });
}

HRESULT CreateEventLogRecord(REFIID riid, void** ppv) {
    return vantrel::com::CreateObject<EventLogRecord>(riid, ppv);
}

}  // namespace lorvex
