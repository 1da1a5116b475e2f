#include "ServiceProcess.h"

namespace vesk::test {

ServiceProcess::ServiceProcess(std::vector<std::string> options) {
    ChildProcess::Options run;
    run.args = {"--data-dir", m_dataDir.path().string()};
    run.args.insert(run.args.end(), options.begin(), options.end());
    run.unsetEnv = {"VESK_TSP_OPTIONS", "VESK_CLOCK"};
    if (!m_child.Start(TSP_SERVICE_PROGRAM, run)) return;
    const auto line = m_child.ReadLine();
    m_ready = line && line->starts_with("listening");
}

}  // namespace vesk::test
