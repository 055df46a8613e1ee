#include "lib/core/files/link_list.h"

#include <gtest/gtest.h>

#include <vector>

namespace velk {
namespace {

std::vector<int32_t> Keys(const LinkListNode& head, const LinkListNode& tail) {
    std::vector<int32_t> keys;
    for (const LinkListNode* node = head.next; node != &tail; node = node->next) {
        keys.push_back(node->key);
        EXPECT_EQ(node->next->previous, node);
    }
    return keys;
}

TEST(LinkList, InsertsAfterAPositionAndRemovesInPlace) {
    LinkListNode head;
    LinkListNode tail;
    LinkListNode a;
    LinkListNode b;
    LinkListNode c;
    int payload = 0;
    InitLinkList(&head, &tail);
    EXPECT_TRUE(Keys(head, tail).empty());
    EXPECT_EQ(head.previous, nullptr);
    EXPECT_EQ(tail.next, nullptr);
    InsertLinkListNode(&head, &a, 1, &payload);
    InsertLinkListNode(&head, &b, 2, nullptr);
    InsertLinkListNode(&a, &c, 3, nullptr);
    EXPECT_EQ(Keys(head, tail), (std::vector<int32_t>{2, 1, 3}));
    EXPECT_EQ(a.data, &payload);
    RemoveLinkListNode(&a);
    EXPECT_EQ(Keys(head, tail), (std::vector<int32_t>{2, 3}));
    // The removed node keeps its links, so a walk standing on it can go on.
    EXPECT_EQ(a.next, &c);
    RemoveLinkListNode(&b);
    RemoveLinkListNode(&c);
    EXPECT_TRUE(Keys(head, tail).empty());
}

}  // namespace
}  // namespace velk
