#include "ServiceReplies.h"

#include "ServiceMethods.h"

namespace vesk::tsp {
namespace {

TransferStatus ReadTransferStatus(const TiXmlElement& e) {
    TransferStatus t;
    const ServiceStatus status = ChildStatus(e);
    t.statusId = status.statusId;
    t.statusLink = status.statusLink;
    t.statusStr = status.statusStr;
    t.torrentId = ChildText(e, "torrentId");
    t.type = ChildText(e, "type");
    t.bytesDownloaded = ChildInt64(e, "bytesDownloaded");
    t.torrentSize = ChildInt64(e, "torrentSize");
    t.bitRate = ChildInt32(e, "bitRate");
    t.bytesFromCDN = ChildInt64(e, "bytesFromCDN");
    t.bytesFromSPs = ChildInt64(e, "bytesFromSPs");
    t.bytesFromPeers = ChildInt64(e, "bytesFromPeers");
    return t;
}

std::vector<TransferFile> ReadFiles(const TiXmlElement& info) {
    std::vector<TransferFile> files;
    const TiXmlElement* list = info.FirstChildElement("files");
    if (!list) return files;
    for (const TiXmlElement* f = list->FirstChildElement("file"); f;
         f = f->NextSiblingElement("file")) {
        files.push_back({ChildText(*f, "name"), ChildInt64(*f, "size")});
    }
    return files;
}

TransferInfo ReadTransferInfo(const TiXmlElement& e) {
    TransferInfo t;
    t.packageId = ChildText(e, "packageId");
    t.key = ChildText(e, "key");
    t.description = ChildText(e, "description");
    t.packageURL = ChildText(e, "packageURL");
    t.packager = ChildText(e, "packager");
    t.creationDate = ChildText(e, "creationDate");
    t.files = ReadFiles(e);
    t.packageSize = ChildInt64(e, "packageSize");
    t.sequential = ChildBool(e, "Sequential");
    t.targetRate = ChildInt32(e, "targetRate");
    t.idleRate = ChildInt32(e, "idleRate");
    t.httpEncrypted = ChildBool(e, "httpEncrypted");
    t.leaveEncrypted = ChildBool(e, "LeaveEncrypted");
    t.noP2PPermitted = ChildBool(e, "noP2PPermitted");
    t.downloadToExpire = ChildInt32(e, "DownloadToExpire");
    t.playToExpire = ChildInt32(e, "PlayToExpire");
    return t;
}

template <class Record>
Reply<Record> WithStatusCode(Reply<Record> reply) {
    if (reply.record) reply.code = CodeForStatusId(reply.record->statusId);
    return reply;
}

}  // namespace

Reply<VersionInfo> ReadVersionReply(const std::string& body) {
    return ReadReply<VersionInfo>(body, element::kVersionResp, [](const TiXmlElement& e) {
        return VersionInfo{ChildText(e, "buildId"), ChildText(e, "version"),
                           ChildBool(e, "upgradeAvailable"), ChildText(e, "exclusivity")};
    });
}

Reply<LoginInfo> ReadLoginReply(const std::string& body) {
    return ReadReply<LoginInfo>(body, element::kLoginStatus, [](const TiXmlElement& e) {
        return LoginInfo{ChildText(e, "loginStatus"), ChildInt32(e, "subscriptionLevel")};
    });
}

Reply<TokenInfo> ReadTokenReply(const std::string& body) {
    return ReadReply<TokenInfo>(body, element::kTokenResp, [](const TiXmlElement& e) {
        return TokenInfo{ChildText(e, "diskToken"), ChildText(e, "netToken"),
                         ChildText(e, "filePath"), ChildBool(e, "validated")};
    });
}

Reply<KeyValueReply> ReadKeyValueReply(const std::string& body) {
    return ReadReply<KeyValueReply>(body, element::kKeyResp, [](const TiXmlElement& e) {
        return KeyValueReply{ChildStatus(e), ChildText(e, "value")};
    });
}

Reply<ServiceStatus> ReadStatusReply(const std::string& body, const char* element) {
    return ReadReply<ServiceStatus>(body, element, &ChildStatus);
}

Reply<TransferStatus> ReadTransferStatusReply(const std::string& body) {
    return WithStatusCode(
        ReadReply<TransferStatus>(body, element::kTransferStatus, &ReadTransferStatus));
}

Reply<ServiceStatus> ReadTransferStatusOnlyReply(const std::string& body, const char* element) {
    return WithStatusCode(ReadStatusReply(body, element));
}

Reply<std::vector<TransferStatus>> ReadTransferStatusListReply(const std::string& body) {
    return ReadReply<std::vector<TransferStatus>>(
        body, element::kTransferStatusList, [](const TiXmlElement& e) {
            std::vector<TransferStatus> list;
            for (const TiXmlElement* t = e.FirstChildElement("transfer"); t;
                 t = t->NextSiblingElement("transfer")) {
                list.push_back(ReadTransferStatus(*t));
            }
            return list;
        });
}

Reply<std::vector<std::wstring>> ReadTransferFilesReply(const std::string& body) {
    return ReadReply<std::vector<std::wstring>>(
        body, element::kTransferFiles, [](const TiXmlElement& e) {
            std::vector<std::wstring> files;
            for (const TiXmlElement* f = e.FirstChildElement("File"); f;
                 f = f->NextSiblingElement("File")) {
                files.push_back(ElementText(*f));
            }
            return files;
        });
}

Reply<TransferInfo> ReadTransferInfoReply(const std::string& body) {
    return ReadReply<TransferInfo>(body, element::kTransferInfo, &ReadTransferInfo);
}

}  // namespace vesk::tsp
