// The post-login loads, in the order the later ones rely on.
#include "shell/PostLoginLoader.h"

#include <functional>
#include <initializer_list>

#include "tradedata/CodeDictionaries.h"
#include "tradedata/Notices.h"
#include "tradedata/Rates.h"
#include "tradedata/ReferenceData.h"

namespace shell {

CPostLoginLoader::CPostLoginLoader(NoltComm::CFixApiClient* connection, int accountRow,
                                   bool serverChanged)
    : connection_(connection), accountRow_(accountRow), serverChanged_(serverChanged) {}

CPostLoginLoader::~CPostLoginLoader() { Stop(); }

uint32_t CPostLoginLoader::Run() {
    // Emptied before the loads, not after them: the loaders read these caches, and another
    // server's contracts must not stand in for this one's.
    if (serverChanged_) tradedata::ClearReferenceCacheFiles();
    auto* c = connection_;
    const std::initializer_list<std::function<void()>> steps = {
        [c] { tradedata::LoadExchanges(c); },
        [c] { tradedata::LoadProducts(c); },
        [c] { tradedata::LoadDictionaries(c); },
        [c] { tradedata::LoadCalculationParameters(c); },
        [this, c] { tradedata::QueryLoginBinding(c, accountRow_); },
        [c] { tradedata::LoadDictCategory(c, "DTLPZT"); },
        [c] { tradedata::LoadDictCategory(c, "LPCZLB"); },
        [c] { tradedata::GetJysHydm(c); },
    };
    uint32_t done = 0;
    for (const auto& step : steps) {
        if (IsStopping()) break;
        step();
        ++done;
    }
    return done;
}

}  // namespace shell
