// CPostLoginLoader: the thread that loads the reference data of the trading day on the new
// trading connection while the login dialog waits for it.
#pragma once

#include <cstdint>

#include "shell/WorkerThread.h"

namespace NoltComm {
class CFixApiClient;
}

namespace shell {

class CPostLoginLoader : public CWorkerThread {
public:
    // `serverChanged`: the login reached another server than the remembered one, whose
    // cached reference files must not be read.
    CPostLoginLoader(NoltComm::CFixApiClient* connection, int accountRow, bool serverChanged);
    ~CPostLoginLoader() override;

protected:
    // Exchanges, products, currencies and the server dictionary, calculation parameters and
    // exchange rates, the machine-binding check of the account, the categories "DTLPZT" and
    // "LPCZLB", the contracts; a stop request ends it between two loads.
    uint32_t Run() override;

private:
    NoltComm::CFixApiClient* connection_;
    int accountRow_;
    bool serverChanged_;
};

}  // namespace shell
