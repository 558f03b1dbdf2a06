// Path names and status numbers of the provider substitute.
#include <gtest/gtest.h>

#include "core/winnt_path.h"

namespace vantrel::adsi {
namespace {

TEST(ComputerPath, AcceptsTheComputerFormsInAnyCase) {
    EXPECT_EQ(ParseComputerPath(L"WinNT://HOST,Computer"), L"HOST");
    EXPECT_EQ(ParseComputerPath(L"winnt://host,computer"), L"host");
    EXPECT_EQ(ParseComputerPath(L"WINNT://Host"), L"Host");
}

TEST(ComputerPath, RefusesOtherPathsAndClasses) {
    for (const wchar_t* bad : {L"", L"WinNT:", L"WinNT://", L"WinNT://,Computer", L"WinNT:HOST",
                               L"LDAP://HOST,Computer", L"WinNT://HOST,User", L"WinNT://HOST,",
                               L"WinNT://DOMAIN/HOST,Computer", L"WinNT://HOST/Quenloc", L"WinNT://A\\B",
                               L"WinNTX://HOST"}) {
        EXPECT_FALSE(ParseComputerPath(bad).has_value()) << std::string(bad, bad + wcslen(bad));
    }
}

TEST(ComputerPath, ObjectPathsNameComputerAndService) {
    EXPECT_EQ(ComputerPath(L"HOST"), L"WinNT://HOST");
    EXPECT_EQ(ServicePath(L"HOST", L"Quenloc"), L"WinNT://HOST/Quenloc");
    EXPECT_TRUE(SameName(L"Host", L"hOST"));
    EXPECT_FALSE(SameName(L"Host", L"Hosts"));
}

TEST(ServiceStatus, ControlManagerStatesMapOneToOneAndTheRestIsError) {
    for (unsigned long state = 1; state <= 7; ++state) EXPECT_EQ(ServiceStatusFromState(state), long(state));
    EXPECT_EQ(ServiceStatusFromState(0), 8);
    EXPECT_EQ(ServiceStatusFromState(8), 8);
    EXPECT_EQ(ServiceStatusFromState(0xFFFFFFFFul), 8);
}

}  // namespace
}  // namespace vantrel::adsi
