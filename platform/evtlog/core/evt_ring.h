// An EVT log file as a ring: records run from the header's start offset to its end
// offset, wrapping from the end of the file back to just after the header, followed by
// the end-of-file record. The caller holds whatever lock guards the file.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/evtlog/core/evt_format.h"

namespace vantrel::evt {

// The bytes of a log file: a real file in the DLL, memory in tests and for backups.
class Storage {
public:
    virtual ~Storage() = default;
    virtual bool Read(uint32_t offset, void* buffer, uint32_t count) = 0;  // all or fail
    virtual bool Write(uint32_t offset, const void* buffer, uint32_t count) = 0;
    virtual bool Size(uint32_t& size) = 0;
    virtual bool SetSize(uint32_t size) = 0;
};

class MemoryStorage : public Storage {
public:
    MemoryStorage() = default;
    explicit MemoryStorage(std::vector<uint8_t> bytes) : bytes_(std::move(bytes)) {}
    bool Read(uint32_t offset, void* buffer, uint32_t count) override;
    bool Write(uint32_t offset, const void* buffer, uint32_t count) override;
    bool Size(uint32_t& size) override;
    bool SetSize(uint32_t size) override;
    const std::vector<uint8_t>& bytes() const { return bytes_; }

private:
    std::vector<uint8_t> bytes_;
};

// Registry-level settings of a log: the file's size limit and the overwrite rule
// (0 = as needed, kRetentionNever = never, otherwise only records older than that many
// seconds).
struct Settings {
    uint32_t maxSize = 0x80000;
    uint32_t retention = 0;
};
// The size a log may grow to: MaxSize rounded up to the size step, at least one step.
uint32_t EffectiveMaxSize(uint32_t maxSize);

// Writes an empty log (header and end-of-file record) over the whole file, which is at
// least one step long and never shrinks.
uint32_t CreateLog(Storage& s, const Settings& settings, Header& h);

// Reads and checks the header against the file: offsets inside the ring, numbers
// consistent. A file marked dirty fails with kFileCorrupt when requireClean is set.
uint32_t LoadHeader(Storage& s, Header& h, uint32_t& fileSize, bool requireClean);

// Record offsets of one open log, oldest first, brought up to date from the header
// without rescanning what is already known.
class RecordIndex {
public:
    void Reset();
    // Scans the records added since the last refresh and drops the ones overwritten.
    // Any inconsistency between the records and the header gives kFileCorrupt.
    uint32_t Refresh(Storage& s, const Header& h, uint32_t fileSize);
    bool Has(uint32_t number) const {
        return !offsets_.empty() && number >= first_ && number - first_ < Count();
    }
    uint32_t Offset(uint32_t number) const { return offsets_[head_ + (number - first_)]; }
    // Stored size of a record: the distance to the next one (or to the end-of-file record).
    uint32_t Size(uint32_t number, const Header& h, uint32_t fileSize) const;
    uint32_t First() const { return first_; }
    uint32_t Count() const { return uint32_t(offsets_.size() - head_); }

private:
    uint32_t FullScan(Storage& s, const Header& h, uint32_t fileSize);
    uint32_t Scan(Storage& s, const Header& h, uint32_t fileSize, uint32_t from, uint32_t number);

    std::vector<uint32_t> offsets_;
    size_t head_ = 0;         // offsets_[head_] belongs to record first_
    uint32_t first_ = 0;
    uint32_t scanEnd_ = 0;    // ring offset after the last indexed record
    uint32_t startSeen_ = 0;  // header start offset at the last refresh
};

// Ring arithmetic over a file of fileSize bytes.
uint32_t RingAdvance(uint32_t offset, uint32_t count, uint32_t fileSize);
uint32_t RingDistance(uint32_t from, uint32_t to, uint32_t fileSize);
bool RingRead(Storage& s, uint32_t fileSize, uint32_t offset, uint8_t* out, uint32_t count);
bool RingWrite(Storage& s, uint32_t fileSize, uint32_t offset, const uint8_t* in, uint32_t count);

// Appends one encoded record (EncodeRecord). Its record number and time written are set
// here. Makes room by growing the file up to the maximum size, then by overwriting the
// oldest records as the retention allows; kLogFileFull when it may not.
uint32_t AppendRecord(Storage& s, Header& h, uint32_t& fileSize, const Settings& settings,
                      std::vector<uint8_t>& record, uint32_t now, uint32_t& number);

// Rewrites a log as a file of EffectiveMaxSize(settings.maxSize) bytes holding the newest
// records that fit, their numbers and times unchanged. Older records go only as the
// retention allows at 'now'; kLogFileFull when it does not.
uint32_t ShrinkLog(Storage& s, const Header& h, uint32_t fileSize, const Settings& settings,
                   uint32_t now, MemoryStorage& out, Header& outHeader);

// Rebuilds a header from the end-of-file record, as administrators repair a log copied
// while it was open. kFileCorrupt when no consistent end-of-file record is found.
uint32_t RepairHeader(Storage& s, Header& h);

}  // namespace vantrel::evt
