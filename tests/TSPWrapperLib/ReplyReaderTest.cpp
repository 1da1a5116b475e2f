#include <gtest/gtest.h>
#include <tinyxml.h>

#include <limits>

#include "DeepMarkup.h"
#include "ServiceReplies.h"
#include "SmallStack.h"

namespace {

using namespace vesk::tsp;

std::string Status(int id) {
    return "<status><statusId>" + std::to_string(id) +
           "</statusId><statusLink>L</statusLink><statusStr>S</statusStr></status>";
}

TEST(ReplyReaderTest, TransferStatusReplyGivesItsCode) {
    struct Row {
        std::string body;
        int code;
        bool record;
    };
    const Row rows[] = {
        {"", kServiceNoReply, false},
        {"not xml at all", kServiceNoElement, false},
        {"<VersionResp><version>2</version></VersionResp>", kServiceNoElement, false},
        {"<transferstatus/>", kServiceNoElement, false},
        {"<TransferStatus>" + Status(902) + "</TransferStatus>", kServiceRenewToken, true},
        {"<TransferStatus>" + Status(905) + "</TransferStatus>", kServiceNotLoggedIn, true},
        {"<TransferStatus>" + Status(204) + "</TransferStatus>", kServiceOk, true},
        {"<TransferStatus/>", kServiceOk, true},
        {"<?xml version=\"1.0\"?><!-- c --><Other/><TransferStatus/>", kServiceOk, true},
        // a reply cut short is read as far as it goes
        {"<TransferStatus>" + Status(905), kServiceNotLoggedIn, true},
    };
    for (const Row& row : rows) {
        const auto reply = ReadTransferStatusReply(row.body);
        EXPECT_EQ(reply.code, row.code) << row.body;
        EXPECT_EQ(reply.record != nullptr, row.record) << row.body;
    }
}

TEST(ReplyReaderTest, TransferStatusFieldsAreRead) {
    const auto reply = ReadTransferStatusReply(
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?><TransferStatus>" + Status(204) +
        "<torrentId>7f &amp; 8</torrentId><type>package</type>"
        "<bytesDownloaded>5000000000</bytesDownloaded><torrentSize> 6000000000x</torrentSize>"
        "<bitRate>-1</bitRate><bytesFromCDN>1</bytesFromCDN><bytesFromSPs>2</bytesFromSPs>"
        "<bytesFromPeers>3</bytesFromPeers><reserved>9</reserved></TransferStatus>");
    ASSERT_TRUE(reply.record);
    const TransferStatus& t = *reply.record;
    EXPECT_EQ(t.statusId, 204);
    EXPECT_EQ(t.statusLink, L"L");
    EXPECT_EQ(t.statusStr, L"S");
    EXPECT_EQ(t.torrentId, L"7f & 8");
    EXPECT_EQ(t.type, L"package");
    EXPECT_EQ(t.bytesDownloaded, 5000000000);
    EXPECT_EQ(t.torrentSize, 6000000000);
    EXPECT_EQ(t.bitRate, -1);
    EXPECT_EQ(t.bytesFromCDN, 1);
    EXPECT_EQ(t.bytesFromSPs, 2);
    EXPECT_EQ(t.bytesFromPeers, 3);
    EXPECT_EQ(t.reserved, 0);
}

TEST(ReplyReaderTest, NumbersFollowAtoiAndClamp) {
    constexpr auto kMax = std::numeric_limits<std::int64_t>::max();
    constexpr auto kMin = std::numeric_limits<std::int64_t>::min();
    struct Row {
        const char* text;
        std::int64_t expected;
    };
    const Row rows[] = {
        {"42", 42},
        {" \t\n42abc", 42},
        {"-7", -7},
        {"+5", 5},
        {"abc", 0},
        {"", 0},
        {"- 5", 0},
        {"--5", 0},
        {"0x1A", 0},
        {"4 2", 4},
        {"9223372036854775807", kMax},
        {"9223372036854775808", kMax},
        {"-9223372036854775808", kMin},
        {"-99999999999999999999999", kMin},
    };
    for (const Row& row : rows) EXPECT_EQ(ParseDecimal(row.text), row.expected) << row.text;

    const auto reply = ReadTransferStatusReply(
        "<TransferStatus><bitRate>99999999999</bitRate><status><statusId>-99999999999</statusId>"
        "</status></TransferStatus>");
    ASSERT_TRUE(reply.record);
    EXPECT_EQ(reply.record->bitRate, std::numeric_limits<std::int32_t>::max());
    EXPECT_EQ(reply.record->statusId, std::numeric_limits<std::int32_t>::min());
}

TEST(ReplyReaderTest, BooleansAreTrueOnlyForExactTrue) {
    const std::pair<const char*, bool> rows[] = {
        {"true", true}, {"True", false}, {"1", false}, {"true1", false}, {"", false}};
    for (const auto& [text, expected] : rows) {
        const auto reply = ReadVersionReply(std::string("<VersionResp><upgradeAvailable>") + text +
                                            "</upgradeAvailable></VersionResp>");
        ASSERT_TRUE(reply.record);
        EXPECT_EQ(reply.record->upgradeAvailable, expected) << text;
    }
}

TEST(ReplyReaderTest, TextIsStrictUtf8AndAbsentOrEmptyElementsReadAsDefaults) {
    const auto reply = ReadTokenReply(
        "<TokenResp><diskToken>Gr\xc3\xbc\xc3\x9f"
        "e</diskToken><netToken>bad\xff</netToken>"
        "<filePath/></TokenResp>");
    ASSERT_TRUE(reply.record);
    EXPECT_EQ(reply.record->diskToken, L"Gr\u00fc\u00dfe");
    EXPECT_EQ(reply.record->netToken, L"");
    EXPECT_EQ(reply.record->filePath, L"");
    EXPECT_FALSE(reply.record->validated);
}

TEST(ReplyReaderTest, TransferInfoReadsFilesInOrderBetweenItsFields) {
    const auto reply = ReadTransferInfoReply(
        "<TransferInfo><packageId>P</packageId><packageURL>http://h/p.zip</packageURL>"
        "<files><file><name>a</name><size>1</size></file><other/>"
        "<file><name>b</name></file><file><name>c</name><size>3</size></file></files>"
        "<packageSize>4</packageSize><Sequential>true</Sequential><idleRate>5</idleRate>"
        "<LeaveEncrypted>true</LeaveEncrypted><noP2PPermitted>true</noP2PPermitted>"
        "<PlayToExpire>6</PlayToExpire><sequential>true</sequential></TransferInfo>");
    ASSERT_EQ(reply.code, kServiceOk);
    const TransferInfo& info = *reply.record;
    ASSERT_EQ(info.files.size(), 3u);
    EXPECT_EQ(info.files[0].name, L"a");
    EXPECT_EQ(info.files[0].size, 1);
    EXPECT_EQ(info.files[1].name, L"b");
    EXPECT_EQ(info.files[1].size, 0);
    EXPECT_EQ(info.files[2].name, L"c");
    EXPECT_EQ(info.packageId, L"P");
    EXPECT_EQ(info.packageURL, L"http://h/p.zip");
    EXPECT_EQ(info.packageSize, 4);
    EXPECT_TRUE(info.sequential);
    EXPECT_EQ(info.idleRate, 5);
    EXPECT_TRUE(info.leaveEncrypted);
    EXPECT_FALSE(info.httpEncrypted);
    EXPECT_TRUE(info.noP2PPermitted);
    EXPECT_EQ(info.playToExpire, 6);
}

TEST(ReplyReaderTest, ListsKeepDocumentOrderAndMayBeEmpty) {
    const auto empty = ReadTransferStatusListReply("<TransferStatusList/>");
    EXPECT_EQ(empty.code, kServiceOk);
    ASSERT_TRUE(empty.record);
    EXPECT_TRUE(empty.record->empty());

    const auto list = ReadTransferStatusListReply(
        "<TransferStatusList><transfer>" + Status(905) +
        "<torrentId>a</torrentId></transfer><x/><transfer><torrentId>b</torrentId></transfer>"
        "</TransferStatusList>");
    EXPECT_EQ(list.code, kServiceOk);  // a list's statuses give no code
    ASSERT_EQ(list.record->size(), 2u);
    EXPECT_EQ((*list.record)[0].torrentId, L"a");
    EXPECT_EQ((*list.record)[0].statusId, 905);
    EXPECT_EQ((*list.record)[1].torrentId, L"b");

    const auto files = ReadTransferFilesReply(
        "<TransferFiles><File>one</File><file>skip</file><File/><File>two</File></TransferFiles>");
    ASSERT_TRUE(files.record);
    EXPECT_EQ(*files.record, (std::vector<std::wstring>{L"one", L"", L"two"}));
}

TEST(ReplyReaderTest, OnlyTransferStatusRepliesTurnStatusIdsIntoCodes) {
    const std::string cancel = "<CancelStatus>" + Status(905) + "</CancelStatus>";
    EXPECT_EQ(ReadTransferStatusOnlyReply(cancel, "CancelStatus").code, kServiceNotLoggedIn);
    EXPECT_EQ(ReadTransferStatusOnlyReply(cancel, "OpenStatus").code, kServiceNoElement);

    const auto shutdown = ReadStatusReply("<Shutdown>" + Status(902) + "</Shutdown>", "Shutdown");
    EXPECT_EQ(shutdown.code, kServiceOk);
    ASSERT_TRUE(shutdown.record);
    EXPECT_EQ(shutdown.record->statusId, 902);

    const auto value = ReadKeyValueReply("<KeyResp>" + Status(200) + "<value>v</value></KeyResp>");
    ASSERT_TRUE(value.record);
    EXPECT_EQ(value.record->status.statusStr, L"S");
    EXPECT_EQ(value.record->value, L"v");

    const auto login = ReadLoginReply(
        "<LoginStatus><loginStatus>LoggedIn</loginStatus>"
        "<subscriptionLevel>3</subscriptionLevel></LoginStatus>");
    ASSERT_TRUE(login.record);
    EXPECT_EQ(login.record->loginStatus, L"LoggedIn");
    EXPECT_EQ(login.record->subscriptionLevel, 3);
}

using vesk::test::Repeat;

TEST(ReplyReaderTest, DeepRepliesAreRefusedWhateverTheirDisguise) {
    // What comes before the reply's own element, and the nesting after its fields.
    const auto deep = vesk::test::DeepMarkupDisguises();
    for (const auto& [lead, tail] : deep) {
        // Everything the reader needs comes before the nesting.
        const std::string body = lead + "<VersionResp><version>2</version>" + tail;
        const auto reply = vesk::test::OnSmallStack([&] { return ReadVersionReply(body); });
        EXPECT_EQ(reply.code, kServiceNoElement) << tail.substr(0, 30);
        EXPECT_FALSE(reply.record) << tail.substr(0, 30);
    }
}

TEST(ReplyReaderTest, NestingUpToSixtyFourLevelsIsRead) {
    // The reply's own element is the first level.
    const auto nested = [](int levels) {
        return "<VersionResp><version>2</version>" + Repeat("<x>", levels - 1) +
               Repeat("</x>", levels - 1) + "</VersionResp>";
    };
    const auto within = ReadVersionReply(nested(64));
    EXPECT_EQ(within.code, kServiceOk);
    ASSERT_TRUE(within.record);
    EXPECT_EQ(within.record->version, L"2");
    EXPECT_EQ(ReadVersionReply(nested(65)).code, kServiceNoElement);
}

// The parser linked into this library keeps its own bound, even for text no quick look saw.
TEST(ReplyReaderTest, TheLinkedParserStopsAtItsLimitOnItsOwn) {
    const std::string deep = Repeat("<a>", 100000);
    EXPECT_TRUE(vesk::test::OnSmallStack([&] {
        TiXmlDocument document;
        document.Parse(deep.c_str(), nullptr, TIXML_ENCODING_UNKNOWN);
        return document.Error();
    }));
}

}  // namespace
