#include "raise.h"

#include <new>
#include <stdexcept>

#include "error_classes.h"

namespace trap {

void Raise(int32_t number, std::string description, std::string source) {
    if (description.empty()) description = StandardMessage(number).text;
    throw RunTimeError(number, std::move(description), std::move(source));
}

RunTimeError CurrentRunTimeError() {
    try {
        throw;
    } catch (const RunTimeError& e) {
        return e;
    } catch (const std::bad_alloc&) {
        return RunTimeError(7, StandardMessage(7).text);
    } catch (const std::out_of_range& e) {
        return RunTimeError(9, e.what());
    } catch (const std::overflow_error& e) {
        return RunTimeError(6, e.what());
    } catch (const std::exception& e) {
        return RunTimeError(51, e.what());
    } catch (...) {
        return RunTimeError(51, StandardMessage(51).text);
    }
}

}  // namespace trap
