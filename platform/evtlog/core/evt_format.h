// The NT event-log file format (EVT): file header, records and the end-of-file record.
// Plain C++: every field is read and written little-endian through byte helpers, and
// every offset and length taken from a file is checked before use.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace vantrel::evt {

// Windows error codes that the event-log functions report, by value.
namespace err {
inline constexpr uint32_t kOk = 0;
inline constexpr uint32_t kFileNotFound = 2;
inline constexpr uint32_t kInvalidHandle = 6;
inline constexpr uint32_t kNotEnoughMemory = 8;
inline constexpr uint32_t kHandleEof = 38;
inline constexpr uint32_t kInvalidParameter = 87;
inline constexpr uint32_t kInsufficientBuffer = 122;
inline constexpr uint32_t kAlreadyExists = 183;
inline constexpr uint32_t kPrivilegeNotHeld = 1314;
inline constexpr uint32_t kFileCorrupt = 1500;   // ERROR_EVENTLOG_FILE_CORRUPT
inline constexpr uint32_t kLogFileFull = 1502;   // ERROR_LOG_FILE_FULL
inline constexpr uint32_t kFileChanged = 1503;   // ERROR_EVENTLOG_FILE_CHANGED
inline constexpr uint32_t kServerUnavailable = 1722;  // RPC_S_SERVER_UNAVAILABLE
}  // namespace err

inline constexpr uint32_t kSignature = 0x654c664c;  // "LfLe"
inline constexpr uint32_t kHeaderSize = 0x30;
inline constexpr uint32_t kEofSize = 0x28;
inline constexpr uint32_t kRecordFixedSize = 56;
inline constexpr uint32_t kFlagDirty = 1;
inline constexpr uint32_t kFlagWrap = 2;
inline constexpr uint32_t kFlagLogFull = 4;
inline constexpr uint32_t kFlagArchiveSet = 8;
inline constexpr uint32_t kRetentionNever = 0xFFFFFFFF;
// Log files grow and are sized in steps of this many bytes, as the platform's are.
inline constexpr uint32_t kSizeStep = 0x10000;
// Largest record the writer accepts, bounding what a reader must ever allocate.
inline constexpr uint32_t kMaxRecordSize = 0x7FFF8;

inline uint32_t Get32(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}
inline uint16_t Get16(const uint8_t* p) { return uint16_t(p[0] | p[1] << 8); }
inline void Put32(uint8_t* p, uint32_t v) {
    p[0] = uint8_t(v); p[1] = uint8_t(v >> 8); p[2] = uint8_t(v >> 16); p[3] = uint8_t(v >> 24);
}
inline void Put16(uint8_t* p, uint16_t v) { p[0] = uint8_t(v); p[1] = uint8_t(v >> 8); }

struct Header {
    uint32_t startOffset = kHeaderSize;  // first byte of the oldest record
    uint32_t endOffset = kHeaderSize;    // where the end-of-file record starts
    uint32_t currentRecordNumber = 1;    // number the next record gets
    uint32_t oldestRecordNumber = 0;     // 0 while the log is empty
    uint32_t maxSize = 0;
    uint32_t flags = 0;
    uint32_t retention = 0;

    uint32_t Count() const {
        return oldestRecordNumber == 0 ? 0 : currentRecordNumber - oldestRecordNumber;
    }
    uint32_t Newest() const { return currentRecordNumber - 1; }
};

void EncodeHeader(const Header& h, uint8_t out[kHeaderSize]);
// Checks sizes, signature and version; does not judge the offsets against a file size.
bool DecodeHeader(const uint8_t in[kHeaderSize], Header& h);

struct EofRecord {
    uint32_t beginRecord = kHeaderSize;
    uint32_t endRecord = kHeaderSize;
    uint32_t currentRecordNumber = 1;
    uint32_t oldestRecordNumber = 0;
};
void EncodeEof(const EofRecord& e, uint8_t out[kEofSize]);
bool DecodeEof(const uint8_t in[kEofSize], EofRecord& e);
// True when the first 20 bytes are the end-of-file record's fixed marker.
bool IsEofMarker(const uint8_t* p, size_t n);

// One event as a writer supplies it and a reader gets it back, texts in UTF-16.
struct Event {
    uint32_t recordNumber = 0;
    uint32_t timeGenerated = 0;
    uint32_t timeWritten = 0;
    uint32_t eventId = 0;
    uint16_t eventType = 0;
    uint16_t category = 0;
    uint16_t reservedFlags = 0;
    uint32_t closingRecordNumber = 0;
    std::u16string source;
    std::u16string computer;
    std::vector<uint8_t> sid;
    std::vector<std::u16string> strings;
    std::vector<uint8_t> data;
};

// Serialises an event as a stored (UTF-16) record. Fails (empty result) when the record
// would exceed kMaxRecordSize.
std::vector<uint8_t> EncodeRecord(const Event& e);

// The fixed part of a stored record, with every offset checked against its length.
struct RecordView {
    const uint8_t* bytes = nullptr;
    uint32_t length = 0;
    uint32_t recordNumber = 0;
    uint32_t timeGenerated = 0;
    uint32_t timeWritten = 0;
    uint32_t eventId = 0;
    uint16_t eventType = 0;
    uint16_t numStrings = 0;
    uint16_t category = 0;
    uint16_t reservedFlags = 0;
    uint32_t closingRecordNumber = 0;
    uint32_t stringOffset = 0;
    uint32_t sidLength = 0;
    uint32_t sidOffset = 0;
    uint32_t dataLength = 0;
    uint32_t dataOffset = 0;
};


// Texts of a parsed record: spans of UTF-16 code units without the terminator.
struct U16Span {
    const uint8_t* p = nullptr;  // little-endian code units
    size_t units = 0;
    char16_t at(size_t i) const { return char16_t(Get16(p + 2 * i)); }
};
struct RecordTexts {
    U16Span source;
    U16Span computer;
    std::vector<U16Span> strings;
};
// Validates a complete stored record (both length fields, signature, every area inside
// the record, every text zero-terminated inside it) and locates its texts.
bool ParseRecord(const uint8_t* p, size_t n, RecordView& v, RecordTexts& t);

// A full decode into an Event (used by tests, the fuzzer and the interop listing).
bool DecodeEvent(const uint8_t* p, size_t n, Event& e);

}  // namespace vantrel::evt
