// Intrusive list operations.
#include "comm/QvList.h"

namespace NoltComm {

CQvList::Node::~Node() {
    try {
        if (owner_ != nullptr) owner_->Remove(this);
    } catch (...) {
    }
}

CQvList::~CQvList() {
    // Nodes outlive the list: forget them so they do not point back at a dead list.
    while (PopFront() != nullptr) {
    }
}

void CQvList::PushFront(Node* node) {
    if (node == nullptr || node->owner_ != nullptr) return;
    node->next_ = head_;
    if (head_ != nullptr) {
        head_->link_ = &node->next_;
    } else {
        tail_ = &node->next_;
    }
    head_ = node;
    node->link_ = &head_;
    node->owner_ = this;
    ++count_;
}

void CQvList::PushBack(Node* node) {
    if (node == nullptr || node->owner_ != nullptr) return;
    node->next_ = nullptr;
    node->link_ = tail_;
    *tail_ = node;
    tail_ = &node->next_;
    node->owner_ = this;
    ++count_;
}

CQvList::Node* CQvList::PopFront() {
    Node* node = head_;
    if (node != nullptr) Remove(node);
    return node;
}

void CQvList::Remove(Node* node) {
    if (node == nullptr || node->owner_ != this) return;
    *node->link_ = node->next_;
    if (node->next_ != nullptr) {
        node->next_->link_ = node->link_;
    } else {
        tail_ = node->link_;
    }
    node->next_ = nullptr;
    node->link_ = nullptr;
    node->owner_ = nullptr;
    --count_;
}

}  // namespace NoltComm
