// The frame's push object.
#include "market/feed/FramePushes.h"

#include <utility>

#include "market/feed/QuoteProcessor.h"

namespace market::feed {
namespace {

std::unique_ptr<CSerialExecutor> OwnExecutor(const Executor& given) {
    return given ? nullptr : std::make_unique<CSerialExecutor>();
}

}  // namespace

CFramePushes::CFramePushes(std::atomic<uint32_t>& frameState, CQuoteProcessor& quotes,
                           PushSink& sink, Options options)
    : quotes_(quotes),
      subscriptions_(handles_, std::move(options.subscriptions)),
      executor_(OwnExecutor(options.executor)),
      confirms_(sink, std::move(options.confirms)),
      trades_(frameState, sink, executor_ ? executor_->AsExecutor() : std::move(options.executor),
              std::move(options.trades)),
      notices_(sink, std::move(options.notices)),
      dispatcher_(handles_, *this) {}

CFramePushes::~CFramePushes() {
    dispatcher_.DetachAll();
    executor_.reset();
}

void CFramePushes::SetNoticeHandlers(Handler systemNotice, Handler loginElsewhere,
                                     Handler optionResult) {
    systemNotice_ = std::move(systemNotice);
    loginElsewhere_ = std::move(loginElsewhere);
    optionResult_ = std::move(optionResult);
}

void CFramePushes::OnQuotePush(const PushFields& push) { quotes_.ProcessQuotePush(push); }

void CFramePushes::OnSystemNotice(const PushFields& push) {
    if (systemNotice_)
        systemNotice_(push);
    else
        notices_.OnSystemNotice(push);
}

void CFramePushes::OnLoginElsewhere(const PushFields& push) {
    if (loginElsewhere_)
        loginElsewhere_(push);
    else
        notices_.OnLoginElsewhere(push);
}

void CFramePushes::OnOptionResult(const PushFields& push) {
    if (optionResult_)
        optionResult_(push);
    else
        notices_.OnOptionResult(push);
}

}  // namespace market::feed
