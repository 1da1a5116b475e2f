#include <gtest/gtest.h>
#include <tinyxml.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

#include "GameCatalogue.h"
#include "TempDir.h"
#include "UpdateLog.h"

namespace {

using vesk::test::ReadFileBytes;
using vesk::test::WriteFileBytes;

// The user's catalogue before the update: game 7 with every kind of state, game 8 only here.
constexpr char kUserFile[] = R"(<?xml version="1.0" encoding="utf-8"?>
<gameinfo>
    <game id="7" name="Old" download="2" downloaded="1" updating="1" added="1" installdate="20270301" downtime="3600" install="1">
        <lastplaytime year="2027" month="3" day="1" hour="9" minute="5" second="3" />
        <addedtime year="2026" month="12" day="24" hour="18" minute="30" second="59" />
        <path downloadpath="/d/" installpath="/g/A&amp;B &quot;x&quot; &#xE9;/" clientpath="/g/c" launcherpath="/g/l" pathcherpath="/g/p" uninstallpath="/g/u" />
        <newgameinfo newgame="0" />
        <installpack transferId="tx-77" />
    </game>
    <game id="8" name="Gone" install="1" />
</gameinfo>
)";

// The same file as the package brings it: new descriptions, state at its defaults, game 9 new.
constexpr char kPackagedFile[] = R"(<?xml version="1.0" encoding="utf-8"?>
<gameinfo>
    <game id="9" name="Fresh" install="0" />
    <game id="7" name="New" download="0" downloaded="0" updating="0" added="0" installdate="" downtime="0" install="0">
        <description>Now with more</description>
        <lastplaytime year="0" month="0" day="0" hour="0" minute="0" second="0" />
        <addedtime year="0" month="0" day="0" hour="0" minute="0" second="0" />
        <path downloadpath="" installpath="" clientpath="" launcherpath="" pathcherpath="" uninstallpath="" />
        <newgameinfo newgame="1" />
        <installpack transferId="" />
    </game>
</gameinfo>
)";

std::string Nested(int depth) {
    std::string text;
    for (int i = 0; i < depth; ++i) text += "<a>";
    for (int i = 0; i < depth; ++i) text += "</a>";
    return text;
}

class GameCatalogueTest : public ::testing::Test {
protected:
    std::wstring File(int n) const { return m_dir.wide() + L"gameinfo.xml_" + std::to_wstring(n); }
    std::filesystem::path Native(int n) const {
        return m_dir / ("gameinfo.xml_" + std::to_string(n));
    }
    void SetCount(const std::string& line) {
        WriteFileBytes(m_dir / "Config.ini", "[Locale]\r\n" + line + "\r\n");
    }

    // Reads the user's file n, lets the "package" replace it, merges; the merged document.
    TiXmlDocument Update(const std::string& before, const std::string& after, int n = 0) {
        WriteFileBytes(Native(n), before);
        const auto saved = ReadGameCatalogue(File(n));
        EXPECT_TRUE(saved);
        WriteFileBytes(Native(n), after);
        EXPECT_TRUE(saved && MergeGameCatalogue(*saved));
        TiXmlDocument merged;
        EXPECT_TRUE(merged.LoadFile(Native(n).c_str()));
        return merged;
    }

    static const TiXmlElement* Game(const TiXmlDocument& document, const std::string& id) {
        const TiXmlElement* game = document.RootElement()->FirstChildElement("game");
        while (game && id != game->Attribute("id")) game = game->NextSiblingElement("game");
        return game;
    }
    // The attribute of the game's element (the game itself when element is null), or "-".
    static std::string Value(const TiXmlDocument& document, const char* id, const char* element,
                             const char* attribute) {
        const TiXmlElement* game = Game(document, id);
        const TiXmlElement* e = game && element ? game->FirstChildElement(element) : game;
        const char* value = e ? e->Attribute(attribute) : nullptr;
        return value ? value : "-";
    }
    // One attribute of every game, in file order.
    static std::string Column(const TiXmlDocument& document, const char* attribute) {
        std::string values;
        for (const TiXmlElement* game = document.RootElement()->FirstChildElement(); game;
             game = game->NextSiblingElement())
            values += std::string(game->Attribute(attribute)) + " ";
        return values;
    }

