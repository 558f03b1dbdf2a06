// libFuzzer target: an arbitrary file as a backup log and an arbitrary record. Opening,
// indexing, reading in every direction and converting must give clean errors, never a
// read outside the file or the buffers (AddressSanitizer watches).
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/evtlog/core/ansi_record.h"
#include "platform/evtlog/core/evt_ring.h"
#include "platform/evtlog/core/read_cursor.h"

using namespace vantrel::evt;

namespace {

void OpenAndRead(MemoryStorage& s) {
    Header h;
    uint32_t fileSize = 0;
    if (LoadHeader(s, h, fileSize, false) != err::kOk) return;
    RecordIndex index;
    if (index.Refresh(s, h, fileSize) != err::kOk) return;
    RecordReader reader;
    std::vector<uint8_t> buffer(4096);
    for (uint32_t flags : {kSequentialRead | kForwardsRead, kSequentialRead | kBackwardsRead}) {
        Cursor cursor;
        for (int i = 0; i < 64; ++i) {
            ReadResult r = reader.Read(s, h, fileSize, index, cursor, flags, 0, buffer.data(),
                                       uint32_t(buffer.size()), AnsiConverter{});
            if (r.error) break;
        }
    }
    Cursor cursor;
    reader.Read(s, h, fileSize, index, cursor, kSeekRead | kBackwardsRead, h.Newest(), buffer.data(),
                100, AnsiConverter{});
}

// Random bytes rarely look like a log, so half the inputs describe one instead: events
// written through the real writer (which wraps it), then bytes of the file flipped.
void FromDescription(const uint8_t* data, size_t size) {
    MemoryStorage s;
    Header h;
    Settings st;
    st.maxSize = 0x10000;
    if (CreateLog(s, st, h) != err::kOk) return;
    uint32_t fileSize = kSizeStep;
    size_t i = 1;
    for (int n = 0; n < 400 && i + 3 <= size; ++n, i += 3) {
        Event e;
        e.source = u"S";
        e.computer = u"C";
        e.strings.assign(data[i] % 4, std::u16string(data[i + 1] % 40, u'x'));
        e.data.assign(size_t(data[i + 2]) * 8, 0xAB);
        if (data[i] & 0x80) e.sid.assign(12, 1);
        std::vector<uint8_t> rec = EncodeRecord(e);
        uint32_t number = 0;
        AppendRecord(s, h, fileSize, st, rec, 1, number);
    }
    for (; i + 3 <= size; i += 3) {
        uint32_t at = (uint32_t(data[i]) << 8 | data[i + 1]) % fileSize;
        uint8_t b = 0;
        s.Read(at, &b, 1);
        b ^= data[i + 2];
        s.Write(at, &b, 1);
    }
    OpenAndRead(s);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 0 && (data[0] & 1)) {
        FromDescription(data, size);
        return 0;
    }
    // As one record.
    {
        std::vector<uint8_t> copy(data, data + size);  // exact bounds for ASan
        RecordView v;
        RecordTexts t;
        if (ParseRecord(copy.data(), copy.size(), v, t)) {
            std::string out;
            AppendAnsiRecord(v, t, AnsiConverter{}, out);
            Event e;
            DecodeEvent(copy.data(), copy.size(), e);
        }
    }
    // As a log file, read both ways with small and large buffers, then repaired.
    MemoryStorage s(std::vector<uint8_t>(data, data + size));
    OpenAndRead(s);
    Header h;
    if (size <= 0x40000) {
        MemoryStorage r(std::vector<uint8_t>(data, data + size));
        RepairHeader(r, h);
    }
    return 0;
}
