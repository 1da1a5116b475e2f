#include "RestService.h"

#include <sstream>

namespace vesk::tsp_service {
namespace {

std::string Param(const Query& query, const char* name) {
    const auto it = query.find(name);
    return it == query.end() ? std::string() : it->second;
}

constexpr const char* kSwarmCategory = "p2p";
constexpr const char* kPeerBytesKey = "peerBytes";
constexpr const char* kServerBytesKey = "serverBytes";
constexpr const char* kLimitsFile = "p2p.ini";
constexpr const char* kCacheFolder = "cache";

bool IsTransferMethod(const std::string& method) {
    return method.starts_with("transfer.");
}

bool NeedsLogin(const std::string& method) {
    return IsTransferMethod(method) || method == "getKeyValue" || method == "setKeyValue";
}

ServiceReply StatusOnly(const std::string& element, int id, std::string text) {
    return {element, StatusValue{id, "", std::move(text)}, ""};
}

void AddTransferFields(XmlFields& xml, const TransferView& view) {
    xml.Text("torrentId", view.torrentId)
        .Text("type", "package")
        .Number("bytesDownloaded", view.bytesDownloaded)
        .Number("torrentSize", view.torrentSize)
        .Number("bitRate", view.bitRate)
        .Number("bytesFromCDN", view.bytesFromServer)
        .Number("bytesFromSPs", 0)
        .Number("bytesFromPeers", view.bytesFromPeers);
}

StatusValue StatusOf(const TransferView& view) {
    return {view.statusId, "", view.statusStr};
}

}  // namespace

RestService::RestService(const ServiceOptions& options, std::function<void()> onShutdown)
    : m_options(options),
      m_onShutdown(std::move(onShutdown)),
      m_login(options.loginDelayMs, options.loginAfter),
      m_tokens(options.dataDir / "disk.token"),
      m_limits(options.dataDir / kLimitsFile, options.peerPort),
      m_swarm(options.peerInterface, m_limits, options.dataDir / kCacheFolder, m_counters),
      m_transfers(options.connections, m_swarm, m_counters) {}

std::string RestService::ElementFor(const std::string& method) {
    static const std::map<std::string, std::string> kElements{
        {"version", "VersionResp"},
        {"loginStatus", "LoginStatus"},
        {"getKeyValue", "KeyResp"},
        {"getToken", "TokenResp"},
        {"setKeyValue", "KeyResp"},
        {"validateDiskToken", "TokenResp"},
        {"shutdown", "Shutdown"},
        {"upgrade", "UpgradeResp"},
        {"transfer.start", "TransferStatus"},
        {"transfer.status", "TransferStatus"},
        {"transfer.files", "TransferFiles"},
        {"transfer.info", "TransferInfo"},
        {"transfer.pause", "TransferStatus"},
        {"transfer.resume", "TransferStatus"},
        {"transfer.statusList", "TransferStatusList"},
        {"transfer.cancel", "CancelStatus"},
        {"transfer.open", "OpenStatus"},
        {"transfer.update", "Update"},
        {"transfer.updateList", "Update"}};
    const auto it = kElements.find(method);
    return it == kElements.end() ? std::string() : it->second;
}

std::optional<ServiceReply> RestService::Answer(const std::string& method, const Query& query) {
    const std::string element = ElementFor(method);
    if (element.empty()) return std::nullopt;
    if (NeedsLogin(method)) {
        if (!m_login.LoggedIn()) return StatusOnly(element, kStatusNotLoggedIn, "Not logged in");
        if (!m_tokens.Accepts(Param(query, "netToken")))
            return StatusOnly(element, kStatusRenewToken, "Invalid network token");
    }
    if (IsTransferMethod(method)) return AnswerTransfer(method, query);
    if (method == "getKeyValue" || method == "setKeyValue") return AnswerKeyValue(method, query);
    return AnswerService(method, query);
}

ServiceReply RestService::AnswerService(const std::string& method, const Query& query) {
    XmlFields xml;
    if (method == "version") {
        xml.Text("buildId", "2300").Text("version", m_options.version);
        xml.Flag("upgradeAvailable", m_options.upgradeAvailable).Text("exclusivity", "none");
        return {"VersionResp", std::nullopt, xml.Xml()};
    }
    if (method == "loginStatus") {
        xml.Text("loginStatus", m_login.Ask()).Number("subscriptionLevel", 1);
        return {"LoginStatus", std::nullopt, xml.Xml()};
    }
    if (method == "getToken" || method == "validateDiskToken") {
        const auto token =
            method == "getToken"
                ? m_tokens.Issue()
                : m_tokens.Validate(Param(query, "netToken")).value_or(IssuedToken{});
        xml.Text("diskToken", token.diskToken).Text("netToken", token.netToken);
        xml.Text("filePath", token.filePath).Flag("validated", token.validated);
        return {"TokenResp", std::nullopt, xml.Xml()};
    }
    if (method == "shutdown") {
        m_onShutdown();
        return StatusOnly("Shutdown", kStatusOk, "Shutting down");
    }
    return StatusOnly("UpgradeResp", kStatusOk, "No upgrade available");
}

ServiceReply RestService::AnswerKeyValue(const std::string& method, const Query& query) {
    if (Param(query, "category") == kSwarmCategory) return AnswerSwarmValue(method, query);
    const std::string name = Param(query, "category") + '\x1f' + Param(query, "key");
    std::lock_guard lock(m_valuesMutex);
    if (method == "setKeyValue") {
        m_values[name] = Param(query, "value");
        return StatusOnly("KeyResp", kStatusOk, "OK");
    }
    const auto it = m_values.find(name);
    if (it == m_values.end()) return StatusOnly("KeyResp", kStatusNotFound, "No such key");
    return {"KeyResp", StatusValue{}, XmlFields().Text("value", it->second).Xml()};
}

ServiceReply RestService::AnswerSwarmValue(const std::string& method, const Query& query) {
    const std::string key = Param(query, "key");
    if (method == "setKeyValue") {
        if (!m_limits.Set(key, Param(query, "value")))
            return StatusOnly("KeyResp", kStatusBadRequest, "Bad key or value");
        m_swarm.ApplyLimits();
        return StatusOnly("KeyResp", kStatusOk, "OK");
    }
    std::optional<std::string> value = m_limits.Get(key);
    if (key == kPeerBytesKey) value = std::to_string(m_counters.fromPeers.load());
    if (key == kServerBytesKey) value = std::to_string(m_counters.fromServer.load());
    // The port actually bound, when any free one was asked for.
    if (key == kPeerPortKey && m_limits.Values().peerPort == 0)
        value = std::to_string(m_swarm.ListenPort());
    if (!value) return StatusOnly("KeyResp", kStatusNotFound, "No such key");
    return {"KeyResp", StatusValue{}, XmlFields().Text("value", *value).Xml()};
}

ServiceReply RestService::AnswerTransfer(const std::string& method, const Query& query) {
    const std::string id = Param(query, "torrentId");
    const std::string element = ElementFor(method);
    if (method == "transfer.start") return StartTransfer(query);
    if (method == "transfer.status") return TransferReply(id, m_transfers.View(id));
    if (method == "transfer.pause") return TransferReply(id, m_transfers.Pause(id));
    if (method == "transfer.resume") return TransferReply(id, m_transfers.Resume(id));
    if (method == "transfer.statusList") return ListReply(query);
    if (method == "transfer.info") return InfoReply(m_transfers.View(id));
    if (method == "transfer.files") {
        const auto view = m_transfers.View(id);
        return {element, std::nullopt, view ? XmlFields().Text("File", view->fileName).Xml() : ""};
    }
    bool known = true;
    if (method == "transfer.cancel") {
        known = m_transfers.Cancel(id, Param(query, "delete") == "1");
    } else if (method == "transfer.update") {
        known = m_transfers.SetP2P(id, Param(query, "setP2P") != "off");
    } else if (method == "transfer.updateList") {
        std::istringstream ids(Param(query, "torrentIds"));
        for (std::string one; std::getline(ids, one, ',');)
            m_transfers.SetP2P(one, Param(query, "setP2P") != "off");
    } else {
        known = m_transfers.View(id).has_value();  // transfer.open: nothing to show here
    }
    return known ? StatusOnly(element, kStatusOk, "OK")
                 : StatusOnly(element, kStatusNotFound, "Unknown transfer");
}

ServiceReply RestService::StartTransfer(const Query& query) {
    const std::string url = Param(query, "packageUrl");
    if (!SplitPackageUrl(url))
        return StatusOnly("TransferStatus", kStatusBadRequest, "Bad package URL");
    std::filesystem::path folder = Param(query, "destDir");
    // A folder of the caller's choosing takes a token proven on disk; without one only the
    // service's own download folder is written.
    if (!folder.empty() && !m_tokens.IsValidated(Param(query, "netToken")))
        return StatusOnly("TransferStatus", kStatusRenewToken, "Invalid network token");
    if (folder.empty()) folder = m_options.dataDir / "downloads";
    const TransferView view = m_transfers.Start(url, folder, Param(query, "setP2P") != "off");
    return TransferReply(view.torrentId, view);
}

ServiceReply RestService::TransferReply(const std::string& torrentId,
                                        const std::optional<TransferView>& view) {
    if (!view) {
        ServiceReply reply = StatusOnly("TransferStatus", kStatusNotFound, "Unknown transfer");
        reply.fields = XmlFields().Text("torrentId", torrentId).Xml();
        return reply;
    }
    XmlFields xml;
    AddTransferFields(xml, *view);
    return {"TransferStatus", StatusOf(*view), xml.Xml()};
}

ServiceReply RestService::ListReply(const Query& query) {
    XmlFields xml;
    for (const TransferView& view : m_transfers.ViewList(Param(query, "torrentIds"))) {
        xml.Open("transfer").Open("status").Number("statusId", view.statusId);
        xml.Text("statusLink", "").Text("statusStr", view.statusStr).Close("status");
        AddTransferFields(xml, view);
        xml.Close("transfer");
    }
    return {"TransferStatusList", std::nullopt, xml.Xml()};
}

ServiceReply RestService::InfoReply(const std::optional<TransferView>& view) {
    if (!view) return {"TransferInfo", std::nullopt, ""};
    XmlFields xml;
    xml.Text("packageId", view->torrentId).Text("key", "").Text("description", view->fileName);
    xml.Text("packageURL", view->url).Text("packager", "Vesk").Text("creationDate", "");
    xml.Open("files").Open("file").Text("name", view->fileName);
    xml.Number("size", view->torrentSize).Close("file").Close("files");
    xml.Number("packageSize", view->torrentSize).Flag("Sequential", false);
    xml.Number("targetRate", 0).Number("idleRate", 0).Flag("httpEncrypted", false);
    xml.Flag("LeaveEncrypted", false).Flag("noP2PPermitted", !view->p2p);
    xml.Number("DownloadToExpire", 0).Number("PlayToExpire", 0);
    return {"TransferInfo", std::nullopt, xml.Xml()};
}

}  // namespace vesk::tsp_service
