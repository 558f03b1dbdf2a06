#include "resume_plan.h"

namespace mirrolan {

namespace {

// Source names are registry key names: at most 256 characters.
constexpr size_t kMaxSource = 256;

// A decimal number from `at`, up to the next space or the end; advances past it.
std::optional<uint32_t> Number(const std::wstring& text, size_t& at) {
    uint64_t value = 0;
    const size_t start = at;
    while (at < text.size() && text[at] != L' ') {
        const wchar_t c = text[at];
        if (c < L'0' || c > L'9' || at - start >= 10) return std::nullopt;
        value = value * 10 + static_cast<uint64_t>(c - L'0');
        ++at;
    }
    if (at == start || value > UINT32_MAX) return std::nullopt;
    return static_cast<uint32_t>(value);
}

// Whether a source name reads back from the kept text.
bool Keepable(const std::wstring& source) {
    if (source.empty() || source.size() > kMaxSource) return false;
    for (wchar_t c : source)
        if (c < L' ' || c == L'\\') return false;
    return true;
}

bool Space(const std::wstring& text, size_t& at) {
    if (at >= text.size() || text[at] != L' ') return false;
    ++at;
    return true;
}

}  // namespace

bool operator==(const EntryStamp& a, const EntryStamp& b) {
    return a.time_written == b.time_written && a.event_id == b.event_id && a.source == b.source;
}

std::wstring FormatEntry(const MarkedEntry& entry) {
    std::wstring text = std::to_wstring(entry.number);
    // A stamp whose source could not be read back is left out: the number alone still
    // resumes.
    if (entry.stamp && Keepable(entry.stamp->source))
        text += L' ' + std::to_wstring(entry.stamp->time_written) + L' ' + std::to_wstring(entry.stamp->event_id) +
                L' ' + entry.stamp->source;
    return text;
}

std::optional<MarkedEntry> ParseEntry(const std::wstring& text) {
    size_t at = 0;
    MarkedEntry entry;
    const auto number = Number(text, at);
    if (!number) return std::nullopt;
    entry.number = *number;
    if (at == text.size()) return entry;
    EntryStamp stamp;
    std::optional<uint32_t> time, id;
    if (!Space(text, at) || !(time = Number(text, at)) || !Space(text, at) || !(id = Number(text, at)) ||
        !Space(text, at))
        return std::nullopt;
    stamp.time_written = *time;
    stamp.event_id = *id;
    stamp.source = text.substr(at);
    if (!Keepable(stamp.source)) return std::nullopt;
    entry.stamp = std::move(stamp);
    return entry;
}

PreviousEnd ReadPreviousEnd(const StoredMark& stored) {
    PreviousEnd end;
    if (!stored.clean.present && !stored.last_raised.present && !stored.last_entry.present) return end;
    end.kind = PreviousEnd::kUnreadable;
    if (!stored.clean.value || *stored.clean.value > 1) return end;
    if (*stored.clean.value == 1) {
        end.kind = PreviousEnd::kClean;
        return end;
    }
    // The entry with its stamp is written in one piece; the number alone is all that
    // earlier versions kept.
    if (stored.last_entry.present) {
        const auto entry = stored.last_entry.value ? ParseEntry(*stored.last_entry.value) : std::nullopt;
        if (!entry) return end;
        end.last = *entry;
    } else if (stored.last_raised.value) {
        end.last.number = *stored.last_raised.value;
    } else {
        return end;
    }
    end.kind = PreviousEnd::kUnclean;
    return end;
}

StartPlan PlanStart(const PreviousEnd& end, LogWindow now,
                    const std::function<std::optional<EntryStamp>(uint32_t)>& stamp_of) {
    StartPlan plan;
    plan.next = ReadPosition(now).next();
    plan.unreadable = end.kind == PreviousEnd::kUnreadable;
    if (end.kind != PreviousEnd::kUnclean) return plan;
    plan.resumed = true;
    if (now.count == 0) return plan;  // cleared, and nothing written since
    const uint64_t last = end.last.number;
    const uint64_t oldest = now.oldest, newest = oldest + now.count - 1;
    if (last < oldest) {  // wrapped past it
        plan.next = oldest;
        plan.overwritten = oldest - last - 1;
        return plan;
    }
    if (last > newest) {  // cleared, and fewer entries written since than before
        plan.next = oldest;
        return plan;
    }
    // The number is there. Without a stamp, or when the entry cannot be read, it is taken
    // for the marked one; another entry under that number means the log was cleared.
    std::optional<EntryStamp> there;
    if (end.last.stamp) there = stamp_of(end.last.number);
    plan.next = (there && !(*there == *end.last.stamp)) ? oldest : last + 1;
    return plan;
}

}  // namespace mirrolan
