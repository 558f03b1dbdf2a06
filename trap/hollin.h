// The error trap as the service's procedures use it: the three entry points, the
// procedure frame built on them, and the trap's shared state for the error dialog and
// the reports.
//
// A traced procedure:
//
//     void SvcIt1_Start() {
//         trap::Frame frame("MainForm", "Sub SvcIt1_Start");
//         frame.Run([&] {
//             frame.Do([&] { LoadSettings(); });       // 1 runs it again, 2 goes on after it
//             frame.Do([&] { StartMonitors(); });
//         });
//     }                                                // HollinPOP on every way out
//
// A procedure without frame or tail lets its errors reach the caller's tail; one that
// ignores errors statement by statement wraps each statement in trap::IgnoreErrors.
#pragma once

#include <functional>
#include <string>
#include <utility>

#include "core/raise.h"
#include "core/trap_state.h"

namespace trap {

// The trap's one set of process-wide state and the system behind it.
TrapState& Globals();
TrapPlatform& Platform();

// Entry points. None of them passes a failure back.
void HollinLoadSettings();
void HollinPUSH(const std::string& module, const std::string& procedure, const std::string& arguments);
void HollinPOP(const std::string& module, const std::string& procedure, const std::string& arguments);
// The error entry: fills the error record from `error`, shows the error dialog unless
// "Silent Run" is "1", mails and logs the report, and answers the error tail: 0 after
// Continue, 5 after Break, empty with Silent Run or after a failure inside the entry.
Answer HollinERROR(const std::string& module, const std::string& procedure, const RunTimeError& error);

// The internal-error box of the component; `where` names the failing operation.
void pfErr(int32_t number, const std::string& where);

// Text `number` of the text table with the current time and the program's identity.
std::string ReportText(int16_t number);

// Sends one line to every trace output that is on.
void WriteCircularLog(const std::string& line);

// The system-information report at this moment.
std::string SystemInfoReport();

// Appends the error report to the log file of the settings.
void WriteErrorLog();

// Appends one line, stamped with the time, to the error log when the settings write one:
// what the program has to say there without an error to trap. Never reports a failure.
void WriteErrorLogLine(const std::string& text);

// Mails the error report to the "Address" setting through the Simple MAPI client.
void MailErrorReport();

// The error dialog's window class, registered once per process by this program's module.
constexpr const char* kErrorDialogClass = "frmHOLLIN";
bool RegisterErrorDialogClass();

// Thrown by a statement whose error tail decided to leave the procedure; Frame::Run
// catches it at the procedure's exit.
struct LeaveProcedure {};

// The common procedure frame: HollinPUSH on entry, HollinPOP at the single exit that
// every way out passes, and the error tail that acts on the error entry's answer.
class Frame {
public:
    Frame(std::string module, std::string procedure, std::string arguments = {})
        : module_(std::move(module)), procedure_(std::move(procedure)), arguments_(std::move(arguments)) {
        HollinPUSH(module_, procedure_, arguments_);
    }
    ~Frame() { HollinPOP(module_, procedure_, arguments_); }
    Frame(const Frame&) = delete;
    Frame& operator=(const Frame&) = delete;

    // Runs in the error tail before the error entry is asked.
    void OnError(std::function<void(const RunTimeError&)> before_tail) { before_tail_ = std::move(before_tail); }

    // The error tail: asks the error entry about the error and returns its answer.
    Answer Tail(const RunTimeError& error) {
        if (before_tail_) before_tail_(error);
        return HollinERROR(module_, procedure_, error);
    }

    // The procedure's body. An error that no Do() statement took leaves the procedure
    // whatever the answer: there is no statement to run again or to go on after.
    template <class Body>
    void Run(Body&& body) {
        try {
            body();
        } catch (const LeaveProcedure&) {
        } catch (...) {
            Tail(CurrentRunTimeError());
        }
    }

    // One statement under the error tail, inside Run: answer 1 runs it again, 2 goes on
    // with the next statement, any other answer leaves the procedure.
    template <class Statement>
    void Do(Statement&& statement) {
        for (;;) {
            try {
                statement();
                return;
            } catch (const LeaveProcedure&) {
                throw;
            } catch (...) {
                const Answer answer = Tail(CurrentRunTimeError());
                if (answer == int16_t{1}) continue;
                if (answer == int16_t{2}) return;
                throw LeaveProcedure{};
            }
        }
    }

    const std::string& module() const { return module_; }
    const std::string& procedure() const { return procedure_; }

private:
    std::string module_, procedure_, arguments_;
    std::function<void(const RunTimeError&)> before_tail_;
};

// A statement whose errors are ignored.
template <class Statement>
void IgnoreErrors(Statement&& statement) {
    try {
        statement();
    } catch (const LeaveProcedure&) {
        throw;
    } catch (...) {
    }
}

}  // namespace trap
