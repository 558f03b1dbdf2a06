// Status records and the decoding of the system's records from byte buffers, for 32- and
// 64-bit pointer layouts, including answers that point outside the buffer.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "core/errors.h"
#include "core/record_decoding.h"
#include "core/status_records.h"

using namespace dovrin;

namespace {

// Builds a buffer that lies at a pretend address, as the system would fill it.
class FakeBuffer {
public:
    FakeBuffer(unsigned pointer_size, std::size_t size, std::uint64_t address = 0x10000)
        : bytes_(size, 0), pointer_size_(pointer_size), address_(address) {}

    void Dword(std::size_t at, std::uint32_t v) { std::memcpy(&bytes_[at], &v, 4); }
    void Pointer(std::size_t at, std::uint64_t v) { std::memcpy(&bytes_[at], &v, pointer_size_); }
    // Puts a text at `offset` and points the field at it.
    void Text(std::size_t field, std::size_t offset, const std::string& text) {
        std::memcpy(&bytes_[offset], text.data(), text.size());
        bytes_[offset + text.size()] = 0;
        Pointer(field, address_ + offset);
    }
    void Bytes(std::size_t offset, const void* data, std::size_t n) { std::memcpy(&bytes_[offset], data, n); }
    RecordBuffer View() const { return RecordBuffer{bytes_.data(), bytes_.size(), address_, pointer_size_}; }
    std::vector<unsigned char>& bytes() { return bytes_; }

private:
    std::vector<unsigned char> bytes_;
    unsigned pointer_size_;
    std::uint64_t address_;
};

class Layouts : public ::testing::TestWithParam<unsigned> {};

}  // namespace

TEST(RecordLayouts, SizesFollowThePlatformsAlignment) {
    EXPECT_EQ(EnumEntrySize(4), 36u);
    EXPECT_EQ(EnumEntrySize(8), 48u);
    EXPECT_EQ(ServiceConfigSize(4), 36u);
    EXPECT_EQ(ServiceConfigSize(8), 64u);
    EXPECT_EQ(LockStatusSize(4), 12u);
    EXPECT_EQ(LockStatusSize(8), 24u);
}

TEST_P(Layouts, EnumEntriesDecodeNamesAndStatus) {
    const unsigned p = GetParam();
    const std::size_t e = EnumEntrySize(p);
    FakeBuffer b(p, 512);
    b.Text(0, 300, "Svc1");
    b.Text(p, 310, "First service");
    for (unsigned i = 0; i < 7; ++i) b.Dword(2 * p + 4 * i, 0x10 + i);
    b.Text(e, 330, "");  // an empty key name is decoded; the component skips it
    b.Pointer(e + p, 0);
    auto entries = DecodeEnumServiceStatus(b.View(), 2);
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0].service_name, "Svc1");
    EXPECT_EQ(entries[0].display_name, "First service");
    EXPECT_EQ(entries[0].status.service_type, 0x10u);
    EXPECT_EQ(entries[0].status.wait_hint, 0x16u);
    EXPECT_EQ(entries[1].service_name, "");
    EXPECT_EQ(entries[1].display_name, "");
    EXPECT_NO_THROW(DecodeEnumServiceStatus(b.View(), 0));
}

TEST_P(Layouts, MalformedAnswersAreErrorsNotWildReads) {
    const unsigned p = GetParam();
    FakeBuffer b(p, 128);
    b.Pointer(0, 0x10000 + 128);  // one past the end
    EXPECT_THROW(DecodeEnumServiceStatus(b.View(), 1), Error);
    b.Pointer(0, 0x0FFFF);  // before the start
    EXPECT_THROW(DecodeEnumServiceStatus(b.View(), 1), Error);
    // A text without its NUL inside the buffer.
    std::memset(b.bytes().data() + 100, 'x', 28);
    b.Pointer(0, 0x10000 + 100);
    EXPECT_THROW(DecodeEnumServiceStatus(b.View(), 1), Error);
    // More entries than the buffer holds.
    EXPECT_THROW(DecodeEnumServiceStatus(b.View(), 1000), Error);
    EXPECT_THROW(DecodeServiceConfig(FakeBuffer(p, ServiceConfigSize(p) - 1).View(), 100), Error);
    EXPECT_THROW(DecodeLockStatus(FakeBuffer(p, LockStatusSize(p) - 1).View()), Error);
}

