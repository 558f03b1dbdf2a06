// The portable core: values and conversions, error texts, lists and the SID store.
#include <gtest/gtest.h>

#include <cstring>

#include "core/errors.h"
#include "core/net_error_table.h"
#include "core/object_list.h"
#include "core/string_list.h"
#include "core/values.h"

using namespace dovrin;

TEST(Values, ServiceAccessAllAccessStandsAlone) {
    EXPECT_EQ(ServiceAccessToWin32(ServiceAccess{S_ALL_ACCESS, S_START}), 0xF01FFu);
    EXPECT_EQ(ServiceAccessToWin32(ServiceAccess{S_QUERY_STATUS, S_START}), 0x14u);
    ServiceAccess all = Win32ToServiceAccess(0xF01FF);
    for (unsigned e = S_ALL_ACCESS; e <= S_DELETE; ++e) EXPECT_TRUE(all.Has(ServiceAccessElement(e))) << e;
    // A mask short of one bit of 0xF01FF is not all access.
    EXPECT_FALSE(Win32ToServiceAccess(0xF01FE).Has(S_ALL_ACCESS));
    EXPECT_EQ(ServiceAccessToWin32(Win32ToServiceAccess(0x14)), 0x14u);
}

TEST(Values, ManagerAccessBitsAndOthersIgnored) {
    EXPECT_EQ(ManagerAccessToWin32(ManagerAccess{M_CONNECT, M_ENUMERATE_SERVICE}), 5u);
    EXPECT_EQ(Win32ToManagerAccess(0xFFFFFFC3), (ManagerAccess{M_CONNECT, M_CREATE_SERVICE}));
}

TEST(Values, OutOfRangeValuesFallBack) {
    EXPECT_EQ(Win32ToStartType(7), DISABLED);
    EXPECT_EQ(Win32ToStartType(3), DEMAND_START);
    EXPECT_EQ(Win32ToErrorType(9), ERROR_NORMAL);
    EXPECT_EQ(Win32ToErrorType(3), ERROR_CRITICAL);
    EXPECT_EQ(StartTypeToWin32(StartType(9)), 0u);
    EXPECT_EQ(ErrorTypeToWin32(ErrorType(9)), 0u);
    EXPECT_EQ(Win32ToCurrentState(9), STATE_STOPPED);
    EXPECT_EQ(Win32ToCurrentState(0), STATE_STOPPED);
    EXPECT_EQ(Win32ToCurrentState(7), STATE_PAUSED);
    EXPECT_EQ(CurrentStateToWin32(9), 1u);
    EXPECT_EQ(CurrentStateToWin32(STATE_RUNNING), 4u);
    EXPECT_EQ(ControlCodeToWin32(CONTROL_CONTINUE), 3u);
    EXPECT_EQ(ControlCodeToWin32(CONTROL_SHUTDOWN), 5u);
    EXPECT_EQ(ControlCodeToWin32(7), 0u);
}

TEST(Values, ServiceTypesUseBit0x100ForInteractive) {
    EXPECT_EQ(Win32ToServiceTypes(0x110), (ServiceTypes{WIN32_OWN_PROCESS, INTERACTIVE_PROCESS}));
    EXPECT_EQ(Win32ToServiceTypes(0x40), ServiceTypes{});
    EXPECT_EQ(ServiceTypesToWin32(ServiceTypes{KERNEL_DRIVER, INTERACTIVE_PROCESS}), 0x101u);
    EXPECT_EQ(ControlsAcceptedToWin32(Win32ToControlsAccepted(7)), 7u);
    EXPECT_EQ(ControlsAcceptedToWin32(Win32ToControlsAccepted(8)), 0u);
}

TEST(Values, EnumerationFiltersNeedAllTheirBits) {
    EXPECT_EQ(EnumServicesFromAutomation(0x03), EnumServices{});
    EXPECT_EQ(EnumServicesFromAutomation(0x3B), (EnumServices{ENUM_DRIVERS, ENUM_WIN32}));
    EXPECT_EQ(EnumServicesFromAutomation(0x10), EnumServices{});
    EXPECT_EQ(EnumServicesToWin32(EnumServicesFromAutomation(59)), 0x3Bu);
    EXPECT_EQ(EnumServicesToWin32(EnumServices{}), 0u);
    EXPECT_EQ(ServiceStatesToWin32(ServiceStatesFromAutomation(3)), 3u);
    EXPECT_EQ(ServiceStatesToWin32(ServiceStatesFromAutomation(6)), 2u);
}

namespace {
std::string FakeSystemText(std::uint32_t code) { return "system " + std::to_string(code) + "\r\n"; }
}  // namespace

