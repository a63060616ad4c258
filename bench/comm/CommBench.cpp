// Speed of request composition, answer field reads and compressed answer splitting.
#include <benchmark/benchmark.h>
#include <zlib.h>

#include <atomic>
#include <cstdlib>
#include <new>
#include <string>
#include <vector>

#include "BenchMessages.h"
#include "comm/FixPacket.h"
#include "comm/FixRequest.h"
#include "comm/IOBuffer.h"

// Heap allocations are counted so that the steady state of composing can be shown to need
// none.
namespace {
std::atomic<int64_t> g_allocations{0};
}
[[gnu::noinline]] void* operator new(std::size_t size) {
    g_allocations.fetch_add(1, std::memory_order_relaxed);
    if (void* p = std::malloc(size != 0 ? size : 1)) return p;
    throw std::bad_alloc();
}
[[gnu::noinline]] void operator delete(void* p) noexcept { std::free(p); }
[[gnu::noinline]] void operator delete(void* p, std::size_t) noexcept { std::free(p); }

namespace {

using namespace NoltComm;

std::string Packet(const std::string& body, uint8_t bodyFlags = 0, uint8_t packetFlags = 0) {
    const uint32_t length = static_cast<uint32_t>(14 + body.size());
    std::string p(14, '\0');
    p[0] = static_cast<char>(length & 0xFF);
    p[1] = static_cast<char>(length >> 8);
    p[2] = 7;
    p[7] = static_cast<char>(bodyFlags);
    p[8] = static_cast<char>(packetFlags);
    return p + body;
}

void BM_ComposeRequest(benchmark::State& state) {
    CFixRequest request;
    request.SetHeadValue(1, "3");
    request.SetHeadValue(2, "00009999");
    request.SetHeadValue(3, "8");
    request.SetHeadValue(4, "PC;192.168.0.1;00-11-22-33-44-55");
    request.SetHeadValue(5, "1");
    request.SetHeadValue(6, "1");
    request.SetHeadNumber(1);
    uint32_t id = 0;
    int64_t allocations = 0;
    for (auto _ : state) {
        const int64_t before = g_allocations.load(std::memory_order_relaxed);
        request.BeginRequest(303);
        request.AddField(605, "cu2501");
        request.AddField(606, "SHFE");
        request.AddLongField(607, 1);
        request.AddLongField(608, 0);
        request.AddDoubleField(609, 61250.0);
        request.AddLongField(610, 5);
        request.AddField(611, "0");
        request.AddField(612, "12345678");
        request.AddDoubleField(613, 0.25);
        request.AddField(614, "");
        request.FinishPacket(++id);
        allocations += g_allocations.load(std::memory_order_relaxed) - before;
        benchmark::DoNotOptimize(request.GetPacket());
    }
    state.counters["allocs/op"] =
        benchmark::Counter(static_cast<double>(allocations), benchmark::Counter::kAvgIterations);
}
BENCHMARK(BM_ComposeRequest);

class RowFixture {
public:
    explicit RowFixture(bool table) : allocator_(4096, 0) {
        if (table) {
            Add(Packet(benchmsg::FortyFields(true), kBodyColumnHeader));
            Add(Packet(benchmsg::FortyFields(false), 0, kPacketLast));
            request_.TakeNextAnswer();
        } else {
            Add(Packet(benchmsg::FortyFields(true), 0, kPacketLast));
        }
        request_.TakeNextAnswer();
    }
    ~RowFixture() { request_.Prepare(); }
    CFixRequest& request() { return request_; }

private:
    void Add(const std::string& packet) {
        CIOBuffer* b = allocator_.Allocate();
        b->AddData(packet.data(), static_cast<uint32_t>(packet.size()));
        request_.AddAnswer(b);
        b->Release();
    }
    CIOBuffer::Allocator allocator_;
    CFixRequest request_;
};

// Reads the field in the middle of the row (tag 620) and the last one (tag 639).
void BM_ReadPlainField(benchmark::State& state) {
    RowFixture fixture(false);
    const int32_t tag = static_cast<int32_t>(state.range(0));
    for (auto _ : state) benchmark::DoNotOptimize(fixture.request().GetString(tag));
}
BENCHMARK(BM_ReadPlainField)->Arg(620)->Arg(639);

void BM_ReadTableField(benchmark::State& state) {
    RowFixture fixture(true);
    const int32_t tag = static_cast<int32_t>(state.range(0));
    for (auto _ : state) benchmark::DoNotOptimize(fixture.request().GetString(tag));
}
BENCHMARK(BM_ReadTableField)->Arg(620)->Arg(639);

// A 32 KB answer of 60 rows compressed into one stream, collected in 8 segments.
void BM_InflateAndSplit32K(benchmark::State& state) {
    std::string stream;
    for (int i = 0; stream.size() + 600 < 32768; ++i) {
        std::string body = "507=" + std::to_string(i) + "\x01";
        while (body.size() < 520)
            body += std::to_string(600 + body.size() % 40) + "=v" +
                    std::to_string(i * 7919 % 100000) + "\x01";
        stream += Packet(body);
    }
    uLongf packedSize = compressBound(static_cast<uLong>(stream.size()));
    std::string packed(packedSize, '\0');
    compress(reinterpret_cast<Bytef*>(packed.data()), &packedSize,
             reinterpret_cast<const Bytef*>(stream.data()), static_cast<uLong>(stream.size()));
    packed.resize(packedSize);
    CIOBuffer::Allocator allocator(4096, 1000);
    CFixRequest request;
    const std::size_t segment = packed.size() / 8 + 1;
    int64_t rows = 0;
    for (auto _ : state) {
        request.SetAnswerAllocator(&allocator);
        for (std::size_t pos = 0; pos < packed.size(); pos += segment) {
            const std::size_t n = std::min(segment, packed.size() - pos);
            request.AddCompressedSegment(reinterpret_cast<const uint8_t*>(packed.data()) + pos,
                                         static_cast<uint32_t>(n), pos + n >= packed.size());
        }
        rows += request.GetRowCount();
        request.Prepare();
    }
    state.counters["rows"] =
        benchmark::Counter(static_cast<double>(rows), benchmark::Counter::kAvgIterations);
    state.counters["packed_bytes"] = static_cast<double>(packed.size());
    state.counters["stream_bytes"] = static_cast<double>(stream.size());
}
BENCHMARK(BM_InflateAndSplit32K);

}  // namespace
