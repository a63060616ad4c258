// The post-login loader: its loads reach the server in order on the new connection, and the
// caches of another server are emptied.
#include "shell/PostLoginLoader.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <vector>

#include "comm/FixApiClient.h"
#include "tests/tradedata/TradeDataFixture.h"
#include "testserver/TestServer.h"
#include "tradedata/ReferenceData.h"

namespace shell {
namespace {

namespace fs = std::filesystem;

class PostLoginLoaderTest : public ::testing::Test {
protected:
    void SetUp() override {
        tradedata::testing::ResetGlobalTables();
        ASSERT_TRUE(server_.Start()) << server_.ErrorText();
        client_ = std::make_unique<NoltComm::CFixApiClient>();
        ASSERT_TRUE(client_->Connect("127.0.0.1@" + std::to_string(server_.Port()) + "/tcp"));
    }
    void TearDown() override {
        client_.reset();
        server_.Stop();
        tradedata::testing::ResetGlobalTables();
    }
    // The first request of each function, in arrival order.
    std::vector<int32_t> Functions() {
        std::vector<int32_t> seen;
        for (const auto& r : server_.Requests())
            if (std::find(seen.begin(), seen.end(), r.function) == seen.end())
                seen.push_back(r.function);
        return seen;
    }

    tradedata::testing::SettingsSandbox sandbox_;
    testserver::TestServer server_;
    std::unique_ptr<NoltComm::CFixApiClient> client_;
};

TEST_F(PostLoginLoaderTest, LoadsInOrderAndEmptiesAnotherServersCachesFirst) {
    const fs::path cache = fs::path(GetUserDirectory()) / "JYSTLDM.dat";
    for (bool serverChanged : {false, true}) {
        SCOPED_TRACE(serverChanged);
        // A cache of today under this program's version that the exchange loader would take.
        std::ofstream(cache, std::ios::binary) << "stale\r\n";
        server_.ClearRequests();
        CPostLoginLoader loader(client_.get(), -1, serverChanged);
        ASSERT_TRUE(loader.Start());
        loader.Wait();
        EXPECT_EQ(loader.ExitCode(), 8u);  // every step ran
        const std::vector<int32_t> functions = Functions();
        auto at = [&](int32_t f) { return std::find(functions.begin(), functions.end(), f); };
        ASSERT_NE(at(16201), functions.end());
        ASSERT_NE(at(16204), functions.end());
        EXPECT_LT(at(16201), at(16204));
        if (serverChanged) {
            EXPECT_EQ(fs::file_size(cache), 0u);
        } else {
            EXPECT_GT(fs::file_size(cache), 0u);
        }
    }
}

}  // namespace
}  // namespace shell
