// EventLog: one event log of one computer, read record by record through a read cache,
// backed up and cleared, and watched for changes on behalf of connected event sinks.
#pragma once

#include <windows.h>
#include <wrl/client.h>

#include <string>
#include <utility>
#include <vector>

#include "log_reader.h"
#include "lorvex.h"
#include "platform/winapi/com_server.h"
#include "platform/winapi/handles.h"
#include "privilege_holder.h"

namespace lorvex {

class EventLog final : public vantrel::com::Dual<IEventLog, IConnectionPointContainer> {
public:
    EventLog();
    ~EventLog() override;

    STDMETHODIMP get_hEventLog(long* pVal) override;
    STDMETHODIMP get_ComputerName(BSTR* pVal) override;
    STDMETHODIMP put_ComputerName(BSTR newVal) override;
    STDMETHODIMP get_SourceName(BSTR* pVal) override;
    STDMETHODIMP put_SourceName(BSTR newVal) override;
    STDMETHODIMP get_OldestRecordNumber(long* pVal) override;
    STDMETHODIMP get_RecordCount(long* pVal) override;
    STDMETHODIMP ReadRecord(long RecordNumber, IEventLogRecord** ppRecord) override;
    STDMETHODIMP Backup(BSTR FileName) override;
    STDMETHODIMP Clear(VARIANT FileName) override;
    STDMETHODIMP EventLogRecords(VARIANT* pVal) override;
    STDMETHODIMP get_MessageFileSearchOrder(LORVEX_MSG_FILE_SEARCH_ORDER* pVal) override;
    STDMETHODIMP put_MessageFileSearchOrder(LORVEX_MSG_FILE_SEARCH_ORDER newVal) override;
    STDMETHODIMP get_ChangeCheckInterval(long* pVal) override;
    STDMETHODIMP put_ChangeCheckInterval(long newVal) override;
    STDMETHODIMP get_CacheSize(long* pVal) override;
    STDMETHODIMP put_CacheSize(long newVal) override;

    // IConnectionPointContainer
    STDMETHODIMP EnumConnectionPoints(IEnumConnectionPoints** ppEnum) override;
    STDMETHODIMP FindConnectionPoint(REFIID riid, IConnectionPoint** ppCP) override;

    HRESULT Open();
    void Close();

    // The connection point's work.
    HRESULT Advise(IUnknown* sink, DWORD* cookie);
    HRESULT Unadvise(DWORD cookie);
    void FireOnEventLogChange();

private:
    class Point;
    struct ThreadStart;

    HRESULT StartNotification();
    void StopNotification();
    static DWORD WINAPI NotificationThread(void* start);
    static void WatchForChanges(const ThreadStart& start);

    std::wstring computer_name_;
    std::wstring source_name_;
    LogReader reader_;
    PrivilegeHolder privilege_;
    volatile LONG change_check_interval_ = 5000;

    Point* point_;
    std::vector<std::pair<DWORD, Microsoft::WRL::ComPtr<IDispatch>>> sinks_;
    DWORD next_cookie_ = 1;
    HWND window_ = nullptr;
    vantrel::Handle stop_event_;
    vantrel::Handle thread_;
};

}  // namespace lorvex
