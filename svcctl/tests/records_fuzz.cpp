// Fuzzes the decoders of the system's service records and the double-NUL lists: any
// answer must decode or fail with the library's error, never read outside the buffer.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "core/errors.h"
#include "core/record_decoding.h"
#include "core/string_list.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) return 0;
    const unsigned pointer_size = (data[0] & 1) ? 8 : 4;
    const unsigned kind = (data[0] >> 1) % 4;
    const std::uint32_t count = data[1];
    // A copy of exactly the input's size, so that reads past it are caught.
    std::vector<unsigned char> bytes(data + 2, data + size);
    dovrin::RecordBuffer buffer{bytes.data(), bytes.size(), 0x10, pointer_size};
    try {
        switch (kind) {
            case 0: dovrin::DecodeEnumServiceStatus(buffer, count); break;
            case 1: dovrin::DecodeServiceConfig(buffer, 16384); break;
            case 2: dovrin::DecodeLockStatus(buffer); break;
            default: {
                dovrin::StringList list;
                dovrin::MultiSzToStrings(bytes.data(), bytes.size(), list);
                std::vector<unsigned char> out(count);
                dovrin::StringsToMultiSz(out.data(), out.size(), list);
            }
        }
    } catch (const dovrin::Error&) {
    }
    return 0;
}
