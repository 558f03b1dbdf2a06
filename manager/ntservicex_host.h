// NTServiceX: the service-control control "Dovrin.VuRURazerir" sited on MainForm. It is
// created with the form, gets the properties the form stores for it, and is called late
// bound by DISPID, as the manager was built against the control's interface.
#pragma once

#include <windows.h>

#include <oaidl.h>
#include <wrl/client.h>

#include <string>
#include <vector>

#include "service_status.h"

namespace vantrel::manager {

// The members of the control's INTServiceX that the manager uses.
namespace dispid {
enum : DISPID {
    kActiveManager = 14,
    kActiveService = 15,
    kManagerAccess = 16,
    kServiceAccess = 17,
    kServiceName = 18,
    kStartservice = 37,
    kControlService = 38,
};
}  // namespace dispid

// The name under which the form's stored control properties are a resource of the program.
constexpr const char* kNTServiceXStateResource = "NTSERVICEX_STATE";

class NTServiceXHost {
public:
    NTServiceXHost() = default;
    NTServiceXHost(const NTServiceXHost&) = delete;
    NTServiceXHost& operator=(const NTServiceXHost&) = delete;
    ~NTServiceXHost() { Destroy(); }

    // Creates and sites the control and loads the stored properties from the module's
    // resource. Throws ManagerError naming what failed.
    void Create(HINSTANCE module);
    // Closes and releases the control; its site goes with it.
    void Destroy();
    bool created() const { return static_cast<bool>(control_); }

    // Late-bound calls. A failure throws ManagerError with the control's description.
    void PutBool(DISPID id, bool value);
    void PutLong(DISPID id, long value);
    void PutText(DISPID id, const std::string& value);
    void Call(DISPID id, std::vector<VARIANT> arguments = {});

private:
    void Invoke(DISPID id, WORD flags, std::vector<VARIANT>& arguments);

    Microsoft::WRL::ComPtr<IDispatch> control_;
    Microsoft::WRL::ComPtr<IOleClientSite> site_;
};

}  // namespace vantrel::manager
