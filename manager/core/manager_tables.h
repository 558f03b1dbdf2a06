// What the manager's windows show and write, apart from the windows themselves: the
// switches with their settings and design states, the service state texts, and the texts
// of the two tests. Plain C++: also built and tested on the host.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace vantrel::manager {

// One check box of the main window and the setting it writes on click.
struct Switch {
    int control_id;
    const char* caption;
    bool design_checked;
    const char* setting;
};
// The nine boxes in the order the window reads them at load.
const std::vector<Switch>& Switches();

// The box's state for a value read at load: "1" checks, "0" clears, anything else (also
// a value that could not be read) keeps the current state.
bool CheckedFromSetting(const std::optional<std::string>& value, bool current);
// The text a click writes.
inline const char* SwitchText(bool checked) { return checked ? "1" : "0"; }

// The list mode the window opens with: exclude.
constexpr bool kDesignInclude = false;
// "IncludeExclude" read at load: true include, false exclude, nothing for other content.
std::optional<bool> IncludeFromSetting(const std::optional<std::string>& value);

// A toolbar button: its key, its tool-tip, its command.
struct ToolButton {
    int command_id;
    const char* key;
    const char* tooltip;
};
const std::vector<ToolButton>& ToolButtons();

// The state text of a provider status number, and what it does to the start (first) and
// stop (second) buttons: nothing for an unchanged button.
struct ServiceState {
    std::string text;
    std::optional<bool> start_enabled;
    std::optional<bool> stop_enabled;
};
ServiceState StateFromStatus(long status);

// The recipient text of the test mail: the items in list order, each item whose first ten
// characters are "%USERNAME%" in any case left out, the rest joined by ",".
std::string TestRecipients(const std::vector<std::string>& items);

// The entry added to the include/exclude list: source, TAB, event ID.
inline std::string ListEntry(const std::string& source, const std::string& id) { return source + "\t" + id; }


constexpr const char* kServiceName = "Quenloc";
constexpr const char* kTestSubject = "Vantrel Email Test";
constexpr const char* kTestBody = "Success!";
constexpr const char* kTestSyslogText = "Test Message From Vantrel";

}  // namespace vantrel::manager
