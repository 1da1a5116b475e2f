#include "ServiceProcess.h"

#include <stdlib.h>

#include "LibraryHarness.h"

namespace vesk::test {
namespace {

std::filesystem::path NewDataDir() {
    const std::filesystem::path cache = LibraryHarness::Instance().home() / "cache";
    std::error_code ignored;
    std::filesystem::create_directories(cache, ignored);
    std::string pattern = (cache / "TSP-XXXXXX").string();
    return mkdtemp(pattern.data()) ? std::filesystem::path(pattern) : cache / "TSP";
}

}  // namespace

ServiceProcess::ServiceProcess(std::vector<std::string> options) : m_dataDir(NewDataDir()) {
    ChildProcess::Options run;
    run.args = {"--data-dir", m_dataDir.string()};
    run.args.insert(run.args.end(), options.begin(), options.end());
    run.unsetEnv = {"VESK_TSP_OPTIONS", "VESK_CLOCK"};
    if (!m_child.Start(TSP_SERVICE_PROGRAM, run)) return;
    const auto line = m_child.ReadLine();
    m_ready = line && line->starts_with("listening");
}

ServiceProcess::~ServiceProcess() {
    m_child.Kill();
    m_child.Wait();
    std::error_code ignored;
    std::filesystem::remove_all(m_dataDir, ignored);
}

}  // namespace vesk::test
