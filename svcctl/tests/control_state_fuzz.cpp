// Fuzzes the decoder of the control's persisted-state stream: it must refuse bad input
// with its error, and what it accepts must encode back to the same bytes.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "core/control_state.h"
#include "core/errors.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    try {
        dovrin::ControlState state = dovrin::DecodeControlState(data, size);
        auto again = dovrin::EncodeControlState(state);
        if (again.size() > size) std::abort();
        for (std::size_t i = 0; i < again.size(); ++i)
            if (again[i] != data[i]) std::abort();
    } catch (const dovrin::Error&) {
    }
    return 0;
}
