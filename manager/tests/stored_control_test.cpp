// The properties MainForm stores for its NTServiceX control, read as the control reads
// them: a length, then the control's state stream.
#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <iterator>
#include <vector>

#include "core/control_state.h"

namespace {

TEST(StoredControl, FormHoldsAClosedControlWithConnectAndAllServiceAccess) {
    std::ifstream in(NTSERVICEX_STATE_PATH, std::ios::binary);
    const std::vector<std::uint8_t> bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    ASSERT_GE(bytes.size(), 4u);
    const std::uint32_t length = bytes[0] | bytes[1] << 8 | bytes[2] << 16 | std::uint32_t(bytes[3]) << 24;
    ASSERT_EQ(length, bytes.size() - 4);
    const dovrin::ControlState state = dovrin::DecodeControlState(bytes.data() + 4, length);
    EXPECT_EQ(state.width, 28);
    EXPECT_EQ(state.height, 28);
    const struct {
        const char* name;
        dovrin::ValueKind kind;
        std::int32_t value;
    } expected[] = {
        {"ActiveManager", dovrin::ValueKind::Boolean, 0},  // opened only inside a start or stop
        {"ActiveService", dovrin::ValueKind::Boolean, 0},
        {"ManagerAccess", dovrin::ValueKind::Integer, 1},  // SC_MANAGER_CONNECT
        {"ServiceAccess", dovrin::ValueKind::Integer, 0xF01FF},
        {"StartType", dovrin::ValueKind::Integer, 0},      // boot start
        {"ErrorControl", dovrin::ValueKind::Integer, 0},   // ignore
        {"ServiceType", dovrin::ValueKind::Integer, 0},
        {"TagId", dovrin::ValueKind::Integer, 0},
    };
    ASSERT_EQ(state.values.size(), std::size(expected));  // empty texts are not stored
    for (const auto& e : expected) {
        const dovrin::StateValue* v = state.Find(e.name);
        ASSERT_TRUE(v) << e.name;
        EXPECT_EQ(v->kind, e.kind) << e.name;
        EXPECT_EQ(v->integer, e.value) << e.name;
    }
}

}  // namespace
