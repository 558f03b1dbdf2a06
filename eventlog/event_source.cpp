// EventSource: not built yet; every member answers E_NOTIMPL with a text that says so.
#include "classes.h"
#include "errors.h"
#include "lorvex.h"
#include "platform/winapi/com_server.h"

namespace lorvex {
namespace {

class EventSource final : public vantrel::com::Dual<IEventSource> {
public:
    STDMETHODIMP get_hEventSource(long *pVal) override {
        if (!pVal) return ReportNullPointer(CLSID_EventSource);
        return ReportNotBuilt(CLSID_EventSource, "EventSource.hEventSource");
    }
    STDMETHODIMP get_ComputerName(BSTR *pVal) override {
        if (!pVal) return ReportNullPointer(CLSID_EventSource);
        return ReportNotBuilt(CLSID_EventSource, "EventSource.ComputerName");
    }
    STDMETHODIMP put_ComputerName(BSTR) override {
        return ReportNotBuilt(CLSID_EventSource, "EventSource.ComputerName");
    }
    STDMETHODIMP get_SourceName(BSTR *pVal) override {
        if (!pVal) return ReportNullPointer(CLSID_EventSource);
        return ReportNotBuilt(CLSID_EventSource, "EventSource.SourceName");
    }
    STDMETHODIMP put_SourceName(BSTR) override {
        return ReportNotBuilt(CLSID_EventSource, "EventSource.SourceName");
    }
    STDMETHODIMP get_Category(long *pVal) override {
        if (!pVal) return ReportNullPointer(CLSID_EventSource);
        return ReportNotBuilt(CLSID_EventSource, "EventSource.Category");
    }
    STDMETHODIMP put_Category(long) override {
        return ReportNotBuilt(CLSID_EventSource, "EventSource.Category");
    }
    STDMETHODIMP get_UserId(long *pVal) override {
        if (!pVal) return ReportNullPointer(CLSID_EventSource);
        return ReportNotBuilt(CLSID_EventSource, "EventSource.UserId");
    }
    STDMETHODIMP put_UserId(long) override {
        return ReportNotBuilt(CLSID_EventSource, "EventSource.UserId");
    }
    STDMETHODIMP ReportInformation(long, VARIANT, VARIANT) override {
        return ReportNotBuilt(CLSID_EventSource, "EventSource.ReportInformation");
    }
    STDMETHODIMP ReportWarning(long, VARIANT, VARIANT) override {
        return ReportNotBuilt(CLSID_EventSource, "EventSource.ReportWarning");
    }
    STDMETHODIMP ReportError(long, VARIANT, VARIANT) override {
        return ReportNotBuilt(CLSID_EventSource, "EventSource.ReportError");
    }
};

}  // namespace

HRESULT CreateEventSource(REFIID riid, void** ppv) { return vantrel::com::CreateObject<EventSource>(riid, ppv); }

}  // namespace lorvex
