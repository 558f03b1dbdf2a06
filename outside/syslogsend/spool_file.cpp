#include "spool_file.h"

#include <windows.h>
#include <sddl.h>

#include <cctype>
#include <cstdio>

namespace syslogsend {

namespace {

// Someone who holds the file lock longer than this is stuck: do without the spool.
constexpr DWORD kLockWaitMs = 30000;

// The service (LocalSystem) and the manager (an elevated administrator) run in different
// sessions: the locks are global and open to both.
vantrel::Handle GlobalMutex(const std::string& name) {
    SECURITY_ATTRIBUTES sa{sizeof(sa), nullptr, FALSE};
    PSECURITY_DESCRIPTOR sd = nullptr;
    if (::ConvertStringSecurityDescriptorToSecurityDescriptorA("D:(A;;GA;;;SY)(A;;GA;;;BA)", SDDL_REVISION_1, &sd,
                                                               nullptr))
        sa.lpSecurityDescriptor = sd;
    vantrel::LocalMemory owned(sd);
    return vantrel::Handle(
        ::CreateMutexExA(&sa, ("Global\\" + name).c_str(), 0, SYNCHRONIZE | MUTEX_MODIFY_STATE));
}

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

bool WriteWhole(const std::string& path, DWORD disposition, DWORD access, const std::string& bytes) {
    vantrel::FileHandle f(::CreateFileA(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                                        disposition, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!f) return false;
    DWORD written = 0;
    return ::WriteFile(f.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
           written == bytes.size();
}

}  // namespace

SpoolFile::SpoolFile(const std::string& folder) : path_(folder + "\\syslogsend.spool") {
    const std::string tag = LockTag(path_);
    file_lock_ = GlobalMutex("VantrelSyslogSpool-" + tag);
    retry_lock_ = GlobalMutex("VantrelSyslogRetry-" + tag);
}

SpoolFile::Lock::Lock(SpoolFile& f)
    : mutex_(f.file_lock_.get()), held_(Acquired(::WaitForSingleObject(mutex_, kLockWaitMs))) {}

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

Spool SpoolFile::Read() const {
    vantrel::FileHandle f(::CreateFileA(path_.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                                        OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    std::string bytes;
    if (f) {
        char buffer[65536];
        DWORD got = 0;
        while (::ReadFile(f.get(), buffer, sizeof(buffer), &got, nullptr) && got) bytes.append(buffer, got);
    }
    return ParseSpool(bytes);
}

bool SpoolFile::Append(const std::string& message) {
    Spool spool = Read();
    Addition a = AddMessage(spool, message);
    if (a.rewrite) return Write(spool);
    return WriteWhole(path_, OPEN_ALWAYS, FILE_APPEND_DATA, a.record);
}

bool SpoolFile::Write(const Spool& spool) {
    if (spool.messages.empty() && !spool.dropped) return ::DeleteFileA(path_.c_str()) || Empty();
    // A new file put in place in one step: a sender killed meanwhile leaves the old one whole.
    const std::string fresh = path_ + ".new";
    return WriteWhole(fresh, CREATE_ALWAYS, GENERIC_WRITE, EncodeSpool(spool)) &&
           ::MoveFileExA(fresh.c_str(), path_.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
}

}  // namespace syslogsend
