#include <gtest/gtest.h>

#include <climits>

#include "lib/core/network/network_layer.h"
#include "tests/lib/core/window/window_fixture.h"

namespace velk {
namespace {

TEST(NetworkLayer, EveryOperationRefusesWhateverTheHandle) {
    char buffer[16] = "unchanged";
    for (int handle : {0, -1, kNetworkHandleType | 5, kNetworkHandleType | (2047 << 16) | 4095, INT_MAX}) {
        EXPECT_EQ(GetNetWorkAcceptState(handle), -1);
        EXPECT_EQ(NetWorkRecv(handle, buffer, sizeof(buffer)), -1);
        EXPECT_EQ(NetWorkRecvToPeek(handle, buffer, sizeof(buffer)), -1);
        EXPECT_EQ(NetWorkSend(handle, buffer, sizeof(buffer)), -1);
        EXPECT_EQ(NetWorkSend(handle, nullptr, -5), -1);
        EXPECT_EQ(GetNetWorkDataLength(handle), -1);
        EXPECT_EQ(CloseNetWork(handle), -1);
        EXPECT_EQ(RecvSocket(handle), -1);
        EXPECT_EQ(SendSocket(handle), -1);
    }
    EXPECT_EQ(AcceptNetWork(), -1);
    EXPECT_STREQ(buffer, "unchanged");
}

TEST(NetworkLayer, StepsAndEndsDoNothing) {
    ClearHttpRequests();
    EXPECT_EQ(ProcessNetWorkMessages(1), 0);
    EXPECT_EQ(ProcessHttpRequests(), 0);
    ProcessUsedHttpRequests();
    EXPECT_EQ(HandleNetWorkEvent(1, 2), 0);
    EXPECT_EQ(GetHttpRequestCount(), 0);
    EXPECT_EQ(EndHttpRequests(), 0);
    EXPECT_EQ(EndNetWork(), 0);
}

TEST_F(WindowTest, TheNetworkStepsRunFromMessageProcessing) {
    RegisterNetworkWithWindow();
    CreateWindowed();
    platform::PostWindowMessage(window(), platform::msg::kNetworkEvent, 1, 2);
    EXPECT_EQ(ProcessMessagesBody(), 0);
    MainWindowState().active = 0;
    SetAlwaysRunFlag(0);
    platform::PostWindowMessage(window(), platform::msg::kActivateApp, 1, 0);
    EXPECT_EQ(ProcessMessagesBody(), 0);
}

}  // namespace
}  // namespace velk
