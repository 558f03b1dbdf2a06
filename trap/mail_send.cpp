// The mailed error report through the default Simple MAPI client.
#include <windows.h>
#include <mapi.h>

#include "core/error_log.h"
#include "core/mail_report.h"
#include "hollin.h"
#include "platform/winapi/handles.h"

#include <string>

namespace trap {
namespace {

// One text value of a mail-client key: the default client's name, or a client's DLL.
std::string MailKeyText(HKEY root, const std::string& subkey, const char* value) {
    vantrel::RegKey key;
    if (RegOpenKeyExA(root, subkey.c_str(), 0, KEY_READ, key.put()) != ERROR_SUCCESS) return {};
    char text[MAX_PATH + 1] = {};
    DWORD size = sizeof text - 1, type = 0;
    if (RegQueryValueExA(key.get(), value, nullptr, &type, reinterpret_cast<BYTE*>(text), &size) != ERROR_SUCCESS ||
        (type != REG_SZ && type != REG_EXPAND_SZ))
        return {};
    if (type == REG_SZ) return text;
    char expanded[MAX_PATH + 1] = {};
    const DWORD n = ExpandEnvironmentStringsA(text, expanded, sizeof expanded);
    return n > 0 && n <= sizeof expanded ? expanded : "";
}

const char kMailClients[] = "Software\\Clients\\Mail";

ULONG SendWith(HMODULE module, MapiMessage& message) {
    auto send = reinterpret_cast<LPMAPISENDMAIL>(reinterpret_cast<void*>(GetProcAddress(module, "MAPISendMail")));
    if (!send) return MAPI_E_FAILURE;
    return send(0, 0, &message, MAPI_LOGON_UI, 0);
}

// The user's default Simple MAPI client comes first, then the machine's. The user's
// client is loaded from its own DLL, since not every MAPI32 reads the user's choice (Wine's
// does not). Without any default client the system's MAPI32 shows a box of its own and
// waits for a user the service does not have, so the send is not tried at all: the mail
// is lost silently, as any other send failure.
ULONG SendThroughMapi(MapiMessage& message) {
    const std::string user_client = MailKeyText(HKEY_CURRENT_USER, kMailClients, nullptr);
    if (!user_client.empty()) {
        const std::string client_key = std::string(kMailClients) + "\\" + user_client;
        std::string dll = MailKeyText(HKEY_CURRENT_USER, client_key, "DLLPath");
        if (dll.empty()) dll = MailKeyText(HKEY_LOCAL_MACHINE, client_key, "DLLPath");
        if (!dll.empty()) {
            vantrel::Module client(LoadLibraryA(dll.c_str()));
            return client ? SendWith(client.get(), message) : MAPI_E_FAILURE;
        }
    }
    if (MailKeyText(HKEY_LOCAL_MACHINE, kMailClients, nullptr).empty()) return MAPI_E_FAILURE;
    vantrel::Module mapi(LoadLibraryA("MAPI32.DLL"));
    if (!mapi) return MAPI_E_FAILURE;
    return SendWith(mapi.get(), message);
}

}  // namespace

void MailErrorReport() {
    TrapState& s = Globals();
    // The log path is restored on every way out, also when a step fails.
    struct RestorePath {
        TrapState& s;
        std::string saved;
        ~RestorePath() { s.settings.log_file_path = saved; }
    } restore{s, s.settings.log_file_path};

    s.settings.log_file_path = kMailTempLog;
    WriteErrorLog();
    MailReport m = BuildMailReport(s);

    std::string empty_date, empty_conversation, empty_address;
    MapiRecipDesc recipient{};
    recipient.ulReserved = 0;
    recipient.ulRecipClass = MAPI_TO;
    recipient.lpszName = m.recipient_name.data();
    recipient.lpszAddress = empty_address.data();
    recipient.ulEIDSize = 0;
    recipient.lpEntryID = nullptr;

    MapiFileDesc file{};
    file.ulReserved = 0;
    file.flFlags = 0;
    file.nPosition = m.position;
    file.lpszPathName = m.path_name.data();
    file.lpszFileName = m.file_name.data();
    file.lpFileType = nullptr;

    MapiMessage message{};
    message.ulReserved = 0;
    message.lpszSubject = m.subject.data();
    message.lpszNoteText = m.note_text.data();
    message.lpszMessageType = m.message_type.data();
    message.lpszDateReceived = empty_date.data();
    message.lpszConversationID = empty_conversation.data();
    message.flFlags = 0;
    message.lpOriginator = nullptr;
    message.nRecipCount = 1;
    message.lpRecips = &recipient;
    message.nFileCount = 1;
    message.lpFiles = &file;

    try {
        SendThroughMapi(message);  // the result is not examined
    } catch (...) {
    }
    DeleteFileA(s.settings.log_file_path.c_str());
}

}  // namespace trap
