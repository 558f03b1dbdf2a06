// Self-registration of svcit.ocx. Leaves the control registered for the tests that create
// it by ProgID.
#include <gtest/gtest.h>

#include "platform/winapi/tests/registry_snapshot.h"

namespace {

// What regsvr32 writes, compared line by line with the entries of the last known-good
// build, and regsvr32 /u leaving the registry as it was before.
TEST(Registration, Regsvr32WritesItsEntriesAndUnregistrationRemovesExactlyThose) {
    vantrel::test::ExpectExactRoundTrip(SVCIT_PATH, REGISTRATION_ENTRIES);
}

}  // namespace
