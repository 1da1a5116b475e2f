#include <gtest/gtest.h>
#include <stdlib.h>

#include "InstallerUrl.h"

namespace {

// Only test builds fetch the installer from a server the environment names: in a shipped
// library the setting would let anyone who can set it choose the program that runs.
TEST(ShippedInstallerUrlTest, TheDownloadServerSettingIsIgnored) {
    setenv("VESK_TSP_DOWNLOAD_SERVER", "http://127.0.0.1:8080", 1);
    EXPECT_EQ(vesk::tsp::InstallerUrl(), L"http://download.tirsa.test/tirsa/tsp/TSPInst.exe");
    unsetenv("VESK_TSP_DOWNLOAD_SERVER");
}

}  // namespace