    vesk::test::TempDir m_dir;
};

TEST_F(GameCatalogueTest, UserStateOutlivesThePackageAndItsDescriptionsStay) {
    const TiXmlDocument merged = Update(kUserFile, kPackagedFile);
    TiXmlDocument user;
    user.Parse(kUserFile);
    // Every attribute of the user's game 7 and its children but the name comes back as it was.
    int checked = 0;
    const TiXmlElement* old = Game(user, "7");
    for (const TiXmlElement* e = old; e;
         e = e == old ? old->FirstChildElement() : e->NextSiblingElement()) {
        for (const TiXmlAttribute* a = e->FirstAttribute(); a; a = a->Next(), ++checked) {
            if (a->NameTStr() == "name") continue;
            EXPECT_EQ(Value(merged, "7", e == old ? nullptr : e->Value(), a->Name()), a->ValueStr())
                << a->Name();
        }
    }
    EXPECT_EQ(checked, 29);
    EXPECT_EQ(Value(merged, "7", nullptr, "name"), "New");
    EXPECT_STREQ(Game(merged, "7")->FirstChildElement("description")->GetText(), "Now with more");
    EXPECT_EQ(Game(merged, "8"), nullptr);                   // only the user had it
    EXPECT_EQ(Value(merged, "9", nullptr, "install"), "0");  // as packaged
}

TEST_F(GameCatalogueTest, PackageDecidesWhereTheUserHadNoState) {
    // Old game without "install" and "path"; new game without "installpack" and "newgameinfo".
    const TiXmlDocument merged = Update(
        R"(<r><game id="7" downtime="5"><path/><installpack transferId="t"/><newgameinfo newgame="0"/></game></r>)",
        R"(<r><game id="7" install="1" downtime="0"><path installpath="/p"/></game></r>)");
    EXPECT_EQ(Value(merged, "7", nullptr, "downtime"), "5");
    EXPECT_EQ(Value(merged, "7", nullptr, "install"), "1");
    EXPECT_EQ(Value(merged, "7", "path", "installpath"), "/p");
    EXPECT_EQ(Game(merged, "7")->FirstChildElement("installpack"), nullptr);
    EXPECT_EQ(Game(merged, "7")->FirstChildElement("newgameinfo"), nullptr);
}

TEST_F(GameCatalogueTest, GamesMatchByIntegerIdOnly) {
    const TiXmlDocument merged = Update(
        R"(<r><game id="7" install="a"/><game id="7" install="second"/><game id="-3" install="b"/><game id="x" install="c"/><game install="d"/></r>)",
        R"(<r><game id="007" install="0"/><game id="7" install="0"/><game id="-3" install="0"/><game id="7a" install="0"/><game id="x" install="0"/><game id="99999999999" install="0"/></r>)");
    EXPECT_EQ(Column(merged, "install"), "a a b 0 0 0 ");
}

TEST_F(GameCatalogueTest, HundredsOfGamesEachGetTheirOwnState) {
    std::string before = "<r>", after = "<r>", expected;
    for (int n = 0; n < 500; ++n) {
        before +=
            "<game id=\"" + std::to_string(n) + "\" downtime=\"" + std::to_string(n * 3) + "\"/>";
        after += "<game id=\"" + std::to_string(499 - n) + "\" downtime=\"0\"/>";
        expected += std::to_string((499 - n) * 3) + " ";
    }
    EXPECT_EQ(Column(Update(before + "</r>", after + "</r>"), "downtime"), expected);
}

TEST_F(GameCatalogueTest, SavedAsTinyXmlSavesItWithDeclarationAndByteOrderMark) {
    const std::string bom = "\xEF\xBB\xBF";
    Update(bom + kUserFile, bom + kPackagedFile);
    const std::string merged = ReadFileBytes(Native(0));
    EXPECT_EQ(merged.rfind(bom + "<?xml version=\"1.0\" encoding=\"utf-8\" ?>\n<gameinfo>", 0), 0u);
    TiXmlDocument again;
    ASSERT_TRUE(again.LoadFile(Native(0).c_str()));
    ASSERT_TRUE(again.SaveFile((m_dir / "resaved").c_str()));
    EXPECT_EQ(ReadFileBytes(m_dir / "resaved"), merged);

    // A legacy encoding's bytes pass through as they are.
    const std::string legacy =
        "<?xml version=\"1.0\" encoding=\"gb2312\" ?>\n<r>\n    <game id=\"1\" name=\"\xC4\xE3\" "
        "install=\"1\" />\n</r>\n";
    Update(legacy, legacy);
    EXPECT_EQ(ReadFileBytes(Native(0)), legacy);
}