TEST(NetErrors, TableHas285AscendingRowsWithTheirBlanks) {
    std::size_t count = 0;
    const NetErrorRow* rows = NetErrorRows(count);
    ASSERT_EQ(count, 285u);
    for (std::size_t i = 0; i < count; ++i) {
        if (i > 0) {
            EXPECT_LT(rows[i - 1].code, rows[i].code);
        }
        EXPECT_GE(rows[i].code, 2102u);
        EXPECT_LE(rows[i].code, 2690u);
        if (rows[i].code == 2137) continue;
        EXPECT_EQ(rows[i].text[0] == ' ', rows[i].code <= 2550) << rows[i].code;
    }
}

TEST(NetErrors, TextsAndFallbacks) {
    EXPECT_EQ(NetErrorTextWith(2099, FakeSystemText), "2099: system 2099\r\n");
    EXPECT_EQ(NetErrorTextWith(2100, FakeSystemText), "2100: system 2100\r\n");
    EXPECT_EQ(NetErrorTextWith(2101, FakeSystemText), "2101: system 2101\r\n");
    EXPECT_EQ(NetErrorTextWith(2691, FakeSystemText), "2691: system 2691\r\n");
    EXPECT_EQ(NetErrorTextWith(2108, FakeSystemText), "2108: system 2108\r\n");  // a gap
    EXPECT_EQ(NetErrorTextWith(2137, FakeSystemText), "2137: Unknown error");
    EXPECT_EQ(NetErrorTextWith(2102, FakeSystemText), "2102:  The workstation driver is not installed.");
    EXPECT_EQ(NetErrorTextWith(2104, FakeSystemText),
              "2104:  An internal error occurred.  The network cannot access a shared memory segment.");
    EXPECT_EQ(NetErrorTextWith(2105, FakeSystemText), "2105:  A network resource shortage occurred .");
    EXPECT_EQ(NetErrorTextWith(2516, FakeSystemText), "2516:  Connecting to the Remoteboot server...");
    EXPECT_EQ(NetErrorTextWith(2626, FakeSystemText), "2626: An internal service error has occured.");
    EXPECT_EQ(NetErrorTextWith(2640, FakeSystemText),
              "2640: (boot name, vendor id);is in use by some other boot block record.");
    EXPECT_EQ(NetErrorTextWith(2660, FakeSystemText),
              "2660: The internal database maintained by the Dfs service is corrupt");
    EXPECT_EQ(NetErrorTextWith(2690, FakeSystemText), "2690: Dfs internal error");
}

TEST(Errors, KindsAndStatuses) {
    ComponentError c("5: denied");
    ListError l(-1);
    Error plain("Cannot load library");
    EXPECT_EQ(StatusOf(c), 0x800407D0u);
    EXPECT_EQ(StatusOf(l), 0x8000FFFFu);
    EXPECT_EQ(StatusOf(plain), 0x8000FFFFu);
    EXPECT_STREQ(l.what(), "List index out of bounds (-1)");
    EXPECT_EQ(c.HelpContext(), 0u);
}

TEST(MultiSz, WritingStopsBeforeAStringThatWouldReachTheEnd) {
    unsigned char buffer[10];
    std::memset(buffer, 0xAA, sizeof buffer);
    StringsToMultiSz(buffer, sizeof buffer, StringList{"abcd", "efgh"});
    const unsigned char expected[10] = {'a', 'b', 'c', 'd', 0, 0, 0, 0, 0, 0};
    EXPECT_EQ(std::memcmp(buffer, expected, sizeof buffer), 0);
    // One byte more and the second string fits, with the list's closing NUL.
    unsigned char larger[11];
    StringsToMultiSz(larger, sizeof larger, StringList{"abcd", "efgh"});
    EXPECT_EQ(std::memcmp(larger, "abcd\0efgh\0\0", 11), 0);
}

TEST(MultiSz, ReadingKeepsTheFirstEmptyStringAndStopsAtTheLimit) {
    StringList list{"old"};
    const unsigned char two_zeros[2] = {0, 0};
    MultiSzToStrings(two_zeros, 2, list);
    ASSERT_EQ(list.Count(), 1);
    EXPECT_EQ(list[0], "");

    const unsigned char text[] = "ab\0cd\0\0ef\0";
    MultiSzToStrings(text, sizeof text, list);
    EXPECT_EQ(list.Items(), (std::vector<std::string>{"ab", "cd"}));
    // An unterminated last string is cut at the limit, never read past it.
    const unsigned char cut[] = {'a', 0, 'b', 'c'};
    MultiSzToStrings(cut, sizeof cut, list);
    EXPECT_EQ(list.Items(), (std::vector<std::string>{"a", "bc"}));
    MultiSzToStrings(cut, 0, list);  // length 0: nothing happens
    EXPECT_EQ(list.Count(), 2);
}

