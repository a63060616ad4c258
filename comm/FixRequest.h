// A FixApi request object: composes the request body in its own 4096-byte packet buffer and
// keeps the answer packets that arrive for it, whose fields it reads in place.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "comm/IOBuffer.h"
#include "comm/QvCriticalSection.h"
#include "comm/QvEvent.h"
#include "comm/QvRequest.h"

namespace NoltComm {

class CFixApiClient;

// A push callback of a subscription: (connection, subscription handle, reason), reason 0
// for a push (read it through the connection's push accessors while the call lasts), 1
// when the server cancelled the subscription, 2 when it has been subscribed again.
using PushCallback = void (*)(CFixApiClient* client, uint32_t handle, int32_t reason);
inline constexpr int32_t kPushDelivered = 0;
inline constexpr int32_t kPushCancelled = 1;
inline constexpr int32_t kPushRenewed = 2;

class CFixRequest : public CQvRequest {
public:
    explicit CFixRequest(CFixRequestPool* pool = nullptr);
    ~CFixRequest() override;

    bool Prepare() override;

    // --- composing ---
    // Writes the header, item 8 (the head) and item 35. False only when the head values are
    // too long for a packet (the request then has no header).
    bool BeginRequest(int32_t function);
    bool BeginRequest(std::string_view function);
    // Append one item; false (body unchanged) without a header or when the item would reach
    // offset 4066. A null text is sent as an empty value.
    bool AddField(int32_t tag, std::string_view value);
    bool AddField(int32_t tag, const char* value);
    // Bytes sent as they are, without the text conversion (a scrambled password).
    bool AddBytesField(int32_t tag, std::string_view bytes);
    bool AddLongField(int32_t tag, int32_t value);
    bool AddDoubleField(int32_t tag, double value);
    void SetPushFlag(bool push) { push_ = push; }
    // Head positions 1-6 and 9 (texts) and 8 (number), copied in by the connection.
    void SetHeadValue(int position, std::string_view text);
    void SetHeadNumber(int32_t value) { headNumber_ = value; }
    void SetKind(uint8_t kind) { kind_ = kind; }
    uint8_t GetKind() const { return kind_; }
    void SetHandshakeMark(bool mark) { handshake_ = mark; }
    bool GetHandshakeMark() const { return handshake_; }
    // Writes length, packet id, kind and the push bit into the header and a NUL behind the
    // body, as done when the request goes out.
    void FinishPacket(uint32_t packetId);

    const uint8_t* GetPacket() const { return packet_.get(); }
    int32_t GetBodyLength() const { return bodyLength_; }
    bool IsHeaderCreated() const { return headerCreated_; }
    bool IsSent() const { return sent_; }
    const std::string& GetFunctionText() const { return function_; }
    uint32_t GetPacketId() const { return packetId_; }

    // --- reading answer rows (row -1: the current row; 0..n-1: rows still waiting) ---
    std::string GetString(int32_t tag, int32_t row = -1);
    int32_t GetLong(int32_t tag, int32_t row = -1);
    double GetDouble(int32_t tag, int32_t row = -1);
    bool HasField(int32_t tag, int32_t row = -1);
    // Item 96 of a plain-form row: its bytes and length; null when absent or empty.
    const uint8_t* GetRawData(uint32_t& length, int32_t row = -1);
    // The wire bytes of a field; false when absent.
    bool FindField(int32_t tag, int32_t row, std::string_view& value);

    // --- answer side (receive thread) ---
    // Appends one answer packet (the request takes its own reference).
    void AddAnswer(CIOBuffer* buffer);
    // Collects one compressed segment; on the last, inflates and splits it into answers.
    bool AddCompressedSegment(const uint8_t* body, uint32_t length, bool last);
    // The allocator whose buffers hold the packets split out of a compressed answer (the
    // connection's).
    void SetAnswerAllocator(CIOBuffer::Allocator* allocator) { answerAllocator_ = allocator; }

    int32_t GetRowCount() const { return rowCount_.load(); }
    bool IsComplete() const { return complete_.load(); }
    bool IsTableForm() const { return tableForm_.load(); }
    const std::vector<uint32_t>& GetColumns() const { return columns_; }
    std::size_t GetAnswerCount();
    CQvEvent& GetAnswerEvent() { return answerEvent_; }
    CIOBuffer* GetCurrentRow() const { return currentRow_; }
    // Makes the first waiting answer packet the current row (the previous one is released);
    // false when none waits.
    bool TakeNextAnswer();

