#include "PeerService.h"

#include <curl/curl.h>
#include <unistd.h>

#include <csignal>

#include "TempDir.h"

namespace vesk::test {
namespace {

constexpr char kListening[] = "listening";
constexpr char kCategory[] = "p2p";
// A REST answer takes milliseconds; this only keeps a hung service from holding a test.
constexpr long kCallSeconds = 20;

std::size_t Append(char* data, std::size_t size, std::size_t count, void* body) {
    static_cast<std::string*>(body)->append(data, size * count);
    return size * count;
}

std::string Escaped(CURL* curl, const std::string& text) {
    char* escaped = curl_easy_escape(curl, text.c_str(), static_cast<int>(text.size()));
    std::string result = escaped ? escaped : "";
    curl_free(escaped);
    return result;
}

std::int64_t NumberIn(const std::string& xml, const std::string& name) {
    const auto text = XmlElementText(xml, name);
    return text && !text->empty() ? std::stoll(*text) : 0;
}

}  // namespace

std::optional<std::string> XmlElementText(const std::string& xml, const std::string& name) {
    const std::string open = "<" + name + ">";
    const std::size_t start = xml.find(open);
    if (start == std::string::npos) return std::nullopt;
    const std::size_t from = start + open.size();
    const std::size_t end = xml.find("</" + name + ">", from);
    if (end == std::string::npos) return std::nullopt;
    return xml.substr(from, end - from);
}

PeerService::~PeerService() {
    if (m_process) Kill();
}

bool PeerService::Start(const std::string& program, const std::filesystem::path& dataDir,
                        std::vector<std::string> extra) {
    m_dataDir = dataDir;
    m_restPort = FreeLoopbackPort();
    const int peerPort = FreeLoopbackPort();
    std::filesystem::create_directories(dataDir);
    ChildProcess::Options options;
    // Through a shell only to send standard error to a file: a pipe nobody reads would fill.
    options.args = {"-c",
                    "exec \"$0\" \"$@\" 2>>\"$VESK_PEER_ERRORS\"",
                    program,
                    "--rest-port",
                    std::to_string(m_restPort),
                    "--data-dir",
                    dataDir.string(),
                    "--peer-port",
                    std::to_string(peerPort),
                    "--peer-interface",
                    "127.0.0.1"};
    options.args.insert(options.args.end(), extra.begin(), extra.end());
    options.setEnv = {{"VESK_PEER_ERRORS", dataDir.string() + ".errors"},
                      {"XDG_CACHE_HOME", (dataDir / "xdg").string()}};
    options.unsetEnv = {"VESK_TSP_OPTIONS", "VESK_CLOCK"};
    m_process = std::make_unique<ChildProcess>();
    if (!m_process->Start("/bin/sh", options)) return false;
    const auto line = m_process->ReadLine();
    return line && line->starts_with(kListening);
}

std::optional<std::string> PeerService::Call(const std::string& method, const Query& query) {
    CURL* curl = curl_easy_init();
    if (!curl) return std::nullopt;
    std::string url =
        "http://127.0.0.1:" + std::to_string(m_restPort) + "/rest/" + method + "?format=xml";
    for (const auto& [name, value] : query) url += "&" + name + "=" + Escaped(curl, value);
    std::string body;
    curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, &Append);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &body);
    curl_easy_setopt(curl, CURLOPT_TIMEOUT, kCallSeconds);
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    const bool ok = curl_easy_perform(curl) == CURLE_OK;
    curl_easy_cleanup(curl);
    if (!ok) return std::nullopt;
    return body;
}

bool PeerService::LogIn() {
    const auto login = Call("loginStatus");
    if (!login || XmlElementText(*login, "loginStatus") != "LoggedIn") return false;
    const auto token = Call("getToken");
    if (!token) return false;
    // The token counts once its disk token is proven in the file the service names.
    const std::string file = XmlElementText(*token, "filePath").value_or("");
    const std::string netToken = XmlElementText(*token, "netToken").value_or("");
    if (file.empty() || netToken.empty()) return false;
    WriteFileBytes(file, XmlElementText(*token, "diskToken").value_or(""));
    const auto validated = Call("validateDiskToken", {{"netToken", netToken}});
    if (!validated || XmlElementText(*validated, "validated") != "true") return false;
    m_netToken = netToken;
    return true;
}

std::optional<std::string> PeerService::StartTransfer(const std::string& packageUrl, bool p2p) {
    const auto reply =
        Call("transfer.start",
             {{"packageUrl", packageUrl}, {"setP2P", p2p ? "1" : "off"}, {"netToken", m_netToken}});
    if (!reply) return std::nullopt;
    const auto id = XmlElementText(*reply, "torrentId");
    if (!id || id->empty() || NumberIn(*reply, "statusId") == kTransferFailed) return std::nullopt;
    return id;
}

std::optional<TransferProgress> PeerService::Status(const std::string& torrentId) {
    const auto reply =
        Call("transfer.status", {{"torrentId", torrentId}, {"netToken", m_netToken}});
    if (!reply || !XmlElementText(*reply, "statusId")) return std::nullopt;
    return TransferProgress{static_cast<int>(NumberIn(*reply, "statusId")),
                            NumberIn(*reply, "bytesDownloaded"), NumberIn(*reply, "torrentSize"),
                            NumberIn(*reply, "bytesFromPeers")};
}

std::optional<std::string> PeerService::Value(const std::string& category, const std::string& key) {
    const auto reply = Call("getKeyValue", {{"category", category.empty() ? kCategory : category},
                                            {"key", key},
                                            {"netToken", m_netToken}});
    if (!reply) return std::nullopt;
    return XmlElementText(*reply, "value");
}

bool PeerService::SetValue(const std::string& category, const std::string& key,
                           const std::string& value) {
    const auto reply = Call("setKeyValue", {{"category", category.empty() ? kCategory : category},
                                            {"key", key},
                                            {"value", value},
                                            {"netToken", m_netToken}});
    return reply && XmlElementText(*reply, "statusId") == "200";
}

int PeerService::Stop() {
    if (!m_process) return -1;
    Call("shutdown");
    const int code = m_process->Wait();
    m_process.reset();
    return code;
}

void PeerService::Kill() {
    if (!m_process) return;
    // The shell was replaced by the service, so the child is the service itself.
    m_process->Kill();
    m_process->Wait();
    m_process.reset();
}

}  // namespace vesk::test
