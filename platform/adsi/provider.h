// The substitute "WinNT:" directory provider: the namespace object that binds paths, the
// computer container, its service objects, and the system-information class.
#pragma once

#include <windows.h>

#include <oaidl.h>

#include <string>

namespace vantrel::adsi {

// Our class behind the ProgID "WinNT" (the providers key names that ProgID).
extern const CLSID CLSID_WinNTProvider;

// Binds a "WinNT:" path to its object, as IDispatch. Only computer paths are known; a
// computer other than this one fails with ERROR_BAD_NETPATH, as an unreachable one does.
HRESULT BindPath(const std::wstring& path, IDispatch** object);

// Creation functions of the module's class table.
HRESULT CreateProvider(REFIID riid, void** ppv);
HRESULT CreateSystemInfo(REFIID riid, void** ppv);

// The class object of the provider class: an ordinary factory that also parses display
// names, which is how a script's GetObject("WinNT://...") reaches the provider.
HRESULT GetProviderClassObject(REFIID riid, void** ppv);

// This computer's name as the system-information object reports it.
std::wstring LocalComputerName();

}  // namespace vantrel::adsi
