// The error log of a deep call tree: its indentation grows with the depth, so a report
// of a runaway recursion runs to megabytes. The writer must pass it to the file as it goes,
// never holding it whole. Its own program, because it counts the heap through the global
// operator new.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <new>
#include <sstream>

#include "core/error_log.h"
#include "fake_platform.h"

namespace {

size_t g_live = 0, g_peak = 0;
constexpr size_t kHeader = alignof(std::max_align_t);

void* Allocate(size_t n) {
    auto* p = static_cast<unsigned char*>(std::malloc(n + kHeader));
    if (!p) return nullptr;
    *reinterpret_cast<size_t*>(p) = n;
    g_live += n;
    if (g_live > g_peak) g_peak = g_live;
    return p + kHeader;
}

void Release(void* q) {
    if (!q) return;
    auto* p = static_cast<unsigned char*>(q) - kHeader;
    g_live -= *reinterpret_cast<size_t*>(p);
    std::free(p);
}

}  // namespace

void* operator new(size_t n) {
    if (void* p = Allocate(n)) return p;
    throw std::bad_alloc();
}
void* operator new[](size_t n) { return operator new(n); }
void* operator new(size_t n, const std::nothrow_t&) noexcept { return Allocate(n); }
void* operator new[](size_t n, const std::nothrow_t&) noexcept { return Allocate(n); }
void operator delete(void* p) noexcept { Release(p); }
void operator delete[](void* p) noexcept { Release(p); }
void operator delete(void* p, size_t) noexcept { Release(p); }
void operator delete[](void* p, size_t) noexcept { Release(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { Release(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { Release(p); }

namespace {

namespace fs = std::filesystem;

// A recursive procedure that failed at the deepest level the call stack keeps, every level
// being that procedure, with two remote hops behind the error.
trap::TrapState RunawayRecursion() {
    trap::TrapState s;
    s.program = {"C:\\Prog", "Quenloc", 1, 2, 3};
    s.level_flag.assign(trap::kMaxLevel + 1, 0);
    s.hop_count = 2;
    for (int r = 0; r <= s.hop_count; ++r) {
        auto& rec = s.error_record[r];
        rec.module = "MainForm";
        rec.procedure = "Sub Walk";
        rec.number = 28;
        rec.description = "Out of stack space";
    }
    s.call_tree[0] = " " + std::to_string(trap::kMaxLevel);
    for (int d = 1; d <= trap::kMaxLevel; ++d)
        s.call_tree[d] = " " + std::to_string(d) + " : " + std::string(d - 1, '\t') + "MainForm : Sub Walk : ";
    return s;
}

TEST(ErrorLogMemory, ADeepReportGoesToTheFileWithoutBeingHeldWhole) {
    trap::TrapState s = RunawayRecursion();
    trap_test::FakePlatform p;
    const std::string expected = trap::FormatErrorLog(s, p.now, p.now);
    ASSERT_GT(expected.size(), 4'000'000u);  // indentation: quadratic in the depth

    const fs::path path = fs::temp_directory_path() /
                          ("trap_deep_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + ".log");
    fs::remove(path);
    s.settings.log_file_path = path.string();
    const size_t before = g_live;
    g_peak = g_live;
    trap::WriteErrorLog(s, p);
    const size_t peak = g_peak - before;

    std::ifstream in(path, std::ios::binary);
    std::stringstream written;
    written << in.rdbuf();
    in.close();
    fs::remove(path);
    EXPECT_TRUE(written.str() == expected) << "the file holds " << written.str().size() << " of "
                                           << expected.size() << " bytes, or other text";
    // A few lines at a time: the longest line here holds about 4,000 TABs.
    EXPECT_LT(peak, 256u * 1024) << "the writer held " << peak << " bytes at once";
    EXPECT_GT(peak, 0u) << "this platform's heap went past the counting operator new";
}

}  // namespace
