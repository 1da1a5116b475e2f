#include "PlainRecords.h"

#include <algorithm>

#include "TextCopy.h"

namespace vesk::tsp {

void CopyPlain(const ServiceStatus& from, ServiceStatusC& to) {
    to.statusId = from.statusId;
    CopyCut(to.statusLink, from.statusLink);
    CopyCut(to.statusStr, from.statusStr);
}

void CopyPlain(const TransferStatus& from, TransferStatusC& to) {
    to.statusId = from.statusId;
    CopyCut(to.statusLink, from.statusLink);
    CopyCut(to.statusStr, from.statusStr);
    CopyCut(to.torrentId, from.torrentId);
    CopyCut(to.type, from.type);
    to.bytesDownloaded = from.bytesDownloaded;
    to.torrentSize = from.torrentSize;
    to.bitRate = from.bitRate;
    to.bytesFromCDN = from.bytesFromCDN;
    to.bytesFromSPs = from.bytesFromSPs;
    to.bytesFromPeers = from.bytesFromPeers;
    to.reserved = from.reserved;
}

void CopyPlain(const std::vector<TransferStatus>& from, TransferStatusListC& to) {
    const std::size_t count = std::min<std::size_t>(from.size(), kPlainListLength);
    for (std::size_t i = 0; i < count; ++i) CopyPlain(from[i], to.items[i]);
    to.count = static_cast<std::int32_t>(count);
}

void CopyPlain(const TransferInfo& from, TransferInfoC& to) {
    CopyCut(to.packageId, from.packageId);
    CopyCut(to.key, from.key);
    CopyCut(to.description, from.description);
    CopyCut(to.packageURL, from.packageURL);
    CopyCut(to.packager, from.packager);
    CopyCut(to.creationDate, from.creationDate);
    to.packageSize = from.packageSize;
    to.sequential = from.sequential;
    to.targetRate = from.targetRate;
    to.idleRate = from.idleRate;
    to.httpEncrypted = from.httpEncrypted;
    to.leaveEncrypted = from.leaveEncrypted;
    to.noP2PPermitted = from.noP2PPermitted;
    to.downloadToExpire = from.downloadToExpire;
    to.playToExpire = from.playToExpire;
}

void CopyPlain(const VersionInfo& from, VersionInfoC& to) {
    CopyCut(to.buildId, from.buildId);
    CopyCut(to.version, from.version);
    to.upgradeAvailable = from.upgradeAvailable ? 1 : 0;
    CopyCut(to.exclusivity, from.exclusivity);
}

void CopyPlain(const TokenInfo& from, TokenInfoC& to) {
    CopyCut(to.diskToken, from.diskToken);
    CopyCut(to.netToken, from.netToken);
    CopyCut(to.filePath, from.filePath);
    to.validated = from.validated ? 1 : 0;
}

void CopyPlain(const LoginInfo& from, LoginInfoC& to) {
    CopyCut(to.loginStatus, from.loginStatus);
    to.subscriptionLevel = from.subscriptionLevel;
}

}  // namespace vesk::tsp
