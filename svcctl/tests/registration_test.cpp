// Self-registration of Dovrin.dll: the control's entries, both type libraries, and the
// failure when Quillaby.tlb is not beside the DLL. Leaves the library registered for the
// tests that create the control.
#include <gtest/gtest.h>
#include <windows.h>

#include <oleauto.h>

#include <string>

#include "platform/winapi/handles.h"
#include "platform/winapi/oleauto.h"
#include "platform/winapi/proc_address.h"
#include "platform/winapi/tests/registry_snapshot.h"

namespace {

// Written out on purpose, not taken from the IDL: the fixed contract callers compiled against.
const GUID kDovrin = {0x97746B20, 0xE2AE, 0x11D2, {0x9A, 0x51, 0x00, 0x00, 0x01, 0x00, 0xC2, 0xE6}};
const GUID kQuillaby = {0x97746B15, 0xE2AE, 0x11D2, {0x9A, 0x51, 0x00, 0x00, 0x01, 0x00, 0xC2, 0xE6}};
const char kClsidKey[] = "CLSID\\{D6961846-CA78-11D2-9A37-00000100C2E6}";

using Entry = HRESULT(WINAPI*)();

std::string ReadText(const std::string& key, const char* name = nullptr) {
    char data[1024];
    DWORD size = sizeof data;
    if (::RegGetValueA(HKEY_CLASSES_ROOT, key.c_str(), name, RRF_RT_REG_SZ, nullptr, data, &size) !=
        ERROR_SUCCESS)
        return "<missing>";
    return data;
}

bool Registered(REFGUID lib, LCID lcid) {
    ITypeLib* tl = nullptr;
    if (FAILED(::LoadRegTypeLib(lib, 1, 0, lcid, &tl))) return false;
    tl->Release();
    return true;
}

struct Library {
    explicit Library(const std::string& path) : dll(::LoadLibraryA(path.c_str())) {}
    Entry Get(const char* name) { return vantrel::ProcAddress<Entry>(dll.get(), name); }
    vantrel::Module dll;
};

std::string Folder(const std::string& path) { return path.substr(0, path.find_last_of('\\') + 1); }

TEST(Registration, WithoutQuillabyBesideTheDllFailsWithItsText) {
    // A copy of the DLL alone in a folder of its own.
    char temp[MAX_PATH];
    ASSERT_GT(::GetTempPathA(MAX_PATH, temp), 0u);
    std::string folder = std::string(temp) + "VtTestDovrinAlone\\";
    ::CreateDirectoryA(folder.c_str(), nullptr);
    std::string copy = folder + "Dovrin.dll";
    ASSERT_TRUE(::CopyFileA(DOVRIN_DLL_PATH, copy.c_str(), FALSE));
    ::DeleteFileA((folder + "Quillaby.tlb").c_str());
    {
        Library lib(copy);
        ASSERT_TRUE(lib.dll);
        ::SetErrorInfo(0, nullptr);
        EXPECT_EQ(lib.Get("DllRegisterServer")(), HRESULT(0x800407D0));
        IErrorInfo* info = nullptr;
        ASSERT_EQ(::GetErrorInfo(0, &info), S_OK);
        vantrel::Bstr text;
        info->GetDescription(text.put());
        info->Release();
        EXPECT_EQ(text.str(), L"Cannot register type library (Quillaby.tlb not found ?)");
        lib.Get("DllUnregisterServer")();
    }
    ::DeleteFileA(copy.c_str());
    ::RemoveDirectoryA(folder.c_str());
}

TEST(Registration, RegistersTheControlAndBothTypeLibraries) {
    Library lib(DOVRIN_DLL_PATH);
    ASSERT_TRUE(lib.dll);
    ASSERT_EQ(lib.Get("DllUnregisterServer")(), S_OK);
    EXPECT_FALSE(Registered(kQuillaby, 0));
    EXPECT_EQ(ReadText(kClsidKey), "<missing>");

    ASSERT_EQ(lib.Get("DllRegisterServer")(), S_OK);
    char path[MAX_PATH];
    ASSERT_GT(::GetModuleFileNameA(lib.dll.get(), path, MAX_PATH), 0u);
    const std::string key = kClsidKey;
    EXPECT_EQ(ReadText(key + "\\InprocServer32"), path);
    EXPECT_EQ(ReadText(key + "\\InprocServer32", "ThreadingModel"), "Apartment");
    EXPECT_EQ(ReadText(key + "\\ProgID"), "Dovrin.VuRURazerir");
    EXPECT_EQ(ReadText(key + "\\ToolboxBitmap32"), std::string(path) + ",4");
    EXPECT_EQ(ReadText(key + "\\MiscStatus\\1"), "1024");
    EXPECT_EQ(ReadText(key + "\\TypeLib"), "{97746B20-E2AE-11D2-9A51-00000100C2E6}");
    EXPECT_NE(ReadText(key + "\\Control"), "<missing>");
    EXPECT_EQ(ReadText("Dovrin.VuRURazerir\\CLSID"), "{D6961846-CA78-11D2-9A37-00000100C2E6}");

    // The four property pages, served by the same DLL.
    for (const char* page : {"{85C28E60-AFAC-11D2-9A09-00000100C2E6}", "{DDF49D02-D239-11D2-9A3F-00000100C2E6}",
                             "{DDF49D05-D239-11D2-9A3F-00000100C2E6}", "{F1059331-D204-11D2-9A3E-00000100C2E6}"})
        EXPECT_EQ(ReadText(std::string("CLSID\\") + page + "\\InprocServer32"), path) << page;

    EXPECT_TRUE(Registered(kDovrin, 0x409));
    ASSERT_TRUE(Registered(kQuillaby, 0));
    BSTR where = nullptr;
    ASSERT_EQ(::QueryPathOfRegTypeLib(kQuillaby, 1, 0, 0, &where), S_OK);
    vantrel::Bstr owned;
    *owned.put() = where;
    EXPECT_EQ(vantrel::AnsiFromWide(owned.str()), Folder(path) + "Quillaby.tlb");

    // The toolbox bitmap the registry points at is there.
    HBITMAP bitmap = ::LoadBitmapA(lib.dll.get(), MAKEINTRESOURCEA(4));
    EXPECT_NE(bitmap, nullptr);
    if (bitmap) ::DeleteObject(bitmap);
}

// What regsvr32 writes, compared line by line with the entries of the last known-good
// build, and regsvr32 /u leaving the registry as it was before.
TEST(Registration, Regsvr32WritesItsEntriesAndUnregistrationRemovesExactlyThose) {
    vantrel::test::ExpectExactRoundTrip(DOVRIN_DLL_PATH, REGISTRATION_ENTRIES);
}

}  // namespace
