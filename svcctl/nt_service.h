// The service component: one connection to a machine's Service Control Manager, one open
// service with its configuration as properties, and the operations on services. Every
// failure is raised as a ComponentError (the system's code and text) or, for a system
// function that could not be bound, as the plain load error.
#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>

#include "core/status_records.h"
#include "core/string_list.h"
#include "core/values.h"
#include "nt_persistent.h"

namespace dovrin {

extern const char kManagerActiveText[];  // "Can not change parameter when CONTROL SERVICE MANAGER is active"
extern const char kServiceActiveText[];  // "Can not change parameter when SERVICE is active"

class TNTService : public TNTPersistent {
public:
    TNTService();
    ~TNTService() override;

    const char* ClassName() const override { return "TNTService"; }
    void Loaded() override;
    void SetMachineName(const std::string& value) override;

    // Properties.
    SC_HANDLE ManagerHandle() const { return manager_handle_; }
    SC_HANDLE ServiceHandle() const { return service_handle_; }
    SC_LOCK DBLockHandle() const { return lock_handle_; }
    const std::string& DatabaseName() const { return database_name_; }
    void SetDatabaseName(const std::string& value);
    bool ActiveManager() const { return active_manager_; }
    void SetActiveManager(bool value);
    bool ActiveService() const { return active_service_; }
    void SetActiveService(bool value);
    ManagerAccess GetManagerAccess() const { return manager_access_; }
    void SetManagerAccess(ManagerAccess value);
    ServiceAccess GetServiceAccess() const { return service_access_; }
    void SetServiceAccess(ServiceAccess value);

    const std::string& ServiceName() const { return service_name_; }
    void SetServiceName(const std::string& v) { SetText(service_name_, v); }
    const std::string& DisplayName() const { return display_name_; }
    void SetDisplayName(const std::string& v) { SetText(display_name_, v); }
    const std::string& BinaryPathName() const { return binary_path_name_; }
    void SetBinaryPathName(const std::string& v) { SetText(binary_path_name_, v); }
    const std::string& LoadOrder() const { return load_order_; }
    void SetLoadOrder(const std::string& v) { SetText(load_order_, v); }
    const std::string& ServiceStartName() const { return service_start_name_; }
    void SetServiceStartName(const std::string& v) { SetText(service_start_name_, v); }
    const std::string& Password() const { return password_; }
    void SetPassword(const std::string& v) { SetText(password_, v); }

    StartType GetStartType() const { return start_type_; }
    void SetStartType(StartType v) { SetValue(start_type_, v); }
    ErrorType GetErrorControl() const { return error_control_; }
    void SetErrorControl(ErrorType v) { SetValue(error_control_, v); }
    ServiceTypes GetServiceType() const { return service_type_; }
    void SetServiceType(ServiceTypes v) { SetValue(service_type_, v); }
    std::uint32_t TagId() const { return tag_id_; }
    void SetTagId(std::uint32_t v) { SetValue(tag_id_, v); }

    // The owned list; edits through it do not rewrite the configuration.
    StringList& Dependencies() { return dependencies_; }
    void SetDependencies(const StringList& list);

    bool DBLocked() const { return db_locked_; }
    void SetDBLocked(bool value);

    // Operations.
    void OpenManager();
    void CloseManager();
    void OpenService();
    void CloseService();
    void ApplyConfig();
    void Createservice();
    void DeleteService();
    void Startservice();
    void ControlService(unsigned control_code_ordinal);
    std::unique_ptr<ServiceStatusClass> QueryServiceStatus();
    std::string GetServiceDisplayName(const std::string& key_name);
    std::string GetServiceKeyName(const std::string& display_name);
    std::unique_ptr<EnumList> GetServiceList(ServiceStates states, EnumServices kinds);
    std::unique_ptr<EnumList> GetDependentServiceList(ServiceStates states);
    std::unique_ptr<StringList> GetPropertyServiceNames();
    std::unique_ptr<StringList> GetOrderGroupList();
    void NotifyBootConfigStatus(bool acceptable);
    LockStatus QueryServiceLockStatus();

    // Fixed buffer sizes of the system calls.
    static constexpr std::size_t kNameBuffer = 128;
    static constexpr std::size_t kConfigBuffer = 8192;
    static constexpr std::size_t kDependencyBuffer = 16384;
    static constexpr std::size_t kEnumBuffer = 32768;
    static constexpr std::size_t kLockStatusBuffer = 1024;
    static constexpr std::size_t kServiceNameBuffer = 256;
    static constexpr std::size_t kGroupListBuffer = 16384;

private:
    void SetText(std::string& field, const std::string& value);
    template <class T>
    void SetValue(T& field, T value) {
        if (field == value) return;
        field = value;
        AfterConfigChange();
    }
    void AfterConfigChange();
    void FillEnumList(EnumList& list, const unsigned char* buffer, DWORD count);

    SC_HANDLE manager_handle_ = nullptr;
    SC_HANDLE service_handle_ = nullptr;
    std::string database_name_;
    std::string service_name_;
    std::string display_name_;
    std::string binary_path_name_;
    bool active_manager_ = false;
    bool active_service_ = false;
    ManagerAccess manager_access_{M_CONNECT};
    ServiceAccess service_access_{S_ALL_ACCESS};
    StartType start_type_ = BOOT_START;
    ErrorType error_control_ = ERROR_IGNORE;
    ServiceTypes service_type_;
    std::string load_order_;
    std::uint32_t tag_id_ = 0;
    StringList dependencies_;
    std::string service_start_name_;
    std::string password_;
    bool db_locked_ = false;
    SC_LOCK lock_handle_ = nullptr;
};

}  // namespace dovrin
