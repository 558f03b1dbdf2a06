// ShowEventDescription: the subject and body of one notification, and its delivery by
// mail and by syslog through hooks that the service fills with the mail control, the
// settings key and the sender program.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "record_view.h"

namespace quenloc {

// Syslog facility of a log label and severity of an event type (RFC 3164 numbers).
int16_t FacilityOfLabel(const std::string& label);
int16_t SeverityOfType(const std::string& event_type);

// The text block: the description, or the missing-description text with the insertion
// strings when the description cannot be read or is empty.
std::string TextBlock(RecordView& record);

struct Notification {
    std::string subject;
    std::string body;
};

// Subject and body; a statement whose reads fail leaves its text empty.
Notification BuildNotification(RecordView& record);

// The sender's argument: "<", priority, ">", label, " - ", record number, " - ", raw
// description.
std::string SyslogArgument(int16_t priority, const std::string& label, int32_t record_number,
                           const std::string& description);

enum class MailProperty { SMTPServer, FromEmail, ToEmail, Subject, Body, UserName, Password };

struct DeliveryHooks {
    std::string smtp_server;  // the form's fields, loaded at start
    std::string from_email;
    // A setting read afresh, from an empty text.
    std::function<std::string(const std::string& name)> setting;
    // The recipient file for the user; the user name may come back without its domain.
    std::function<std::string(std::string& user_name)> recipients;
    std::function<std::string(const std::string& stored)> decrypt;
    std::function<void(MailProperty, const std::string&)> mail_set;
    std::function<void()> mail_send;
    // The entry is the service's own word that mail fails: mailing it would fail again and
    // write another such entry, without end.
    bool no_mail = false;
    std::function<void(const std::string& argument)> start_sender;
    std::function<void(const std::string&)> debug;
};

// The whole of ShowEventDescription between its trace frame: every statement runs with
// its errors ignored, so nothing stops a notification half-way.
void ShowEventDescription(RecordView& record, const std::string& label, const DeliveryHooks& hooks);

}  // namespace quenloc
