// An intrusive doubly linked list: objects embed a CQvList::Node (by deriving from it) and
// are linked without any allocation. Not locked: owners guard it with their own lock.
#pragma once

#include <cstdint>

namespace NoltComm {

class CQvList {
public:
    class Node {
    public:
        Node() = default;
        // A node that dies while linked takes itself out of its list.
        virtual ~Node();
        Node(const Node&) = delete;
        Node& operator=(const Node&) = delete;

        CQvList* OwningList() const { return owner_; }
        Node* Next() const { return next_; }

    private:
        friend class CQvList;
        Node* next_ = nullptr;
        Node** link_ = nullptr;  // the field that points at this node
        CQvList* owner_ = nullptr;
    };

    CQvList() = default;
    ~CQvList();
    CQvList(const CQvList&) = delete;
    CQvList& operator=(const CQvList&) = delete;

    void PushFront(Node* node);
    void PushBack(Node* node);
    Node* PopFront();
    // Unlinks a node of this list; a node of another list (or none) is left alone.
    void Remove(Node* node);

    Node* Head() const { return head_; }
    uint32_t Count() const { return count_; }
    bool IsEmpty() const { return count_ == 0; }

private:
    Node* head_ = nullptr;
    Node** tail_ = &head_;  // the field a node pushed at the back is stored in
    uint32_t count_ = 0;
};

}  // namespace NoltComm
