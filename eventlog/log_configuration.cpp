// EventLogConfiguration: not built yet; every member answers E_NOTIMPL with a text that says so.
#include "classes.h"
#include "errors.h"
#include "lorvex.h"
#include "platform/winapi/com_server.h"

namespace lorvex {
namespace {

class EventLogConfiguration final : public vantrel::com::Dual<IEventLogConfiguration> {
public:
    STDMETHODIMP get_ComputerName(BSTR *pVal) override {
        if (!pVal) return ReportNullPointer(CLSID_EventLogConfiguration);
        return ReportNotBuilt(CLSID_EventLogConfiguration, "EventLogConfiguration.ComputerName");
    }
    STDMETHODIMP put_ComputerName(BSTR) override {
        return ReportNotBuilt(CLSID_EventLogConfiguration, "EventLogConfiguration.ComputerName");
    }
    STDMETHODIMP get_SourceName(BSTR *pVal) override {
        if (!pVal) return ReportNullPointer(CLSID_EventLogConfiguration);
        return ReportNotBuilt(CLSID_EventLogConfiguration, "EventLogConfiguration.SourceName");
    }
    STDMETHODIMP put_SourceName(BSTR) override {
        return ReportNotBuilt(CLSID_EventLogConfiguration, "EventLogConfiguration.SourceName");
    }
    STDMETHODIMP get_FileName(BSTR *pVal) override {
        if (!pVal) return ReportNullPointer(CLSID_EventLogConfiguration);
        return ReportNotBuilt(CLSID_EventLogConfiguration, "EventLogConfiguration.FileName");
    }
    STDMETHODIMP put_FileName(BSTR) override {
        return ReportNotBuilt(CLSID_EventLogConfiguration, "EventLogConfiguration.FileName");
    }
    STDMETHODIMP get_MaximumSize(long *pVal) override {
        if (!pVal) return ReportNullPointer(CLSID_EventLogConfiguration);
        return ReportNotBuilt(CLSID_EventLogConfiguration, "EventLogConfiguration.MaximumSize");
    }
    STDMETHODIMP put_MaximumSize(long) override {
        return ReportNotBuilt(CLSID_EventLogConfiguration, "EventLogConfiguration.MaximumSize");
    }
    STDMETHODIMP get_OverwriteMode(LORVEX_OVERWRITE_MODE *pVal) override {
        if (!pVal) return ReportNullPointer(CLSID_EventLogConfiguration);
        return ReportNotBuilt(CLSID_EventLogConfiguration, "EventLogConfiguration.OverwriteMode");
    }
    STDMETHODIMP put_OverwriteMode(LORVEX_OVERWRITE_MODE) override {
        return ReportNotBuilt(CLSID_EventLogConfiguration, "EventLogConfiguration.OverwriteMode");
    }
    STDMETHODIMP get_OverwritePeriod(long *pVal) override {
        if (!pVal) return ReportNullPointer(CLSID_EventLogConfiguration);
        return ReportNotBuilt(CLSID_EventLogConfiguration, "EventLogConfiguration.OverwritePeriod");
    }
    STDMETHODIMP put_OverwritePeriod(long) override {
        return ReportNotBuilt(CLSID_EventLogConfiguration, "EventLogConfiguration.OverwritePeriod");
    }
};

}  // namespace

HRESULT CreateEventLogConfiguration(REFIID riid, void** ppv) { return vantrel::com::CreateObject<EventLogConfiguration>(riid, ppv); }

}  // namespace lorvex
