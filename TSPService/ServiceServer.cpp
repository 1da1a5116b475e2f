#include "ServiceServer.h"

#include <sys/socket.h>

#include <algorithm>
#include <fstream>

#include "CallerCheck.h"
#include "clock/Clock.h"

namespace vesk::tsp_service {
namespace {

constexpr const char* kXmlType = "text/xml";
constexpr const char* kNetTokenParam = "netToken";

const FaultRule* Find(const std::vector<FaultRule>& faults, Fault fault) {
    const auto it = std::find_if(faults.begin(), faults.end(),
                                 [fault](const FaultRule& rule) { return rule.fault == fault; });
    return it == faults.end() ? nullptr : &*it;
}

bool Has(const std::vector<FaultRule>& faults, Fault fault) {
    return Find(faults, fault) != nullptr;
}

Query QueryOf(const httplib::Request& request) {
    Query query;
    for (const auto& [name, value] : request.params) query.emplace(name, value);
    return query;
}

}  // namespace

ServiceServer::ServiceServer(const ServiceOptions& options)
    : m_options(options), m_faults(options.faults) {
    // A caller of another user learns nothing, not even which methods there are.
    m_server.set_pre_routing_handler([](const httplib::Request& request, httplib::Response&) {
        if (IsOwnUsersCall(request)) return httplib::Server::HandlerResponse::Unhandled;
        ShutConnection(request);
        return httplib::Server::HandlerResponse::Handled;
    });
    m_server.Get(R"(/rest/([A-Za-z.]+))",
                 [this](const httplib::Request& request, httplib::Response& response) {
                     Handle(request, response);
                 });
}

bool ServiceServer::Bind() {
    // Address reuse for a quick restart, but never a shared port: a second service must not
    // start beside a running one.
    m_server.set_socket_options([](int socket) {
        const int yes = 1;
        setsockopt(socket, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof(yes));
    });
    if (!m_server.bind_to_port(kServiceHost, m_options.restPort)) return false;
    m_service = std::make_unique<RestService>(m_options, [this] { m_server.stop(); });
    return true;
}

void ServiceServer::Run() {
    m_server.listen_after_bind();
    m_service->StopTransfers();
}

void ServiceServer::Handle(const httplib::Request& request, httplib::Response& response) {
    const std::string method = request.matches[1];
    LogRequest(method, request);
    const std::vector<FaultRule> faults = m_faults.Take(method);
    std::optional<ServiceReply> reply;
    // A forced status stands in for the whole answer, so the request changes nothing.
    if (Has(faults, Fault::kStatus902) || Has(faults, Fault::kStatus905)) {
        const bool renew = Has(faults, Fault::kStatus902);
        reply = ServiceReply{RestService::ElementFor(method),
                             StatusValue{renew ? kStatusRenewToken : kStatusNotLoggedIn, "",
                                         renew ? "Invalid network token" : "Not logged in"},
                             ""};
        if (reply->element.empty()) reply.reset();
    } else {
        reply = m_service->Answer(method, QueryOf(request));
    }
    if (!reply) {
        response.status = 404;
        return;
    }
    if (const FaultRule* as = Find(faults, Fault::kStatusAs)) {
        if (!reply->status) reply->status = StatusValue{};
        reply->status->id = as->statusId;
    }
    if (Has(faults, Fault::kNoElement)) reply->element = "ServiceError";
    if (Has(faults, Fault::kSlow)) clock::Sleep(clock::Milliseconds(m_options.slowMs));
    const std::string body = RenderReply(*reply);
    if (Has(faults, Fault::kHttp500)) response.status = 500;
    if (Has(faults, Fault::kNoReply)) {
        // Headers go out, then the connection drops before the body.
        response.set_content_provider(
            body.size(), kXmlType,
            [](std::size_t, std::size_t, httplib::DataSink&) { return false; });
        return;
    }
    response.set_content(body, kXmlType);
    // Ends as on "shutdown": the port is closed before this answer leaves.
    if (Has(faults, Fault::kShutDown)) m_server.stop();
}

void ServiceServer::LogRequest(const std::string& method, const httplib::Request& request) {
    if (m_options.requestLog.empty()) return;
    std::string line = method;
    if (request.has_param(kNetTokenParam))
        line += std::string(" ") + kNetTokenParam + "=" + request.get_param_value(kNetTokenParam);
    std::lock_guard lock(m_logMutex);
    std::ofstream(m_options.requestLog, std::ios::app) << line << '\n';
}

}  // namespace vesk::tsp_service
