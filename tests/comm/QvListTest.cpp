// The intrusive list.
#include "comm/QvList.h"

#include <gtest/gtest.h>

#include <memory>

namespace NoltComm {
namespace {

struct Item : CQvList::Node {
    explicit Item(int v) : value(v) {}
    int value;
};

int Value(CQvList::Node* node) { return node != nullptr ? static_cast<Item*>(node)->value : -1; }

TEST(QvListTest, PushPopRemoveKeepLinksAndCount) {
    CQvList list;
    Item a(1), b(2), c(3), d(4);
    list.PushFront(&b);
    list.PushFront(&a);
    list.PushBack(&c);
    list.PushBack(&d);
    EXPECT_EQ(list.Count(), 4u);
    list.Remove(&a);  // the head
    list.Remove(&c);  // the middle
    EXPECT_EQ(a.OwningList(), nullptr);
    EXPECT_EQ(list.Count(), 2u);
    list.Remove(&d);  // the tail: a later push at the back must link behind b
    list.PushBack(&a);
    EXPECT_EQ(Value(list.PopFront()), 2);
    EXPECT_EQ(Value(list.PopFront()), 1);
    EXPECT_EQ(list.PopFront(), nullptr);
    EXPECT_TRUE(list.IsEmpty());
}

TEST(QvListTest, NodeOfAnotherListIsNotRemoved) {
    CQvList one, two;
    Item a(1);
    one.PushFront(&a);
    two.Remove(&a);
    two.PushFront(&a);  // already linked: ignored
    EXPECT_EQ(one.Count(), 1u);
    EXPECT_EQ(two.Count(), 0u);
    one.Remove(&a);
}

TEST(QvListTest, DestroyedNodeLeavesItsList) {
    CQvList list;
    auto a = std::make_unique<Item>(1);
    Item b(2);
    list.PushBack(a.get());
    list.PushBack(&b);
    a.reset();
    EXPECT_EQ(list.Count(), 1u);
    EXPECT_EQ(Value(list.Head()), 2);
    list.Remove(&b);
}

}  // namespace
}  // namespace NoltComm
