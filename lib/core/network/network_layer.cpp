#include "lib/core/network/network_layer.h"

#include <array>

#include "lib/core/window/window_services.h"

namespace velk {

namespace {

// The request table the per-frame step walks; no operation of this program
// fills a slot.
struct HttpRequestSlot {
    bool used = false;
};

struct NetworkLayer {
    std::array<HttpRequestSlot, kMaxHttpRequests> requests{};
    int request_count = 0;
};

NetworkLayer& Layer() {
    static NetworkLayer layer;
    return layer;
}

// Every operation on a connection refuses before it looks at its arguments:
// the layer is never started, so no handle can be valid.
int RefuseUnlessStarted() { return -1; }

void ProcessHttpRequest(HttpRequestSlot&) {}

}  // namespace

int AcceptNetWork() { return RefuseUnlessStarted(); }
int GetNetWorkAcceptState(int) { return RefuseUnlessStarted(); }
int NetWorkRecv(int, void*, int) { return RefuseUnlessStarted(); }
int NetWorkRecvToPeek(int, void*, int) { return RefuseUnlessStarted(); }
int NetWorkSend(int, const void*, int) { return RefuseUnlessStarted(); }
int GetNetWorkDataLength(int) { return RefuseUnlessStarted(); }
int CloseNetWork(int) { return RefuseUnlessStarted(); }
int RecvSocket(int) { return RefuseUnlessStarted(); }
int SendSocket(int) { return RefuseUnlessStarted(); }

int ProcessNetWorkMessages(int) { return 0; }
int ProcessHttpRequests() { return 0; }

void ProcessUsedHttpRequests() {
    for (auto& request : Layer().requests) {
        if (request.used) ProcessHttpRequest(request);
    }
}

int64_t HandleNetWorkEvent(uint64_t, int64_t) { return 0; }

void ClearHttpRequests() {
    Layer().requests = {};
    Layer().request_count = 0;
}

int EndHttpRequests() { return 0; }
int EndNetWork() { return 0; }

int GetHttpRequestCount() { return Layer().request_count; }

void RegisterNetworkWithWindow() {
    WindowNetworkServices services;
    services.process_network_messages = [](int flag) { return ProcessNetWorkMessages(flag); };
    services.process_http_requests = [] { return ProcessHttpRequests(); };
    services.process_used_http_requests = [] { ProcessUsedHttpRequests(); };
    services.handle_network_event = [](uint64_t wparam, int64_t lparam) { return HandleNetWorkEvent(wparam, lparam); };
    SetWindowNetworkServices(std::move(services));
}

}  // namespace velk