TEST_F(GameCatalogueTest, NewFileThatCannotBeReadIsLeftAsItIs) {
    WriteFileBytes(Native(0), kUserFile);
    const auto saved = ReadGameCatalogue(File(0));
    ASSERT_TRUE(saved);
    for (const std::string& broken :
         std::vector<std::string>{"<gameinfo><game id=\"7\" install=\"0\">", "",
                                  "<?xml version=\"1.0\" ?>", Nested(100)}) {
        WriteFileBytes(Native(0), broken);
        EXPECT_FALSE(MergeGameCatalogue(*saved)) << broken;
        EXPECT_EQ(ReadFileBytes(Native(0)), broken);
    }
    std::filesystem::remove(Native(0));
    EXPECT_FALSE(MergeGameCatalogue(*saved));
    EXPECT_FALSE(std::filesystem::exists(Native(0)));
    EXPECT_FALSE(ReadGameCatalogue(File(0)));
}

TEST_F(GameCatalogueTest, CountOfTheSettingsFileSaysWhichFilesAreRead) {
    for (int n : {0, 2, 3})
        WriteFileBytes(Native(n), "<r><game id=\"" + std::to_string(n) + "\"/></r>");
    WriteFileBytes(Native(1), "<r><game>");  // malformed: skipped
    const struct {
        const char* line;  // nullptr: no settings file
        std::vector<int> read;
    } rows[] = {
        {nullptr, {}},          {"Other=4", {}},
        {"Count=0", {}},        {"Count=-2", {}},
        {"Count=2", {0}},       {"count = 3", {0, 2}},
        {"Count=5", {0, 2, 3}}, {"Count=2147483647", {0, 2, 3}},
    };
    for (const auto& row : rows) {
        std::filesystem::remove(m_dir / "Config.ini");
        if (row.line) SetCount(row.line);
        std::vector<int> read;
        for (const SavedCatalogue& saved : ReadGameCatalogues(m_dir.wide(), L"1.0")) {
            ASSERT_EQ(saved.games.size(), 1u);
            EXPECT_EQ(saved.path, File(saved.games.begin()->first));
            read.push_back(saved.games.begin()->first);
        }
        EXPECT_EQ(read, row.read) << (row.line ? row.line : "absent");
    }
}

TEST_F(GameCatalogueTest, EveryFileIsMergedAndEachFailureLoggedOnce) {
    ASSERT_TRUE(OpenUpdateLog(m_dir.wide().c_str(), L"log.txt", L"w+"));
    SetCount("Count=2");
    for (int n : {0, 1}) WriteFileBytes(Native(n), kUserFile);
    const auto saved = ReadGameCatalogues(m_dir.wide(), L"1.0");
    ASSERT_EQ(saved.size(), 2u);
    std::filesystem::remove(Native(0));
    WriteFileBytes(Native(1), kPackagedFile);
    EXPECT_FALSE(MergeGameCatalogues(saved));
    CloseUpdateLog();
    EXPECT_NE(ReadFileBytes(Native(1)).find("download=\"2\""), std::string::npos);
    // The file that could not be merged is back as the user had it.
    EXPECT_EQ(ReadFileBytes(Native(0)), kUserFile);
    const std::string log = ReadFileBytes(m_dir / "log.txt");
    EXPECT_NE(log.find("gameinfo.xml_0"), std::string::npos);
    EXPECT_EQ(log.find("gameinfo.xml_1"), std::string::npos);
    EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), 1);
}

// The package's files carry the package's own times, earlier than any install.
void AsUnpacked(const std::filesystem::path& file) {
    std::filesystem::last_write_time(
        file, std::filesystem::file_time_type::clock::now() - std::chrono::hours(24 * 365));
}

