// CFixApiClient: one connection to a FixApi server over the socket link: the head values that
// every request carries, the address list, the connect sequence and receive thread, the
// waiting, subscription and pending lists, request creation, subscriptions and the push being
// dispatched, the receive dispatch and the orderly close.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <stop_token>
#include <string>
#include <string_view>
#include <vector>

#include "comm/FixRequest.h"
#include "comm/FixRequestPool.h"
#include "comm/QvCriticalSection.h"
#include "comm/QvThread.h"
#include "comm/SocketLink.h"
#include "comm/SslLayer.h"
#include "comm/SymmetricCipher.h"

namespace NoltComm {

class CFixApiClient;

inline constexpr int32_t kTagTopic = 384;
inline constexpr int32_t kTagSubscriptionKey = 246;

// Called for a push without topic when set: (connection, 0, 0).
using QuoteCallback = void (*)(CFixApiClient* client, uint32_t handle, int32_t reason);

// The state that the send and receive paths of one connection share.
struct FixLinkState {
    std::string serverText;  // set by the communication authentication
    std::vector<std::string> addresses;
    int32_t nextAddress = 0;
    std::atomic<bool> receiveLoopEnded{true};
    // Set once the communication authentication has succeeded; until then only packets with
    // the handshake mark are sent.
    std::atomic<bool> ready{false};
    // Each entry holds one reference. The client's lock guards the waiting list.
    std::vector<CFixRequest*> waiting;
    std::vector<CFixRequest*> subscriptions;  // subscriptionLock
    std::vector<CFixRequest*> pending;        // pendingLock: subscriptions to send again
    std::atomic<bool> resubscribeBusy{false};
    CQvCriticalSection authLock;
    CQvCriticalSection subscriptionLock;
    CQvCriticalSection pendingLock;
    std::atomic<int64_t> lastReceiveTick{0};
    std::atomic<int64_t> lastSendTick{0};
    CFixRequestPool pool;
    std::atomic<QuoteCallback> quoteCallback{nullptr};
    std::atomic<int32_t> linkMode{1};
};

// Serialises the socket connects (with their proxy handshakes) of every client.
CQvCriticalSection& ConnectLock();
// Set by every client's destruction; ends the program-wide re-subscription work.
bool IsClientShutdown();

class CFixApiClient : public CSocketLink {
public:
    // SendPacket: the cipher refused the packet (nothing went out).
    static constexpr int32_t kSendEncryptFailed = -6;
    // ReceiveFrom's byte source: fills at most room bytes and returns how many (> 0), or 0 or
    // less when the peer closed or the transport failed.
    using ByteSource = std::function<int32_t(uint8_t* out, int32_t room)>;

    CFixApiClient();
    ~CFixApiClient() override;

    // --- configuration (texts are copied) ---
    void SetHeadValue1(std::string_view text);
    void SetHeadValue2(std::string_view text);
    void SetHeadValue3(std::string_view text);
    void SetHeadValue5(std::string_view text);
    void SetHeadValue6(std::string_view text);
    void SetHeadNumber8(uint32_t value) { headNumber8_.store(value); }
    void SetProgramName(std::string_view text);
    std::string GetProgramName() const;
    void SetVersionText(std::string_view text);
    std::string GetVersionText() const;
    void SetAuthTexts(std::string_view first, std::string_view second);
    // The body cipher that the built-in authentication makes and hands to the server ("Std"
    // unless set; any name the crypto manager knows).
    void SetSessionCipher(std::string_view name);
    std::string GetSessionCipher() const;
    // Station text and link station text; an empty text changes nothing.
    void SetStationInfo(std::string_view text);
    // The link station text when it is not empty, else the station text.
    std::string GetStationInfo() const;
    std::string GetStationText() const;
    // Mode 3 switches SSL on, any other mode off. True.
    bool SetLinkMode(int32_t mode);
    int32_t GetLinkMode() const { return state_->linkMode.load(); }
    bool GetSslSwitch() const { return ssl_.load(); }
    // CA file, client certificate, cipher string and the legacy-TLS switch of SSL links.
    void SetSslSettings(const SslSettings& settings);
    SslSettings GetSslSettings() const;
    void SetAutoReconnect(bool on) { autoReconnect_.store(on); }
    bool GetAutoReconnect() const { return autoReconnect_.load(); }
    // The least time between two connection attempts after a link loss (10 s unless set; 0
    // tries again on every pass of the receive loop).
    void SetReconnectInterval(uint32_t seconds) { reconnectInterval_.store(seconds); }
    uint32_t GetReconnectInterval() const { return reconnectInterval_.load(); }
    void SetQuoteCallback(QuoteCallback callback) { state_->quoteCallback.store(callback); }
    // Appends unless the list holds the text already (same length, equal ignoring case).
    void AddServerAddress(std::string_view text);
    std::vector<std::string> GetServerAddresses() const;

