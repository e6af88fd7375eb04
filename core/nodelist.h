// The library's intrusive doubly linked list: a list is a first and a last
// end node (handle -1) with the users' nodes linked between them.
#pragma once

struct LISTNODE {
    int Handle;
    void* Data;
    LISTNODE* Prev;
    LISTNODE* Next;
};

int InitNodeList(LISTNODE* first, LISTNODE* last);
// Links node directly after first.
int InsertListNode(LISTNODE* first, LISTNODE* node, int handle, void* data);
// Links the node's neighbours to each other; the node's own links stay.
int UnlinkListNode(LISTNODE* node);