TEST_P(Layouts, ServiceConfigWithDependencies) {
    const unsigned p = GetParam();
    FakeBuffer b(p, 400);
    b.Dword(0, 0x110);
    b.Dword(4, 3);
    b.Dword(8, 1);
    const std::size_t at = p == 8 ? 16 : 12;
    b.Text(at, 200, "C:\\svc.exe");
    b.Text(at + p, 220, "VtGroup");
    b.Dword(at + 2 * p, 7);
    const std::size_t next = p == 8 ? 40 : 24;
    b.Bytes(240, "Dep1\0+Group\0\0", 13);
    b.Pointer(next, 0x10000 + 240);
    b.Text(next + p, 260, "LocalSystem");
    b.Text(next + 2 * p, 280, "Shown");
    ServiceConfig c = DecodeServiceConfig(b.View(), 16384);
    EXPECT_EQ(c.service_type, 0x110u);
    EXPECT_EQ(c.start_type, 3u);
    EXPECT_EQ(c.error_control, 1u);
    EXPECT_EQ(c.binary_path_name, "C:\\svc.exe");
    EXPECT_EQ(c.load_order_group, "VtGroup");
    EXPECT_EQ(c.tag_id, 7u);
    EXPECT_EQ(c.dependencies.Items(), (std::vector<std::string>{"Dep1", "+Group"}));
    EXPECT_EQ(c.service_start_name, "LocalSystem");
    EXPECT_EQ(c.display_name, "Shown");

    // The dependency list ends at the buffer's end when its double NUL is missing.
    b.Bytes(390, "a\0bcdefghi", 10);
    b.Pointer(next, 0x10000 + 390);
    c = DecodeServiceConfig(b.View(), 16384);
    EXPECT_EQ(c.dependencies.Items(), (std::vector<std::string>{"a", "bcdefghi"}));
    // An empty first string means no dependencies.
    b.Pointer(next, 0x10000 + 150);
    EXPECT_EQ(DecodeServiceConfig(b.View(), 16384).dependencies.Count(), 0);
}

TEST_P(Layouts, LockStatus) {
    const unsigned p = GetParam();
    FakeBuffer b(p, 64);
    b.Dword(0, 1);
    b.Text(p == 8 ? 8 : 4, 40, "DOM\\admin");
    b.Dword(p == 8 ? 16 : 8, 42);
    LockStatus s = DecodeLockStatus(b.View());
    EXPECT_EQ(s.is_locked, 1u);
    EXPECT_EQ(s.lock_owner, "DOM\\admin");
    EXPECT_EQ(s.lock_duration, 42u);
}

INSTANTIATE_TEST_SUITE_P(PointerWidths, Layouts, ::testing::Values(4u, 8u));

TEST(EnumLists, IndexOfItemsAddAndDelete) {
    EnumList list;
    EXPECT_EQ(list.IndexOf("x"), -1);
    ServiceStatusClass& added = list.Add();
    EXPECT_EQ(list.Count(), 1);
    EXPECT_EQ(added.service_name, "");
    EXPECT_EQ(added.current_state, STATE_STOPPED);
    EXPECT_EQ(added.win32_exit_code, 0u);
    added.service_name = "VtSvc";
    list.Add().service_name = "Other";
    EXPECT_EQ(list.IndexOf("vtSVC"), 0);
    EXPECT_EQ(list.IndexOf("nothing"), -1);
    EXPECT_EQ(&list.Items(1), &list.Items(1));
    try {
        list.Items(2);
        FAIL() << "no list error";
    } catch (const ListError& e) {
        EXPECT_STREQ(e.what(), "List index out of bounds (2)");
    }
    EXPECT_THROW(list.Items(-1), ListError);
    EXPECT_THROW(list.Delete(5), ListError);
    EXPECT_EQ(list.Count(), 2);
    // An item that someone still holds outlives its removal from the list.
    auto held = list.ItemPtr(0);
    list.Delete(0);
    EXPECT_EQ(held->service_name, "VtSvc");
    EXPECT_EQ(list.Items(0).service_name, "Other");
}

TEST(StatusRecords, AssignStatusConverts) {
    ServiceStatusClass r;
    AssignStatus(r, RawServiceStatus{0x110, 4, 0xF, 1, 2, 3, 4});
    EXPECT_EQ(r.service_type, (ServiceTypes{WIN32_OWN_PROCESS, INTERACTIVE_PROCESS}));
    EXPECT_EQ(r.current_state, STATE_RUNNING);
    EXPECT_EQ(ControlsAcceptedToWin32(r.controls_accepted), 7u);
    EXPECT_EQ(r.wait_hint, 4u);
}
