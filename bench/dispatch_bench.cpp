// How fast the dispatch thread turns queued replies into device records.
#include "engine/context_internal.h"

#include <benchmark/benchmark.h>

#include <cstring>
#include <string>

namespace {

int count_device(DiscoveryContext*, const char*, const DeviceRecord* record, void* data) {
    benchmark::DoNotOptimize(record->device_id[0]);
    ++*static_cast<int64_t*>(data);
    return 0;
}

std::string typical_reply() {
    return "HDS/1.0 200 OK\r\nCSeq:1\r\nClient-ID:BenchBenchBenchBenchBenchBenchBe\r\n"
           "Device-ID=0123456789abcdef0123456789abcdef\r\nDevice-Model=IPC-200\r\nSoftware-Version=1.2.3\r\n"
           "Web-Version=4.5.6\r\nDevice-Name=\"Front door\"\r\nHttp-Port=80\r\nIP=192.168.1.20\r\n"
           "MASK=255.255.255.0\r\nMAC=00:11:22:33:44:55\r\nGateway=192.168.1.1\r\nDhcp=0\r\nDdns=1\r\n"
           "Fdns=8.8.8.8\r\nSdns=8.8.4.4\r\nDDNS-Enable=0\r\nDDNS-Host=ddns.example\r\nDDNS-Port=80\r\n"
           "DDNS-User=user\r\nDDNS-Passwd=pass\r\nDDNS-Domain=cam.example\r\nC_Vendor=vendor\r\n"
           "C_Product=product\r\nDevice-Type=IPC\r\n\r\n";
}

void run(benchmark::State& state, const std::string& message) {
    DiscoveryContext context;
    int64_t delivered = 0;
    context.device_handler = count_device;
    context.device_data = &delivered;
    for (auto _ : state) {
        dispatch_message(&context, message.data(), static_cast<int>(message.size()));
    }
    state.SetItemsProcessed(delivered);
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * message.size()));
}

void BM_DispatchTypicalReply(benchmark::State& state) {
    run(state, typical_reply());
}

void BM_Dispatch2KiBReply(benchmark::State& state) {
    std::string message = typical_reply();
    message.insert(message.size() - 2, "X-Padding=" + std::string(RECEIVE_BUFFER_SIZE - message.size() - 15, 'p') + "\r\n");
    run(state, message);
}

}  // namespace

BENCHMARK(BM_DispatchTypicalReply);
BENCHMARK(BM_Dispatch2KiBReply);
BENCHMARK_MAIN();
