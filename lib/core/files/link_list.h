#pragma once
// An intrusive doubly linked list between two sentinel nodes (the stream
// sounds are kept in one). Nodes belong to their owners; nothing here
// allocates.

#include <cstdint>

namespace velk {

struct LinkListNode {
    int32_t key = -1;  // -1 in the head and tail sentinels
    void* data = nullptr;
    LinkListNode* previous = nullptr;
    LinkListNode* next = nullptr;
};

// Links head and tail to each other as an empty list. Returns 0.
int InitLinkList(LinkListNode* head, LinkListNode* tail);
// Stores key and data in the node and links it directly after `position`.
// Returns 0.
int InsertLinkListNode(LinkListNode* position, LinkListNode* node, int32_t key, void* data);
// Links the node's neighbours to each other; the node keeps its own links.
// Returns 0.
int RemoveLinkListNode(LinkListNode* node);

}  // namespace velk
