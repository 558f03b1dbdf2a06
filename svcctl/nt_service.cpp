#include "nt_service.h"

#include <cstddef>
#include <cstring>

#include "binding.h"
#include "core/errors.h"
#include "core/record_decoding.h"
#include "nt_errors.h"

namespace dovrin {

const char kManagerActiveText[] = "Can not change parameter when CONTROL SERVICE MANAGER is active";
const char kServiceActiveText[] = "Can not change parameter when SERVICE is active";

namespace {

// The portable decoders must agree with the platform's own layouts on every target.
constexpr unsigned kPointer = sizeof(void*);
static_assert(EnumEntrySize(kPointer) == sizeof(ENUM_SERVICE_STATUSA));
static_assert(offsetof(ENUM_SERVICE_STATUSA, ServiceStatus) == 2 * kPointer);
static_assert(ServiceConfigSize(kPointer) == sizeof(QUERY_SERVICE_CONFIGA));
static_assert(ConfigTagOffset(kPointer) == offsetof(QUERY_SERVICE_CONFIGA, dwTagId));
static_assert(ConfigDependenciesOffset(kPointer) == offsetof(QUERY_SERVICE_CONFIGA, lpDependencies));
static_assert(LockStatusSize(kPointer) == sizeof(QUERY_SERVICE_LOCK_STATUSA));
static_assert(LockOwnerOffset(kPointer) == offsetof(QUERY_SERVICE_LOCK_STATUSA, lpLockOwner));

RecordBuffer Record(const unsigned char* data, std::size_t size) {
    return RecordBuffer{data, size, reinterpret_cast<std::uintptr_t>(data), unsigned(sizeof(void*))};
}

// A name for the system: none when blank, else the text as it stands, blanks included,
// cut to the 128-byte buffer.
struct OptionalName {
    explicit OptionalName(const std::string& text) {
        std::memset(buffer, 0, sizeof buffer);
        if (Trim(text).empty()) return;
        std::strncpy(buffer, text.c_str(), sizeof buffer - 1);
        present = true;
    }
    const char* get() const { return present ? buffer : nullptr; }
    char buffer[TNTService::kNameBuffer];
    bool present = false;
};

// Calls that report failure by a false or null result leave the reason in the last error;
// it is cleared first so that a stale code of an earlier call is never reported.
template <class F>
auto Checked(F call) {
    ::SetLastError(0);
    auto result = call();
    if (!result) RaiseLastNTError();
    return result;
}

// Registry keys opened through the bound entry points.
struct BoundKey {
    HKEY key = nullptr;
    ~BoundKey() {
        if (key) sys::RegCloseKey(key);
    }
};

void CheckCode(LONG code) {
    if (code != 0) RaiseNTError(SysErrorText(std::uint32_t(code)));
}

}  // namespace

TNTService::TNTService() {}

TNTService::~TNTService() {
    // Nothing may leave a destructor: each release is tried on its own.
    try {
        if (db_locked_) SetDBLocked(false);
    } catch (...) {
    }
    try {
        if (active_service_) CloseService();
    } catch (...) {
    }
    try {
        if (active_manager_) CloseManager();
    } catch (...) {
    }
}

void TNTService::Loaded() {
    TNTPersistent::Loaded();
    const bool want_service = active_service_;
    active_service_ = false;
    if (active_manager_ && !manager_handle_) {
        active_manager_ = false;
        OpenManager();
    }
    if (want_service) {
        // The service needs the manager even when the stream did not ask for it.
        if (!manager_handle_) OpenManager();
        OpenService();
    }
}

void TNTService::SetMachineName(const std::string& value) {
    if (value == machine_name_) return;
    if (active_manager_) RaiseNTError(kManagerActiveText);
    TNTPersistent::SetMachineName(value);
}

void TNTService::SetDatabaseName(const std::string& value) {
    if (value == database_name_) return;
    if (active_manager_) RaiseNTError(kManagerActiveText);
    database_name_ = value;
}

void TNTService::SetManagerAccess(ManagerAccess value) {
    if (active_manager_ && !IsLoading()) RaiseNTError(kManagerActiveText);
    manager_access_ = value;
}

void TNTService::SetServiceAccess(ServiceAccess value) {
    if (active_service_ && !IsLoading()) RaiseNTError(kServiceActiveText);
    service_access_ = value;
}

void TNTService::SetActiveManager(bool value) {
    if (value == active_manager_) return;
    if (IsReading()) {
        active_manager_ = value;
        return;
    }
    if (value)
        OpenManager();
    else
        CloseManager();
}

void TNTService::SetActiveService(bool value) {
    if (value == active_service_) return;
    if (IsReading()) {
        active_service_ = value;
        return;
    }
    if (!active_manager_) OpenManager();
    if (value)
        OpenService();
    else
        CloseService();
}

void TNTService::SetText(std::string& field, const std::string& value) {
    if (field == value) return;
    field = value;
    AfterConfigChange();
}

void TNTService::SetDependencies(const StringList& list) {
    if (&list != &dependencies_) dependencies_.Assign(list);
    AfterConfigChange();
}

void TNTService::AfterConfigChange() {
    if (!IsReading() && active_service_) ApplyConfig();
}

void TNTService::OpenManager() {
    OptionalName machine(machine_name_), database(database_name_);
    ::SetLastError(0);
    manager_handle_ = sys::OpenSCManagerA(machine.get(), database.get(),
                                          ManagerAccessToWin32(manager_access_));
    active_manager_ = manager_handle_ != nullptr;
    if (!manager_handle_) RaiseLastNTError();
}

void TNTService::CloseManager() {
    Checked([&] { return sys::CloseServiceHandle(manager_handle_); });
    manager_handle_ = nullptr;
    active_manager_ = false;
}

void TNTService::OpenService() {
    ::SetLastError(0);
    service_handle_ = sys::OpenServiceA(manager_handle_, service_name_.c_str(),
                                        ServiceAccessToWin32(service_access_));
    active_service_ = service_handle_ != nullptr;
    if (!service_handle_) {
        RaiseLastNTError();
        return;
    }
    alignas(8) unsigned char buffer[kConfigBuffer];
    std::memset(buffer, 0, sizeof buffer);
    DWORD needed = 0;
    Checked([&] {
        return sys::QueryServiceConfigA(service_handle_,
                                        reinterpret_cast<LPQUERY_SERVICE_CONFIGA>(buffer),
                                        DWORD(sizeof buffer), &needed);
    });
    ServiceConfig config = DecodeServiceConfig(Record(buffer, sizeof buffer), kDependencyBuffer);
    // Straight into the fields: loading the configuration must not rewrite it.
    display_name_ = config.display_name;
    binary_path_name_ = config.binary_path_name;
    load_order_ = config.load_order_group;
    tag_id_ = config.tag_id;
    service_start_name_ = config.service_start_name;
    password_.clear();
    start_type_ = Win32ToStartType(config.start_type);
    error_control_ = Win32ToErrorType(config.error_control);
    service_type_ = Win32ToServiceTypes(config.service_type);
    if (config.dependencies.Count() == 0)
        dependencies_.Clear();
    else
        dependencies_.Assign(config.dependencies);
}

void TNTService::CloseService() {
    Checked([&] { return sys::CloseServiceHandle(service_handle_); });
    service_handle_ = nullptr;
    active_service_ = false;
}

void TNTService::ApplyConfig() {
    unsigned char dependencies[kDependencyBuffer];
    StringsToMultiSz(dependencies, sizeof dependencies, dependencies_);
    DWORD tag = tag_id_;
    Checked([&] {
        return sys::ChangeServiceConfigA(
            service_handle_, ServiceTypesToWin32(service_type_), StartTypeToWin32(start_type_),
            ErrorTypeToWin32(error_control_), binary_path_name_.c_str(), load_order_.c_str(),
            load_order_.empty() ? nullptr : &tag, reinterpret_cast<LPCSTR>(dependencies),
            service_start_name_.c_str(), TextOrNull(password_), TextOrNull(display_name_));
    });
    tag_id_ = tag;
}

void TNTService::Createservice() {
    if (active_service_) CloseService();
    unsigned char dependencies[kDependencyBuffer];
    StringsToMultiSz(dependencies, sizeof dependencies, dependencies_);
    DWORD tag = 1;
    tag_id_ = 1;
    // The new service's handle is not kept: the component does not open what it creates.
    SC_HANDLE created = Checked([&] {
        return sys::CreateServiceA(
            manager_handle_, TextOrNull(service_name_), TextOrNull(display_name_),
            SERVICE_QUERY_STATUS, ServiceTypesToWin32(service_type_), StartTypeToWin32(start_type_),
            ErrorTypeToWin32(error_control_), TextOrNull(binary_path_name_),
            TextOrNull(load_order_), load_order_.empty() ? nullptr : &tag,
            reinterpret_cast<LPCSTR>(dependencies), TextOrNull(service_start_name_),
            TextOrNull(password_));
    });
    tag_id_ = tag;
    if (created) sys::CloseServiceHandle(created);
}

void TNTService::DeleteService() {
    if (!active_manager_) OpenManager();
    if (!active_service_) OpenService();
    Checked([&] { return sys::DeleteService(service_handle_); });
    CloseService();
}

void TNTService::Startservice() {
    if (!active_manager_) OpenManager();
    if (!active_service_) OpenService();
    Checked([&] { return sys::StartServiceA(service_handle_, 0, nullptr); });
    CloseService();
}

void TNTService::ControlService(unsigned control_code_ordinal) {
    SERVICE_STATUS status{};
    Checked([&] {
        return sys::ControlService(service_handle_, ControlCodeToWin32(control_code_ordinal),
                                   &status);
    });
}

std::unique_ptr<ServiceStatusClass> TNTService::QueryServiceStatus() {
    SERVICE_STATUS status{};
    Checked([&] { return sys::QueryServiceStatus(service_handle_, &status); });
    auto record = std::make_unique<ServiceStatusClass>();
    record->service_name = service_name_;
    record->displayed_name = display_name_;
    AssignStatus(*record, RawServiceStatus{status.dwServiceType, status.dwCurrentState,
                                           status.dwControlsAccepted, status.dwWin32ExitCode,
                                           status.dwServiceSpecificExitCode, status.dwCheckPoint,
                                           status.dwWaitHint});
    return record;
}

std::string TNTService::GetServiceDisplayName(const std::string& key_name) {
    char name[kServiceNameBuffer] = {0}, result[kServiceNameBuffer] = {0};
    std::strncpy(name, key_name.c_str(), sizeof name - 1);
    DWORD size = sizeof result;
    Checked([&] { return sys::GetServiceDisplayNameA(manager_handle_, name, result, &size); });
    return std::string(result, strnlen(result, sizeof result));
}

std::string TNTService::GetServiceKeyName(const std::string& display_name) {
    char name[kServiceNameBuffer] = {0}, result[kServiceNameBuffer] = {0};
    std::strncpy(name, display_name.c_str(), sizeof name - 1);
    DWORD size = sizeof result;
    Checked([&] { return sys::GetServiceKeyNameA(manager_handle_, name, result, &size); });
    return std::string(result, strnlen(result, sizeof result));
}

void TNTService::FillEnumList(EnumList& list, const unsigned char* buffer, DWORD count) {
    for (const EnumEntry& e : DecodeEnumServiceStatus(Record(buffer, kEnumBuffer), count)) {
        if (e.service_name.empty()) continue;
        ServiceStatusClass& record = list.Add();
        record.service_name = e.service_name;
        record.displayed_name = e.display_name;
        AssignStatus(record, e.status);
    }
}

std::unique_ptr<EnumList> TNTService::GetServiceList(ServiceStates states, EnumServices kinds) {
    if (!active_manager_) OpenManager();
    auto list = std::make_unique<EnumList>();
    alignas(8) unsigned char buffer[kEnumBuffer];
    std::memset(buffer, 0, sizeof buffer);
    DWORD needed = 0, count = 0, resume = 0;
    Checked([&] {
        return sys::EnumServicesStatusA(manager_handle_, EnumServicesToWin32(kinds),
                                        ServiceStatesToWin32(states),
                                        reinterpret_cast<LPENUM_SERVICE_STATUSA>(buffer),
                                        DWORD(sizeof buffer), &needed, &count, &resume);
    });
    FillEnumList(*list, buffer, count);
    return list;
}

std::unique_ptr<EnumList> TNTService::GetDependentServiceList(ServiceStates states) {
    auto list = std::make_unique<EnumList>();
    alignas(8) unsigned char buffer[kEnumBuffer];
    std::memset(buffer, 0, sizeof buffer);
    DWORD needed = 0, count = 0;
    Checked([&] {
        return sys::EnumDependentServicesA(service_handle_, ServiceStatesToWin32(states),
                                           reinterpret_cast<LPENUM_SERVICE_STATUSA>(buffer),
                                           DWORD(sizeof buffer), &needed, &count);
    });
    FillEnumList(*list, buffer, count);
    return list;
}

std::unique_ptr<StringList> TNTService::GetPropertyServiceNames() {
    auto names = std::make_unique<StringList>();
    const bool was_manager = active_manager_, was_service = active_service_;
    const ManagerAccess was_access = manager_access_;
    auto restore = [&] {
        SetActiveManager(false);
        SetManagerAccess(was_access);
        SetActiveManager(was_manager);
        SetActiveService(was_service);
    };
    try {
        SetActiveManager(false);
        SetManagerAccess(ManagerAccess{M_CONNECT, M_ENUMERATE_SERVICE});
        SetActiveManager(true);
        auto list = GetServiceList(ServiceStates{STATE_ACTIVE, STATE_INACTIVE},
                                   EnumServices{ENUM_DRIVERS, ENUM_WIN32});
        for (int i = 0; i < list->Count(); ++i) names->Add(list->Items(i).service_name);
    } catch (...) {
        // The first failure is the one reported; the restore is best effort.
        try {
            restore();
        } catch (...) {
        }
        throw;
    }
    restore();
    return names;
}

std::unique_ptr<StringList> TNTService::GetOrderGroupList() {
    auto groups = std::make_unique<StringList>();
    BoundKey root, key;
    CheckCode(sys::RegConnectRegistryA(TextOrNull(machine_name_), HKEY_LOCAL_MACHINE, &root.key));
    CheckCode(sys::RegOpenKeyExA(root.key, "System\\CurrentControlSet\\Control\\ServiceGroupOrder",
                                 0, 0x20019, &key.key));
    unsigned char buffer[kGroupListBuffer];
    std::memset(buffer, 0, sizeof buffer);
    DWORD size = sizeof buffer, type = 0;
    CheckCode(sys::RegQueryValueExA(key.key, "List", nullptr, &type, buffer, &size));
    MultiSzToStrings(buffer, std::min<std::size_t>(size, sizeof buffer), *groups);
    return groups;
}

void TNTService::SetDBLocked(bool value) {
    if (value == db_locked_) return;
    if (value) {
        ::SetLastError(0);
        lock_handle_ = sys::LockServiceDatabase(manager_handle_);
        if (!lock_handle_) RaiseLastNTError();
    } else {
        Checked([&] { return sys::UnlockServiceDatabase(lock_handle_); });
        lock_handle_ = nullptr;
    }
    db_locked_ = lock_handle_ != nullptr;
}

void TNTService::NotifyBootConfigStatus(bool acceptable) {
    Checked([&] { return sys::NotifyBootConfigStatus(acceptable ? TRUE : FALSE); });
}

LockStatus TNTService::QueryServiceLockStatus() {
    alignas(8) unsigned char buffer[kLockStatusBuffer];
    std::memset(buffer, 0, sizeof buffer);
    DWORD needed = 0;
    Checked([&] {
        return sys::QueryServiceLockStatusA(
            manager_handle_, reinterpret_cast<LPQUERY_SERVICE_LOCK_STATUSA>(buffer),
            DWORD(sizeof buffer), &needed);
    });
    return DecodeLockStatus(Record(buffer, sizeof buffer));
}

}  // namespace dovrin
