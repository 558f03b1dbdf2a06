// The system report as a Windows XP machine shows it: this program is told by the
// prefix that it runs on Windows XP (major version 5), which brings the process list.
#include <gtest/gtest.h>

#include <cstdio>

#include "win_support.h"

namespace {

TEST(SystemReportXp, ListsTheRunningProcessesWithThisOneAmongThem) {
    trap_test::TrapIni ini(nullptr);
    trap::HollinLoadSettings();
    const std::string r = trap::SystemInfoReport();
    ASSERT_NE(r.find("   Windows Version.....Windows NT  5."), std::string::npos) << r;
    const std::string banner = std::string(44, '/') + "\r\n/// Processes Running Concurrently with  ///\r\n/// " +
                               trap_test::ProgramName() + " at Time of Error            ///\r\n" +
                               std::string(44, '/') + "\r\n\r\n";
    ASSERT_NE(r.find(banner), std::string::npos) << r;
    char pid[32];
    std::snprintf(pid, sizeof pid, "%lX", GetCurrentProcessId());
    const std::string own = "   Module Name........." + trap_test::ProgramName() + ".exe\r\n   Process ID..........0x" +
                            pid + "\r\n   Thread Count........";
    EXPECT_NE(r.find(own), std::string::npos) << r;
    EXPECT_NE(r.find("   Full Path..........." + trap::ProgramPath() + "\r\n\r\n"), std::string::npos);
    EXPECT_EQ(r.substr(r.size() - 4), "\r\n\r\n");
}

}  // namespace