    // --- connection ---
    // Closes first; an empty text takes the next entry of the address list. False with the
    // reason in GetErrorText (code in GetErrorCode) when the address, socket, proxy or the
    // authentication fails.
    bool Connect(const std::string& address);
    // Closes the link, fails every waiting request and stops the receive thread, the
    // reconnection thread and the re-subscription timer. Idempotent.
    bool Close();
    bool IsClosed() const { return open_.load() < 1; }
    // Closes the link and ends the receive thread and the helper threads at once (no pause).
    // A class derived from this one calls it first in its destructor: those threads call
    // virtual operations, so they must have ended before the derived part goes.
    void StopReceiving();
    // Set by Close until the next Connect: waits on this connection end at once.
    bool IsClosing() const { return closing_.load(); }
    bool IsReady() const { return state_->ready.load(); }
    // The server list without authentication: item 204 and item 391 of every answer row.
    bool QueryServerList(const std::string& address, std::vector<std::string>& names,
                         std::vector<int32_t>& numbers);
    // The current request's item 508, else its own error text, else the link's last text.
    std::string GetErrorText();
    int64_t GetLastReceiveTick() const { return state_->lastReceiveTick.load(); }
    int64_t GetLastSendTick() const { return state_->lastSendTick.load(); }
    std::string GetServerText() const;

    // --- requests ---
    // A request from the pool with the head values, time-out and creation tick set; the
    // caller owns one reference.
    CFixRequest* CreateRequest();
    // Release the current request, take a new one, make it current and begin it.
    bool BeginRequest(int32_t function);
    bool BeginRequest(std::string_view function);
    bool AddLongField(int32_t tag, int32_t value);
    bool AddStringField(int32_t tag, std::string_view value);
    // Sends the current request with the client's packet kind; null without one.
    CFixRequest* SendCurrent();
    // Steps the given request (the current one when null) to its next answer row.
    bool NextRow(CFixRequest* request = nullptr);
    std::string GetAnswerString(int32_t tag, int32_t row = -1);
    std::string GetAnswerText();
    // The current request (the caller gets one reference of its own), or null.
    CFixRequest* GetCurrentRequest();
    // Sends the current request as one-way and releases it. False without one.
    bool SendOneWay();
    // Sends the current request as a subscription and waits for its first row: the handle
    // (never 0), or 0 when refused (no topic in the answer) or failed.
    uint32_t Subscribe(PushCallback callback, uintptr_t userValue);
    // A subscription parked for renewal is dropped without asking the server (it holds none).
    bool Unsubscribe(uint32_t handle);
    // Subscribes every parked subscription again under its old handle (newest first); its
    // callback hears of each renewal (reason 2). False when one failed (it stays parked) or
    // another run is busy.
    bool ResubscribeAll();
    // The user value given to Subscribe; 0 for an unknown handle.
    uintptr_t GetSubscriptionUserValue(uint32_t handle);
    std::size_t GetSubscriptionCount();
    std::size_t GetPendingCount();
    std::size_t GetWaitingCount();

    // --- the push being dispatched (receive thread, inside a callback) ---
    std::string GetPushString(int32_t tag);
    bool HasPushField(int32_t tag);
    const uint8_t* FindPushField(const uint8_t* body, int32_t length, int32_t tag,
                                 int32_t* valueLength);
    const uint8_t* GetPushBody(int32_t* length);

