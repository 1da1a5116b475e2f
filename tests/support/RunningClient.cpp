#include "RunningClient.h"

#include <gtest/gtest.h>

namespace vesk::test {

RunningClient::RunningClient(const std::filesystem::path& folder, const std::string& name) {
    std::filesystem::create_directories(folder);
    std::filesystem::copy_file(VESK_CLIENT_STANDIN, folder / name);
    EXPECT_TRUE(m_process.Start((folder / name).string(), {.args = {"--stay"}}));
    // It says so once it has recorded its start.
    EXPECT_EQ(m_process.ReadLine(), "ready");
}

RunningClient::~RunningClient() {
    m_process.CloseInput();
    m_process.Wait();
}

}  // namespace vesk::test
