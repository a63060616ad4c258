// CFramePushes: what the main frame owns for its pushes: the subscription handles, the one
// dispatcher with its handlers (quotes, trade returns, confirmations, combination results),
// the leg-2 order thread, the subscriptions served on the frame's worker and the keep-alives.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "market/feed/NoticePushes.h"
#include "market/feed/OrderConfirms.h"
#include "market/feed/PushDispatcher.h"
#include "market/feed/PushSink.h"
#include "market/feed/PushSubscriptions.h"
#include "market/feed/SerialExecutor.h"
#include "market/feed/TradeReturns.h"

namespace market::feed {

class CQuoteProcessor;

class CFramePushes : public PushHandlers {
public:
    struct Options {
        CTradeReturnHandler::Hooks trades;
        PushLogHooks confirms;
        CPushSubscriptions::Hooks subscriptions;
        CNoticePushHandler::Hooks notices;
        // Where leg-2 orders are sent from; default a thread of this object's own.
        Executor executor;
    };
    // A handler for a topic this object does not handle itself.
    using Handler = std::function<void(const PushFields&)>;

    // frameState: the frame's state word; quotes, sink: must outlive this object.
    CFramePushes(std::atomic<uint32_t>& frameState, CQuoteProcessor& quotes, PushSink& sink,
                 Options options = {});
    // No push is handled any more once this begins; a leg-2 order being sent is finished.
    ~CFramePushes() override;
    CFramePushes(const CFramePushes&) = delete;
    CFramePushes& operator=(const CFramePushes&) = delete;

    // The frame's own members in place of the notice handlers' defaults (Notices()); an empty
    // one keeps the default. Set before the connections are attached.
    void SetNoticeHandlers(Handler systemNotice, Handler loginElsewhere, Handler optionResult);

    // The connection's pushes (and quote packets) come here from now on / no more. After
    // Detach returns no handler of that connection runs.
    void Attach(NoltComm::CFixApiClient* client) { dispatcher_.Attach(client); }
    void Detach(NoltComm::CFixApiClient* client) { dispatcher_.Detach(client); }

    PushHandles& Handles() { return handles_; }
    CPushSubscriptions& Subscriptions() { return subscriptions_; }
    CPushDispatcher& Dispatcher() { return dispatcher_; }
    CTradeReturnHandler& TradeReturns() { return trades_; }
    CNoticePushHandler& Notices() { return notices_; }

    // ---- PushHandlers ----
    void OnQuotePush(const PushFields& push) override;
    void OnTradeReturn(const PushFields& push) override { trades_.OnTradeReturn(push); }
    void OnOrderConfirm(const PushFields& push) override { confirms_.OnOrderConfirm(push); }
    void OnCombinationResult(const PushFields& push) override {
        confirms_.OnCombinationResult(push);
    }
    void OnSystemNotice(const PushFields& push) override;
    void OnLoginElsewhere(const PushFields& push) override;
    void OnOptionResult(const PushFields& push) override;

private:
    CQuoteProcessor& quotes_;
    PushHandles handles_;
    CPushSubscriptions subscriptions_;
    std::unique_ptr<CSerialExecutor> executor_;  // null when one was given
    COrderConfirmHandler confirms_;
    CTradeReturnHandler trades_;
    CNoticePushHandler notices_;
    Handler systemNotice_, loginElsewhere_, optionResult_;
    CPushDispatcher dispatcher_;  // last: detached first
};

}  // namespace market::feed
