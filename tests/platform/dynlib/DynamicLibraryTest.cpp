#include <dlfcn.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <utility>

#include "dynlib/Library.h"

namespace {

using vesk::dynlib::Library;

const std::wstring kSample = std::filesystem::path(SAMPLE_LIBRARY).wstring();

// Whether the sample is in the process at all, whoever loaded it.
bool SampleIsMapped() {
    void* handle = dlopen(SAMPLE_LIBRARY, RTLD_NOW | RTLD_NOLOAD);
    if (handle) dlclose(handle);
    return handle != nullptr;
}

TEST(DynamicLibraryTest, NamesAreFoundCalledAndKeptToTheLibrary) {
    Library library;
    ASSERT_TRUE(library.Load(kSample)) << library.LastError();
    using Answer = int (*)();
    const auto answer = reinterpret_cast<Answer>(library.Symbol("vesk_sample_answer"));
    ASSERT_NE(answer, nullptr);
    EXPECT_EQ(answer(), 42);
    EXPECT_EQ(dlsym(RTLD_DEFAULT, "vesk_sample_answer"), nullptr);
    EXPECT_EQ(library.Symbol("vesk_no_such_name"), nullptr);
    EXPECT_NE(library.LastError().find("vesk_no_such_name"), std::string::npos);
}

TEST(DynamicLibraryTest, RefusedFilesSayWhy) {
    const std::wstring refused[] = {
        L"/no/such/folder/library.so",
        std::filesystem::path(UNRESOLVED_LIBRARY).wstring(),  // its missing name shows at load
        L"",                                                  // would be the program itself
    };
    for (const std::wstring& path : refused) {
        Library library;
        EXPECT_FALSE(library.Load(path));
        EXPECT_FALSE(library.IsLoaded());
        EXPECT_FALSE(library.LastError().empty());
        EXPECT_EQ(library.Symbol("main"), nullptr);
    }
}

TEST(DynamicLibraryTest, OneOwnerUnloadsOnce) {
    Library first;
    ASSERT_TRUE(first.Load(kSample));
    Library second(std::move(first));
    EXPECT_FALSE(first.IsLoaded());
    first.Unload();
    EXPECT_TRUE(SampleIsMapped());
    Library third;
    third = std::move(second);
    EXPECT_NE(third.Symbol("vesk_sample_answer"), nullptr);
    third.Unload();
    third.Unload();
    EXPECT_FALSE(third.IsLoaded());
    EXPECT_FALSE(SampleIsMapped());
    {
        Library scoped;
        ASSERT_TRUE(scoped.Load(kSample));
    }
    EXPECT_FALSE(SampleIsMapped());
}

}  // namespace
