// Ownership of a COM object that was just made: it starts with one reference, which the
// returned pointer takes over. MinGW-w64's ComPtr::Attach adds a reference of its own
// (unlike the platform's header), so an object handed to Attach would never be freed.
#pragma once

#include <wrl/client.h>

namespace vantrel::com {

template <class T>
Microsoft::WRL::ComPtr<T> Adopt(T* fresh) noexcept {
    Microsoft::WRL::ComPtr<T> owner;
    *owner.GetAddressOf() = fresh;  // no AddRef: the new object's own reference moves in
    return owner;
}

}  // namespace vantrel::com
