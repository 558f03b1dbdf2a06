// The shared routines inside the service's procedure frames: each opens its own frame,
// and an error inside one is answered there instead of reaching the caller.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "common/core/cipher.h"
#include "common/core/list_text.h"
#include "common/core/procedure_frame.h"
#include "error_dialog.h"
#include "list_files.h"
#include "settings_store.h"
#include "shared_frames.h"
#include "win_support.h"

namespace vc = vantrel::common;

namespace {

class SharedFrames : public ::testing::Test {
protected:
    void SetUp() override {
        quenloc::InstallSharedRoutineFrames();
        trap::SetErrorDialogStandIn([this] {
            const trap::ErrorSlot& slot = trap::Globals().error_record[0];
            asked_.push_back(slot.module + "|" + slot.procedure + "|" + std::to_string(slot.number));
            return trap::Answer{};  // the dialog's Continue: leave the procedure
        });
        trap::HollinLoadSettings();
        trap::Globals().settings.capture_to_disk = true;
        log_ = ini_.File("shared_frames.log");
        trap::Globals().settings.log_file_path = log_;
        start_ = trap::Globals().trace_sequence;
    }
    void TearDown() override {
        vc::SetFrameRunner(nullptr);
        trap::SetErrorDialogStandIn(nullptr);
    }
    int Frames() const { return (trap::Globals().trace_sequence - start_) / 2; }

    trap_test::TrapIni ini_{nullptr};
    std::string log_;
    int start_ = 0;
    std::vector<std::string> asked_;
};

TEST_F(SharedFrames, ListFileRoutinesNestTheirOwnFrames) {
    const std::string path = ini_.File("shared_frames_list.txt");
    std::vector<std::string> items;
    // A missing file is created (opened for output, closed) and read empty.
    vc::LoadAddressesFromFile([&](const std::string& s) { items.push_back(s); }, path);
    EXPECT_TRUE(items.empty());
    EXPECT_EQ(Frames(), 4);  // Load, OpenFileRead, CloseFile of the new file, CloseFile
    EXPECT_EQ(trap::Globals().depth, 0);
    EXPECT_TRUE(asked_.empty());

    const std::vector<std::string> fields = vc::ParseString("Source\t7", "\t");
    EXPECT_EQ(fields, (std::vector<std::string>{"Source", "7"}));
    EXPECT_EQ(Frames(), 5);
}

TEST_F(SharedFrames, CipherRunsSwapAndMXorInFramesAndStillDecrypts) {
    const std::string stored = vc::RC4ED("pw", vc::PasswordKey);
    // RC4ED, 256 swaps of the key schedule, then one swap and one mXor per character.
    EXPECT_EQ(Frames(), 1 + 256 + 2 + 2);
    EXPECT_EQ(vc::RC4ED(stored, vc::PasswordKey), "pw");
    EXPECT_EQ(trap::Globals().depth, 0);
}

TEST_F(SharedFrames, ErrorsAreAnsweredInTheRoutineThatFailed) {
    // A folder where the recipient file should be: its first read fails.
    const std::string folder = trap_test::ProgramFolder() + "\\shared_frames_folder";
    ::CreateDirectoryA(folder.c_str(), nullptr);
    std::string user = "DOMAIN\\name";
    EXPECT_EQ(vc::GetAddressesFromFile(folder, user), "");  // returned to the caller, no throw
    ::RemoveDirectoryA(folder.c_str());
    ASSERT_EQ(asked_.size(), 1u);
    EXPECT_EQ(asked_[0].rfind("modVantrel|Function GetAddressesFromFile|", 0), 0u) << asked_[0];
    EXPECT_EQ(trap::Globals().depth, 0);

    // An empty key is an invalid procedure call, answered inside RC4ED.
    EXPECT_EQ(vc::RC4ED("pw", ""), "");
    ASSERT_EQ(asked_.size(), 2u);
    EXPECT_EQ(asked_[1], "ENCRYPTION|Function RC4ED|5");
}

TEST_F(SharedFrames, WithoutTheServiceFramesErrorsReachTheCaller) {
    vc::SetFrameRunner(nullptr);  // as in the manager
    EXPECT_THROW(vc::RC4ED("pw", ""), std::invalid_argument);
    EXPECT_EQ(Frames(), 0);
    EXPECT_TRUE(asked_.empty());
}

}  // namespace
