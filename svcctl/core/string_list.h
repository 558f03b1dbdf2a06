// The framework's string list: ordered texts compared without regard to letter case,
// optionally kept sorted with duplicates ignored.
#pragma once

#include <cstddef>
#include <string>
#include <utility>
#include <vector>

namespace dovrin {

// Case-insensitive comparison of the framework's lists (ASCII letters folded).
int CompareText(const std::string& a, const std::string& b);
bool SameText(const std::string& a, const std::string& b);

class StringList {
public:
    StringList() = default;
    StringList(std::initializer_list<std::string> items) : items_(items) {}

    // Sorted lists insert in order and ignore an item already present.
    void SetSorted(bool sorted) { sorted_ = sorted; }

    int Count() const { return int(items_.size()); }
    const std::string& operator[](int index) const;  // ListError outside 0..Count-1
    void Put(int index, const std::string& text);
    int Add(const std::string& text);  // index of the item; -1 when a sorted list had it
    void Delete(int index);
    void Clear() { items_.clear(); }
    int IndexOf(const std::string& text) const;  // -1 when absent
    void Assign(const StringList& other) { items_ = other.items_; }

    // Lines each followed by CR LF; setting splits at CR, LF or CR LF.
    std::string Text() const;
    void SetText(const std::string& text);

    const std::vector<std::string>& Items() const { return items_; }

private:
    std::vector<std::string> items_;
    bool sorted_ = false;
};

// Makes target (whose items stand in the order of current) hold the items of desired:
// items of current missing from desired are deleted at their position, then items of
// desired missing from current are appended.
void SyncStrings(const StringList& current, const StringList& desired, StringList& target);

// A double-NUL list of byte strings. Nothing happens for a length of 0; otherwise the list
// is replaced by the first string (even empty) and every string that starts after a NUL,
// up to two NULs in a row or the length.
void MultiSzToStrings(const unsigned char* buffer, std::size_t length, StringList& list);

// Zero-fills the buffer and copies the strings each with its NUL; stops before the first
// string for which used + length + 1 would reach size.
void StringsToMultiSz(unsigned char* buffer, std::size_t size, const StringList& list);

// Parts of a text separated by runs of characters of a set.
int CountDelimitedParts(const std::string& text, const std::string& separators);
std::size_t FindDelimitedPart(int n, const std::string& text, const std::string& separators);
std::string GetDelimitedPart(int n, const std::string& text, const std::string& separators);
bool HasDomainPart(const std::string& name);
// (domain, account) of "domain\account"; (name, "") with fewer than two parts.
std::pair<std::string, std::string> SplitDomainAccount(const std::string& name);

std::string Trim(const std::string& text);  // blanks and control characters at both ends

}  // namespace dovrin
