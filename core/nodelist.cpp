// Owns the intrusive list operations; the nodes belong to their users.
#include "core/nodelist.h"

int InitNodeList(LISTNODE* first, LISTNODE* last)
{
    *first = {-1, nullptr, nullptr, last};
    *last = {-1, nullptr, first, nullptr};
    return 0;
}

int InsertListNode(LISTNODE* first, LISTNODE* node, int handle, void* data)
{
    node->Handle = handle;
    node->Data = data;
    node->Prev = first;
    node->Next = first->Next;
    if (first->Next != nullptr) first->Next->Prev = node;
    first->Next = node;
    return 0;
}

int UnlinkListNode(LISTNODE* node)
{
    if (node->Prev != nullptr) node->Prev->Next = node->Next;
    if (node->Next != nullptr) node->Next->Prev = node->Prev;
    return 0;
}
