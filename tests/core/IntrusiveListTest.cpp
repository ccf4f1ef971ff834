#include "core/IntrusiveList.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

class CountedItem : public ListItem {
public:
  CountedItem(int value, int* destroyed) : value(value), destroyed_(destroyed) {}
  ~CountedItem() override {
    if (destroyed_) ++*destroyed_;
  }
  int value;

private:
  int* destroyed_;
};

std::vector<int> Values(IntrusiveList& list) {
  std::vector<int> values;
  list.Lock();
  for (ListItem* item = list.First(); item; item = list.Next(item))
    values.push_back(static_cast<CountedItem*>(item)->value);
  list.Unlock();
  return values;
}

// The chain is consistent both ways: previous links mirror next links and the
// ends have none beyond them.
void ExpectConsistent(IntrusiveList& list) {
  ListItem* previous = nullptr;
  for (ListItem* item = list.First(); item; item = item->next) {
    EXPECT_EQ(previous, item->previous);
    previous = item;
  }
  EXPECT_EQ(previous, list.Last());
}

class IntrusiveListTest : public ::testing::Test {
protected:
  void SetUp() override { list.Init(); }
  void TearDown() override {
    list.Clear();
    list.Destroy();
  }
  IntrusiveList list;
  int destroyed = 0;
};

TEST_F(IntrusiveListTest, PushBackKeepsInsertionOrder) {
  EXPECT_EQ(nullptr, list.First());
  for (int i = 1; i <= 3; ++i) EXPECT_EQ(1, list.PushBack(new CountedItem(i, &destroyed)));
  EXPECT_EQ((std::vector<int>{1, 2, 3}), Values(list));
  ExpectConsistent(list);
}

TEST_F(IntrusiveListTest, RemoveUnlinksHeadMiddleAndTailWithoutDeleting) {
  CountedItem* items[4];
  for (int i = 0; i < 4; ++i) {
    items[i] = new CountedItem(i, &destroyed);
    list.PushBack(items[i]);
  }
  EXPECT_EQ(1, list.Remove(items[1]));
  EXPECT_EQ((std::vector<int>{0, 2, 3}), Values(list));
  ExpectConsistent(list);
  EXPECT_EQ(1, list.Remove(items[0]));
  EXPECT_EQ(1, list.Remove(items[3]));
  EXPECT_EQ((std::vector<int>{2}), Values(list));
  ExpectConsistent(list);
  EXPECT_EQ(0, destroyed);
  EXPECT_EQ(nullptr, items[1]->next);
  EXPECT_EQ(nullptr, items[1]->previous);
  EXPECT_EQ(1, list.Remove(items[2]));
  EXPECT_EQ(nullptr, list.First());
  EXPECT_EQ(nullptr, list.Last());
  for (CountedItem* item : items) delete item;
  EXPECT_EQ(4, destroyed);
}

TEST_F(IntrusiveListTest, RemovingANonMemberReturnsZeroAndChangesNothing) {
  list.PushBack(new CountedItem(1, &destroyed));
  list.PushBack(new CountedItem(2, &destroyed));
  CountedItem stranger(9, nullptr);
  EXPECT_EQ(0, list.Remove(&stranger));
  EXPECT_EQ(0, list.Remove(nullptr));
  EXPECT_EQ((std::vector<int>{1, 2}), Values(list));
  ExpectConsistent(list);
  // An item of another list is not a member of this one either.
  IntrusiveList other;
  other.Init();
  CountedItem a(7, nullptr), b(8, nullptr);
  other.PushBack(&a);
  other.PushBack(&b);
  EXPECT_EQ(0, list.Remove(&b));
  EXPECT_EQ(&a, b.previous);
  EXPECT_EQ(&b, other.Last());
  other.Remove(&a);
  other.Remove(&b);
  other.Destroy();
}

TEST_F(IntrusiveListTest, AnItemAlreadyLinkedIsNotPushedAgain) {
  CountedItem* first = new CountedItem(1, &destroyed);
  CountedItem* second = new CountedItem(2, &destroyed);
  list.PushBack(first);
  list.PushBack(second);
  EXPECT_EQ(0, list.PushBack(first));
  EXPECT_EQ(0, list.PushBack(second));
  EXPECT_EQ(0, list.PushBack(nullptr));
  EXPECT_EQ((std::vector<int>{1, 2}), Values(list));
  ExpectConsistent(list);
  // Once removed it can be pushed again, at the end.
  ASSERT_EQ(1, list.Remove(first));
  EXPECT_EQ(1, list.PushBack(first));
  EXPECT_EQ((std::vector<int>{2, 1}), Values(list));
}

TEST_F(IntrusiveListTest, TheOnlyMemberOfAnotherListIsNotTakenIntoASecondOne) {
  IntrusiveList other;
  other.Init();
  CountedItem* lone = new CountedItem(7, &destroyed);
  ASSERT_EQ(1, other.PushBack(lone));
  EXPECT_EQ(0, list.PushBack(lone));
  EXPECT_EQ(nullptr, list.First());
  EXPECT_EQ(0, list.Remove(lone));  // not a member here
  EXPECT_EQ(lone, other.First());
  // Removed from the other list, it may join this one.
  ASSERT_EQ(1, other.Remove(lone));
  EXPECT_EQ(1, list.PushBack(lone));
  EXPECT_EQ((std::vector<int>{7}), Values(list));
  EXPECT_EQ(nullptr, other.First());
  other.Destroy();
}

TEST_F(IntrusiveListTest, ClearDeletesEveryItemThroughItsVirtualDestructor) {
  for (int i = 0; i < 5; ++i) list.PushBack(new CountedItem(i, &destroyed));
  list.PushBack(new ListItem);  // a plain marker is deleted as well
  list.Clear();
  EXPECT_EQ(5, destroyed);
  EXPECT_EQ(nullptr, list.First());
  EXPECT_EQ(nullptr, list.Last());
  // The list stays usable.
  list.PushBack(new CountedItem(42, &destroyed));
  EXPECT_EQ((std::vector<int>{42}), Values(list));
}

TEST_F(IntrusiveListTest, TheLockIsRecursiveSoAWalkerMayRemoveWhileHoldingIt) {
  for (int i = 0; i < 4; ++i) list.PushBack(new CountedItem(i, &destroyed));
  list.Lock();
  ListItem* item = list.First();
  while (item) {
    ListItem* following = list.Next(item);
    if (static_cast<CountedItem*>(item)->value % 2 == 0) {
      EXPECT_EQ(1, list.Remove(item));
      delete item;
    }
    item = following;
  }
  list.Unlock();
  EXPECT_EQ((std::vector<int>{1, 3}), Values(list));
  EXPECT_EQ(2, destroyed);
}

}  // namespace
