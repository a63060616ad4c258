// CTradeRequest: the wrapper that every business request goes through: a blocking,
// time-limited send with failure texts for the user, a row cursor over the answer, field
// access by tag, copying of answer rows into record tables, packet traces in the trace file,
// a program-wide abort switch and a count of live wrappers.
//
// Use, on one thread:
//   auto request = CTradeRequest::Create(connection);   // connection may be null
//   request->SetFunction(303);
//   request->SetString(605, "cu2501");  request->SetLong(607, 1);  request->SetTimeout(5);
//   if (!request->Send()) { show request->GetErrorText(); }   // false: it did not go out
//   while (request->NextRow()) { request->GetLong(507); request->AppendRowTo(&table, false); }
//   if the answer failed: request->GetErrorText() tells why (item 508, time-out, link loss)
//   request.reset();   // or let it go out of scope: uncounts it and returns the request
// Send's true only says the request went out: after a time-out, link loss or abort the
// wrapper holds no request any more, NextRow is false, getters give empty values, and
// GetErrorText explains.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

class CFixRecord;

namespace NoltComm {

class CFixApiClient;
class CFixRequest;

class CTradeRequest {
public:
    static constexpr uint32_t kDefaultTimeoutMs = 15000;

    // Counted in the live counter; takes a request from the connection when there is one.
    static std::unique_ptr<CTradeRequest> Create(CFixApiClient* connection);
    // Uncounts the wrapper and drops its request (the request goes back to its pool once no
    // one else holds it). Releasing a null wrapper does nothing.
    static void Release(std::unique_ptr<CTradeRequest> wrapper) { wrapper.reset(); }
    virtual ~CTradeRequest();
    CTradeRequest(const CTradeRequest&) = delete;
    CTradeRequest& operator=(const CTradeRequest&) = delete;

    // The request object (null without one), e.g. to set the push flag of a heartbeat.
    CFixRequest* GetHandle() const { return request_; }

    // --- composing (nothing happens without a request) ---
    void SetFunction(uint32_t function);
    // Text values are UTF-8 (sent as GBK); null sends an empty value.
    void SetString(int32_t tag, const char* value);
    void SetString(int32_t tag, std::string_view value);
    // Bytes sent as they are: the scrambled trading password the account table keeps is no
    // text, and a conversion would turn it into question marks.
    void SetBytes(int32_t tag, std::string_view bytes);
    // True when the item was added, false when it did not fit the packet.
    bool SetLong(int32_t tag, int32_t value);
    bool SetLongAt(int32_t tag, int32_t value) { return SetLong(tag, value); }
    bool SetDouble(int32_t tag, double value);
    // Seconds; below 1 means the default of 15 s.
    void SetTimeout(int seconds);
    uint32_t GetTimeoutMs() const { return timeoutMs_; }

    // Sends and waits for the whole answer (see the file comment for the result).
    bool Send();
    // The same; a failed send keeps the request's own reason as the error text.
    bool SendEx();
    // The next answer row; false at the end, without a request and while aborting.
    bool NextRow();
    // True when the whole answer arrived, with rows or empty (an empty list is the terminator
    // alone); false after a failed send, a time-out, link loss, an abort or a broken answer.
    bool IsAnswered() const;

    // --- the current row (row -1) or a row still waiting (0..n-1) ---
    std::string GetString(int32_t tag, int32_t row = -1);
    std::string GetText(int32_t tag, int32_t row = -1) { return GetString(tag, row); }
    int32_t GetLong(int32_t tag, int32_t row = -1);
    double GetDouble(int32_t tag, int32_t row = -1);
    bool HasField(int32_t tag, int32_t row = -1);
    // The bytes of item 96 of a plain-form row and their count; null when absent or empty.
    const uint8_t* GetRawData(int32_t* length, int32_t row = -1);
    int32_t GetRowCount();

    // Item 508 of the current row, else the request's own error text, else the wrapper's.
    std::string GetErrorText();

    // Sets every field of the table (identity not 0) that the current answer row holds into
    // the given row of the record; returns the record's field count.
    int CopyRowTo(CFixRecord* record, int row);
    // Appends a row (under the table's exclusive lock), copies the current answer row into it
    // and returns its index; -1 without a table.
    int AppendRowTo(CFixRecord* record, bool go);

private:
    explicit CTradeRequest(CFixApiClient* connection);
    bool SendAndWait(bool keepRequestText);
    void DropRequest();
    void Fail(const char* label, std::string text, const std::string& timeText,
              const std::string& body);
    void TracePacket(const char* direction, const uint8_t* packet, int32_t length);

    CFixRequest* request_ = nullptr;
    CFixApiClient* connection_ = nullptr;
    uint32_t timeoutMs_ = kDefaultTimeoutMs;
    std::string errorText_;  // at most 127 bytes in GBK
};

// While non-zero, waits end at once and rows are not delivered (set when the main frame goes
// away or the view is switched).
void SetRequestAbort(uint32_t value);
uint32_t GetRequestAbort();
// The number of CTradeRequest objects alive now.
int32_t GetLiveRequestCount();

}  // namespace NoltComm
