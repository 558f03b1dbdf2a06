#include "core/string_list.h"

#include <algorithm>

#include "core/errors.h"

namespace dovrin {
namespace {

unsigned char Upper(unsigned char c) { return c >= 'a' && c <= 'z' ? c - 32 : c; }

}  // namespace

int CompareText(const std::string& a, const std::string& b) {
    std::size_t n = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < n; ++i) {
        unsigned char x = Upper(a[i]), y = Upper(b[i]);
        if (x != y) return x < y ? -1 : 1;
    }
    return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

bool SameText(const std::string& a, const std::string& b) { return CompareText(a, b) == 0; }

const std::string& StringList::operator[](int index) const {
    if (index < 0 || index >= Count()) throw ListError(index);
    return items_[std::size_t(index)];
}

void StringList::Put(int index, const std::string& text) {
    if (index < 0 || index >= Count()) throw ListError(index);
    items_[std::size_t(index)] = text;
}

int StringList::Add(const std::string& text) {
    if (!sorted_) {
        items_.push_back(text);
        return Count() - 1;
    }
    auto at = std::lower_bound(items_.begin(), items_.end(), text,
                               [](const std::string& a, const std::string& b) {
                                   return CompareText(a, b) < 0;
                               });
    if (at != items_.end() && SameText(*at, text)) return -1;
    auto inserted = items_.insert(at, text);
    return int(inserted - items_.begin());
}

void StringList::Delete(int index) {
    if (index < 0 || index >= Count()) throw ListError(index);
    items_.erase(items_.begin() + index);
}

int StringList::IndexOf(const std::string& text) const {
    for (int i = 0; i < Count(); ++i)
        if (SameText(items_[std::size_t(i)], text)) return i;
    return -1;
}

std::string StringList::Text() const {
    std::string text;
    for (const auto& s : items_) text += s + "\r\n";
    return text;
}

void StringList::SetText(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t i = 0;
    while (i < text.size()) {
        std::size_t end = text.find_first_of("\r\n", i);
        if (end == std::string::npos) end = text.size();
        lines.push_back(text.substr(i, end - i));
        if (end < text.size() && text[end] == '\r') ++end;
        if (end < text.size() && text[end] == '\n') ++end;
        i = end;
    }
    items_.clear();
    for (auto& l : lines) Add(l);
}

void SyncStrings(const StringList& current, const StringList& desired, StringList& target) {
    for (int i = current.Count() - 1; i >= 0; --i)
        if (desired.IndexOf(current[i]) < 0 && i < target.Count()) target.Delete(i);
    for (int i = 0; i < desired.Count(); ++i)
        if (current.IndexOf(desired[i]) < 0) target.Add(desired[i]);
}

void MultiSzToStrings(const unsigned char* buffer, std::size_t length, StringList& list) {
    if (length == 0 || buffer == nullptr) return;
    auto stringAt = [&](std::size_t at) {
        std::size_t end = at;
        while (end < length && buffer[end] != 0) ++end;
        return std::string(reinterpret_cast<const char*>(buffer) + at, end - at);
    };
    list.Clear();
    list.Add(stringAt(0));
    for (std::size_t i = 1; i < length; ++i) {
        if (buffer[i - 1] != 0) continue;
        if (buffer[i] == 0) break;
        list.Add(stringAt(i));
    }
}

void StringsToMultiSz(unsigned char* buffer, std::size_t size, const StringList& list) {
    std::fill(buffer, buffer + size, 0);
    std::size_t used = 0;
    for (const auto& s : list.Items()) {
        if (used + s.size() + 1 >= size) break;
        std::copy(s.begin(), s.end(), buffer + used);
        used += s.size() + 1;
    }
}

namespace {

struct Part { std::size_t start, length; };

std::vector<Part> SplitParts(const std::string& text, const std::string& separators) {
    std::vector<Part> parts;
    std::size_t i = 0;
    while (i < text.size()) {
        i = text.find_first_not_of(separators, i);
        if (i == std::string::npos) break;
        std::size_t end = text.find_first_of(separators, i);
        if (end == std::string::npos) end = text.size();
        parts.push_back({i, end - i});
        i = end;
    }
    return parts;
}

}  // namespace

int CountDelimitedParts(const std::string& text, const std::string& separators) {
    return int(SplitParts(text, separators).size());
}

std::size_t FindDelimitedPart(int n, const std::string& text, const std::string& separators) {
    auto parts = SplitParts(text, separators);
    if (n < 1 || std::size_t(n) > parts.size()) return 0;
    return parts[std::size_t(n) - 1].start + 1;
}

std::string GetDelimitedPart(int n, const std::string& text, const std::string& separators) {
    auto parts = SplitParts(text, separators);
    if (n < 1 || std::size_t(n) > parts.size()) return {};
    const Part& p = parts[std::size_t(n) - 1];
    return text.substr(p.start, p.length);
}

bool HasDomainPart(const std::string& name) { return CountDelimitedParts(name, "\\") > 1; }

std::pair<std::string, std::string> SplitDomainAccount(const std::string& name) {
    if (CountDelimitedParts(name, "\\") < 2) return {name, std::string()};
    return {GetDelimitedPart(1, name, "\\"), GetDelimitedPart(2, name, "\\")};
}

std::string Trim(const std::string& text) {
    std::size_t b = 0, e = text.size();
    while (b < e && static_cast<unsigned char>(text[b]) <= ' ') ++b;
    while (e > b && static_cast<unsigned char>(text[e - 1]) <= ' ') --e;
    return text.substr(b, e - b);
}

}  // namespace dovrin
