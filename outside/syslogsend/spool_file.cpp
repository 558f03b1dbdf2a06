#include "spool_file.h"

#include <windows.h>
#include <sddl.h>

#include <cctype>
#include <cstdio>

namespace syslogsend {

namespace {

// One pair of locks per spool file, whichever folder it is in.
std::string LockTag(const std::string& path) {
    uint32_t h = 2166136261u;
    for (char c : path) {
        h ^= static_cast<unsigned char>(std::tolower(static_cast<unsigned char>(c)));
        h *= 16777619u;
    }
    char tag[16];
    std::snprintf(tag, sizeof(tag), "%08x", static_cast<unsigned>(h));
    return tag;
}

bool Acquired(DWORD wait) { return wait == WAIT_OBJECT_0 || wait == WAIT_ABANDONED; }

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// 0, or the system error.
DWORD WriteWhole(const std::string& path, DWORD disposition, DWORD access, const std::string& bytes) {
    vantrel::FileHandle f(
        ::CreateFileA(path.c_str(), access, kShareAll, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!f) return ::GetLastError();
    DWORD written = 0;
    if (!::WriteFile(f.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr))
        return ::GetLastError();
    return written == bytes.size() ? 0 : ERROR_DISK_FULL;
}

}  // namespace

// The service (LocalSystem) and the manager (an elevated administrator) run in different
// sessions: the objects are global and open to both.
template <class Create>
vantrel::Handle OpenToBoth(Create create) {
    SECURITY_ATTRIBUTES sa{sizeof(sa), nullptr, FALSE};
    PSECURITY_DESCRIPTOR sd = nullptr;
    if (::ConvertStringSecurityDescriptorToSecurityDescriptorA("D:(A;;GA;;;SY)(A;;GA;;;BA)", SDDL_REVISION_1, &sd,
                                                               nullptr))
        sa.lpSecurityDescriptor = sd;
    vantrel::LocalMemory owned(sd);
    return vantrel::Handle(create(&sa));
}

vantrel::Handle GlobalMutex(const std::string& name) {
    return OpenToBoth([&](SECURITY_ATTRIBUTES* sa) {
        return ::CreateMutexExA(sa, ("Global\\" + name).c_str(), 0, SYNCHRONIZE | MUTEX_MODIFY_STATE);
    });
}

vantrel::Handle GlobalEvent(const std::string& name) {
    return OpenToBoth([&](SECURITY_ATTRIBUTES* sa) {
        return ::CreateEventExA(sa, ("Global\\" + name).c_str(), CREATE_EVENT_MANUAL_RESET,
                                SYNCHRONIZE | EVENT_MODIFY_STATE);
    });
}

SpoolFile::SpoolFile(const std::string& folder) : path_(folder + "\\syslogsend.spool") {
    const std::string tag = LockTag(path_);
    file_lock_ = GlobalMutex("VantrelSyslogSpool-" + tag);
    retry_lock_ = GlobalMutex("VantrelSyslogRetry-" + tag);
}

SpoolFile::Lock::Lock(SpoolFile& f, unsigned long wait_ms, HANDLE wake) : mutex_(f.file_lock_.get()) {
    const HANDLE both[] = {mutex_, wake};
    held_ = Acquired(::WaitForMultipleObjects(wake ? 2 : 1, both, FALSE, wait_ms));
}

SpoolFile::Lock::~Lock() {
    if (held_) ::ReleaseMutex(mutex_);
}

bool SpoolFile::TakeRetry() {
    if (!retrying_) retrying_ = Acquired(::WaitForSingleObject(retry_lock_.get(), 0));
    return retrying_;
}

void SpoolFile::ReleaseRetry() {
    if (retrying_) ::ReleaseMutex(retry_lock_.get());
    retrying_ = false;
}

bool SpoolFile::Empty() const {
    WIN32_FILE_ATTRIBUTE_DATA a;
    return !::GetFileAttributesExA(path_.c_str(), GetFileExInfoStandard, &a) ||
           (a.nFileSizeHigh == 0 && a.nFileSizeLow == 0);
}

std::optional<Spool> SpoolFile::Read(unsigned long& error) const {
    vantrel::FileHandle f(::CreateFileA(path_.c_str(), GENERIC_READ, kShareAll, nullptr, OPEN_EXISTING,
                                        FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!f) {
        error = ::GetLastError();
        if (error == ERROR_FILE_NOT_FOUND) return Spool();
        return std::nullopt;
    }
    std::string bytes;
    char buffer[65536];
    DWORD got = 0;
    for (;;) {
        if (!::ReadFile(f.get(), buffer, sizeof(buffer), &got, nullptr)) {
            error = ::GetLastError();
            return std::nullopt;
        }
        if (!got) break;
        bytes.append(buffer, got);
    }
    return ParseSpool(bytes);
}

unsigned long SpoolFile::Append(const std::string& message) {
    unsigned long error = 0;
    std::optional<Spool> spool = Read(error);
    if (!spool) return error;
    Addition a = AddMessage(*spool, message);
    if (a.rewrite && Write(*spool)) return 0;
    // A file that cannot be replaced still takes records behind what it holds.
    return WriteWhole(path_, OPEN_ALWAYS, FILE_APPEND_DATA, a.record);
}

bool SpoolFile::Write(const Spool& spool) {
    if (spool.messages.empty() && !spool.dropped && !spool.damaged) {
        // Moved aside first: a file deleted while another program holds it open stays
        // under its name until that program closes it, and no sender could add to it.
        const std::string gone = path_ + ".gone";
        if (::MoveFileExA(path_.c_str(), gone.c_str(), MOVEFILE_REPLACE_EXISTING)) {
            // The spool is out of the way; a copy left under the other name is never read.
            ::DeleteFileA(gone.c_str());
            return true;
        }
        return ::DeleteFileA(path_.c_str()) || ::GetLastError() == ERROR_FILE_NOT_FOUND;
    }
    // A new file put in place in one step: a sender killed meanwhile leaves the old one whole.
    const std::string fresh = path_ + ".new";
    if (WriteWhole(fresh, CREATE_ALWAYS, GENERIC_WRITE, EncodeSpool(spool)) == 0 &&
        ::MoveFileExA(fresh.c_str(), path_.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return true;
    ::DeleteFileA(fresh.c_str());
    return false;
}

bool SpoolFile::Save(const DeliveredMark& mark) {
    unsigned long error = 0;
    if (std::optional<Spool> now = Read(error)) {
        RemoveDelivered(*now, mark);
        if (Write(*now)) return true;
    }
    return WriteWhole(path_, OPEN_EXISTING, FILE_APPEND_DATA, EncodeMarkRecord(mark)) == 0;
}

bool SpoolFile::Passing(unsigned long error) {
    return error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION;
}

}  // namespace syslogsend
