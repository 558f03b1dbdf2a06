// The error entry's record keeping: what a trapped error leaves in the error record
// before the dialog, the mail and the error log read it. No Windows headers.
#pragma once

#include <optional>
#include <string>

#include "raise.h"
#include "trap_state.h"

namespace trap {

// The base of object-defined error numbers; negative numbers are shown relative to it.
constexpr int32_t kObjectErrorBase = -2147221504;
// The error that stands for a failure passed on by another component.
constexpr int32_t kRemoteError = 440;

// The module and procedure of the frame on top of the call stack, cut from its entry
// (" n : <TABs>Module : Procedure : arguments"); both empty when the stack is empty.
struct StackTop {
    std::string module, procedure;
};
StackTop FindStackTop(const TrapState& s);

// Decodes a remote error chain from the source text of slot 0 (hop count, then five
// "!"-ended fields per hop) into slots 1 to 10, and makes slot 0 its local end.
// `pending_number` is the number of the error that came in.
void DecodeRemoteChain(TrapState& s, int32_t pending_number);

// Steps of the error entry up to the call-tree copy: waits while another error's dialog
// is open, loads the settings, fills the error record and the call tree, and writes the
// error line to the trace outputs. False when a failure before the stack was read went
// to the internal-error box; the entry then answers nothing.
bool RecordError(TrapState& s, TrapPlatform& p, const std::string& module, const std::string& procedure,
                 const RunTimeError& error);

// The error line of slot 0 as the trace outputs get it.
std::string ErrorLine(const TrapState& s);

// What the error entry does around the dialog; the Windows shell gives the real ones.
struct ErrorEntrySteps {
    virtual ~ErrorEntrySteps() = default;
    virtual std::string SystemInfoReport() = 0;
    virtual Answer ShowDialog() = 0;
    virtual void MailReport() = 0;
    virtual void WriteErrorLog() = 0;
};

// The whole error entry over `steps`: record, system report when "Display Mode" is on,
// the dialog unless "Silent Run" is "1", mail when an address is set, the error log when
// "Write To Disk" is on. Clears the pause of traced procedures before it answers.
Answer RunErrorEntry(TrapState& s, TrapPlatform& p, ErrorEntrySteps& steps, const std::string& module,
                     const std::string& procedure, const RunTimeError& error);

}  // namespace trap
