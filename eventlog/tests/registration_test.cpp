// Self-registration of Lorvex.dll as the registry shows it. This test also leaves the
// library registered for the tests that create its classes.
#include <gtest/gtest.h>
#include <windows.h>

#include <oleauto.h>

#include "core/class_table.h"
#include "platform/winapi/handles.h"
#include "registry_read.h"

namespace {

const GUID kLibId = {0x35D78BF0, 0xD5A4, 0x11D2, {0x96, 0x79, 0x00, 0x00, 0xF8, 0x77, 0x0C, 0x8E}};

class Registration : public ::testing::Test {
protected:
    void SetUp() override {
        dll_.reset(::LoadLibraryA(LORVEX_DLL_PATH));
        ASSERT_TRUE(dll_) << "cannot load " << LORVEX_DLL_PATH << ": " << ::GetLastError();
        reg_ = reinterpret_cast<HRESULT(WINAPI*)()>(::GetProcAddress(dll_.get(), "DllRegisterServer"));
        unreg_ = reinterpret_cast<HRESULT(WINAPI*)()>(::GetProcAddress(dll_.get(), "DllUnregisterServer"));
        ASSERT_TRUE(reg_ && unreg_);
    }
    bool TypeLibRegistered() {
        ITypeLib* tl = nullptr;
        if (FAILED(::LoadRegTypeLib(kLibId, 1, 0, 0x409, &tl))) return false;
        tl->Release();
        return true;
    }
    vantrel::Module dll_;
    HRESULT(WINAPI* reg_)() = nullptr;
    HRESULT(WINAPI* unreg_)() = nullptr;
};

TEST_F(Registration, UnregisterRemovesEveryClassKeyButKeepsTheParents) {
    ASSERT_EQ(reg_(), S_OK);
    ASSERT_EQ(unreg_(), S_OK);
    for (const auto& c : lorvex::RegisteredClasses()) {
        for (const auto& key : lorvex::RegistrationKeys(c)) EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, key)) << key;
    }
    EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, "CLSID"));
    EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, "AppID"));
    EXPECT_FALSE(TypeLibRegistered());
    // A second unregistration finds nothing to remove and still succeeds.
    EXPECT_EQ(unreg_(), S_OK);
}

TEST_F(Registration, RegisterWritesEveryEntryOfEveryClass) {
    ASSERT_EQ(unreg_(), S_OK);
    ASSERT_EQ(reg_(), S_OK);

    char path[MAX_PATH];
    DWORD n = ::GetModuleFileNameA(dll_.get(), path, MAX_PATH);
    ASSERT_GT(n, 0u);
    for (const auto& c : lorvex::RegisteredClasses()) {
        for (const auto& v : lorvex::RegistrationValues(c, path)) {
            if (v.key_only) {
                EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, v.key)) << v.key;
                EXPECT_EQ(ValueCount(HKEY_CLASSES_ROOT, v.key), 0u) << v.key;
                continue;
            }
            auto data = ReadString(HKEY_CLASSES_ROOT, v.key, v.name.empty() ? nullptr : v.name.c_str());
            ASSERT_TRUE(data.has_value()) << v.key << " " << v.name;
            EXPECT_EQ(*data, v.data) << v.key << " " << v.name;
        }
    }
    // The two facts a client relies on first.
    EXPECT_EQ(ReadString(HKEY_CLASSES_ROOT, "Lorvex.EventLog\\CurVer"), "Lorvex.EventLog.1");
    EXPECT_EQ(ReadString(HKEY_CLASSES_ROOT, "CLSID\\{2BDD82D6-D5F1-11D2-9679-0000F8770C8E}\\InprocServer32",
                         "ThreadingModel"),
              "Apartment");
    EXPECT_TRUE(TypeLibRegistered());
    // The library's description comes from the type library.
    EXPECT_EQ(ReadString(HKEY_CLASSES_ROOT, "TypeLib\\{35D78BF0-D5A4-11D2-9679-0000F8770C8E}\\1.0"),
              "Harvick Lorvex control 1.8");
}

}  // namespace
