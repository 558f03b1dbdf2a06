// The order in which the SCM hears the service's states: STOPPED only once the program
// has let go of the control, with the checkpoint of a pending state moving meanwhile.
#include <gtest/gtest.h>

#include "core/status_sequence.h"

namespace svcit {
namespace {

TEST(StatusSequence, StopIsPendingUntilTheProgramLetsGoWithTheCheckpointMoving) {
    StatusSequence s;
    s.Starting();
    ASSERT_TRUE(s.Started());
    auto pending = s.StopAsked();
    ASSERT_TRUE(pending);
    EXPECT_EQ(pending->state, ServiceState::StopPending);
    EXPECT_FALSE(pending->accepts_stop);
    EXPECT_GT(pending->wait_hint_ms, 0u);

    // The Stop handler has returned, but the program is still finishing (a handler it
    // interrupted, its queued mail): the SCM must not hear STOPPED yet.
    auto handled = s.StopHandled();
    if (handled) {
        EXPECT_EQ(handled->state, ServiceState::StopPending);
    }
    uint32_t last = s.current().check_point;
    for (int i = 0; i < 3; ++i) {
        auto tick = s.Tick();
        ASSERT_TRUE(tick);
        EXPECT_EQ(tick->state, ServiceState::StopPending);
        EXPECT_GT(tick->check_point, last);
        last = tick->check_point;
    }

    auto stopped = s.Released();
    ASSERT_TRUE(stopped);
    EXPECT_EQ(stopped->state, ServiceState::Stopped);
    EXPECT_EQ(stopped->check_point, 0u);
    EXPECT_EQ(stopped->wait_hint_ms, 0u);
    // Said once; nothing follows it.
    EXPECT_FALSE(s.Tick());
    EXPECT_FALSE(s.Released());
    EXPECT_FALSE(s.StopAsked());
}

TEST(StatusSequence, StartIsPendingWithAMovingCheckpointThenRunningAcceptsStop) {
    StatusSequence s;
    StatusReport start = s.Starting();
    EXPECT_EQ(start.state, ServiceState::StartPending);
    EXPECT_FALSE(start.accepts_stop);
    auto tick = s.Tick();
    ASSERT_TRUE(tick);
    EXPECT_EQ(tick->state, ServiceState::StartPending);
    EXPECT_GT(tick->check_point, start.check_point);

    auto running = s.Started();
    ASSERT_TRUE(running);
    EXPECT_EQ(running->state, ServiceState::Running);
    EXPECT_TRUE(running->accepts_stop);
    EXPECT_EQ(running->check_point, 0u);
    EXPECT_EQ(running->wait_hint_ms, 0u);
    EXPECT_FALSE(s.Tick());  // a running service has no checkpoint to move

    // A program that ends without a stop request still leaves a stopped service.
    auto stopped = s.Released();
    ASSERT_TRUE(stopped);
    EXPECT_EQ(stopped->state, ServiceState::Stopped);
}

TEST(StatusSequence, OutsideTheScmNothingIsReported) {
    StatusSequence s;
    EXPECT_FALSE(s.Tick());
    EXPECT_FALSE(s.StopAsked());
    EXPECT_FALSE(s.StopHandled());
    EXPECT_FALSE(s.Released());
}

}  // namespace
}  // namespace svcit