    // --- send and receive paths ---
    uint32_t NextPacketId() { return packetId_.fetch_add(1) + 1; }
    // Written bytes (the packet's length once it went out whole), -1 when the link is not
    // ready and the packet has no handshake mark, kSendEncryptFailed, or 0 or less when the
    // write failed.
    int32_t SendPacket(const uint8_t* packet, int32_t length, bool handshake);
    // The list takes one reference.
    bool RegisterWaiting(CFixRequest* request);
    // The waiting request with the id, with one reference for the caller (the list's own
    // when remove is set); null when none waits.
    CFixRequest* FindWaiting(uint32_t packetId, bool remove);
    // Takes the request out of the waiting list (dropping the list's reference) if it is
    // still there under that id.
    void UnregisterWaiting(uint32_t packetId, CFixRequest* request);
    // Reads one packet from the socket and dispatches it; false when the link failed (it is
    // closed then).
    bool ReceiveOne();
    // The same over any byte source (the socket, or bytes in memory).
    bool ReceiveFrom(const ByteSource& source);
    // Drops bytes staged by an earlier read (a new connection starts a new stream).
    void ResetReceiveStage();

protected:
    // The close hook: waiting requests fail with -105, subscriptions move to the pending
    // list.
    void OnLinkClosed() override;
    // The communication authentication of a new link (the security-session one in link mode 2
    // without SSL, else the built-in one); true makes the link ready. False leaves the reason
    // in the link's error text.
    virtual bool Authenticate();
    // Wraps the freshly connected socket in SSL when the SSL switch is on (true when it is
    // off). False leaves the reason in the link's error text; the caller closes the link.
    bool StartSsl();
    // One reconnection attempt of the receive loop after a link loss: the next address of
    // the list, at most once per interval. True when a new link is up and its
    // re-authentication has been started on the reconnection thread.
    virtual bool Reconnect();
    // The server cancelled a subscription: it moves to the pending list and its callback
    // hears of it (reason 1).
    virtual bool OnServerUnsubscribe(std::string_view topic);
    FixLinkState& LinkState() { return *state_; }

private:
    class ReceiveThread : public CQvThread {
    public:
        explicit ReceiveThread(CFixApiClient& client) : client_(client) {}
        ~ReceiveThread() override { Stop(true); }

    protected:
        uint32_t Run() override;

    private:
        CFixApiClient& client_;
    };

    void SetConfigText(std::string& field, std::string_view text);
    std::string GetConfigText(const std::string& field) const;
    void SelectAddress(const std::string& text);
    bool ParseAddress();
    std::string LocalStationText();
    void StopReceiveThread();
    void ReleaseDispatched();
    bool StageHoldsPacket() const;
    bool DispatchPacket(CIOBuffer* buffer);
    void DispatchPush(CIOBuffer* buffer);
    void DispatchAnswer(CIOBuffer* buffer);
    CFixRequest* TakeCurrent();
    void ReplaceCurrent(CFixRequest* request);
    bool StepRequest(CFixRequest* request, uint8_t kind);
    // Subscribe with a begun request; takes over the caller's reference.
    uint32_t SubscribeRequest(CFixRequest* request, PushCallback callback, uintptr_t userValue);
    bool DropParked(uint32_t handle);
    bool IsParked(CFixRequest* subscription);
    uint32_t RunReconnection(std::stop_token token);
    uint32_t RunAutoSubscribe(std::stop_token token);
    void StartAutoSubscribe();
    void StopHelperThreads();
    void TraceStep(const char* format);

    mutable std::mutex configMutex_;  // the texts below
    std::string head1_ = "3";
    std::string head2_ = "00009999";
    std::string head3_ = "8";
    std::string head5_ = "1";
    std::string head6_ = "1";
    std::string station_;
    std::string linkStation_;
    std::string programName_;
    std::string versionText_ = "2.0";
    std::string authFirst_;
    std::string authSecond_;
    std::string sessionCipher_ = "Std";
    SslSettings sslSettings_;
    std::atomic<uint32_t> headNumber8_{1};

    CQvCriticalSection clientLock_;  // the waiting list
    std::mutex currentMutex_;        // the current-request pointer; never held while waiting
    CFixRequest* current_ = nullptr;

    std::atomic<uint32_t> packetId_{0};
    std::atomic<int32_t> open_{0};
    std::atomic<bool> closing_{false};
    std::atomic<bool> ssl_{false};
    std::atomic<bool> autoReconnect_{true};
    std::atomic<int64_t> lastAttempt_{0};
    std::atomic<uint32_t> reconnectInterval_{10};

    // Starts and joins of the two helper threads; none of them ever takes it.
    std::mutex helperMutex_;
    // Re-authenticates and re-subscribes after a reconnection; at most one at a time.
    CQvThreadHandle reconnectThread_;
    // Renews the subscriptions the server cancelled, every kAutoSubscribePeriod.
    CQvThreadHandle autoSubscribeThread_;

    // Receive thread only.
    CIOBuffer* dispatched_ = nullptr;
    int32_t pushCursor_ = 0;
    std::unique_ptr<uint8_t[]> stage_;
    int32_t stageStart_ = 0;
    int32_t stageEnd_ = 0;

    std::unique_ptr<FixLinkState> state_;
    // The body cipher of the last authentication (also after a failed one); the link only
    // points at it. Replaced under the authentication lock.
    std::unique_ptr<CQvSymmetricCipher> bodyCipher_;
    ReceiveThread receiveThread_;
};

}  // namespace NoltComm
