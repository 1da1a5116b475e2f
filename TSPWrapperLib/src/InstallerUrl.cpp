#include "InstallerUrl.h"

#include <cstdlib>

#include "text/Utf.h"

namespace vesk::tsp {
namespace {

constexpr const wchar_t* kDefaultDownloadServer = L"http://download.tirsa.test";
constexpr const wchar_t* kInstallerPath = L"/tirsa/tsp/TSPInst.exe";
#if VESK_TEST_SEAMS
constexpr const char* kDownloadServerVariable = "VESK_TSP_DOWNLOAD_SERVER";
#endif

}  // namespace

std::wstring InstallerUrl() {
#if VESK_TEST_SEAMS
    const char* server = std::getenv(kDownloadServerVariable);
    if (server && *server) return text::Utf8ToWide(server) + kInstallerPath;
#endif
    return std::wstring(kDefaultDownloadServer) + kInstallerPath;
}

}  // namespace vesk::tsp
