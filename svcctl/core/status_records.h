// Status, list and lock records that the service component hands out.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "core/values.h"

namespace dovrin {

struct ServiceStatusClass {
    std::string service_name;
    std::string displayed_name;
    ServiceTypes service_type;
    CurrentState current_state = STATE_STOPPED;
    ControlsAccepted controls_accepted;
    std::uint32_t win32_exit_code = 0;
    std::uint32_t service_specific_exit_code = 0;
    std::uint32_t check_point = 0;
    std::uint32_t wait_hint = 0;
    // The automation object made for this record, kept so that the record is always
    // handed out as the same object; managed by the automation layer, not owned here.
    void* status_object = nullptr;
};

// The Windows service status, as the system reports it.
struct RawServiceStatus {
    std::uint32_t service_type = 0, current_state = 0, controls_accepted = 0,
                  win32_exit_code = 0, service_specific_exit_code = 0, check_point = 0,
                  wait_hint = 0;
};

// Fills a record's status fields from the system's status.
void AssignStatus(ServiceStatusClass& record, const RawServiceStatus& status);

// An owning list of status records. Items are shared so that an automation object over an
// item can keep it alive after the list has dropped it.
class EnumList {
public:
    int Count() const { return int(items_.size()); }
    ServiceStatusClass& Items(int index) const { return *ItemPtr(index); }
    std::shared_ptr<ServiceStatusClass> ItemPtr(int index) const;  // ListError when bad
    ServiceStatusClass& Add();
    void Delete(int index);  // ListError when bad; the list is then unchanged
    void Clear() { items_.clear(); }
    int IndexOf(const std::string& service_name) const;  // a..z folded; -1 when absent

    void* list_object = nullptr;  // the automation object of the list, as for records

private:
    std::vector<std::shared_ptr<ServiceStatusClass>> items_;
};

struct LockStatus {
    std::uint32_t is_locked = 0;
    std::string lock_owner;
    std::uint32_t lock_duration = 0;
};

}  // namespace dovrin
