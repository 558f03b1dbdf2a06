#include "record_stamp.h"

#include <wrl/client.h>

#include <cmath>

#include "platform/winapi/oleauto.h"

namespace mirrolan {

namespace {

// Lorvex gives the time written in local time, converted with the bias of the moment it
// read the entry; converting back at once gives the time as stored, so a change to or
// from summer time while the service was down does not make the same entry look like
// another.
std::optional<uint32_t> UtcSeconds(DATE local) {
    constexpr double kDaysTo1970 = 25569.0;
    constexpr double kSecondsPerDay = 86400.0;
    // Within the range of the stored seconds, a day either side for the time zone.
    if (!(local >= kDaysTo1970 - 1 && local < kDaysTo1970 + 49711.0)) return std::nullopt;
    const long long seconds = std::llround((local - kDaysTo1970) * kSecondsPerDay);
    ULARGE_INTEGER t;
    t.QuadPart = static_cast<ULONGLONG>(seconds + 11644473600LL) * 10000000ULL;
    FILETIME local_time{t.LowPart, t.HighPart}, utc;
    if (!::LocalFileTimeToFileTime(&local_time, &utc)) return std::nullopt;
    const ULARGE_INTEGER u{{utc.dwLowDateTime, utc.dwHighDateTime}};
    const long long since_1970 = static_cast<long long>(u.QuadPart / 10000000ULL) - 11644473600LL;
    if (since_1970 < 0 || since_1970 > 0xFFFFFFFFLL) return std::nullopt;
    return static_cast<uint32_t>(since_1970);
}

}  // namespace

std::optional<EntryStamp> StampOf(IEventLogRecord* record) {
    if (!record) return std::nullopt;
    DATE written = 0;
    long id = 0;
    vantrel::Bstr source;
    if (FAILED(record->get_TimeWritten(&written)) || FAILED(record->get_EventId(&id)) ||
        FAILED(record->get_SourceName(source.put())))
        return std::nullopt;
    const auto seconds = UtcSeconds(written);
    if (!seconds) return std::nullopt;
    EntryStamp stamp;
    stamp.time_written = *seconds;
    stamp.event_id = static_cast<uint32_t>(id);
    stamp.source = source.str();
    return stamp;
}

std::optional<EntryStamp> StampAt(IEventLog* log, uint32_t number) {
    Microsoft::WRL::ComPtr<IEventLogRecord> record;
    if (FAILED(log->ReadRecord(static_cast<long>(number), record.GetAddressOf()))) return std::nullopt;
    return StampOf(record.Get());
}

}  // namespace mirrolan
