#pragma once
// The library's network layer: TCP connection handles with receive and send
// rings and up to 100 HTTP requests on top. The layer is never started in
// this program: nothing opens a socket, every operation refuses at once, the
// per-frame steps do nothing and the end steps find nothing to close. The
// game's internet-download command does not use it.

#include <cstdint>

namespace velk {

constexpr int kMaxNetworkHandles = 4096;
constexpr int kMaxHttpRequests = 100;
constexpr int kNetworkHandleType = 0x48000000;

// -1: the layer is not started.
int AcceptNetWork();
int GetNetWorkAcceptState(int handle);
int NetWorkRecv(int handle, void* buffer, int length);
int NetWorkRecvToPeek(int handle, void* buffer, int length);
int NetWorkSend(int handle, const void* buffer, int length);
int GetNetWorkDataLength(int handle);
int CloseNetWork(int handle);
int RecvSocket(int handle);
int SendSocket(int handle);

// Per-frame and inactive-pass steps: 0, nothing to do.
int ProcessNetWorkMessages(int flag);
int ProcessHttpRequests();
// Runs the step of every used request slot (there are none).
void ProcessUsedHttpRequests();
// The socket notification message; it never comes, as no socket exists.
int64_t HandleNetWorkEvent(uint64_t wparam, int64_t lparam);

// Start-up clears the request table; shut-down ends requests and the layer.
void ClearHttpRequests();
int EndHttpRequests();
int EndNetWork();

// Connects the layer's steps to the window's procedure and message
// processing.
void RegisterNetworkWithWindow();

// How many request slots are in use (always 0).
int GetHttpRequestCount();

}  // namespace velk
