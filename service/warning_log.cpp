#include "warning_log.h"

#include <wrl/client.h>

#include "com_support.h"
#include "platform/winapi/late_bound.h"

namespace quenloc {

// The host control's own writer with ids, found with QueryInterface. Outside the unnamed
// namespace: there, with no implementation in sight, the compiler may take a call through
// it for one that never happens.
struct ISvcItEventIds : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE LogEventWithId(BSTR text, long type, long event_id) = 0;
};

namespace {

constexpr DISPID kLogEvent = 17;
constexpr long kWarningType = 1;

const IID kSvcItEventIds = {0x7C3B5E25, 0x4A8D, 0x4F6B, {0x9E, 0x12, 0x3D, 0x5A, 0x7B, 0x9C, 0x0E, 0x41}};

}  // namespace

void LogWarningWithId(IDispatch* host, const std::string& text, unsigned long event_id) {
    ComPtr<ISvcItEventIds> ids;
    if (host && SUCCEEDED(host->QueryInterface(kSvcItEventIds, reinterpret_cast<void**>(ids.GetAddressOf())))) {
        vantrel::Bstr bstr(Wide(text));
        if (!bstr.get() && !text.empty()) Check(E_OUTOFMEMORY, "LogEvent");
        Check(ids->LogEventWithId(bstr.get(), kWarningType, static_cast<long>(event_id)), "LogEvent");
        return;
    }
    VARIANT kind;
    kind.vt = VT_I4;
    kind.lVal = kWarningType;
    // The call clears its arguments, the text's BSTR included.
    CallMethod(host, kLogEvent, {vantrel::com::TextVariant(Wide(text)), kind});
}

}  // namespace quenloc
