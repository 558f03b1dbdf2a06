#include "core/status_records.h"

#include "core/errors.h"
#include "core/string_list.h"

namespace dovrin {

void AssignStatus(ServiceStatusClass& record, const RawServiceStatus& status) {
    record.service_type = Win32ToServiceTypes(status.service_type);
    record.current_state = Win32ToCurrentState(status.current_state);
    record.controls_accepted = Win32ToControlsAccepted(status.controls_accepted);
    record.win32_exit_code = status.win32_exit_code;
    record.service_specific_exit_code = status.service_specific_exit_code;
    record.check_point = status.check_point;
    record.wait_hint = status.wait_hint;
}

std::shared_ptr<ServiceStatusClass> EnumList::ItemPtr(int index) const {
    if (index < 0 || index >= Count()) throw ListError(index);
    return items_[std::size_t(index)];
}

ServiceStatusClass& EnumList::Add() {
    items_.push_back(std::make_shared<ServiceStatusClass>());
    return *items_.back();
}

void EnumList::Delete(int index) {
    if (index < 0 || index >= Count()) throw ListError(index);
    items_.erase(items_.begin() + index);
}

int EnumList::IndexOf(const std::string& service_name) const {
    for (int i = 0; i < Count(); ++i)
        if (SameText(items_[std::size_t(i)]->service_name, service_name)) return i;
    return -1;
}

}  // namespace dovrin
