#include <gtest/gtest.h>

#include "GdiPlusBitmapResource.h"
#include "LoadImageViaStream.h"
#include "TempDir.h"
#include "fs/Paths.h"

extern const vesk::ui::ResourceModule kSkinTestResources;

namespace {

std::wstring Resource(const char* name) {
    return vesk::fs::WidePath(std::string(VESK_TEST_RESOURCES) + "/" + name);
}

TEST(GdiPlusBitmapResource, LoadsFilesAndKeepsAnEmptyImageOnFailure) {
    vesk::test::TempDir dir;
    CGdiPlusBitmapResource holder;
    EXPECT_EQ(static_cast<vesk::gfx::Bitmap*>(holder), nullptr);
    ASSERT_TRUE(holder.Load(Resource("exit18.png")));
    EXPECT_EQ(static_cast<vesk::gfx::Bitmap*>(holder)->Width(), 18);
    // A second load releases the first image before making its own.
    ASSERT_TRUE(holder.Load(Resource("background.png")));
    EXPECT_EQ(static_cast<vesk::gfx::Bitmap*>(holder)->Width(), 40);

    const std::wstring failing[] = {dir.wide() + L"missing.png", dir.wide(),
                                    dir.wide() + std::wstring(300, L'a') + L".png"};
    for (const std::wstring& path : failing) {
        EXPECT_FALSE(holder.Load(path));
        vesk::gfx::Bitmap* image = holder;
        ASSERT_NE(image, nullptr) << "a failed file load keeps an image object";
        EXPECT_EQ(image->Width(), 0);
        EXPECT_EQ(image->Height(), 0);
    }
}

TEST(GdiPlusBitmapResource, LoadsLinkedResourcesByIdOrName) {
    struct Row {
        vesk::ui::ResourceName name;
        const wchar_t* type;
        bool loads;
        int width;
    } rows[] = {
        {130, L"PNG", true, 18},
        {std::wstring(L"BACKGROUND"), L"PNG", true, 40},
        {130, L"GIF", false, 0},                         // wrong type
        {999, L"PNG", false, 0},                         // no such id
        {std::wstring(L"NOTANIMAGE"), L"PNG", false, 0}  // found but does not decode
    };
    for (const Row& row : rows) {
        CGdiPlusBitmapResource holder;
        holder.Load(Resource("exit18.png"));
        EXPECT_EQ(holder.LoadFromResource(row.name, row.type, &kSkinTestResources), row.loads);
        vesk::gfx::Bitmap* image = holder;
        if (row.loads) {
            ASSERT_NE(image, nullptr);
            EXPECT_EQ(image->Width(), row.width);
        } else {
            EXPECT_EQ(image, nullptr) << "a failed resource load leaves the holder empty";
        }
    }
    CGdiPlusBitmapResource holder;
    EXPECT_FALSE(holder.LoadFromResource(130, L"PNG")) << "no program module registered";
}

TEST(LoadImageViaStream, OpensReadableFilesOnly) {
    vesk::test::TempDir dir;
    vesk::test::WriteFileBytes(dir / "garbage.png", "not an image");
    EXPECT_EQ(LoadImageViaStream(dir.wide() + L"missing.png"), nullptr);
    EXPECT_EQ(LoadImageViaStream(dir.wide()), nullptr);
    const auto garbage = LoadImageViaStream(dir.wide() + L"garbage.png");
    ASSERT_NE(garbage, nullptr) << "an opened file gives an image object";
    EXPECT_TRUE(garbage->IsEmpty());
    const auto image = LoadImageViaStream(Resource("background.png"));
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(image->Width(), 40);
    EXPECT_EQ(image->Height(), 20);
}

}  // namespace
