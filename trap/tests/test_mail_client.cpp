// A Simple MAPI mail client for the trap's tests. Registered as the prefix's default
// mail client, it writes what it received, the attachment's contents included, to
// "mapi_received.txt" in the current directory and reports success.
#include <windows.h>
#include <mapi.h>

#include <fstream>
#include <iterator>
#include <string>

namespace {

std::string Text(const char* s) { return s ? std::string(s) : std::string("(null)"); }
std::string Pointer(const void* p) { return p ? "set" : "(null)"; }

}  // namespace

extern "C" ULONG WINAPI MAPISendMail(LHANDLE session, ULONG_PTR ui_param, lpMapiMessage m, FLAGS flags,
                                     ULONG reserved) {
    std::ofstream out("mapi_received.txt", std::ios::binary);
    out << "session=" << session << "\nui=" << ui_param << "\nflags=" << flags << "\nreserved=" << reserved << "\n";
    if (!m) return MAPI_E_FAILURE;
    out << "message.reserved=" << m->ulReserved << "\nsubject=" << Text(m->lpszSubject)
        << "\nnote=" << Text(m->lpszNoteText) << "\ntype=" << Text(m->lpszMessageType)
        << "\ndate=" << Text(m->lpszDateReceived) << "\nconversation=" << Text(m->lpszConversationID)
        << "\nmessage.flags=" << m->flFlags << "\noriginator=" << Pointer(m->lpOriginator)
        << "\nrecipients=" << m->nRecipCount << "\nfiles=" << m->nFileCount << "\n";
    if (m->nRecipCount == 1 && m->lpRecips) {
        const MapiRecipDesc& r = m->lpRecips[0];
        out << "recip.reserved=" << r.ulReserved << "\nrecip.class=" << r.ulRecipClass
            << "\nrecip.name=" << Text(r.lpszName) << "\nrecip.address=" << Text(r.lpszAddress)
            << "\nrecip.eidsize=" << r.ulEIDSize << "\nrecip.eid=" << Pointer(r.lpEntryID) << "\n";
    }
    if (m->nFileCount == 1 && m->lpFiles) {
        const MapiFileDesc& f = m->lpFiles[0];
        out << "file.reserved=" << f.ulReserved << "\nfile.flags=" << f.flFlags << "\nfile.position=" << f.nPosition
            << "\nfile.path=" << Text(f.lpszPathName) << "\nfile.name=" << Text(f.lpszFileName)
            << "\nfile.type=" << Pointer(f.lpFileType) << "\n";
        if (f.lpszPathName) {
            std::ifstream in(f.lpszPathName, std::ios::binary);
            out << "attachment=" << std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
        }
    }
    return SUCCESS_SUCCESS;
}
