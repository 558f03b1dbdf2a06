// The spool file beside the program, shared by every sender started from that folder:
// one named lock around each read and write of the file, and one named lock held by the
// sender that stays behind to deliver what the file holds.
#pragma once

#include <optional>
#include <string>

#include "core/spool.h"
#include "platform/winapi/handles.h"

namespace syslogsend {

// A lock and a manual-reset event open to the service and the manager alike; empty when
// they could not be made.
vantrel::Handle GlobalMutex(const std::string& name);
vantrel::Handle GlobalEvent(const std::string& name);

// Someone who holds the spool's lock longer than this is stuck: do without the spool.
constexpr unsigned long kLockWaitMs = 30000;

class SpoolFile {
public:
    // The spool of the programs in `folder`. Without its locks (a user who may not make
    // global objects) the sender spools nothing.
    explicit SpoolFile(const std::string& folder);
    bool usable() const { return file_lock_ && retry_lock_; }

    // Holds the file lock while it lives. It gives up after `wait_ms`, or at once when
    // `wake` (if any) is set.
    class Lock {
    public:
        explicit Lock(SpoolFile& f, unsigned long wait_ms = kLockWaitMs, HANDLE wake = nullptr);
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

    // With the file lock held. Every open shares reading, writing and deletion, so that
    // another program that holds the file open blocks only what its own sharing forbids.
    const std::string& path() const { return path_; }
    bool Empty() const;
    // The spool; nullopt (and the system error in `error`) when the file is there but could
    // not be read, which is never taken for an empty spool.
    std::optional<Spool> Read(unsigned long& error) const;
    // Adds the message as the newest (the oldest go beyond the bound). 0, or the system
    // error that kept it out.
    unsigned long Append(const std::string& message);
    // Writes the file anew; an empty spool removes it.
    bool Write(const Spool& spool);
    // After a delivery: takes what the mark covers out of the file, by writing it anew or,
    // where it cannot be replaced, by appending the mark. False when neither could be done.
    bool Save(const DeliveredMark& mark);

    // An error that passes once another program lets go of the file.
    static bool Passing(unsigned long error);

private:
    std::string path_;
    vantrel::Handle file_lock_, retry_lock_;
    bool retrying_ = false;
};

}  // namespace syslogsend
