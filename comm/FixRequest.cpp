// Request composition and answer reading of the FixApi request object.
#include "comm/FixRequest.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <thread>

#include "comm/FixApiClient.h"
#include "comm/FixPacket.h"
#include "comm/QvException.h"
#include "comm/RequestErrors.h"
#include "comm/ToolkitRuntime.h"
#include "platform/core/Clock.h"
#include "platform/core/Encoding.h"
#include "platform/core/Numbers.h"

namespace NoltComm {

namespace {

constexpr char kHeadSeparator = '|';

bool IsAscii(std::string_view text) {
    for (char c : text) {
        if (static_cast<unsigned char>(c) >= 0x80) return false;
    }
    return true;
}

// Appends text to a bounded area; remembers an overflow instead of writing past the end.
class BoundedWriter {
public:
    BoundedWriter(char* out, std::size_t room) : out_(out), room_(room) {}
    void Put(char c) {
        if (len_ < room_) {
            out_[len_] = c;
        } else {
            overflow_ = true;
        }
        ++len_;
    }
    void Put(std::string_view text) {
        if (text.empty()) return;
        if (len_ + text.size() <= room_) {
            std::memcpy(out_ + len_, text.data(), text.size());
        } else {
            overflow_ = true;
        }
        len_ += text.size();
    }
    // UTF-8 in memory, GBK on the wire.
    void PutText(std::string_view utf8) {
        if (IsAscii(utf8)) {
            Put(utf8);
        } else {
            Put(std::string_view(platform::Utf8ToGbk(utf8)));
        }
    }
    void PutInt(int64_t value) {
        char digits[24];
        Put(std::string_view(digits, platform::FormatIntTo(digits, sizeof digits, value)));
    }
    std::size_t Length() const { return len_; }
    bool Overflow() const { return overflow_; }

private:
    char* out_;
    std::size_t room_;
    std::size_t len_ = 0;
    bool overflow_ = false;
};

std::string_view RowBody(const CIOBuffer* buffer) {
    const uint32_t used = buffer->GetUsed();
    if (used < kHeaderSize) return {};
    uint32_t length = ReadLe16(buffer->GetBuffer());
    if (length < kHeaderSize || length > used) length = used;
    return std::string_view(reinterpret_cast<const char*>(buffer->GetBuffer()) + kHeaderSize,
                            length - kHeaderSize);
}

}  // namespace

CFixRequest::CFixRequest(CFixRequestPool* pool)
    : CQvRequest(pool), packet_(std::make_unique<uint8_t[]>(kMaxPacketSize)) {
    answers_.reserve(16);
    pieceStarts_.reserve(64);
    CFixRequest::Prepare();
}

CFixRequest::~CFixRequest() {
    try {
        ReleaseAnswers();
    } catch (...) {
    }
}

bool CFixRequest::Prepare() {
    kind_ = 0;
    push_ = false;
    headerCreated_ = false;
    sent_ = false;
    errorText_.clear();
    function_.clear();
    errorCode_ = 1;
    role_ = 0;
    pushBody_ = nullptr;
    pushBodyLength_ = 0;
    bodyLength_ = 0;
    connection_ = nullptr;
    packetId_ = 0;
    timeoutSec_ = 10;
    creationTick_ = platform::TickMs();
    complete_ = false;
    answerEvent_.Reset();
    for (auto& value : head_) value.clear();
    head_[1] = "2";
    headNumber_ = 0;
    handshake_ = false;
    subscriptionToken_.clear();
    queuedDelivery_ = false;
    pushCallback_ = nullptr;
    userValue_ = 0;
    pushCount_ = 0;
    topic_.clear();
    last220_.clear();
    subscriptionHandle_ = 0xFFFFFFFFu;
    answerAllocator_ = nullptr;
    ReleaseAnswers();
    return true;
}

void CFixRequest::ReleaseRow(CIOBuffer*& buffer) {
    if (buffer == nullptr) return;
    if (buffer == indexedRow_) indexedRow_ = nullptr;
    buffer->Release();
    buffer = nullptr;
}

void CFixRequest::ReleaseAnswers() {
    CQvCriticalSection::Owner owner(answerLock_);
    ReleaseRow(collected_);
    ReleaseRow(inflated_);
    for (CIOBuffer*& buffer : answers_) ReleaseRow(buffer);
    answers_.clear();
    ReleaseRow(currentRow_);
    rowCount_ = 0;
    tableForm_ = false;
    columns_.clear();
    columnIndex_.clear();
    indexedRow_ = nullptr;
}

// --- composing ---

void CFixRequest::SetHeadValue(int position, std::string_view text) {
    if (position >= 1 && position <= 9 && position != 7 && position != 8) {
        head_[position].assign(text);
    }
}

bool CFixRequest::BeginRequest(int32_t function) {
    char digits[16];
    return BeginRequest(
        std::string_view(digits, platform::FormatIntTo(digits, sizeof digits, function)));
}

bool CFixRequest::BeginRequest(std::string_view function) {
    function_.assign(function);
    std::memset(packet_.get(), 0, kHeaderSize);
    // A request begun again starts a new answer: rows, current row, table form and the
    // result of the previous exchange must not leak into it.
    ReleaseAnswers();
    complete_ = false;
    answerEvent_.Reset();
    SetError(1, std::string());
    return WriteHead();
}

bool CFixRequest::WriteHead() {
    char* body = reinterpret_cast<char*>(packet_.get()) + kHeaderSize;
    BoundedWriter w(body, kComposeLimit - 1 - kHeaderSize);
    w.Put("8=");
    for (int position = 1; position <= 6; ++position) {
        w.PutText(head_[position]);
        w.Put(kHeadSeparator);
    }
    w.PutInt(static_cast<int32_t>(packetId_));
    w.Put(kHeadSeparator);
    w.PutInt(headNumber_);
    w.Put(kHeadSeparator);
    w.PutText(head_[9]);
    w.Put(kSoh);
    w.Put("35=");
    w.PutText(function_);
    w.Put(kSoh);
    if (w.Overflow()) {
        // Head values too long for a packet: no header, so the request cannot be sent.
        bodyLength_ = 0;
        packet_[kHeaderSize] = 0;
        headerCreated_ = false;
        return false;
    }
    bodyLength_ = static_cast<int32_t>(kHeaderSize + w.Length());
    packet_[bodyLength_] = 0;
    headerCreated_ = true;
    sent_ = false;
    return true;
}

bool CFixRequest::AppendItem(int32_t tag, std::string_view text, bool convert) {
    if (!headerCreated_) return false;
    char digits[16];
    const std::size_t tagLength = platform::FormatIntTo(digits, sizeof digits, tag);
    const bool ascii = !convert || IsAscii(text);
    const std::size_t valueLength = ascii ? text.size() : platform::GbkLength(text);
    const std::size_t itemLength = tagLength + 1 + valueLength + 1;
    // The item must end before offset 4066; nothing is written otherwise.
    if (itemLength >= kComposeLimit - static_cast<std::size_t>(bodyLength_)) return false;
    char* out = reinterpret_cast<char*>(packet_.get()) + bodyLength_;
    BoundedWriter w(out, itemLength);
    w.Put(std::string_view(digits, tagLength));
    w.Put('=');
    if (ascii) {
        w.Put(text);
    } else {
        w.PutText(text);
    }
    w.Put(kSoh);
    if (w.Overflow() || w.Length() != itemLength) {
        packet_[bodyLength_] = 0;
        return false;
    }
    bodyLength_ += static_cast<int32_t>(itemLength);
    packet_[bodyLength_] = 0;
    if (tag == 220) last220_.assign(text);
    return true;
}

bool CFixRequest::AddField(int32_t tag, std::string_view value) {
    return AppendItem(tag, value, true);
}

bool CFixRequest::AddField(int32_t tag, const char* value) {
    return AppendItem(tag, value != nullptr ? std::string_view(value) : std::string_view(), true);
}

bool CFixRequest::AddBytesField(int32_t tag, std::string_view bytes) {
    return AppendItem(tag, bytes, false);
}

bool CFixRequest::AddLongField(int32_t tag, int32_t value) {
    char digits[16];
    return AppendItem(
        tag, std::string_view(digits, platform::FormatIntTo(digits, sizeof digits, value)), false);
}

bool CFixRequest::AddDoubleField(int32_t tag, double value) {
    // "%lf" then trailing zeros trimmed; the largest double needs some 320 characters.
    char text[400];
    std::size_t length = platform::FormatFixedTo(text, sizeof text, value, 6);
    length = TrimTrailingZeros(text, length);
    return AppendItem(tag, std::string_view(text, length), false);
}

void CFixRequest::FinishPacket(uint32_t packetId) {
    uint8_t* p = packet_.get();
    WriteLe16(p, static_cast<uint16_t>(bodyLength_));
    WriteLe32(p + 2, packetId);
    p[6] = kind_;
    p[8] =
        static_cast<uint8_t>((p[8] & ~(kPacketAnswer | kPacketPush)) | (push_ ? kPacketPush : 0));
    p[bodyLength_] = 0;
    packetId_ = packetId;
}

// --- reading ---

CIOBuffer* CFixRequest::RowBuffer(int32_t row) {
    if (row < 0) return currentRow_;
    CQvCriticalSection::Owner owner(answerLock_);
    if (static_cast<std::size_t>(row) >= answers_.size()) return nullptr;
    return answers_[static_cast<std::size_t>(row)];
}

bool CFixRequest::FindField(int32_t tag, int32_t row, std::string_view& value) {
    // The receive thread may still be adding rows (and releasing its work
    // buffers, which resets the cached piece index) while a caller reads.
    CQvCriticalSection::Owner owner(answerLock_);
    const CIOBuffer* buffer = RowBuffer(row);
    if (buffer == nullptr) return false;
    const std::string_view body = RowBody(buffer);
    if (!tableForm_.load(std::memory_order_relaxed)) return FindPlainField(body, tag, value);

    const uint32_t key = static_cast<uint32_t>(tag);
    const auto it = std::lower_bound(
        columnIndex_.begin(), columnIndex_.end(), key,
        [](const std::pair<uint32_t, uint16_t>& entry, uint32_t k) { return entry.first < k; });
    if (it == columnIndex_.end() || it->first != key) return false;
    if (buffer != indexedRow_) {
        IndexTablePieces(body, pieceStarts_);
        indexedRow_ = buffer;
    }
    const std::size_t index = it->second;
    if (index + 1 >= pieceStarts_.size()) return false;
    value = body.substr(pieceStarts_[index], pieceStarts_[index + 1] - 1u - pieceStarts_[index]);
    return true;
}

std::string CFixRequest::GetString(int32_t tag, int32_t row) {
    std::string_view value;
    if (!FindField(tag, row, value)) return std::string();
    return platform::GbkToUtf8(value);
}

int32_t CFixRequest::GetLong(int32_t tag, int32_t row) {
    std::string_view value;
    return FindField(tag, row, value) ? platform::AtolSat(value) : 0;
}

double CFixRequest::GetDouble(int32_t tag, int32_t row) {
    std::string_view value;
    return FindField(tag, row, value) ? platform::Atof(value) : 0.0;
}

bool CFixRequest::HasField(int32_t tag, int32_t row) {
    std::string_view value;
    return FindField(tag, row, value);
}

const uint8_t* CFixRequest::GetRawData(uint32_t& length, int32_t row) {
    length = 0;
    const CIOBuffer* buffer = RowBuffer(row);
    if (buffer == nullptr || tableForm_) return nullptr;
    std::string_view value;
    if (!FindPlainField(RowBody(buffer), 96, value) || value.empty()) return nullptr;
    length = static_cast<uint32_t>(value.size());
    return reinterpret_cast<const uint8_t*>(value.data());
}

std::size_t CFixRequest::GetAnswerCount() {
    CQvCriticalSection::Owner owner(answerLock_);
    return answers_.size();
}

bool CFixRequest::TakeNextAnswer() {
    CQvCriticalSection::Owner owner(answerLock_);
    if (answers_.empty()) return false;
    ReleaseRow(currentRow_);
    currentRow_ = answers_.front();
    answers_.erase(answers_.begin());
    return true;
}

// --- answer side ---

void CFixRequest::SetColumns(std::vector<uint32_t>&& columns) {
    columns_ = std::move(columns);
    columnIndex_.clear();
    for (std::size_t i = 0; i < columns_.size() && i <= 0xFFFF; ++i) {
        columnIndex_.emplace_back(columns_[i], static_cast<uint16_t>(i));
    }
    // Stable, so that of two columns with one tag the first wins.
    std::stable_sort(columnIndex_.begin(), columnIndex_.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    columnIndex_.erase(std::unique(columnIndex_.begin(), columnIndex_.end(),
                                   [](const auto& a, const auto& b) { return a.first == b.first; }),
                       columnIndex_.end());
}

void CFixRequest::AddAnswer(CIOBuffer* buffer) {
    if (buffer == nullptr || buffer->GetUsed() < kHeaderSize) return;
    uint8_t* data = buffer->GetBuffer();
    const uint8_t bodyFlags = data[7];
    const uint8_t packetFlags = data[8];
    CQvCriticalSection::Owner owner(answerLock_);
    if ((bodyFlags & kBodyColumnHeader) != 0) {
        if (rowCount_ == 0) {
            uint32_t length = ReadLe16(data);
            if (length < kHeaderSize || length > buffer->GetUsed()) length = buffer->GetUsed();
            std::vector<uint32_t> columns;
            const std::size_t body = RewriteColumnHeader(
                reinterpret_cast<char*>(data) + kHeaderSize, length - kHeaderSize, columns);
            const uint32_t newLength = static_cast<uint32_t>(kHeaderSize + body);
            WriteLe16(data, static_cast<uint16_t>(newLength));
            buffer->SetUsed(newLength);
            SetColumns(std::move(columns));
        }
        tableForm_ = true;
    }
    buffer->AddRef();
    answers_.push_back(buffer);
    if ((packetFlags & kPacketNotCounted) == 0) ++rowCount_;
    if ((packetFlags & kPacketLast) != 0) {
        if ((packetFlags & kPacketEmpty) != 0 && rowCount_ > 0) --rowCount_;
        complete_ = true;
    }
    // Every row wakes the waiter, so stepping rows while they arrive costs no wait.
    answerEvent_.Set();
}

bool CFixRequest::AddCompressedSegment(const uint8_t* body, uint32_t length, bool last) {
    if (body == nullptr || length < 1) return false;
    bool ok = true;
    try {
        if (collected_ == nullptr) collected_ = LargeBufferAllocator().Allocate();
        if (length > kLargestRequest - std::min(collected_->GetUsed(), kLargestRequest)) {
            // Beyond the largest collection: drop what was collected with it.
            CQvCriticalSection::Owner owner(answerLock_);
            ReleaseRow(collected_);
            return false;
        }
        collected_->AddData(body, length);
        if (!last) return true;
        inflated_ = LargeBufferAllocator().Allocate();
        std::size_t produced = 0;
        ok = InflateSegments(collected_->GetBuffer(), collected_->GetUsed(), inflated_->GetBuffer(),
                             std::min<std::size_t>(kPacketBufferSize, inflated_->GetCapacity()),
                             produced) &&
             SplitInflated(inflated_->GetBuffer(), produced);
    } catch (const CQvException&) {
        ok = false;
    }
    CQvCriticalSection::Owner owner(answerLock_);
    ReleaseRow(collected_);
    ReleaseRow(inflated_);
    return ok;
}

bool CFixRequest::SplitInflated(const uint8_t* data, std::size_t length) {
    if (answerAllocator_ == nullptr) return false;
    const std::size_t maxPacket =
        std::min<std::size_t>(kMaxPacketSize, answerAllocator_->GetBufferSize());
    // The lengths are checked over the whole stream first: a broken answer delivers no row
    // at all, so a waiter never steps into part of it.
    if (!SplitPackets(data, length, maxPacket, [](const uint8_t*, std::size_t) { return true; })) {
        return false;
    }
    return SplitPackets(data, length, maxPacket, [this](const uint8_t* packet, std::size_t size) {
        CIOBuffer* piece = answerAllocator_->Allocate();
        piece->AddData(packet, static_cast<uint32_t>(size));
        AddAnswer(piece);
        piece->Release();
        return true;
    });
}

// --- sending and waiting ---

bool CFixRequest::Send() {
    if (sent_) return false;
    if (!headerCreated_) {
        SetError(kErrCannotSend, kTextNoHeader);
        return false;
    }
    sent_ = true;
    headerCreated_ = false;
    if (bodyLength_ <= 0) {
        SetError(kErrCannotSend, kTextBadLength);
        return false;
    }
    if (connection_ == nullptr) {
        SetError(kErrCannotSend, kTextNoConnection);
        return false;
    }
    FinishPacket(connection_->NextPacketId());
    // Registered before the bytes go out: the answer may arrive before the send returns.
    const bool registered = kind_ != kKindOneWay;
    if (registered) connection_->RegisterWaiting(this);
    const int32_t written = connection_->SendPacket(packet_.get(), bodyLength_, handshake_);
    if (written == bodyLength_) return true;
    // Nothing will answer a packet that did not go out whole: it leaves the waiting list now
    // instead of holding its place until the link is lost.
    if (registered) connection_->UnregisterWaiting(packetId_, this);
    sent_ = false;
    SetError(kErrCannotSend,
             written == CFixApiClient::kSendEncryptFailed ? kTextEncryptFailed : kTextShortWrite);
    return false;
}

bool CFixRequest::NextRow() {
    if (!sent_ && !Send()) {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        SetError(kErrSendFailed, kTextSendFailed);
        return false;
    }
    {
        CQvCriticalSection::Owner owner(answerLock_);
        if (currentRow_ != nullptr) {
            if ((currentRow_->GetBuffer()[8] & (kPacketLast | kPacketNotCounted)) != 0) {
                return false;
            }
            ReleaseRow(currentRow_);
        }
    }
    const int64_t start = platform::TickMs();
    for (;;) {
        {
            CQvCriticalSection::Owner owner(answerLock_);
            if (!answers_.empty()) {
                currentRow_ = answers_.front();
                answers_.erase(answers_.begin());
                break;
            }
            if (complete_) return false;
        }
        int64_t slice = 1000;
        if (timeoutSec_ >= 1) {
            const int64_t left = int64_t{timeoutSec_} * 1000 - (platform::TickMs() - start);
            slice = std::clamp<int64_t>(left, 0, 1000);
        }
        if (slice > 0 && answerEvent_.Wait(slice)) answerEvent_.Reset();
        if (connection_ != nullptr && connection_->IsClosing()) {
            SetError(kErrLinkClosed, UserAbortText(platform::TickMs() - creationTick_));
            Abandon();
            return false;
        }
        {
            // An answer that came in while waiting wins over the time-out.
            CQvCriticalSection::Owner owner(answerLock_);
            if (!answers_.empty() || complete_) continue;
        }
        if (timeoutSec_ >= 1 && platform::TickMs() - start >= int64_t{timeoutSec_} * 1000) {
            SetError(kErrAnswerTimeout, AnswerTimeoutText(timeoutSec_));
            Abandon();
            return false;
        }
    }
    const uint8_t flags = currentRow_->GetBuffer()[8];
    if ((flags & kPacketNotCounted) != 0) return false;
    if ((flags & kPacketLast) != 0 && (flags & kPacketEmpty) != 0) return false;
    return true;
}

bool CFixRequest::WaitAnswer(int64_t ms) {
    if (complete_) {
        answerEvent_.Reset();
        return true;
    }
    if (ms <= 0) return false;
    if (!answerEvent_.Wait(ms)) return false;
    answerEvent_.Reset();
    // Read after the reset: a last packet that set the event just before is not lost.
    return complete_;
}

void CFixRequest::CompleteWithError(int32_t code, std::string text, bool dropRows) {
    {
        CQvCriticalSection::Owner owner(answerLock_);
        if (dropRows) {
            for (CIOBuffer*& buffer : answers_) ReleaseRow(buffer);
            answers_.clear();
            ReleaseRow(collected_);
            ReleaseRow(inflated_);
        }
        errorCode_ = code;
        errorText_ = std::move(text);
        complete_ = true;
    }
    answerEvent_.Set();
}

void CFixRequest::Abandon() {
    if (connection_ != nullptr && sent_ && kind_ != kKindOneWay && !complete_) {
        connection_->UnregisterWaiting(packetId_, this);
    }
}

void CFixRequest::MarkComplete() {
    {
        CQvCriticalSection::Owner owner(answerLock_);
        complete_ = true;
    }
    answerEvent_.Set();
}

uint32_t CFixRequest::EnsureSubscriptionHandle() {
    if (subscriptionHandle_ == 0xFFFFFFFFu) {
        subscriptionHandle_ = static_cast<uint32_t>(NextSequenceNumber());
    }
    return subscriptionHandle_;
}

void CFixRequest::StampCreation() { creationTick_ = platform::TickMs(); }

// --- result ---

void CFixRequest::SetError(int32_t code, std::string text) {
    CQvCriticalSection::Owner owner(answerLock_);
    errorCode_ = code;
    errorText_ = std::move(text);
}

int32_t CFixRequest::GetErrorCode() const {
    CQvCriticalSection::Owner owner(answerLock_);
    return errorCode_;
}

std::string CFixRequest::GetErrorText() {
    {
        CQvCriticalSection::Owner owner(answerLock_);
        if (!errorText_.empty()) return errorText_;
    }
    return GetString(508);
}

}  // namespace NoltComm
