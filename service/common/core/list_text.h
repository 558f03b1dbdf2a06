// The recipient and list files as text: lines, recipient expansion and field parsing.
#pragma once

#include <string>
#include <vector>

namespace vantrel::common {

// The lines of a file's content. A line ends at CR LF, LF or CR (files saved by other
// editors) and is kept whole (no trimming); an empty line is an empty entry. Text after
// the last line end is one more line.
std::vector<std::string> SplitLines(const std::string& content);

// The content of a file holding the items, each ended by CR LF.
std::string JoinLines(const std::vector<std::string>& items);

// The recipient lines expanded into one comma-separated address list. A line whose
// first 10 characters are "%username%" in any case becomes the user name (without its
// domain; the caller's user name is replaced by that form) followed by the rest of the
// line; a line that then begins with "@" is skipped.
std::string ExpandRecipients(const std::vector<std::string>& lines, std::string& user_name);

// Fields of the text between exact (case-sensitive) occurrences of the delimiter. A text
// without the delimiter is one field; a trailing delimiter gives a last empty field.
// An empty delimiter gives the whole text as one field.
std::vector<std::string> ParseString(const std::string& text, const std::string& delimiter);

// The text after the first backslash, or the whole text when it has none.
std::string StripDomain(const std::string& name);

}  // namespace vantrel::common
