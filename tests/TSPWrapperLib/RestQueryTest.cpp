#include <gtest/gtest.h>

#include "RestRequest.h"

namespace {

using vesk::tsp::RestParams;

std::wstring QueryFor(const wchar_t* method, const RestParams& params) {
    return vesk::tsp::BuildQuery(method, vesk::tsp::MakeRestRequest(params));
}

TEST(RestQueryTest, EveryMethodSendsItsParametersInOrder) {
    struct Row {
        const wchar_t* method;
        RestParams params;
        const wchar_t* expected;
    };
    const Row rows[] = {
        {L"version", {{L"torrentId", L"ignored"}}, L""},
        {L"loginStatus", {}, L""},
        {L"getToken", {{L"ClientID", L""}}, L"&ClientID="},
        {L"getKeyValue",
         {{L"netToken", L"N"}, {L"key", L"K"}, {L"category", L"C"}},
         L"&category=C&key=K&netToken=N"},
        {L"setKeyValue",
         {{L"value", L"a b&c"}, {L"netToken", L"N"}, {L"key", L"K"}, {L"category", L"C"}},
         L"&category=C&key=K&value=a b&c&netToken=N"},
        {L"validateDiskToken", {{L"netToken", L"T"}}, L"&netToken=T"},
        {L"shutdown", {{L"netToken", L""}}, L"&netToken="},
        {L"upgrade", {{L"netToken", L"T"}}, L"&netToken=T"},
        {L"transfer.start",
         {{L"packageUrl", L"http://h/p 1.zip"},
          {L"destDir", L""},
          {L"netToken", L"T"},
          {L"setP2P", L"true"}},
         L"&packageUrl=http%3a%2f%2fh%2fp%201.zip&setP2P=on"},
        {L"transfer.start",
         {{L"packageUrl", L"u"},
          {L"destDir", L"/v/tmp x"},
          {L"netToken", L"T"},
          {L"setP2P", L"false"}},
         L"&packageUrl=u&destDir=%2fv%2ftmp%20x&netToken=T&setP2P=off"},
        {L"transfer.start", {{L"packageUrl", L"u"}}, L"&packageUrl=u&setP2P=on"},
        {L"transfer.start",
         {{L"packageUrl", L"u"}, {L"setP2P", L"TRUE"}},
         L"&packageUrl=u&setP2P=off"},
        {L"transfer.status", {{L"torrentId", L"a&b c"}}, L"&torrentId=a&b c"},
        {L"transfer.files", {{L"torrentId", L"id"}}, L"&torrentId=id"},
        {L"transfer.info", {{L"torrentId", L"id"}}, L"&torrentId=id"},
        {L"transfer.pause", {{L"torrentId", L"id"}}, L"&torrentId=id"},
        {L"transfer.resume", {{L"torrentId", L"id"}}, L"&torrentId=id"},
        {L"transfer.statusList", {{L"torrentIds", L"a&b,c d"}}, L"&torrentIds=a&b,c d"},
        {L"transfer.cancel", {{L"torrentId", L"id"}, {L"netToken", L"T"}}, L"&torrentId=id"},
        {L"transfer.cancel", {{L"torrentId", L"id"}, {L"delete", L"false"}}, L"&torrentId=id"},
        {L"transfer.cancel",
         {{L"torrentId", L"id"}, {L"delete", L"true"}, {L"netToken", L"T"}},
         L"&torrentId=id&delete=1&netToken=T"},
        {L"transfer.open", {{L"torrentId", L"id"}}, L"&torrentId=id"},
        {L"transfer.open", {{L"torrentId", L"id"}, {L"netToken", L""}}, L"&torrentId=id"},
        {L"transfer.open",
         {{L"torrentId", L"id"}, {L"netToken", L"T"}},
         L"&torrentId=id&netToken=T"},
        {L"transfer.update",
         {{L"torrentId", L"id"}, {L"setP2P", L"false"}},
         L"&torrentId=id&setP2P=off"},
        {L"transfer.updateList",
         {{L"torrentIds", L"a,b"}, {L"setP2P", L"true"}},
         L"&torrentIds=a,b&setP2P=on"},
        {L"transfer.unknown", {{L"torrentId", L"id"}}, L""},
        {L"Version", {{L"netToken", L"T"}}, L""},  // method names are exact
    };
    for (const Row& row : rows)
        EXPECT_EQ(QueryFor(row.method, row.params), row.expected) << "method: " << row.method;
}

TEST(RestQueryTest, ParameterNamesAreCaseSensitive) {
    EXPECT_EQ(QueryFor(L"transfer.status", {{L"TorrentId", L"x"}}), L"&torrentId=");
    EXPECT_EQ(QueryFor(L"transfer.cancel", {{L"torrentId", L"x"}, {L"Delete", L"true"}}),
              L"&torrentId=x");
}

TEST(RestQueryTest, UrlAlwaysAddressesTheFixedLocalPort) {
    EXPECT_EQ(vesk::tsp::BuildServiceUrl(L"transfer.status", L"&torrentId=7f"),
              L"http://127.0.0.1:60524/rest/transfer.status?format=xml&torrentId=7f");
}

}  // namespace