class KeptCopyTest : public GameCatalogueTest {
protected:
    std::filesystem::path Kept() const { return m_dir / "tmp/gameinfo.xml_0.user"; }
    // The install from version 1.0 is killed once the package has replaced the file.
    void KilledInstall() {
        std::filesystem::create_directory(m_dir / "tmp");
        SetCount("Count=1");
        WriteFileBytes(Native(0), kUserFile);
        ASSERT_EQ(ReadGameCatalogues(m_dir.wide(), L"1.0").size(), 1u);
        EXPECT_EQ(ReadFileBytes(Kept()), kUserFile);
        WriteFileBytes(Native(0), kPackagedFile);
        AsUnpacked(Native(0));
    }
    // The next install reads and merges; what game 7's "download" holds then.
    std::string NextInstall(const std::wstring& installedVersion) {
        const auto saved = ReadGameCatalogues(m_dir.wide(), installedVersion);
        EXPECT_EQ(saved.size(), 1u);
        EXPECT_TRUE(MergeGameCatalogues(saved));
        EXPECT_FALSE(std::filesystem::exists(Kept()));
        TiXmlDocument merged;
        EXPECT_TRUE(merged.LoadFile(Native(0).c_str()));
        return Value(merged, "7", nullptr, "download");
    }
};

TEST_F(KeptCopyTest, AKilledInstallIsRepairedWithTheUsersState) {
    KilledInstall();
    EXPECT_EQ(NextInstall(L"1.0"), "2");
    // Nothing is left for a later install to pick up.
    EXPECT_TRUE(std::filesystem::is_empty(m_dir / "tmp"));
}

TEST_F(KeptCopyTest, ACopyIsNeverPreferredToWhatCameAfterIt) {
    const struct {
        const char* what;
        std::wstring installedVersion;
        bool userChangedTheFile;
        bool marked;
        const char* download;
    } rows[] = {
        {"the same install, file untouched", L"1.0", false, true, "2"},
        {"the user changed the file since", L"1.0", true, true, "5"},
        {"an install from another version", L"1.1", false, true, "0"},
        {"a copy no install claims", L"1.0", false, false, "0"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        KilledInstall();
        if (row.userChangedTheFile) {
            std::string changed = kPackagedFile;
            changed.replace(changed.find("download=\"0\""), 12, "download=\"5\"");
            WriteFileBytes(Native(0), changed);
            std::filesystem::last_write_time(
                Native(0), std::filesystem::last_write_time(Kept()) + std::chrono::seconds(1));
        }
        if (!row.marked) std::filesystem::remove(m_dir / "tmp/gameinfo.xml.from");
        EXPECT_EQ(NextInstall(row.installedVersion), row.download);
    }
}

TEST_F(KeptCopyTest, AFailedMergePutsTheUsersFileBackAndKeepsNoCopy) {
    std::filesystem::create_directory(m_dir / "tmp");
    SetCount("Count=1");
    WriteFileBytes(Native(0), kUserFile);
    const auto saved = ReadGameCatalogues(m_dir.wide(), L"1.0");
    ASSERT_EQ(saved.size(), 1u);
    WriteFileBytes(Native(0), "<gameinfo><game id=\"7\">");  // the package's, cut short
    EXPECT_FALSE(MergeGameCatalogues(saved));
    EXPECT_EQ(ReadFileBytes(Native(0)), kUserFile);
    EXPECT_FALSE(std::filesystem::exists(Kept()));
}

TEST_F(KeptCopyTest, ACopyThatCannotBePutBackWaitsForTheNextInstall) {
    std::filesystem::create_directory(m_dir / "tmp");
    SetCount("Count=1");
    WriteFileBytes(Native(0), kUserFile);
    const auto saved = ReadGameCatalogues(m_dir.wide(), L"1.0");
    ASSERT_EQ(saved.size(), 1u);
    // A folder where the file was: neither the merge nor the restore can write it.
    std::filesystem::remove(Native(0));
    std::filesystem::create_directory(Native(0));
    EXPECT_FALSE(MergeGameCatalogues(saved));
    EXPECT_EQ(ReadFileBytes(Kept()), kUserFile);
    std::filesystem::remove(Native(0));
    WriteFileBytes(Native(0), kPackagedFile);
    AsUnpacked(Native(0));
    EXPECT_EQ(NextInstall(L"1.0"), "2");
}

}  // namespace
