// What the error dialog shows, made from the error record and the call-tree copy: the
// summary, the numbered error list, the call tree, the line caption, and the
// knowledge-base matches. No Windows headers.
#pragma once

#include <string>
#include <vector>

#include "trap_state.h"

namespace trap {

// The four views of the view selector, in their order.
extern const char* const kDialogViews[4];

// The comment box's text when the dialog opens.
constexpr const char* kCommentPrompt = "Type in what you were doing here.";

// The two-line summary: what failed where, and how many errors are logged.
std::string SummaryText(const TrapState& s, const std::string& exe_name);

// "Error n - description" for records 0 to the hop count; record 0 has the highest n.
std::vector<std::string> ErrorListItems(const TrapState& s);

// The line-number caption of a record: " n", or the code-pointer note when n is 0.
std::string LineCaption(int32_t line, int32_t code_pointer);

// The call tree as the dialog lists it, and the index of its trap line (0 when none).
struct CallTreeView {
    std::vector<std::string> items;
    size_t trap_index = 0;
};
CallTreeView BuildCallTree(const TrapState& s);

// The index of the first item holding "Runtime error", or -1.
int FirstRuntimeErrorItem(const std::vector<std::string>& items);

// The knowledge-base message for the error shown with number caption `number_caption`
// (" n") and standard text `standard_text`, from the lines of "allmskb.txt".
std::string KnowledgeBaseMessage(const std::vector<std::string>& lines, const std::string& standard_text,
                                 const std::string& number_caption);

}  // namespace trap
