// EventSourceConfiguration: not built yet; every member answers E_NOTIMPL with a text that says so.
#include "classes.h"
#include "errors.h"
#include "lorvex.h"
#include "platform/winapi/com_server.h"

namespace lorvex {
namespace {

class EventSourceConfiguration final : public vantrel::com::Dual<IEventSourceConfiguration> {
public:
    STDMETHODIMP get_SourceName(BSTR *pVal) override {
        if (!pVal) return ReportNullPointer(CLSID_EventSourceConfiguration);
        return ReportNotBuilt(CLSID_EventSourceConfiguration, "EventSourceConfiguration.SourceName");
    }
    STDMETHODIMP put_SourceName(BSTR) override {
        return ReportNotBuilt(CLSID_EventSourceConfiguration, "EventSourceConfiguration.SourceName");
    }
    STDMETHODIMP get_EventMessageFile(BSTR *pVal) override {
        if (!pVal) return ReportNullPointer(CLSID_EventSourceConfiguration);
        return ReportNotBuilt(CLSID_EventSourceConfiguration, "EventSourceConfiguration.EventMessageFile");
    }
    STDMETHODIMP put_EventMessageFile(BSTR) override {
        return ReportNotBuilt(CLSID_EventSourceConfiguration, "EventSourceConfiguration.EventMessageFile");
    }
    STDMETHODIMP get_CategoryMessageFile(BSTR *pVal) override {
        if (!pVal) return ReportNullPointer(CLSID_EventSourceConfiguration);
        return ReportNotBuilt(CLSID_EventSourceConfiguration, "EventSourceConfiguration.CategoryMessageFile");
    }
    STDMETHODIMP put_CategoryMessageFile(BSTR) override {
        return ReportNotBuilt(CLSID_EventSourceConfiguration, "EventSourceConfiguration.CategoryMessageFile");
    }
    STDMETHODIMP get_ParameterMessageFile(BSTR *pVal) override {
        if (!pVal) return ReportNullPointer(CLSID_EventSourceConfiguration);
        return ReportNotBuilt(CLSID_EventSourceConfiguration, "EventSourceConfiguration.ParameterMessageFile");
    }
    STDMETHODIMP put_ParameterMessageFile(BSTR) override {
        return ReportNotBuilt(CLSID_EventSourceConfiguration, "EventSourceConfiguration.ParameterMessageFile");
    }
    STDMETHODIMP get_CategoryCount(long *pVal) override {
        if (!pVal) return ReportNullPointer(CLSID_EventSourceConfiguration);
        return ReportNotBuilt(CLSID_EventSourceConfiguration, "EventSourceConfiguration.CategoryCount");
    }
    STDMETHODIMP put_CategoryCount(long) override {
        return ReportNotBuilt(CLSID_EventSourceConfiguration, "EventSourceConfiguration.CategoryCount");
    }
    STDMETHODIMP get_TypesSupported(LORVEX_TYPES_SUPPORTED *pVal) override {
        if (!pVal) return ReportNullPointer(CLSID_EventSourceConfiguration);
        return ReportNotBuilt(CLSID_EventSourceConfiguration, "EventSourceConfiguration.TypesSupported");
    }
    STDMETHODIMP put_TypesSupported(LORVEX_TYPES_SUPPORTED) override {
        return ReportNotBuilt(CLSID_EventSourceConfiguration, "EventSourceConfiguration.TypesSupported");
    }
};

}  // namespace

HRESULT CreateEventSourceConfiguration(REFIID riid, void** ppv) { return vantrel::com::CreateObject<EventSourceConfiguration>(riid, ppv); }

}  // namespace lorvex