TEST(StringLists, CaseInsensitiveSearchSortingAndIndexErrors) {
    StringList list;
    list.SetSorted(true);
    EXPECT_EQ(list.Add("beta"), 0);
    EXPECT_EQ(list.Add("Alpha"), 0);
    EXPECT_EQ(list.Add("ALPHA"), -1);  // duplicates ignored
    EXPECT_EQ(list.IndexOf("BETA"), 1);
    EXPECT_EQ(list.IndexOf("gamma"), -1);
    EXPECT_THROW(list[2], ListError);
    EXPECT_THROW(list.Delete(-1), ListError);

    StringList text;
    text.SetText("a\r\nb");
    EXPECT_EQ(text.Count(), 2);
    EXPECT_EQ(text.Text(), "a\r\nb\r\n");
}

TEST(StringLists, SyncStringsDeletesAtPositionsThenAppends) {
    StringList current{"a", "b", "c"};
    StringList desired{"C", "d", "a"};
    StringList target{"a", "b", "c"};
    SyncStrings(current, desired, target);
    EXPECT_EQ(target.Items(), (std::vector<std::string>{"a", "c", "d"}));
}

TEST(DelimitedParts, RunsOfSeparatorsMakeNoEmptyParts) {
    EXPECT_EQ(CountDelimitedParts("\\\\dom\\\\user\\", "\\"), 2);
    EXPECT_EQ(GetDelimitedPart(2, "\\\\dom\\\\user\\", "\\"), "user");
    EXPECT_EQ(FindDelimitedPart(2, "a, b", ", "), 4u);
    EXPECT_EQ(FindDelimitedPart(3, "a, b", ", "), 0u);
    EXPECT_EQ(GetDelimitedPart(0, "a", ","), "");
    EXPECT_TRUE(HasDomainPart("DOM\\user"));
    EXPECT_FALSE(HasDomainPart("\\user"));
    EXPECT_EQ(SplitDomainAccount("DOM\\user"), std::make_pair(std::string("DOM"), std::string("user")));
    EXPECT_EQ(SplitDomainAccount("user"), std::make_pair(std::string("user"), std::string()));
}

namespace {
struct Item {
    int key;
    static int Compare(const Item& a, const Item& b) { return a.key - b.key; }
};
}  // namespace

TEST(ObjectLists, FindAndAddSorted) {
    ObjectList<Item> list;
    int index = 7;
    EXPECT_FALSE(list.Find(Item{1}, Item::Compare, index));
    EXPECT_EQ(index, 0);
    list.AddSorted(new Item{5}, Item::Compare);
    list.AddSorted(new Item{1}, Item::Compare);
    Item* second_five = new Item{5};
    EXPECT_EQ(list.AddSorted(second_five, Item::Compare), 1);  // before the equal item
    EXPECT_EQ(list.Item(1), second_five);
    EXPECT_TRUE(list.Find(Item{5}, Item::Compare, index));
    EXPECT_EQ(index, 1);
    EXPECT_FALSE(list.Find(Item{3}, Item::Compare, index));
    EXPECT_EQ(index, 1);
    list.Insert(0, nullptr);
    list.Delete(0);  // a null slot is removed without freeing
    EXPECT_EQ(list.Count(), 3);
    list.Clear();
    EXPECT_EQ(list.Count(), 0);
}

TEST(SidStore, OrdersByLengthBeforeBytesAndFindsEntries) {
    const unsigned char everyone[12] = {1, 1, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0};    // S-1-1-0
    unsigned char domain_user[28] = {1, 4, 0, 0, 0, 0, 0, 5, 21, 0, 0, 0};      // S-1-5-21-...
    SidHolder a, b;
    a.SetSid(everyone, sizeof everyone, "Everyone", "");
    b.SetSid(domain_user, sizeof domain_user, "user", "DOM");
    EXPECT_LT(CompareSidHolders(a, b), 0);
    EXPECT_GT(CompareSidHolders(b, a), 0);
    b.SetSid(everyone, sizeof everyone, "x", "y");
    EXPECT_EQ(CompareSidHolders(a, b), 0);
    b.SetSid(nullptr, 0, "", "");
    EXPECT_EQ(b.account, "x");  // a length of 0 keeps the names

    SidStore store;
    store.Add(domain_user, sizeof domain_user, "user", "DOM");
    store.Add(everyone, sizeof everyone, "Everyone", "");
    EXPECT_EQ(store.IndexOfSid(everyone, sizeof everyone), 0);
    int i = store.IndexOfSid(domain_user, sizeof domain_user);
    ASSERT_EQ(i, 1);
    std::string account, domain;
    store.GetNames(i, account, domain);
    EXPECT_EQ(account + "@" + domain, "user@DOM");
    domain_user[27] = 1;
    EXPECT_EQ(store.IndexOfSid(domain_user, sizeof domain_user), -1);
}
