#include "record_adapter.h"

#include <oleauto.h>

#include "platform/winapi/oleauto.h"

namespace quenloc {

int32_t RecordAdapter::Number(HRESULT (STDMETHODCALLTYPE IEventLogRecord::*get)(long*), const char* what) {
    long value = 0;
    Check((record_.Get()->*get)(&value), what);
    return static_cast<int32_t>(value);
}

std::string RecordAdapter::Text(HRESULT (STDMETHODCALLTYPE IEventLogRecord::*get)(BSTR*), const char* what) {
    vantrel::Bstr value;
    Check((record_.Get()->*get)(value.put()), what);
    return Ansi(value.get());
}

// The platform's default date-time text for the user's locale: short date, a blank and
// long time (the time part is left out at midnight, as the platform does).
std::string RecordAdapter::Date(HRESULT (STDMETHODCALLTYPE IEventLogRecord::*get)(DATE*), const char* what) {
    DATE value = 0;
    Check((record_.Get()->*get)(&value), what);
    vantrel::Bstr text;
    Check(::VarBstrFromDate(value, LOCALE_USER_DEFAULT, 0, text.put()), what);
    return Ansi(text.get());
}

std::optional<std::vector<std::string>> RecordAdapter::Strings() {
    vantrel::Variant value;
    Check(record_->get_Strings(value.put()), "Strings");
    if (!(value->vt & VT_ARRAY) || !value->parray) return std::nullopt;
    SAFEARRAY* array = value->parray;
    LONG lower = 0, upper = -1;
    if (FAILED(::SafeArrayGetLBound(array, 1, &lower)) || FAILED(::SafeArrayGetUBound(array, 1, &upper)))
        return std::nullopt;
    std::vector<std::string> out;
    for (LONG i = lower; i <= upper; ++i) {
        vantrel::Variant element, text;
        if (FAILED(::SafeArrayGetElement(array, &i, element.put()))) continue;
        if (SUCCEEDED(::VariantChangeType(text.put(), element.get(), 0, VT_BSTR))) out.push_back(Ansi(text->bstrVal));
        else out.emplace_back();
    }
    return out;
}

}  // namespace quenloc
