// The mailed error report through the machine's Simple MAPI client.
#include <windows.h>
#include <mapi.h>

#include "core/error_log.h"
#include "core/mail_report.h"
#include "hollin.h"
#include "platform/winapi/handles.h"

namespace trap {
namespace {

// Whether the machine names a default Simple MAPI client. Without one the system's
// MAPI32 shows a box of its own and waits for a user the service does not have, so
// the send is not tried at all: the mail is lost silently, as any other send failure.
bool MailClientConfigured() {
    vantrel::RegKey key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Clients\\Mail", 0, KEY_READ, key.put()) != ERROR_SUCCESS)
        return false;
    char name[256] = {};
    DWORD size = sizeof name - 1, type = 0;
    return RegQueryValueExA(key.get(), nullptr, nullptr, &type, reinterpret_cast<BYTE*>(name), &size) ==
               ERROR_SUCCESS &&
           (type == REG_SZ || type == REG_EXPAND_SZ) && name[0] != '\0';
}

ULONG SendThroughMapi(MapiMessage& message) {
    if (!MailClientConfigured()) return MAPI_E_FAILURE;
    vantrel::Module mapi(LoadLibraryA("MAPI32.DLL"));
    if (!mapi) return MAPI_E_FAILURE;
    auto send = reinterpret_cast<LPMAPISENDMAIL>(reinterpret_cast<void*>(GetProcAddress(mapi.get(), "MAPISendMail")));
    if (!send) return MAPI_E_FAILURE;
    return send(0, 0, &message, MAPI_LOGON_UI, 0);
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
