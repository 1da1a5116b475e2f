#include "FaultPlan.h"

#include <cstdlib>

namespace vesk::tsp_service {
namespace {

std::optional<Fault> FaultNamed(const std::string& name) {
    static const std::map<std::string, Fault> kNames{
        {"902", Fault::kStatus902},        {"905", Fault::kStatus905},
        {"no-element", Fault::kNoElement}, {"http-500", Fault::kHttp500},
        {"no-reply", Fault::kNoReply},     {"slow", Fault::kSlow},
        {"shutdown", Fault::kShutDown}};
    const auto it = kNames.find(name);
    if (it == kNames.end()) return std::nullopt;
    return it->second;
}

}  // namespace

std::optional<FaultRule> ParseFaultRule(const std::string& text) {
    const std::size_t eq = text.find('=');
    if (eq == std::string::npos || eq == 0) return std::nullopt;
    std::string kind = text.substr(eq + 1);
    long after = 0;
    if (const std::size_t at = kind.find('@'); at != std::string::npos) {
        char* end = nullptr;
        after = std::strtol(kind.c_str() + at + 1, &end, 10);
        if (at + 1 == kind.size() || *end != '\0' || after < 0) return std::nullopt;
        kind.resize(at);
    }
    long times = -1;
    if (const std::size_t colon = kind.find(':'); colon != std::string::npos) {
        char* end = nullptr;
        times = std::strtol(kind.c_str() + colon + 1, &end, 10);
        if (*end != '\0' || times < 1) return std::nullopt;
        kind.resize(colon);
    }
    // "status-N": the real answer, reporting status N.
    if (kind.starts_with("status-")) {
        char* end = nullptr;
        const long id = std::strtol(kind.c_str() + 7, &end, 10);
        if (kind.size() == 7 || *end != '\0' || id < 0 || id > 999) return std::nullopt;
        return FaultRule{text.substr(0, eq), Fault::kStatusAs, times, static_cast<int>(id), after};
    }
    const auto fault = FaultNamed(kind);
    if (!fault) return std::nullopt;
    return FaultRule{text.substr(0, eq), *fault, times, 0, after};
}

FaultPlan::FaultPlan(std::vector<FaultRule> rules) : m_rules(std::move(rules)) {}

std::vector<FaultRule> FaultPlan::Take(const std::string& method) {
    std::lock_guard lock(m_mutex);
    std::vector<FaultRule> faults;
    for (FaultRule& rule : m_rules) {
        if ((rule.method != "*" && rule.method != method) || rule.times == 0) continue;
        if (rule.after > 0) {
            --rule.after;
            continue;
        }
        faults.push_back(rule);
        if (rule.times > 0) --rule.times;
    }
    return faults;
}

}  // namespace vesk::tsp_service
