#include <gtest/gtest.h>
#include <sys/wait.h>

#include <filesystem>
#include <fstream>

#include "RunProgram.h"
#include "TempDir.h"
#include "fs/Paths.h"
#include "process/Launch.h"

namespace {

using vesk::tsp::PlanLaunch;

TEST(RunProgramTest, CommandLineFollowsTheWindowsRules) {
    struct Row {
        const wchar_t* path;
        const wchar_t* arguments;
        const wchar_t* commandLine;
        std::vector<std::wstring> words;
        const wchar_t* workFolder;
    };
    const Row rows[] = {
        {L"/opt/t s p/TSP.exe",
         L"",
         L"\"/opt/t s p/TSP.exe\" ",
         {L"/opt/t s p/TSP.exe"},
         L"/opt/t s p/"},
        {L"/c/Tirsa_Temp/TSPInst.exe",
         L"/S --partner=Vesk Games",
         L"\"/c/Tirsa_Temp/TSPInst.exe\" /S --partner=Vesk Games",
         {L"/c/Tirsa_Temp/TSPInst.exe", L"/S", L"--partner=Vesk", L"Games"},
         L"/c/Tirsa_Temp/"},
        {L"/c/x.exe",
         L"\"a b\" c\\\"d",
         L"\"/c/x.exe\" \"a b\" c\\\"d",
         {L"/c/x.exe", L"a b", L"c\"d"},
         L"/c/"},
        // An installer package runs through the package runner, without the arguments.
        {L"/c/Tirsa_Temp/TSPInst.msi",
         L"/S --partner=Vesk",
         L"msiexec.exe /i \"/c/Tirsa_Temp/TSPInst.msi\"",
         {L"msiexec.exe", L"/i", L"/c/Tirsa_Temp/TSPInst.msi"},
         L"/c/Tirsa_Temp/"},
        {L"/c/setup.MSI", L"-q", L"\"/c/setup.MSI\" -q", {L"/c/setup.MSI", L"-q"}, L"/c/"},
        {L"/c/setup.msix", L"", L"\"/c/setup.msix\" ", {L"/c/setup.msix"}, L"/c/"},
    };
    for (const Row& row : rows) {
        const auto launch = PlanLaunch(row.path, row.arguments);
        EXPECT_EQ(launch.commandLine, row.commandLine);
        std::vector<std::wstring> words{launch.program};
        words.insert(words.end(), launch.args.begin(), launch.args.end());
        EXPECT_EQ(words, row.words) << testing::PrintToString(std::wstring(row.commandLine));
        EXPECT_EQ(launch.workFolder, row.workFolder);
    }
}

TEST(RunProgramTest, PathWithoutFolderIsTheHostsFolder) {
    const auto launch = PlanLaunch(L"TSP.exe", L"");
    EXPECT_EQ(launch.program, vesk::fs::ExecutableFolder() + L"TSP.exe");
    EXPECT_EQ(launch.workFolder, vesk::fs::ExecutableFolder());
}

// A real start: the program runs in its own folder and gets the words of the line.
TEST(RunProgramTest, StartedProgramSeesItsFolderAndArguments) {
    vesk::test::TempDir dir;
    const auto script = dir / "record.sh";
    {
        std::ofstream out(script);
        out << "#!/bin/sh\npwd > out.txt\nfor a in \"$@\"; do echo \"[$a]\" >> out.txt; done\n";
    }
    std::filesystem::permissions(script, std::filesystem::perms::owner_all);
    const auto pid = vesk::tsp::RunProgram(vesk::fs::WidePath(script.string()), L"/S \"a b\"");
    ASSERT_TRUE(pid);
    int status = 0;
    ASSERT_EQ(waitpid(*pid, &status, 0), *pid);
    EXPECT_EQ(vesk::test::ReadFileBytes(dir / "out.txt"), dir.path().string() + "\n[/S]\n[a b]\n");
    EXPECT_FALSE(vesk::tsp::RunProgram(dir.wide() + L"missing.exe", L""));
}

}  // namespace
