// libFuzzer: any text survives quoting into a command line and splitting back as one
// argument, any argument parses without harm, and so do any bytes read as a spool file
// (whose messages survive being written out and read again).
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "core/spool.h"
#include "core/syslog_message.h"
#include "core/syslog_text.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string text(reinterpret_cast<const char*>(data), size);
    std::string without_nul;
    for (char c : text)
        if (c) without_nul += c;
    auto args = vantrel::common::SplitCommandLine(vantrel::common::SenderCommandLine("C:\\Program Files\\V", text));
    if (args.size() != 2 || args[1] != without_nul) std::abort();
    vantrel::common::SplitCommandLine(text);
    if (auto a = syslogsend::ParseArgument(text)) {
        if (a->priority < 0 || a->priority > 191) std::abort();
        std::string framed = syslogsend::FrameOctetCounting(
            syslogsend::ComposeMessage(a->priority, {1, 1, 0, 0, 0}, "host", a->text));
        if (framed.compare(0, framed.find(' '), std::to_string(framed.size() - framed.find(' ') - 1)) != 0)
            std::abort();
    }
    syslogsend::Spool spool = syslogsend::ParseSpool(text);
    syslogsend::Spool again = syslogsend::ParseSpool(syslogsend::EncodeSpool(spool));
    if (again.untidy || again.damaged != spool.damaged || again.dropped != spool.dropped || again.messages.size() != spool.messages.size())
        std::abort();
    return 0;
}
