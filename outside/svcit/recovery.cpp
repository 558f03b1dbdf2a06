// svcrecovery SERVICE: sets what the service manager does when the service's process ends
// without a stop (killed, crashed): restart it after one minute, every time, counting
// failures afresh after a day. The installer runs it after creating the service.
// Exit 0 when the service manager keeps the actions, 3 when it accepts them but does not
// keep them (Wine's does neither keep nor carry them out), 1 when they cannot be set.
#include <windows.h>

#include <cstdio>
#include <vector>

namespace {

void CloseService(SC_HANDLE h) {
    if (h) ::CloseServiceHandle(h);
}

struct ServiceHandle {
    SC_HANDLE h;
    ~ServiceHandle() { CloseService(h); }
};

constexpr DWORD kRestartDelayMs = 60 * 1000;
constexpr DWORD kResetPeriodS = 24 * 60 * 60;

// Whether the service manager reports the actions we set.
bool Kept(SC_HANDLE service) {
    DWORD needed = 0;
    ::QueryServiceConfig2W(service, SERVICE_CONFIG_FAILURE_ACTIONS, nullptr, 0, &needed);
    if (needed < sizeof(SERVICE_FAILURE_ACTIONSW)) return false;
    std::vector<BYTE> buffer(needed);
    if (!::QueryServiceConfig2W(service, SERVICE_CONFIG_FAILURE_ACTIONS, buffer.data(), needed, &needed)) return false;
    const auto* kept = reinterpret_cast<const SERVICE_FAILURE_ACTIONSW*>(buffer.data());
    if (kept->dwResetPeriod != kResetPeriodS || kept->cActions != 3 || !kept->lpsaActions) return false;
    for (DWORD i = 0; i < kept->cActions; ++i)
        if (kept->lpsaActions[i].Type != SC_ACTION_RESTART || kept->lpsaActions[i].Delay != kRestartDelayMs)
            return false;
    return true;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: svcrecovery SERVICE\n");
        return 2;
    }
    ServiceHandle manager{::OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT)};
    // A restart action needs the right to start the service as well.
    ServiceHandle service{manager.h ? ::OpenServiceW(manager.h, argv[1],
                                                     SERVICE_CHANGE_CONFIG | SERVICE_START | SERVICE_QUERY_CONFIG)
                                    : nullptr};
    if (!service.h) {
        std::fprintf(stderr, "svcrecovery: cannot open the service: error %lu\n", ::GetLastError());
        return 1;
    }
    SC_ACTION actions[3];
    for (auto& a : actions) a = {SC_ACTION_RESTART, kRestartDelayMs};
    SERVICE_FAILURE_ACTIONSW config{};
    config.dwResetPeriod = kResetPeriodS;
    config.cActions = 3;
    config.lpsaActions = actions;
    if (!::ChangeServiceConfig2W(service.h, SERVICE_CONFIG_FAILURE_ACTIONS, &config)) {
        std::fprintf(stderr, "svcrecovery: cannot set the recovery actions: error %lu\n", ::GetLastError());
        return 1;
    }
    if (!Kept(service.h)) {
        std::printf("svcrecovery: the service manager accepted the recovery actions but does not keep them\n");
        return 3;
    }
    return 0;
}
