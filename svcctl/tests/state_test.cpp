// The control's persisted-state stream and the published-property lookup, on the host.
#include <gtest/gtest.h>

#include "core/control_state.h"
#include "core/errors.h"
#include "core/published_properties.h"

using namespace dovrin;

namespace {

StateValue Value(const char* name, ValueKind kind, std::int32_t integer = 0, std::string text = {},
                 std::vector<std::string> list = {}) {
    StateValue v;
    v.name = name;
    v.kind = kind;
    v.integer = integer;
    v.text = std::move(text);
    v.list = std::move(list);
    return v;
}

std::vector<std::uint8_t> Sample() {
    ControlState s;
    s.width = 40;
    s.height = -3;
    s.values.push_back(Value("MachineName", ValueKind::Text, 0, "\\\\HOST"));
    s.values.push_back(Value("ActiveManager", ValueKind::Boolean, 1));
    s.values.push_back(Value("ServiceAccess", ValueKind::Integer, 983551));
    s.values.push_back(Value("Dependencies", ValueKind::List, 0, {}, {"a", "", "+group"}));
    s.values.push_back(Value("LogonAs.Password", ValueKind::Text, 0, ""));
    return EncodeControlState(s);
}

}  // namespace

TEST(ControlStateStream, RoundTripsEveryKind) {
    auto bytes = Sample();
    ControlState back = DecodeControlState(bytes.data(), bytes.size());
    EXPECT_EQ(back.width, 40);
    EXPECT_EQ(back.height, -3);
    ASSERT_EQ(back.values.size(), 5u);
    EXPECT_EQ(back.Find("MachineName")->text, "\\\\HOST");
    EXPECT_EQ(back.Find("ActiveManager")->integer, 1);
    EXPECT_EQ(back.Find("ServiceAccess")->integer, 983551);
    EXPECT_EQ(back.Find("Dependencies")->list, (std::vector<std::string>{"a", "", "+group"}));
    EXPECT_EQ(back.Find("LogonAs.Password")->kind, ValueKind::Text);
    EXPECT_EQ(back.Find("TagId"), nullptr);
}

TEST(ControlStateStream, LayoutIsTheDocumentedOne) {
    ControlState s;
    s.values.push_back(Value("TagId", ValueKind::Integer, 0x01020304));
    auto b = EncodeControlState(s);
    const std::vector<std::uint8_t> expected = {'V', 'T', 'C', 'S', 1, 0, 28, 0, 0, 0, 28, 0, 0, 0,
                                                5, 'T', 'a', 'g', 'I', 'd', 2, 4, 3, 2, 1, 0};
    EXPECT_EQ(b, expected);
}

TEST(ControlStateStream, RefusesEveryTruncationAndBadByte) {
    auto bytes = Sample();
    for (std::size_t n = 0; n < bytes.size(); ++n)
        EXPECT_THROW(DecodeControlState(bytes.data(), n), Error) << n;
    auto bad = bytes;
    bad[0] = 'X';
    EXPECT_THROW(DecodeControlState(bad.data(), bad.size()), Error);
    bad = bytes;
    bad[4] = 2;  // version
    EXPECT_THROW(DecodeControlState(bad.data(), bad.size()), Error);
    // A list that claims more items than the stream can hold is refused before reading.
    ControlState s;
    s.values.push_back(Value("Dependencies", ValueKind::List, 0, {}, {"x"}));
    auto list = EncodeControlState(s);
    list[14 + 1 + 12 + 1] = 0xFF;
    list[14 + 1 + 12 + 4] = 0x7F;
    EXPECT_THROW(DecodeControlState(list.data(), list.size()), Error);
    // An unknown kind byte.
    ControlState k;
    k.values.push_back(Value("TagId", ValueKind::Integer, 1));
    auto kind = EncodeControlState(k);
    kind[14 + 1 + 5] = 9;
    EXPECT_THROW(DecodeControlState(kind.data(), kind.size()), Error);
}

TEST(ControlStateStream, NamesMustFitTheirLengthByte) {
    ControlState s;
    s.values.push_back(Value("", ValueKind::Integer));
    EXPECT_THROW(EncodeControlState(s), Error);
    s.values[0].name.assign(256, 'x');
    EXPECT_THROW(EncodeControlState(s), Error);
}

TEST(PublishedProperties, PathsAndStoredFlags) {
    const PublishedProperty* user = FindPropertyByPath(ServiceClass(), "logonas.username");
    ASSERT_NE(user, nullptr);
    EXPECT_STREQ(user->name, "UserName");
    // A path past a property that is no object finds that property.
    const PublishedProperty* machine = FindPropertyByPath(ServiceClass(), "MachineName.Whatever");
    ASSERT_NE(machine, nullptr);
    EXPECT_STREQ(machine->name, "MachineName");
    EXPECT_EQ(FindPropertyByPath(ServiceClass(), "LogonAs.Nothing"), nullptr);
    EXPECT_EQ(FindPropertyByPath(ServiceClass(), "Nothing.UserName"), nullptr);
    EXPECT_EQ(FindPropertyByPath(PersistentClass(), "MachineName"), nullptr);

    EXPECT_TRUE(IsPropertyStored("ServiceAccess", ServiceClass()));
    EXPECT_TRUE(IsPropertyStored("LogonAs.Password", ServiceClass()));
    for (const char* handle : {"ManagerHandle", "ServiceHandle", "DBLockHandle", "DBLocked"})
        EXPECT_FALSE(IsPropertyStored(handle, ServiceClass())) << handle;
}
