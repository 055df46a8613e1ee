#include "lib/core/files/link_list.h"

namespace velk {

int InitLinkList(LinkListNode* head, LinkListNode* tail) {
    head->key = -1;
    head->data = nullptr;
    head->previous = nullptr;
    head->next = tail;
    tail->key = -1;
    tail->data = nullptr;
    tail->previous = head;
    tail->next = nullptr;
    return 0;
}

int InsertLinkListNode(LinkListNode* position, LinkListNode* node, int32_t key, void* data) {
    node->key = key;
    node->data = data;
    node->previous = position;
    node->next = position->next;
    if (position->next != nullptr) {
        position->next->previous = node;
    }
    position->next = node;
    return 0;
}

int RemoveLinkListNode(LinkListNode* node) {
    if (node->previous != nullptr) {
        node->previous->next = node->next;
    }
    if (node->next != nullptr) {
        node->next->previous = node->previous;
    }
    return 0;
}

}  // namespace velk
