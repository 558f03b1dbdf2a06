// The base of the library's components: names the computer to work on, carries other
// credentials for it and connects to its "\IPC$" share with them, lists servers, groups,
// users and accounts, and looks up account names of security identifiers. As a control it
// shows a 28 x 28 icon in a child window, made only when a container activates it.
#pragma once

#include <windows.h>
#include <winnetwk.h>

#include <memory>
#include <string>

#include "core/string_list.h"

namespace dovrin {

// Other credentials for the machine; a change takes effect at the next connection.
struct TLogonAs {
    std::string user_name;
    std::string password;
    void* automation_adapter = nullptr;  // the ILogonAs object, kept by the automation layer
};

// What the component asks of the automation object that hosts it.
class AutomationHost {
public:
    virtual ~AutomationHost() = default;
    // True when the container says it is in design mode.
    virtual bool AmbientDesignMode() = 0;
};

// The network-connection calls, replaceable by tests (remote shares cannot be reached here).
struct ConnectionCalls {
    DWORD(WINAPI* add_connection)(LPNETRESOURCEA, LPCSTR, LPCSTR, DWORD);
    DWORD(WINAPI* cancel_connection)(LPCSTR, DWORD, BOOL);
};
ConnectionCalls& Connections();

// Bits of the account kinds in listing masks.
constexpr DWORD kExpandGlobalGroups = 0x80000000;
DWORD SidUseBit(int sid_use);

// User filter set: elements 0..4 stand for the enumeration filter bits 0x1, 0x2, 0x8, 0x10,
// 0x20.
DWORD UserFilterToWin32(unsigned filter_set);
unsigned UserFilterFromWin32(DWORD filter);

class TNTPersistent {
public:
    TNTPersistent();
    virtual ~TNTPersistent();
    TNTPersistent(const TNTPersistent&) = delete;
    TNTPersistent& operator=(const TNTPersistent&) = delete;

    virtual const char* ClassName() const { return "TNTPersistent"; }

    // Persisted-property reading: loading lasts from BeginLoading until Loaded has run;
    // reading while the values themselves are read (EndReading ends it).
    void BeginLoading() { loading_ = reading_ = true; }
    void EndReading() { reading_ = false; }
    // Ends a load that failed part way, without the work of Loaded.
    void CancelLoading() { loading_ = reading_ = false; }
    bool IsLoading() const { return loading_; }
    bool IsReading() const { return reading_; }
    virtual void Loaded();

    virtual void SetMachineName(const std::string& value);
    virtual std::string GetMachineName() const { return machine_name_; }
    TLogonAs& LogonAs() { return logon_as_; }
    void SetAutomationHost(AutomationHost* host) { host_ = host; }
    virtual bool IsRunMode();

    // The control's window, only while a container has it active.
    void CreateWindowHandle(HWND parent);
    void DestroyWindowHandle();
    HWND WindowHandle() const { return window_; }
    void SetBounds(int left, int top, int width, int height);
    RECT Bounds() const { return bounds_; }
    virtual void Paint(HDC dc);

    // The "\IPC$" connection with the credentials of LogonAs.
    bool NeedsConnection();
    void Connect();
    void Disconnect();

    // Directory and account listings; each raises only in run mode.
    std::string GetPrimaryDCName();
    std::string GetDCName(const std::string& domain);
    std::string GetComputerName();
    std::string GetPrimaryDomainName();
    StringList GetServerList(const std::string& server, DWORD type_mask);
    StringList GetServers(const std::string& server);
    StringList GetLocalGroups(const std::string& server);
    StringList GetGlobalGroups(const std::string& server);
    StringList GetUsers(const std::string& server, unsigned filter_set);
    StringList GetAccounts(const std::string& server, DWORD mask);
    StringList GetGroupUsers(const std::string& server, const std::string& group);
    StringList GetLocalGroupMembers(const std::string& server, const std::string& group,
                                    DWORD mask);
    std::string GetEveryoneName(const std::string& system);

protected:
    std::string machine_name_;

private:
    static LRESULT CALLBACK WindowProc(HWND, UINT, WPARAM, LPARAM);

    TLogonAs logon_as_;
    AutomationHost* host_ = nullptr;
    HBITMAP bitmap_ = nullptr;
    HWND window_ = nullptr;
    RECT bounds_{0, 0, 28, 28};
    bool loading_ = false;
    bool reading_ = false;
};

// Account and domain of a security identifier, from the process-wide cache or the system
// of `system` (empty: the local computer); false when it cannot be looked up.
bool LookupSidCached(const std::string& system, PSID sid, std::string& account,
                     std::string& domain);
std::string LocalSidAccountName(PSID sid);
const char* TextOrNull(const std::string& text);

// S-1-1-0, freed with FreeSid.
PSID AllocEveryoneSid();

}  // namespace dovrin
