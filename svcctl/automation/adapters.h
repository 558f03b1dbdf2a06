// The automation objects that the control hands out: status records, status lists and
// lock status (type library Dovrin), string lists and other credentials (Quillaby).
#pragma once

#include <memory>

#include "automation/auto_object.h"
#include "core/status_records.h"
#include "core/string_list.h"
#include "dovrin.h"
#include "nt_persistent.h"

namespace dovrin::automation {

// The record's object: the same one for as long as a client holds it. The object keeps
// its record alive, so it stays usable after Delete or Clear of its list.
HRESULT StatusObjectOf(const std::shared_ptr<ServiceStatusClass>& record,
                       IServiceStatusClass** out);
// The list's object, kept with the list in the same way.
HRESULT ListObjectOf(const std::shared_ptr<EnumList>& list, IEnumList** out);
HRESULT NewLockStatusObject(IQueryServiceLockStatus** out);

// A string-list object over a list that it owns (the listing results).
HRESULT NewStringListObject(std::unique_ptr<StringList> list, IStringList** out);
// A string-list object over a list of a control; `owner` is held so that the list lives as
// long as the object.
HRESULT StringListObjectOver(StringList* list, IUnknown* owner, IStringList** out);

// The LogonAs object of a control: made on the first request and kept in the TLogonAs;
// DetachLogonAs releases it when the control goes, leaving clients an empty object.
HRESULT LogonAsObjectOf(TLogonAs& logon_as, ILogonAs** out);
void DetachLogonAs(TLogonAs& logon_as);

}  // namespace dovrin::automation
