// The fields of the mailed error report.
#pragma once

#include <string>

#include "trap_state.h"

namespace trap {

constexpr const char* kMailTempLog = "!error!.log";       // relative: the current directory
constexpr const char* kMailAttachmentName = "Hollinerror.log";

struct MailReport {
    std::string subject;
    std::string note_text;
    std::string message_type = "IPM.";
    std::string recipient_name;  // the "Address" setting, unchanged
    unsigned long position = 0;  // where the attachment stands in the note
    std::string path_name = kMailTempLog;
    std::string file_name = kMailAttachmentName;
};

MailReport BuildMailReport(const TrapState& s);

}  // namespace trap
