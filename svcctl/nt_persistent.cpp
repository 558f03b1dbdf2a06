#include "nt_persistent.h"

#include <cstring>

#include "nt_errors.h"

namespace dovrin {
namespace {

const char kWindowClass[] = "DovrinNTPersistent";
constexpr int kSize = 28;

HMODULE ThisModule() {
    HMODULE module = nullptr;
    ::GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                             GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                         reinterpret_cast<LPCSTR>(&ThisModule), &module);
    return module;
}

void RegisterWindowClass() {
    static bool registered = false;
    if (registered) return;
    WNDCLASSA wc{};
    wc.style = CS_HREDRAW | CS_VREDRAW;
    // Each window gets the component's procedure once it is linked with its component.
    wc.lpfnWndProc = ::DefWindowProcA;
    wc.hInstance = ThisModule();
    wc.hCursor = ::LoadCursor(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = kWindowClass;
    ::RegisterClassA(&wc);
    registered = true;
}

}  // namespace

ConnectionCalls& Connections() {
    static ConnectionCalls calls{&::WNetAddConnection2A, &::WNetCancelConnection2A};
    return calls;
}

TNTPersistent::TNTPersistent() {}

TNTPersistent::~TNTPersistent() {
    // The "\IPC$" connection deliberately stays open.
    DestroyWindowHandle();
    if (bitmap_) ::DeleteObject(bitmap_);
}

void TNTPersistent::Loaded() {
    loading_ = reading_ = false;
    Connect();
}

void TNTPersistent::SetMachineName(const std::string& value) {
    if (value == machine_name_) return;
    Disconnect();
    machine_name_ = value;
    Connect();
}

bool TNTPersistent::IsRunMode() { return host_ == nullptr || !host_->AmbientDesignMode(); }

void TNTPersistent::CreateWindowHandle(HWND parent) {
    if (window_) return;
    if (!bitmap_) bitmap_ = ::LoadBitmapA(ThisModule(), ClassName());
    RegisterWindowClass();
    window_ = ::CreateWindowExA(0, kWindowClass, "", WS_CHILD | WS_VISIBLE, bounds_.left,
                                bounds_.top, kSize, kSize, parent, nullptr, ThisModule(), nullptr);
    if (!window_) RaiseLastNTError();
    ::SetWindowLongPtrA(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    ::SetWindowLongPtrA(window_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&WindowProc));
}

void TNTPersistent::DestroyWindowHandle() {
    if (!window_) return;
    ::SetWindowLongPtrA(window_, GWLP_USERDATA, 0);
    ::DestroyWindow(window_);
    window_ = nullptr;
}

LRESULT CALLBACK TNTPersistent::WindowProc(HWND w, UINT m, WPARAM wp, LPARAM lp) {
    auto self = reinterpret_cast<TNTPersistent*>(::GetWindowLongPtrA(w, GWLP_USERDATA));
    if (self && m == WM_PAINT) {
        PAINTSTRUCT ps;
        HDC dc = ::BeginPaint(w, &ps);
        try {
            self->Paint(dc);
        } catch (...) {
            // Nothing unwinds into the container; the next paint tries again.
        }
        ::EndPaint(w, &ps);
        return 0;
    }
    if (self && m == WM_WINDOWPOSCHANGING) {
        // The control keeps its size whatever the container asks for.
        auto pos = reinterpret_cast<WINDOWPOS*>(lp);
        pos->cx = kSize;
        pos->cy = kSize;
    }
    return ::DefWindowProcA(w, m, wp, lp);
}

void TNTPersistent::SetBounds(int left, int top, int, int) {
    bounds_ = RECT{left, top, left + kSize, top + kSize};
    if (window_)
        ::SetWindowPos(window_, nullptr, left, top, kSize, kSize, SWP_NOZORDER | SWP_NOACTIVATE);
}

void TNTPersistent::Paint(HDC dc) {
    const int w = kSize, h = kSize;
    if (bitmap_) {
        HDC mem = ::CreateCompatibleDC(dc);
        HGDIOBJ old = ::SelectObject(mem, bitmap_);
        BITMAP bm{};
        ::GetObjectA(bitmap_, sizeof bm, &bm);
        ::StretchBlt(dc, 1, 1, w - 3, h - 3, mem, 0, 0, bm.bmWidth, bm.bmHeight, SRCCOPY);
        ::SelectObject(mem, old);
        ::DeleteDC(mem);
    }
    // A raised frame: white on the top and left, button shadow on the right and bottom.
    HPEN white = ::CreatePen(PS_SOLID, 1, RGB(255, 255, 255));
    HPEN shadow = ::CreatePen(PS_SOLID, 1, ::GetSysColor(COLOR_BTNSHADOW));
    HGDIOBJ old = ::SelectObject(dc, white);
    ::MoveToEx(dc, 0, h - 1, nullptr);
    ::LineTo(dc, 0, 0);
    ::LineTo(dc, w - 1, 0);
    ::SelectObject(dc, shadow);
    ::LineTo(dc, w - 1, h - 1);
    ::LineTo(dc, 0, h - 1);
    ::SelectObject(dc, old);
    ::DeleteObject(white);
    ::DeleteObject(shadow);
}

bool TNTPersistent::NeedsConnection() {
    if (reading_) return false;
    std::string machine = Trim(machine_name_);
    if (machine.empty()) return false;
    if (Trim(GetComputerName()) == machine) return false;
    return !Trim(logon_as_.user_name).empty() || !Trim(logon_as_.password).empty();
}

void TNTPersistent::Connect() {
    if (!NeedsConnection()) return;
    std::string remote = (machine_name_ + "\\IPC$").substr(0, 255);
    char local[1] = {0};
    NETRESOURCEA resource;
    std::memset(&resource, 0, sizeof resource);
    resource.lpLocalName = local;
    resource.lpRemoteName = remote.data();
    DWORD answer = Connections().add_connection(&resource, logon_as_.password.c_str(),
                                                logon_as_.user_name.c_str(), 0);
    if (answer == ERROR_SESSION_CREDENTIAL_CONFLICT) {
        Connections().cancel_connection(remote.c_str(), 0, FALSE);
        Connections().add_connection(&resource, logon_as_.password.c_str(),
                                     logon_as_.user_name.c_str(), 0);
    }
    // Connection failures are silent: the calls that need the share report them.
}

void TNTPersistent::Disconnect() {
    if (!NeedsConnection()) return;
    std::string remote = (machine_name_ + "\\IPC$").substr(0, 255);
    Connections().cancel_connection(remote.c_str(), 0, FALSE);
}

std::string TNTPersistent::GetComputerName() {
    char name[256] = {0};
    DWORD size = sizeof name;
    if (!::GetComputerNameA(name, &size)) RaiseLastNTError();
    return name;
}

const char* TextOrNull(const std::string& text) { return text.empty() ? nullptr : text.c_str(); }

}  // namespace dovrin
