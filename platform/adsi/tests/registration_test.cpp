// Self-registration of vtadsi.dll as both binding paths look for a provider. The test
// leaves the substitute registered for the provider tests.
#include <gtest/gtest.h>
#include <windows.h>

#include <ole2.h>
#include <iads.h>
#include <olectl.h>

#include <optional>
#include <string>

#include "platform/winapi/handles.h"
#include "platform/winapi/tests/registry_snapshot.h"

namespace {

std::optional<std::string> ReadString(HKEY root, const std::string& key, const char* name = nullptr) {
    vantrel::RegKey k;
    if (::RegOpenKeyExA(root, key.c_str(), 0, KEY_READ, k.put()) != ERROR_SUCCESS) return std::nullopt;
    char data[1024];
    DWORD size = sizeof data, type = 0;
    if (::RegQueryValueExA(k.get(), name, nullptr, &type, reinterpret_cast<BYTE*>(data), &size) != ERROR_SUCCESS ||
        type != REG_SZ)
        return std::nullopt;
    return std::string(data, size && data[size - 1] == '\0' ? size - 1 : size);
}

class Registration : public ::testing::Test {
protected:
    void SetUp() override {
        dll_.reset(::LoadLibraryA(VTADSI_DLL_PATH));
        ASSERT_TRUE(dll_) << ::GetLastError();
        reg_ = reinterpret_cast<HRESULT(WINAPI*)()>(reinterpret_cast<void*>(::GetProcAddress(dll_.get(), "DllRegisterServer")));
        unreg_ = reinterpret_cast<HRESULT(WINAPI*)()>(reinterpret_cast<void*>(::GetProcAddress(dll_.get(), "DllUnregisterServer")));
        ASSERT_TRUE(reg_ && unreg_);
    }
    vantrel::Module dll_;
    HRESULT(WINAPI* reg_)() = nullptr;
    HRESULT(WINAPI* unreg_)() = nullptr;
};

TEST_F(Registration, UnregisterRemovesTheProviderAndLeavesOthers) {
    ASSERT_EQ(reg_(), S_OK);
    ASSERT_EQ(unreg_(), S_OK);
    EXPECT_FALSE(ReadString(HKEY_LOCAL_MACHINE, "Software\\Microsoft\\ADs\\Providers\\WinNT"));
    EXPECT_FALSE(ReadString(HKEY_CLASSES_ROOT, "WinNT\\CLSID"));
    EXPECT_FALSE(ReadString(HKEY_CLASSES_ROOT, "WinNTSystemInfo\\CLSID"));
    CLSID clsid;
    EXPECT_NE(::CLSIDFromProgID(L"WinNT", &clsid), S_OK);
    // Wine's own LDAP provider entry is not ours to touch.
    vantrel::RegKey providers;
    EXPECT_EQ(::RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Microsoft\\ADs\\Providers", 0, KEY_READ, providers.put()),
              ERROR_SUCCESS);
    EXPECT_EQ(unreg_(), S_OK);  // nothing left to remove is no failure
}

TEST_F(Registration, RegisterMakesBothBindingPathsFindTheProvider) {
    ASSERT_EQ(unreg_(), S_OK);
    ASSERT_EQ(reg_(), S_OK);
    // ADsGetObject: the providers key names a ProgID, whose class is created.
    EXPECT_EQ(ReadString(HKEY_LOCAL_MACHINE, "Software\\Microsoft\\ADs\\Providers\\WinNT"), "WinNT");
    CLSID provider;
    ASSERT_EQ(::CLSIDFromProgID(L"WinNT", &provider), S_OK);
    wchar_t text[40];
    ::StringFromGUID2(provider, text, 40);
    EXPECT_STREQ(text, L"{6A27423F-BB5F-4FA3-917B-3832380EBDEE}");
    char path[MAX_PATH];
    DWORD n = ::GetModuleFileNameA(dll_.get(), path, MAX_PATH);
    EXPECT_EQ(ReadString(HKEY_CLASSES_ROOT, "CLSID\\{6A27423F-BB5F-4FA3-917B-3832380EBDEE}\\InprocServer32"),
              std::string(path, n));
    // The system-information class under the platform's own class id and ProgID.
    CLSID info;
    ASSERT_EQ(::CLSIDFromProgID(L"WinNTSystemInfo", &info), S_OK);
    EXPECT_TRUE(IsEqualCLSID(info, CLSID_WinNTSystemInfo));
    EXPECT_EQ(ReadString(HKEY_CLASSES_ROOT, "CLSID\\{66182EC4-AFD1-11D2-9CB9-0000F87A369E}\\InprocServer32"),
              std::string(path, n));
}

void WriteDefault(HKEY root, const std::string& key, const std::string& value) {
    vantrel::RegKey k;
    ASSERT_EQ(::RegCreateKeyExA(root, key.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, k.put(), nullptr),
              ERROR_SUCCESS);
    ::RegSetValueExA(k.get(), nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                     static_cast<DWORD>(value.size() + 1));
}

// Where the platform has a provider or a system-information class of its own, neither
// registration nor unregistration touches it.
TEST_F(Registration, AProviderOfThePlatformIsNeitherReplacedNorRemoved) {
    const std::string foreign = "{0F0F0F0F-1111-2222-3333-444444444444}";
    ASSERT_EQ(unreg_(), S_OK);
    WriteDefault(HKEY_LOCAL_MACHINE, "Software\\Microsoft\\ADs\\Providers\\WinNT", "WinNT");
    WriteDefault(HKEY_CLASSES_ROOT, "WinNT\\CLSID", foreign);
    EXPECT_EQ(reg_(), SELFREG_E_CLASS);
    EXPECT_EQ(unreg_(), S_OK);
    EXPECT_EQ(ReadString(HKEY_CLASSES_ROOT, "WinNT\\CLSID"), foreign);
    EXPECT_EQ(ReadString(HKEY_LOCAL_MACHINE, "Software\\Microsoft\\ADs\\Providers\\WinNT"), "WinNT");
    ::RegDeleteTreeA(HKEY_CLASSES_ROOT, "WinNT");
    ::RegDeleteTreeA(HKEY_LOCAL_MACHINE, "Software\\Microsoft\\ADs\\Providers\\WinNT");

    const std::string info = "CLSID\\{66182EC4-AFD1-11D2-9CB9-0000F87A369E}\\InprocServer32";
    WriteDefault(HKEY_CLASSES_ROOT, info, "C:\\windows\\system32\\activeds.dll");
    EXPECT_EQ(reg_(), SELFREG_E_CLASS);
    EXPECT_EQ(unreg_(), S_OK);
    EXPECT_EQ(ReadString(HKEY_CLASSES_ROOT, info), "C:\\windows\\system32\\activeds.dll");
    ::RegDeleteTreeA(HKEY_CLASSES_ROOT, "CLSID\\{66182EC4-AFD1-11D2-9CB9-0000F87A369E}");

    // Left registered for the provider tests.
    EXPECT_EQ(reg_(), S_OK);
}

// What regsvr32 writes, compared line by line with the entries of the last known-good
// build, and regsvr32 /u leaving the registry as it was before.
TEST_F(Registration, Regsvr32WritesItsEntriesAndUnregistrationRemovesExactlyThose) {
    vantrel::test::ExpectExactRoundTrip(VTADSI_DLL_PATH, REGISTRATION_ENTRIES);
}

}  // namespace
