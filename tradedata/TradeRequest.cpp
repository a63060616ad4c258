// The request wrapper of every business request: send and wait, rows, fields, copies into
// record tables, failure texts and packet traces.
#include "tradedata/TradeRequest.h"

#include <cstdio>
#include <string_view>

#include "comm/Authentication.h"
#include "comm/FixApiClient.h"
#include "comm/FixPacket.h"
#include "comm/FixRequest.h"
#include "platform/core/Encoding.h"
#include "platform/core/Numbers.h"
#include "record/FixRecord.h"
#include "record/MemRecord.h"
#include "shell/services/LogLine.h"
#include "shell/services/StartupSettings.h"
#include "tradedata/ProgramClock.h"

namespace NoltComm {

namespace {

std::atomic<uint32_t> g_abort{0};
std::atomic<int32_t> g_live{0};

constexpr int64_t kWaitSliceMs = 10;
constexpr std::size_t kErrorTextBudget = 127;  // GBK bytes

constexpr char kLabelSendFailed[] = "发送失败";
constexpr char kLabelLinkClosed[] = "连接中断";
constexpr char kLabelTimeout[] = "应答超时";

bool PacketTraces() { return (shell::GetLogOptions() & shell::kLogPacketTraces) != 0; }

std::string TimeText() {
    const tradedata::SystemTime now = tradedata::GetCurrentSystemTime();
    char text[32];
    std::snprintf(text, sizeof text, "%02d:%02d:%02d.%03d", now.hour, now.minute, now.second,
                  now.milliseconds);
    return text;
}

// The body of a request packet (after its header) as text for the trace file.
std::string BodyText(const CFixRequest* request) {
    if (request == nullptr || request->GetBodyLength() <= static_cast<int32_t>(kHeaderSize)) {
        return std::string();
    }
    return platform::GbkToUtf8(MaskSecretItems(
        std::string_view(reinterpret_cast<const char*>(request->GetPacket()) + kHeaderSize,
                         static_cast<std::size_t>(request->GetBodyLength()) - kHeaderSize)));
}

std::string CutText(const std::string& text) {
    return text.substr(0, platform::CutToGbkBudget(text, kErrorTextBudget));
}

}  // namespace

void SetRequestAbort(uint32_t value) { g_abort.store(value); }
uint32_t GetRequestAbort() { return g_abort.load(); }
int32_t GetLiveRequestCount() { return g_live.load(); }

std::unique_ptr<CTradeRequest> CTradeRequest::Create(CFixApiClient* connection) {
    return std::unique_ptr<CTradeRequest>(new CTradeRequest(connection));
}

CTradeRequest::CTradeRequest(CFixApiClient* connection) : connection_(connection) {
    g_live.fetch_add(1);
    if (connection_ != nullptr) request_ = connection_->CreateRequest();
}

CTradeRequest::~CTradeRequest() {
    DropRequest();
    g_live.fetch_sub(1);
}

void CTradeRequest::DropRequest() {
    // A request given up before its answer is complete stops waiting for it.
    if (request_ != nullptr) request_->Abandon();
    if (request_ != nullptr) request_->Release();
    request_ = nullptr;
}

void CTradeRequest::SetFunction(uint32_t function) {
    if (request_ != nullptr) request_->BeginRequest(static_cast<int32_t>(function));
}

void CTradeRequest::SetString(int32_t tag, const char* value) {
    if (request_ != nullptr) request_->AddField(tag, value);
}

void CTradeRequest::SetString(int32_t tag, std::string_view value) {
    if (request_ != nullptr) request_->AddField(tag, value);
}

void CTradeRequest::SetBytes(int32_t tag, std::string_view bytes) {
    if (request_ != nullptr) request_->AddBytesField(tag, bytes);
}

bool CTradeRequest::SetLong(int32_t tag, int32_t value) {
    return request_ != nullptr && request_->AddLongField(tag, value);
}

bool CTradeRequest::SetDouble(int32_t tag, double value) {
    return request_ != nullptr && request_->AddDoubleField(tag, value);
}

void CTradeRequest::SetTimeout(int seconds) {
    timeoutMs_ = seconds < 1 ? kDefaultTimeoutMs : static_cast<uint32_t>(seconds) * 1000u;
}

void CTradeRequest::TracePacket(const char* direction, const uint8_t* packet, int32_t length) {
    if (packet == nullptr || length <= static_cast<int32_t>(kHeaderSize)) return;
    const int32_t body = length - static_cast<int32_t>(kHeaderSize);
    std::string line = std::string(direction) + "(" + platform::FormatInt(body) + "):";
    line += platform::GbkToUtf8(MaskSecretItems(std::string_view(
        reinterpret_cast<const char*>(packet) + kHeaderSize, static_cast<std::size_t>(body))));
    shell::WriteLogLine(line);
}

void CTradeRequest::Fail(const char* label, std::string text, const std::string& timeText,
                         const std::string& body) {
    shell::WriteLogLine(std::string(label) + ":" + timeText + "\t" + body);
    errorText_ = CutText(text);
}

bool CTradeRequest::Send() { return SendAndWait(false); }

bool CTradeRequest::SendEx() { return SendAndWait(true); }

bool CTradeRequest::SendAndWait(bool keepRequestText) {
    if (request_ == nullptr) return false;
    errorText_.clear();
    const std::string timeText = TimeText();
    const int64_t start = tradedata::GetHighResTickCount();
    const bool sent = request_->Send();
    if (PacketTraces()) TracePacket("send", request_->GetPacket(), request_->GetBodyLength());
    if (!sent) {
        std::string text = kLabelSendFailed;
        if (keepRequestText) {
            std::string own = request_->GetString(508);
            if (own.empty()) own = request_->GetErrorText();
            if (!own.empty()) text = std::move(own);
        }
        Fail(kLabelSendFailed, std::move(text), timeText, BodyText(request_));
        DropRequest();
        return false;
    }
    CFixApiClient* connection = request_->GetConnection();
    for (;;) {
        if (request_->WaitAnswer(kWaitSliceMs)) return true;
        if (g_abort.load() != 0) {
            DropRequest();
            return true;
        }
        if (connection != nullptr && connection->IsClosed()) {
            Fail(kLabelLinkClosed, kLabelLinkClosed, timeText, BodyText(request_));
            DropRequest();
            return true;
        }
        if (timeoutMs_ >= 1 && tradedata::GetHighResTickCount() - start > int64_t{timeoutMs_}) {
            break;
        }
    }
    Fail(kLabelTimeout, std::string(kLabelTimeout) + "(" + platform::FormatInt(timeoutMs_) + ")",
         timeText, BodyText(request_));
    DropRequest();
    return true;
}

bool CTradeRequest::IsAnswered() const {
    return request_ != nullptr && g_abort.load() == 0 && request_->IsComplete() &&
           request_->GetErrorCode() >= 0;
}

bool CTradeRequest::NextRow() {
    if (request_ == nullptr || g_abort.load() != 0) return false;
    const bool traces = PacketTraces();
    if (traces && !request_->IsSent()) {
        TracePacket("send", request_->GetPacket(), request_->GetBodyLength());
    }
    const bool row = request_->NextRow();
    if (traces) {
        if (const CIOBuffer* current = request_->GetCurrentRow()) {
            TracePacket("recv", current->GetBuffer(), static_cast<int32_t>(current->GetUsed()));
        }
    }
    return row;
}

std::string CTradeRequest::GetString(int32_t tag, int32_t row) {
    return request_ != nullptr ? request_->GetString(tag, row) : std::string();
}

int32_t CTradeRequest::GetLong(int32_t tag, int32_t row) {
    return request_ != nullptr ? request_->GetLong(tag, row) : 0;
}

double CTradeRequest::GetDouble(int32_t tag, int32_t row) {
    return request_ != nullptr ? request_->GetDouble(tag, row) : 0.0;
}

bool CTradeRequest::HasField(int32_t tag, int32_t row) {
    return request_ != nullptr && request_->HasField(tag, row);
}

const uint8_t* CTradeRequest::GetRawData(int32_t* length, int32_t row) {
    if (length != nullptr) *length = 0;
    if (request_ == nullptr) return nullptr;
    uint32_t size = 0;
    const uint8_t* data = request_->GetRawData(size, row);
    if (length != nullptr) *length = static_cast<int32_t>(size);
    return data;
}

int32_t CTradeRequest::GetRowCount() { return request_ != nullptr ? request_->GetRowCount() : 0; }

std::string CTradeRequest::GetErrorText() {
    if (request_ != nullptr) {
        std::string text = request_->GetString(508);
        if (text.empty()) text = request_->GetErrorText();
        if (!text.empty()) return text;
    }
    return errorText_;
}

int CTradeRequest::CopyRowTo(CFixRecord* record, int row) {
    if (record == nullptr) return 0;
    const int fields = record->GetFCount();
    if (request_ == nullptr) return fields;
    for (int i = 0; i < fields; ++i) {
        const uint32_t id = record->GetIndexID(i);
        std::string_view value;
        if (id == 0 || !request_->FindField(static_cast<int32_t>(id), -1, value)) continue;
        record->Set(id, std::string_view(platform::GbkToUtf8(value)), row);
    }
    return fields;
}

int CTradeRequest::AppendRowTo(CFixRecord* record, bool go) {
    if (record == nullptr || record->GetMemRecord() == nullptr) return -1;
    record->acquireLockExclusive();
    record->GetMemRecord()->Append(nullptr, go);
    const int row = record->GetCount() - 1;
    CopyRowTo(record, row);
    record->releaseLockExclusive();
    return row;
}

}  // namespace NoltComm
