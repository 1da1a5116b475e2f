#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "process/Launch.h"

using vesk::process::SplitCommandLine;

namespace {

struct SplitCase {
    const wchar_t* line;
    std::vector<std::wstring> expected;
};

}  // namespace

TEST(SplitCommandLine, FollowsTheWindowsRules) {
    const SplitCase cases[] = {
        {L"", {}},
        {L" \t ", {}},
        {L"a b\tc", {L"a", L"b", L"c"}},
        {L"  lead   trail  ", {L"lead", L"trail"}},
        {L"\"a b\" c", {L"a b", L"c"}},
        {L"x\"a b\"y z", {L"xa by", L"z"}},
        {L"\"\"", {L""}},
        {L"a \"\" b", {L"a", L"", L"b"}},
        {L"\"unterminated arg", {L"unterminated arg"}},
        {L"a\\\\b c\\", {L"a\\\\b", L"c\\"}},
        {L"a\\\\\"b c\"", {L"a\\b c"}},
        {L"a\\\"b", {L"a\"b"}},
        {L"a\\\\\\\"b", {L"a\\\"b"}},
        {L"\"C:\\Program Files\\\\\" next", {L"C:\\Program Files\\", L"next"}},
        {L"\"a\"\"b\"", {L"a\"b"}},
        {L"\"\"\"", {L"\""}},
        {L"/S --partner=\"Vesk Games\"", {L"/S", L"--partner=Vesk Games"}},
        {L"-c \"exit 7\"", {L"-c", L"exit 7"}},
        {L"ü \"日本 語\"", {L"ü", L"日本 語"}},
    };
    for (const SplitCase& c : cases) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(c.line)));
        EXPECT_EQ(SplitCommandLine(c.line), c.expected);
    }
}
