#include "notification.h"

#include "core/settings_table.h"
#include "core/syslog_text.h"

namespace quenloc {

namespace {

using vantrel::common::SettingId;
using vantrel::common::SettingName;

template <class Statement>
void Ignoring(Statement&& statement) {
    try {
        statement();
    } catch (...) {
    }
}

// The raw description for the body line and the syslog message. The record fails the
// read when no text can be made; that counts as no description, so the rest of the line
// and of the message still goes out.
std::string RawDescription(RecordView& record) {
    try {
        return record.EventDescription();
    } catch (...) {
        return {};
    }
}

}  // namespace

int16_t FacilityOfLabel(const std::string& label) {
    if (label == "Application Log") return 1;
    if (label == "System Log") return 3;
    if (label == "SecurityLog") return 10;
    if (label == "FRSLog") return 16;
    if (label == "DSLog") return 17;
    return 0;
}

int16_t SeverityOfType(const std::string& event_type) {
    if (event_type == "Information") return 6;
    if (event_type == "Error") return 3;
    if (event_type == "Warning") return 4;
    return 0;
}

std::string TextBlock(RecordView& record) {
    std::string description;
    bool read = false;
    try {
        description = record.EventDescription();
        read = true;
    } catch (...) {
    }
    if (read && !description.empty()) return description;

    std::string block;
    Ignoring([&] { block += "The description for Event ID ( " + std::to_string(record.EventCode()) + " )"; });
    Ignoring([&] { block += " in Source ( " + record.SourceName() + " )"; });
    block += " could not be found.";
    block += " It contains the following insertion string(s): ";
    Ignoring([&] {
        auto strings = record.Strings();
        if (!strings) return;
        std::string joined;
        for (size_t i = 0; i < strings->size(); ++i) {
            if (i) joined += ", ";
            joined += (*strings)[i];
        }
        block += joined;
    });
    block += ".";
    return block;
}

Notification BuildNotification(RecordView& record) {
    Notification n;
    std::string block = TextBlock(record);
    Ignoring([&] {
        n.subject = "Computer: " + record.ComputerName() + " - Record Number: " + std::to_string(record.RecordNumber()) +
                    " - " + record.TimeGenerated();
    });
    Ignoring([&] {
        const std::string crlf = "\r\n";
        n.body = block + crlf + crlf + "Event Type: " + record.EventType() + crlf + "Event Source: " +
                 record.SourceName() + crlf + crlf + "Time Generated: " + record.TimeGenerated() + crlf +
                 "Time Written: " + record.TimeWritten() + crlf + "Category: " + std::to_string(record.Category()) +
                 crlf + "Computer: " + record.ComputerName() + crlf + "Event ID: " + std::to_string(record.EventId()) +
                 crlf + "Event Code: " + std::to_string(record.EventCode()) + crlf +
                 "Event Description: " + RawDescription(record) + crlf + "User Name: " + record.UserName();
    });
    return n;
}

std::string SyslogArgument(int16_t priority, const std::string& label, int32_t record_number,
                           const std::string& description) {
    return vantrel::common::SyslogLine(priority, label + " - " + std::to_string(record_number) + " - " + description);
}

void ShowEventDescription(RecordView& record, const std::string& label, const DeliveryHooks& hooks) {
    Ignoring([&] { hooks.debug("ShowEventDescription Start"); });
    Notification n = BuildNotification(record);

    std::string recipients;
    Ignoring([&] {
        std::string user = record.UserName();
        recipients = hooks.recipients(user);
    });

    std::string send_email;
    Ignoring([&] { send_email = hooks.setting(SettingName(SettingId::SendEmail)); });
    if (send_email == "1" && !hooks.no_mail) {
        std::string user, stored, password;
        Ignoring([&] { user = hooks.setting(SettingName(SettingId::UserName)); });
        Ignoring([&] { stored = hooks.setting(SettingName(SettingId::Password)); });
        Ignoring([&] { password = hooks.decrypt(stored); });
        const std::pair<MailProperty, const std::string*> properties[] = {
            {MailProperty::SMTPServer, &hooks.smtp_server}, {MailProperty::FromEmail, &hooks.from_email},
            {MailProperty::ToEmail, &recipients},           {MailProperty::Subject, &n.subject},
            {MailProperty::Body, &n.body},                  {MailProperty::UserName, &user},
            {MailProperty::Password, &password}};
        for (const auto& p : properties) Ignoring([&] { hooks.mail_set(p.first, *p.second); });
        Ignoring([&] { hooks.mail_send(); });
        Ignoring([&] { hooks.debug("ShowEventDescription After SendMessage"); });
    }

    std::string send_syslog;
    Ignoring([&] { send_syslog = hooks.setting(SettingName(SettingId::SendSyslogMessage)); });
    if (send_syslog == "1") {
        int16_t facility = FacilityOfLabel(label);
        int16_t severity = 0;
        Ignoring([&] { severity = SeverityOfType(record.EventType()); });
        Ignoring([&] { hooks.debug("ShowEventDescription Before Sending Syslog Message"); });
        int16_t priority = 0;
        Ignoring([&] { priority = vantrel::common::SyslogPriority(facility, severity); });
        std::string argument;
        Ignoring([&] { argument = SyslogArgument(priority, label, record.RecordNumber(), RawDescription(record)); });
        // Without its argument there is nothing worth starting the sender for.
        if (!argument.empty()) Ignoring([&] { hooks.start_sender(argument); });
        Ignoring([&] { hooks.debug("ShowEventDescription After Sending Syslog Message"); });
    }
    Ignoring([&] { hooks.debug("Exit ShowEventDescription"); });
}

}  // namespace quenloc
