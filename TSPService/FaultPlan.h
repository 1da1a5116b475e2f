#pragma once
// The misbehaviours tests ask of the stand-in service, per method, and the count of each
// one still to give. Safe from any thread.

#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace vesk::tsp_service {

enum class Fault {
    kStatus902,
    kStatus905,
    kNoElement,
    kHttp500,
    kNoReply,
    kSlow,
    kStatusAs,
    kShutDown
};

struct FaultRule {
    std::string method;  // "*" for every method
    Fault fault;
    long times = -1;   // -1: always
    int statusId = 0;  // of kStatusAs
    long after = 0;    // requests of the method answered as usual before the rule applies
};

// "METHOD=KIND[:N][@M]" (@M: from the request after the first M on); nullopt when malformed.
std::optional<FaultRule> ParseFaultRule(const std::string& text);

class FaultPlan {
public:
    explicit FaultPlan(std::vector<FaultRule> rules);
    // The rules this request of the method gets; each counted rule is used up once.
    std::vector<FaultRule> Take(const std::string& method);

private:
    std::mutex m_mutex;
    std::vector<FaultRule> m_rules;
};

}  // namespace vesk::tsp_service
