// Decoding of the service-control records that the system writes into a caller's buffer:
// fixed fields followed by pointers into the same buffer. Every pointer and every text is
// checked to lie inside the buffer, so a malformed answer is an error, never a wild read.
// The layouts follow the platform's alignment for 4- and 8-byte pointers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "core/status_records.h"
#include "core/string_list.h"

namespace dovrin {

// Where the buffer lies in the caller's address space and how wide its pointers are.
struct RecordBuffer {
    const unsigned char* data;
    std::size_t size;
    std::uint64_t address;     // the address the system's pointers refer to
    unsigned pointer_size;     // 4 or 8
};

struct EnumEntry {
    std::string service_name;
    std::string display_name;
    RawServiceStatus status;
};

struct ServiceConfig {
    std::uint32_t service_type = 0, start_type = 0, error_control = 0, tag_id = 0;
    std::string binary_path_name, load_order_group, service_start_name, display_name;
    StringList dependencies;  // empty when the first string is empty
};

// The enumeration's array of `count` entries at the buffer's start.
std::vector<EnumEntry> DecodeEnumServiceStatus(const RecordBuffer& buffer, std::uint32_t count);

// The configuration record; the dependency list is read up to two NULs, `dependency_limit`
// bytes or the buffer's end, whichever comes first.
ServiceConfig DecodeServiceConfig(const RecordBuffer& buffer, std::size_t dependency_limit);

LockStatus DecodeLockStatus(const RecordBuffer& buffer);

// Layouts for a pointer width: fields are aligned to their size, records to the pointer.
constexpr std::size_t AlignTo(std::size_t at, std::size_t to) { return (at + to - 1) / to * to; }
constexpr std::size_t EnumEntrySize(unsigned p) { return AlignTo(2 * p + 28, p); }
constexpr std::size_t ConfigTagOffset(unsigned p) { return AlignTo(12, p) + 2 * p; }
constexpr std::size_t ConfigDependenciesOffset(unsigned p) { return AlignTo(ConfigTagOffset(p) + 4, p); }
constexpr std::size_t ServiceConfigSize(unsigned p) { return ConfigDependenciesOffset(p) + 3 * p; }
constexpr std::size_t LockOwnerOffset(unsigned p) { return AlignTo(4, p); }
constexpr std::size_t LockStatusSize(unsigned p) { return AlignTo(LockOwnerOffset(p) + p + 4, p); }

}  // namespace dovrin
