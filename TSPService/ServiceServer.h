#pragma once
// The service's HTTP front on 127.0.0.1 (port 60524 unless a test asks for another): answers only
// callers of its own user, routes "/rest/METHOD" to the service, applies the test behaviours asked
// for, and ends on "shutdown".

#include <httplib.h>

#include <memory>

#include "FaultPlan.h"
#include "RestService.h"
#include "ServiceOptions.h"

namespace vesk::tsp_service {

inline constexpr const char* kServiceHost = "127.0.0.1";

class ServiceServer {
public:
    explicit ServiceServer(const ServiceOptions& options);
    // Takes the REST port, then starts the service behind it.
    bool Bind();
    // Serves until "shutdown" arrives, then stops every transfer.
    void Run();

private:
    void Handle(const httplib::Request& request, httplib::Response& response);
    void LogRequest(const std::string& method, const httplib::Request& request);

    const ServiceOptions m_options;
    httplib::Server m_server;
    FaultPlan m_faults;
    // Made once the port is ours: a second service must not start an engine on the same cache.
    std::unique_ptr<RestService> m_service;
    std::mutex m_logMutex;
};

}  // namespace vesk::tsp_service
