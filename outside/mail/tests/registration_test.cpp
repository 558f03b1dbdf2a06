// Self-registration of VelmSendmail.ocx, and the members at the DISPIDs callers use.
// Leaves the control registered for the delivery tests.
#include <gtest/gtest.h>
#include <windows.h>

#include "control_client.h"
#include "platform/winapi/handles.h"
#include "platform/winapi/tests/registry_snapshot.h"

namespace {

struct Com {
    Com() { ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED); }
    ~Com() { ::CoUninitialize(); }
};

std::string Read(const std::string& key_path) {
    vantrel::RegKey key;
    if (::RegOpenKeyExA(HKEY_CLASSES_ROOT, key_path.c_str(), 0, KEY_READ, key.put())) return "<missing>";
    char buffer[512];
    DWORD size = sizeof(buffer);
    if (::RegQueryValueExA(key.get(), nullptr, nullptr, nullptr, reinterpret_cast<BYTE*>(buffer), &size))
        return "<missing>";
    return std::string(buffer, size ? size - 1 : 0);
}

TEST(Registration, RegistersProgIdClassAndTypeLibrary) {
    vantrel::Module dll(::LoadLibraryA(VELMSENDMAIL_PATH));
    ASSERT_TRUE(dll) << ::GetLastError();
    auto reg = reinterpret_cast<HRESULT(WINAPI*)()>(reinterpret_cast<void*>(::GetProcAddress(dll.get(), "DllRegisterServer")));
    auto unreg = reinterpret_cast<HRESULT(WINAPI*)()>(reinterpret_cast<void*>(::GetProcAddress(dll.get(), "DllUnregisterServer")));
    ASSERT_TRUE(reg && unreg);
    ASSERT_EQ(unreg(), S_OK);
    EXPECT_EQ(Read("VelmSendMail.VelmSendmail\\CLSID"), "<missing>");
    ASSERT_EQ(reg(), S_OK);
    // Written out on purpose, not taken from the IDL: the fixed contract callers compiled against.
    const std::string clsid = "{1F38D9A9-1AA8-4201-9008-BE0D83D3FB16}";
    EXPECT_EQ(Read("VelmSendMail.VelmSendmail\\CLSID"), clsid);
    EXPECT_EQ(Read("CLSID\\" + clsid + "\\InprocServer32"), VELMSENDMAIL_PATH);
    EXPECT_EQ(Read("TypeLib\\{A3966B1A-2B4D-41E6-B491-327108909187}\\1.0"), "VelmSendMail SMTP mail control");
}

TEST(Registration, MembersAnswerAtTheirDispatchIds) {
    Com com;
    mailtest::Control c;
    ASSERT_EQ(c.Create(), S_OK);
    const struct {
        const wchar_t* name;
        DISPID id;
    } members[] = {
        {L"Body", mailtest::kBody},         {L"Subject", mailtest::kSubject},
        {L"Password", mailtest::kPassword}, {L"UserName", mailtest::kUserName},
        {L"SMTPServer", mailtest::kSMTPServer}, {L"FromEmail", mailtest::kFromEmail},
        {L"ToEmail", mailtest::kToEmail},   {L"SendMessage", mailtest::kSendMessage},
    };
    for (const auto& m : members) {
        LPOLESTR name = const_cast<LPOLESTR>(m.name);
        DISPID id = 0;
        ASSERT_EQ(c.dispatch->GetIDsOfNames(IID_NULL, &name, 1, 0, &id), S_OK);
        EXPECT_EQ(id, m.id);
        if (m.id == mailtest::kSendMessage) continue;
        // Each property keeps what was set until it is set again.
        ASSERT_EQ(c.Put(m.id, std::wstring(L"value of ") + m.name), S_OK);
        vantrel::Variant got;
        DISPPARAMS none{nullptr, nullptr, 0, 0};
        ASSERT_EQ(c.dispatch->Invoke(m.id, IID_NULL, 0, DISPATCH_PROPERTYGET, &none, got.get(), nullptr, nullptr), S_OK);
        ASSERT_EQ(got->vt, VT_BSTR);
        EXPECT_EQ(std::wstring(got->bstrVal), std::wstring(L"value of ") + m.name);
    }
}

// What regsvr32 writes, compared line by line with the entries of the last known-good
// build, and regsvr32 /u leaving the registry as it was before.
TEST(Registration, Regsvr32WritesItsEntriesAndUnregistrationRemovesExactlyThose) {
    vantrel::test::ExpectExactRoundTrip(VELMSENDMAIL_PATH, REGISTRATION_ENTRIES);
}

}  // namespace
