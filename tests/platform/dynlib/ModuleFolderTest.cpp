#include "dynlib/ModuleFolder.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "dynlib/Library.h"

namespace {

TEST(ModuleFolderTest, ALibrarysCodeLiesInItsOwnFolderNotTheHosts) {
    vesk::dynlib::Library library;
    ASSERT_TRUE(library.Load(std::filesystem::path(SAMPLE_LIBRARY).wstring()));
    const void* code = library.Symbol("vesk_sample_answer");
    ASSERT_NE(code, nullptr);
    const std::wstring expected =
        std::filesystem::canonical(SAMPLE_LIBRARY).parent_path().wstring() + L"/";
    EXPECT_EQ(vesk::dynlib::FolderOfModuleHolding(code), expected);

    const int onTheStack = 0;
    EXPECT_EQ(vesk::dynlib::FolderOfModuleHolding(&onTheStack), L"");
}

}  // namespace
