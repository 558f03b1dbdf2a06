// The one warning a monitor writes when its queue overflowed: how many new entries of
// which log were never raised.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace mirrolan {

// Writes a warning into the Application log under the source "Mirrolan"; a failure to
// write it is not reported further (there is nowhere left to report it).
void WarnDropped(const std::wstring& log_name, uint64_t dropped, size_t capacity);

}  // namespace mirrolan
