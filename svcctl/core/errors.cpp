#include "core/errors.h"

namespace dovrin {

ListError::ListError(long index)
    : Error("List index out of bounds (" + std::to_string(index) + ")") {}

std::uint32_t StatusOf(const std::exception& e) {
    if (auto c = dynamic_cast<const ComponentError*>(&e)) return c->Status();
    return kUnexpectedStatus;
}

std::string ComposeErrorMessage(std::int64_t code, const std::string& text) {
    return std::to_string(code) + ": " + text;
}

}  // namespace dovrin
