// A text listing of a log's records in the layout of evtexport (libevt-utils), so that
// our reading of a file can be compared line by line with that independent reader.
#pragma once

#include <string>

#include "platform/evtlog/core/evt_format.h"

namespace vantrel::evt {

// One record's block, ending with an empty line; texts as UTF-8.
std::string ListEvent(const Event& e);
std::string Utf8(const std::u16string& s);

}  // namespace vantrel::evt
