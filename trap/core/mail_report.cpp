#include "mail_report.h"

namespace trap {

MailReport BuildMailReport(const TrapState& s) {
    MailReport m;
    const ErrorSlot& r = s.error_record[0];
    m.subject = "Remote Error Report From " + s.program.name;
    m.note_text = "Tesmore Hollin reports error " + std::to_string(r.number) + " (" + r.description + ")" +
                  " occured in " + s.program.name + ". The attached log file has complete details.";
    m.recipient_name = s.settings.email_address;
    m.position = static_cast<unsigned long>(m.note_text.size() - 1);
    return m;
}

}  // namespace trap
