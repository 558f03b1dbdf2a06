// The control's persisted properties taken from and given to the service component.
#pragma once

#include <windows.h>

#include <oaidl.h>

#include "core/control_state.h"
#include "nt_service.h"

namespace dovrin::automation {

// Every stored published property: the text ones only when not empty, the password of
// LogonAs always.
ControlState CaptureState(TNTService& service);
// Reads the values in stream order as a persisted load: BeginLoading, the setters,
// EndReading, Loaded. Properties the stream does not hold keep their values.
void ApplyState(TNTService& service, const ControlState& state);

// A value as a property bag holds it, and back.
HRESULT StateValueToVariant(const StateValue& value, VARIANT* out);
// Fills value.text / integer / list from the variant, by the kind already set.
void VariantToStateValue(const VARIANT& in, StateValue& value);
// The kind of each persisted property (by name as written).
ValueKind KindOfProperty(const std::string& name);
// All names a bag may hold, in stream order.
const std::vector<std::string>& PersistedNames();

}  // namespace dovrin::automation
