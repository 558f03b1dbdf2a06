// Self-registration of Lorvex.dll as the registry shows it. This test also leaves the
// library registered for the tests that create its classes.
#include <gtest/gtest.h>
#include <windows.h>

#include <oleauto.h>

#include <string>
#include <vector>

#include "platform/winapi/handles.h"
#include "platform/winapi/proc_address.h"
#include "platform/winapi/tests/registry_snapshot.h"
#include "registry_read.h"

namespace {

// Written out on purpose, not taken from the IDL: the fixed contract callers compiled against.
const GUID kLibId = {0x35D78BF0, 0xD5A4, 0x11D2, {0x96, 0x79, 0x00, 0x00, 0xF8, 0x77, 0x0C, 0x8E}};

// The classes a client finds in the registry, written out here rather than taken from the
// library's own table, so that a wrong entry there shows.
struct Class {
    const char* name;
    const char* clsid;
    const char* progid;  // without ".1"
};
const Class kClasses[] = {
    {"EventSource", "{35D78BFD-D5A4-11D2-9679-0000F8770C8E}", "Lorvex.EventSource"},
    {"EventSourceConfiguration", "{2BDD82D4-D5F1-11D2-9679-0000F8770C8E}", "Lorvex.EventSourceConfiguration"},
    {"EventLog", "{2BDD82D6-D5F1-11D2-9679-0000F8770C8E}", "Lorvex.EventLog"},
    {"EventLogBackup", "{2BDD82D9-D5F1-11D2-9679-0000F8770C8E}", "Lorvex.EventLogBackup"},
    {"EventLogRecord", "{2BDD82DB-D5F1-11D2-9679-0000F8770C8E}", "Lorvex.EventLogRecord"},
    {"EventLogConfiguration", "{62391281-B05A-4816-8003-A8B30B77D13B}", "Lorvex.EventLogConfiguration"},
};

std::vector<std::string> KeysOf(const Class& c) {
    const std::string p = c.progid;
    return {p + ".1", p, std::string("CLSID\\") + c.clsid, std::string("AppID\\") + c.clsid};
}

class Registration : public ::testing::Test {
protected:
    void SetUp() override {
        dll_.reset(::LoadLibraryA(LORVEX_DLL_PATH));
        ASSERT_TRUE(dll_) << "cannot load " << LORVEX_DLL_PATH << ": " << ::GetLastError();
        reg_ = vantrel::ProcAddress<HRESULT(WINAPI*)()>(dll_.get(), "DllRegisterServer");
        unreg_ = vantrel::ProcAddress<HRESULT(WINAPI*)()>(dll_.get(), "DllUnregisterServer");
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
    for (const Class& c : kClasses)
        for (const auto& key : KeysOf(c)) EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, key)) << key;
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
    for (const Class& c : kClasses) {
        SCOPED_TRACE(c.name);
        const std::string description = std::string(c.name) + " Class";
        const std::string p = c.progid, p1 = p + ".1";
        const std::string clsid = std::string("CLSID\\") + c.clsid, appid = std::string("AppID\\") + c.clsid;
        const struct {
            std::string key;
            const char* value;  // null: the default value
            std::string data;
        } entries[] = {
            {p1, nullptr, description},
            {p1 + "\\CLSID", nullptr, c.clsid},
            {p, nullptr, description},
            {p + "\\CLSID", nullptr, c.clsid},
            {p + "\\CurVer", nullptr, p1},
            {clsid, nullptr, description},
            {clsid + "\\ProgID", nullptr, p1},
            {clsid + "\\VersionIndependentProgID", nullptr, p},
            {clsid + "\\InprocServer32", nullptr, path},
            {clsid + "\\InprocServer32", "ThreadingModel", "Apartment"},
            {clsid + "\\TypeLib", nullptr, "{35D78BF0-D5A4-11D2-9679-0000F8770C8E}"},
            {clsid, "AppID", c.clsid},
            {appid, nullptr, description},
            {appid, "AppID", c.clsid},
            {appid, "DllSurrogate", ""},
        };
        for (const auto& e : entries)
            EXPECT_EQ(ReadString(HKEY_CLASSES_ROOT, e.key, e.value), e.data) << e.key << " " << (e.value ? e.value : "");
        // "Programmable" is a bare key.
        EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, clsid + "\\Programmable"));
        EXPECT_EQ(ValueCount(HKEY_CLASSES_ROOT, clsid + "\\Programmable"), 0u);
    }
    EXPECT_TRUE(TypeLibRegistered());
    // The library's description comes from the type library.
    EXPECT_EQ(ReadString(HKEY_CLASSES_ROOT, "TypeLib\\{35D78BF0-D5A4-11D2-9679-0000F8770C8E}\\1.0"),
              "Harvick Lorvex control 1.8");
    // The collection is made only by the readers: no class of its own.
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, "Lorvex.EventLogRecordCollection"));
}

// What regsvr32 writes, compared line by line with the entries of the last known-good
// build, and regsvr32 /u leaving the registry as it was before.
TEST_F(Registration, Regsvr32WritesItsEntriesAndUnregistrationRemovesExactlyThose) {
    vantrel::test::ExpectExactRoundTrip(LORVEX_DLL_PATH, REGISTRATION_ENTRIES);
}

}  // namespace
