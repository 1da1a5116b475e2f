#include <gtest/gtest.h>

#include <clocale>
#include <string>
#include <thread>
#include <vector>

#include "text/AnsiCodePage.h"
#include "text/Utf.h"

using namespace vesk::text;

namespace {

// Each test picks its character set and leaves the process's locale as it found it.
class AnsiCodePage : public testing::Test {
protected:
    void SetUp() override { m_saved = std::setlocale(LC_CTYPE, nullptr); }
    void TearDown() override { std::setlocale(LC_CTYPE, m_saved.c_str()); }
    static void Use(const char* locale) { ASSERT_NE(std::setlocale(LC_CTYPE, locale), nullptr); }

private:
    std::string m_saved;
};

TEST_F(AnsiCodePage, CLocaleTurnsWhatItCannotHoldIntoQuestionMarks) {
    Use("C");
    EXPECT_EQ(WideToAnsi(L"Gr\u00FC\u00DFe \u20AC\U0001F600!"),
              "Gr??e ??"
              "!");
    EXPECT_EQ(WideToAnsi(std::wstring(1, L'\xD800')), "?");
    EXPECT_EQ(WideToAnsi(L"\u00E9\u00E9", 1), "?");
    EXPECT_EQ(AnsiToWide("ok\xE9"), L"ok\xFFFD");
}

TEST_F(AnsiCodePage, Utf8LocalePassesEverythingThrough) {
    Use("C.UTF-8");
    EXPECT_EQ(AnsiCodeSet(), "UTF-8");
    const std::wstring text = L"Gr\u00FC\u00DFe \u20AC\U0001F600";
    EXPECT_EQ(WideToAnsi(text), WideToUtf8(text));
    EXPECT_EQ(AnsiToWide(WideToUtf8(text)), text);
    EXPECT_EQ(WideToAnsi(std::wstring(1, L'\xDC00')), "?");
    EXPECT_EQ(WideToAnsi(NativeBytesToWide("/opt/\xFF\xC3")), "/opt/??") << "escaped bytes";
}

TEST_F(AnsiCodePage, Utf8LocaleReplacesUndecodableBytes) {
    Use("C.UTF-8");
    EXPECT_EQ(AnsiToWide("a\xC3(b"), L"a\xFFFD(b");
    EXPECT_EQ(AnsiToWide("ab\xE2\x82"), L"ab\xFFFD");
    EXPECT_EQ(AnsiToWide(""), L"");
}

TEST_F(AnsiCodePage, ByteLimitNeverCutsACharacter) {
    Use("C.UTF-8");
    const std::wstring text = L"a\u00E9\u20AC\U0001F600z";  // 1 + 2 + 3 + 4 + 1 bytes
    const std::size_t fits[] = {0, 1, 1, 3, 3, 3, 6, 6, 6, 6, 10, 11, 11};
    for (std::size_t limit = 0; limit < std::size(fits); ++limit) {
        const std::string out = WideToAnsi(text, limit);
        EXPECT_EQ(out, WideToUtf8(text).substr(0, fits[limit])) << "limit " << limit;
    }
}

TEST_F(AnsiCodePage, NamedSetsAndUnknownSets) {
    EXPECT_EQ(WideToCodeSet(L"\u00E9\u20AC", "ISO-8859-1"), "\xE9?");
    EXPECT_EQ(WideToCodeSet(L"\u00E9\u20AC", "ISO-8859-15"), "\xE9\xA4");
    EXPECT_EQ(WideToCodeSet(L"a\u00E9", "NO-SUCH-SET"), "a?");
    EXPECT_EQ(WideToCodeSet(L"abc", "ISO-8859-1", 2), "ab");
}

TEST_F(AnsiCodePage, ThreadsConvertIntoDifferentSetsAtOnce) {
    const std::wstring text = L"Caf\u00E9 \u20AC";
    std::vector<std::thread> threads;
    std::vector<int> wrong(4, 0);
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&, t] {
            const char* set = t % 2 ? "ISO-8859-15" : "UTF-8";
            const std::string expected = t % 2 ? "Caf\xE9 \xA4" : WideToUtf8(text);
            for (int i = 0; i < 500; ++i) wrong[t] += WideToCodeSet(text, set) != expected;
        });
    }
    for (auto& thread : threads) thread.join();
    EXPECT_EQ(wrong, std::vector<int>(4, 0));
}

}  // namespace
