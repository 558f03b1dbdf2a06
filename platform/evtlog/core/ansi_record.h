// The ANSI form of a stored record, as ReadEventLogA hands it to its caller: the
// EVENTLOGRECORD fixed part, texts in the ANSI code page, the SID on the next 4-byte
// boundary after them (1 to 4 zero bytes between), every offset and the trailing length
// copy recomputed for the converted texts.
#pragma once

#include <cstddef>
#include <string>

#include "platform/evtlog/core/evt_format.h"

namespace vantrel::evt {

struct AnsiConverter {
    // Appends the ANSI form of 'units' UTF-16 code units to out; false when it cannot.
    // Only texts with characters beyond ASCII reach it: ASCII is the same in every ANSI
    // code page. Without a function such characters become '?'.
    bool (*convert)(void* context, const char16_t* text, size_t units, std::string& out) = nullptr;
    void* context = nullptr;
};

// Appends the ANSI record built from a record that passed ParseRecord.
bool AppendAnsiRecord(const RecordView& v, const RecordTexts& t, const AnsiConverter& c,
                      std::string& out);

}  // namespace vantrel::evt