    // --- sending and waiting ---
    // Sends a begun request once through its connection; registers it for its answer
    // first (unless one-way). False with -106 and a text when it could not go out; it is
    // then no longer registered.
    bool Send();
    // Sends the request when not yet sent, then waits for the next answer row and makes it
    // current. False at the end of the answer or on failure (-103 send, -104 time-out, -105
    // closed; the code and text say which).
    bool NextRow();
    // Waits at most ms for the whole answer; true once it is complete.
    bool WaitAnswer(int64_t ms);
    // Ends the answer at once with an error (receive thread and link loss): the waiter wakes.
    // dropRows releases the rows that have not been stepped to.
    void CompleteWithError(int32_t code, std::string text, bool dropRows);
    // A waiter that gives up (time-out, abort): the request leaves its connection's waiting
    // list, so a late answer is dropped and the request can go back to its pool.
    void Abandon();
    // Ends the answer without an error (its last packet came in a form that did not say so).
    void MarkComplete();

    // --- subscription (a request kept by the connection after Subscribe) ---
    void SetRole(int32_t role) { role_ = role; }
    int32_t GetRole() const { return role_; }
    // The topic (item 384) as its wire bytes, so pushes are matched without conversion.
    void SetTopic(std::string_view wire) { topic_.assign(wire); }
    const std::string& GetTopic() const { return topic_; }
    void SetSubscriptionToken(std::string text) { subscriptionToken_ = std::move(text); }
    const std::string& GetSubscriptionToken() const { return subscriptionToken_; }
    // The value of item 220 as last added (re-subscriptions send it again).
    const std::string& GetLast220() const { return last220_; }
    void SetPushCallback(PushCallback callback, uintptr_t userValue) {
        pushCallback_ = callback;
        userValue_ = userValue;
    }
    PushCallback GetPushCallback() const { return pushCallback_; }
    uintptr_t GetUserValue() const { return userValue_; }
    // Taken from the program-wide sequence the first time; kept for the object's life.
    uint32_t EnsureSubscriptionHandle();
    void SetSubscriptionHandle(uint32_t handle) { subscriptionHandle_ = handle; }
    uint32_t GetSubscriptionHandle() const { return subscriptionHandle_; }
    void CountPush() { ++pushCount_; }
    uint32_t GetPushCount() const { return pushCount_; }

    // --- result ---
    void SetError(int32_t code, std::string text);
    int32_t GetErrorCode() const;
    // The request's error text, or item 508 of the current row when there is none.
    std::string GetErrorText();
    int32_t GetTimeout() const { return timeoutSec_; }
    void SetTimeout(int32_t seconds) { timeoutSec_ = seconds; }
    int64_t GetCreationTick() const { return creationTick_; }
    void StampCreation();
    CFixApiClient* GetConnection() const { return connection_; }
    void SetConnection(CFixApiClient* connection) { connection_ = connection; }

private:
    bool WriteHead();
    bool AppendItem(int32_t tag, std::string_view text, bool convert);
    // Releases every answer buffer, the current row and the compressed-answer buffers.
    void ReleaseAnswers();
    void ReleaseRow(CIOBuffer*& buffer);
    CIOBuffer* RowBuffer(int32_t row);
    void SetColumns(std::vector<uint32_t>&& columns);
    bool SplitInflated(const uint8_t* data, std::size_t length);

    std::unique_ptr<uint8_t[]> packet_;
    int32_t bodyLength_ = 0;
    uint8_t kind_ = 0;
    bool push_ = false;
    bool headerCreated_ = false;
    bool sent_ = false;
    bool handshake_ = false;
    std::string function_;
    std::string errorText_;
    int32_t errorCode_ = 1;
    int32_t role_ = 0;
    const uint8_t* pushBody_ = nullptr;
    int32_t pushBodyLength_ = 0;
    CFixApiClient* connection_ = nullptr;
    uint32_t packetId_ = 0;
    int32_t timeoutSec_ = 10;
    int64_t creationTick_ = 0;
    bool queuedDelivery_ = false;
    PushCallback pushCallback_ = nullptr;
    uintptr_t userValue_ = 0;
    std::atomic<uint32_t> pushCount_{0};
    std::string topic_;
    std::string last220_;
    std::string subscriptionToken_;
    uint32_t subscriptionHandle_ = 0xFFFFFFFFu;

    std::string head_[10];  // positions 1-6 and 9 are used
    int32_t headNumber_ = 0;

    mutable CQvCriticalSection answerLock_;
    std::vector<CIOBuffer*> answers_;
    std::atomic<int32_t> rowCount_{0};
    std::atomic<bool> complete_{false};
    CQvEvent answerEvent_;
    CIOBuffer* currentRow_ = nullptr;

    std::atomic<bool> tableForm_{false};
    std::vector<uint32_t> columns_;
    std::vector<std::pair<uint32_t, uint16_t>> columnIndex_;  // tag -> first column, by tag
    const CIOBuffer* indexedRow_ = nullptr;  // the row whose pieces are in pieceStarts_
    std::vector<uint16_t> pieceStarts_;

    CIOBuffer* collected_ = nullptr;
    CIOBuffer* inflated_ = nullptr;
    CIOBuffer::Allocator* answerAllocator_ = nullptr;
};

}  // namespace NoltComm
