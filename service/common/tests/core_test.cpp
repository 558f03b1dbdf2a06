// The shared routines' portable core: cipher, byte forms of settings, list text and
// syslog command lines.
#include <gtest/gtest.h>

#include <random>

#include "core/cipher.h"
#include "core/list_text.h"
#include "core/procedure_frame.h"
#include "core/run_time_error.h"
#include "core/setting_value.h"
#include "core/start_retry.h"
#include "core/syslog_text.h"

namespace vc = vantrel::common;

namespace {

std::string Bytes(std::initializer_list<unsigned char> b) { return std::string(b.begin(), b.end()); }

TEST(Cipher, MatchesRc4KeyStreamExceptWhereKeyByteEqualsTextByte) {
    EXPECT_EQ(std::string(vc::PasswordKey).size(), 51u);
    // The key stream of the password key begins 31 FC 21 98 5E 48 B2 54 E8 (plain RC4).
    EXPECT_EQ(vc::RC4ED("P@ssw0rd!", vc::PasswordKey), Bytes({0x61, 0xBC, 0x52, 0xEB, 0x29, 0x78, 0xC0, 0x30, 0xC9}));
    // "1" equals the first key-stream byte (0x31) and so passes unchanged, where RC4 gives NUL.
    EXPECT_EQ(vc::RC4ED("1", vc::PasswordKey), "1");
    EXPECT_EQ(vc::RC4ED(Bytes({0x31, 0xFC, 0x21}), vc::PasswordKey), Bytes({0x31, 0xFC, 0x21}));
    EXPECT_EQ(vc::RC4ED("", vc::PasswordKey), "");
    EXPECT_THROW(vc::RC4ED("x", ""), std::invalid_argument);
    EXPECT_EQ(vc::mXor(7, 7), 7);
    EXPECT_EQ(vc::mXor(6, 3), 5);
    int16_t a = 1, b = 2;
    vc::Swap(a, b);
    EXPECT_EQ(a, 2);
    EXPECT_EQ(b, 1);
}

TEST(Cipher, RoundTripsEveryNulFreeTextAndNeverMakesNul) {
    std::mt19937 rng(4711);
    for (int round = 0; round < 2000; ++round) {
        std::string text(rng() % 40, ' ');
        for (auto& c : text) c = static_cast<char>(1 + rng() % 255);
        std::string sealed = vc::RC4ED(text, vc::PasswordKey);
        ASSERT_EQ(sealed.size(), text.size());
        ASSERT_EQ(sealed.find('\0'), std::string::npos) << round;
        ASSERT_EQ(vc::RC4ED(sealed, vc::PasswordKey), text) << round;
        // No salt, no state between calls.
        ASSERT_EQ(vc::RC4ED(text, vc::PasswordKey), sealed);
    }
}

TEST(SettingValue, TextsReadWithOrWithoutTheirNulAndWriteWithout) {
    auto one = vc::DecodeSetting(vc::kRegSz, reinterpret_cast<const unsigned char*>("1"), 1);
    EXPECT_EQ(one.outcome, vc::SettingRead::Text);
    EXPECT_EQ(one.text, "1");
    auto with_nul = vc::DecodeSetting(vc::kRegSz, reinterpret_cast<const unsigned char*>("1\0"), 2);
    EXPECT_EQ(with_nul.text, "1");
    EXPECT_EQ(vc::DecodeSetting(vc::kRegSz, reinterpret_cast<const unsigned char*>(""), 0).outcome,
              vc::SettingRead::Unreadable);
    std::string big(1025, 'a');
    EXPECT_EQ(vc::DecodeSetting(vc::kRegSz, reinterpret_cast<const unsigned char*>(big.data()), big.size()).outcome,
              vc::SettingRead::Unreadable);
    EXPECT_EQ(vc::DecodeSetting(vc::kRegSz, reinterpret_cast<const unsigned char*>(big.data()), 1024).text.size(),
              1024u);
    EXPECT_EQ(vc::DecodeSetting(vc::kRegBinary, reinterpret_cast<const unsigned char*>("ab"), 2).outcome,
              vc::SettingRead::Untouched);

    EXPECT_EQ(vc::EncodeSetting(vc::kRegSz, std::string("1")), std::string("1"));
    EXPECT_EQ(vc::EncodeSetting(vc::kRegSz, std::string()), std::string());
    EXPECT_EQ(vc::EncodeSetting(vc::kRegSz, 0), std::string("0"));
    EXPECT_EQ(vc::EncodeSetting(2, std::string("x")), std::nullopt);
}

TEST(SettingValue, NumbersAreSignedDecimal) {
    const unsigned char one[] = {1, 0, 0, 0};
    const unsigned char minus[] = {0xFF, 0xFF, 0xFF, 0xFF};
    const unsigned char low[] = {0x00, 0x00, 0x00, 0x80};
    EXPECT_EQ(vc::DecodeSetting(vc::kRegDword, one, 4).text, "1");
    EXPECT_EQ(vc::DecodeSetting(vc::kRegDword, minus, 4).text, "-1");
    EXPECT_EQ(vc::DecodeSetting(vc::kRegDword, low, 4).text, "-2147483648");
    EXPECT_EQ(vc::DecodeSetting(vc::kRegDword, minus, 2).text, "65535");
    EXPECT_EQ(vc::EncodeSetting(vc::kRegDword, -1), std::string(4, '\xFF'));
    EXPECT_EQ(vc::EncodeSetting(vc::kRegDword, std::string("1")), Bytes({1, 0, 0, 0}));
    EXPECT_EQ(vc::EncodeSetting(vc::kRegDword, std::string("x1")), std::nullopt);
    EXPECT_EQ(vc::EncodeSetting(vc::kRegDword, std::string("4294967296")), std::nullopt);
}

TEST(ListText, LinesEndAtCrLfLfOrCrAndAreKeptWhole) {
    using V = std::vector<std::string>;
    EXPECT_EQ(vc::SplitLines(""), V{});
    EXPECT_EQ(vc::SplitLines("a\r\nb\r\n"), (V{"a", "b"}));
    EXPECT_EQ(vc::SplitLines("a\rb"), (V{"a", "b"}));
    EXPECT_EQ(vc::SplitLines(" a \r\n\r\nb"), (V{" a ", "", "b"}));
    // Files saved by other editors: LF alone ends a line too, and the endings may mix.
    EXPECT_EQ(vc::SplitLines("A\t5\nB\t7\n"), (V{"A\t5", "B\t7"}));
    EXPECT_EQ(vc::SplitLines("a\nb\r\nc\rd"), (V{"a", "b", "c", "d"}));
    EXPECT_EQ(vc::SplitLines("a\n\nb\n\r"), (V{"a", "", "b", ""}));  // LF then CR: two line ends
    EXPECT_EQ(vc::SplitLines("\r\n"), (V{""}));
    EXPECT_EQ(vc::SplitLines(std::string("a\0b\nc", 5)), (V{std::string("a\0b", 3), "c"}));
    EXPECT_EQ(vc::JoinLines({"first", "second"}), "first\r\nsecond\r\n");
    EXPECT_EQ(vc::SplitLines(vc::JoinLines({"x", "", "y"})), (V{"x", "", "y"}));
}

TEST(ListText, RecipientFileExpandsTemplatesAndSkipsAtLines) {
    std::vector<std::string> lines = {"admin@example.com", "%USERNAME%@example.com", "@nobody.example"};
    std::string user = "DOMAIN\\name";
    EXPECT_EQ(vc::ExpandRecipients(lines, user), "admin@example.com,name@example.com");
    EXPECT_EQ(user, "name");
    std::string empty;
    EXPECT_EQ(vc::ExpandRecipients(lines, empty), "admin@example.com");

    std::string twice = "D\\x";
    EXPECT_EQ(vc::ExpandRecipients({"%username%@a", "%UserName%@b"}, twice), "x@a,x@b");
    std::string unused = "D\\x";
    EXPECT_EQ(vc::ExpandRecipients({"a@x", "", "b@x"}, unused), "a@x,,b@x");
    EXPECT_EQ(unused, "D\\x");  // no template, the name stays as passed
    EXPECT_EQ(vc::ExpandRecipients({}, unused), "");
    EXPECT_EQ(vc::ExpandRecipients({"%username"}, unused), "%username");
}

TEST(ListText, ParseStringAndStripDomainShapes) {
    using V = std::vector<std::string>;
    EXPECT_EQ(vc::ParseString("Source\t1001", "\t"), (V{"Source", "1001"}));
    EXPECT_EQ(vc::ParseString("Source\t", "\t"), (V{"Source", ""}));
    EXPECT_EQ(vc::ParseString("Source", "\t"), (V{"Source"}));
    EXPECT_EQ(vc::ParseString("", "\t"), (V{""}));
    EXPECT_EQ(vc::ParseString("aXYbxyc", "XY"), (V{"a", "bxyc"}));
    EXPECT_EQ(vc::ParseString("a", ""), (V{"a"}));
    EXPECT_EQ(vc::StripDomain("DOMAIN\\user"), "user");
    EXPECT_EQ(vc::StripDomain("a\\b\\c"), "b\\c");
    EXPECT_EQ(vc::StripDomain("user"), "user");
}

TEST(SyslogText, PrioritiesAndOverflow) {
    EXPECT_EQ(vc::SyslogPriority(17, 6), 142);
    EXPECT_EQ(vc::SyslogPriority(0, 0), 0);
    EXPECT_EQ(vc::SyslogPriority(1, 6), 14);
    EXPECT_EQ(vc::SyslogPriority(10, 0), 80);
    try {
        vc::SyslogPriority(4096, 0);
        FAIL() << "no overflow";
    } catch (const vc::RunTimeError& e) {
        EXPECT_EQ(e.number, vc::kErrOverflow);
    }
    EXPECT_THROW(vc::SyslogPriority(4095, 8), vc::RunTimeError);
    EXPECT_EQ(vc::SyslogLine(14, "Debug point 1"), "<14>Debug point 1");
}

TEST(SyslogText, QuotedArgumentSplitsBackToExactlyTheText) {
    const std::vector<std::string> texts = {
        "", "plain", "two words", "say \"hi\"", "ends in backslash\\", "C:\\path\\", "\\\"", "\\\\\"x",
        "line one\r\nline two\nthree", "tab\there", "\"\"", "a\\\\b", "trailing quote\"",
    };
    for (const auto& text : texts) {
        std::string line = vc::SenderCommandLine("C:\\Program Files\\Vantrel", text);
        auto args = vc::SplitCommandLine(line);
        ASSERT_EQ(args.size(), 2u) << line;
        EXPECT_EQ(args[0], "C:\\Program Files\\Vantrel\\syslogsend.exe");
        EXPECT_EQ(args[1], text) << line;
    }
    EXPECT_EQ(vc::SenderCommandLine("C:\\V", "<14>Test Message From Vantrel"),
              "\"C:\\V\\syslogsend.exe\" \"<14>Test Message From Vantrel\"");
    EXPECT_EQ(vc::QuoteArgument(std::string("a\0b", 3)), "\"ab\"");
    // The way other programs quote parses the same way.
    using V = std::vector<std::string>;
    EXPECT_EQ(vc::SplitCommandLine("p a\\\\\\\"b \"c d\" e\"\"f"), (V{"p", "a\\\"b", "c d", "ef"}));
    EXPECT_EQ(vc::SplitCommandLine("p \"a\"\"b\""), (V{"p", "a\"b"}));
    EXPECT_EQ(vc::SplitCommandLine("p  "), (V{"p"}));
}

}  // namespace

