// The spool file beside the program, shared by every sender started from that folder:
// one named lock around each read and write of the file, and one named lock held by the
// sender that stays behind to deliver what the file holds.
#pragma once

#include <string>

#include "core/spool.h"
#include "platform/winapi/handles.h"

namespace syslogsend {

class SpoolFile {
public:
    // The spool of the programs in `folder`. Without its locks (a user who may not make
    // global objects) the sender spools nothing.
    explicit SpoolFile(const std::string& folder);
    bool usable() const { return file_lock_ && retry_lock_; }

    // Holds the file lock while it lives.
    class Lock {
    public:
        explicit Lock(SpoolFile& f);
        ~Lock();
        Lock(const Lock&) = delete;
        Lock& operator=(const Lock&) = delete;
        bool held() const { return held_; }

    private:
        HANDLE mutex_;
        bool held_;
    };

    // With the file lock held: true when this process now is the one that delivers the
    // spool (no other sender does, or the one that did has died).
    bool TakeRetry();
    void ReleaseRetry();

    // With the file lock held.
    bool Empty() const;
    Spool Read() const;
    // Adds the message as the newest (the oldest go beyond the bound). False when the file
    // could not be written.
    bool Append(const std::string& message);
    // Writes the file anew; an empty spool removes it.
    bool Write(const Spool& spool);

private:
    std::string path_;
    vantrel::Handle file_lock_, retry_lock_;
    bool retrying_ = false;
};

}  // namespace syslogsend