namespace {
std::vector<std::string> g_frames;
void RecordFrame(const vc::trace::Names& names, const std::function<void()>& body) {
    g_frames.push_back(std::string(names.module) + "|" + names.procedure);
    body();
}
}  // namespace

// A start that fails for a moment (seen under load: the new process dies while it is set
// up) must not lose the notification; one that cannot succeed must not be retried.
TEST(StartRetry, PassingFailuresAreTriedAgainLastingOnesAreNot) {
    struct Run {
        std::vector<unsigned long> results;  // what each try returns, in order
        unsigned long expected;
        size_t tries;
    };
    const Run runs[] = {
        {{0}, 0, 1},
        {{1359, 1359, 0}, 0, 3},              // ERROR_INTERNAL_ERROR twice, then started
        {{8, 0}, 0, 2},                       // ERROR_NOT_ENOUGH_MEMORY once
        {{1359, 1359, 1359, 1359, 0}, 1359, 4},  // given up after the last try
        {{2, 0}, 2, 1},                       // the program is missing
        {{3}, 3, 1},
        {{5}, 5, 1},
        {{1359, 193, 0}, 193, 2},             // a lasting error ends the tries at once
    };
    for (const auto& run : runs) {
        size_t tries = 0;
        unsigned paused = 0;
        unsigned long got = vc::StartWithRetries([&] { return run.results[tries++]; },
                                                 [&](unsigned ms) { paused += ms; });
        EXPECT_EQ(got, run.expected) << "first result " << run.results[0];
        EXPECT_EQ(tries, run.tries) << "first result " << run.results[0];
        // Every pause lies between two tries, and all of them stay short.
        unsigned expected_pause = 0;
        for (size_t i = 1; i < tries; ++i) expected_pause += vc::kStartPausesMs[i - 1];
        EXPECT_EQ(paused, expected_pause);
        EXPECT_LE(paused, 1500u);
    }
}

TEST(ProcedureFrame, RoutinesRunBareUntilARunnerIsInstalled) {
    g_frames.clear();
    vc::ParseString("a\tb", "\t");
    EXPECT_TRUE(g_frames.empty());
    vc::SetFrameRunner(&RecordFrame);
    EXPECT_EQ(vc::ParseString("a\tb", "\t"), (std::vector<std::string>{"a", "b"}));
    EXPECT_EQ(vc::RC4ED(vc::RC4ED("x", vc::PasswordKey), vc::PasswordKey), "x");
    vc::SetFrameRunner(nullptr);
    ASSERT_EQ(g_frames.size(), 1u + 2 * (1 + 257 + 1));
    EXPECT_EQ(g_frames[0], "modVantrel|Function ParseString");
    EXPECT_EQ(g_frames[1], "ENCRYPTION|Function RC4ED");
    EXPECT_EQ(g_frames[2], "ENCRYPTION|Sub Swap");
    EXPECT_EQ(g_frames[259], "ENCRYPTION|Function mXor");
}
