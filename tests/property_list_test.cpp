#include <gtest/gtest.h>

#include <vector>

#include "job/property_list.h"

namespace partwell {
namespace {

std::vector<int32_t> released;
void RecordRelease(PropertyEntry*, void*, int32_t key, const char*) { released.push_back(key); }

TEST(PropertyList, KeysAreUniqueAndTheHeadStays) {
  PropertyListPtr list = MakePropertyList();
  int first = 1, second = 2;
  EXPECT_EQ(AddProperty(list.get(), &first, nullptr, kSplitWindowKey, "Split Window"), 1);
  EXPECT_EQ(AddProperty(list.get(), &second, nullptr, kSplitWindowKey, "Split Window"), 0);
  EXPECT_EQ(FindProperty(list.get(), kSplitWindowKey), &first);
  EXPECT_EQ(AddProperty(list.get(), &second, nullptr, 0, "head"), 0);
  EXPECT_EQ(RemoveProperty(list.get(), 0), 0);
  EXPECT_EQ(FindProperty(list.get(), kAboutWindowKey), nullptr);
  EXPECT_EQ(RemoveProperty(list.get(), kAboutWindowKey), 0);
  EXPECT_EQ(AddProperty(nullptr, &first, nullptr, 9, nullptr), 0);
}

TEST(PropertyList, NamesAreCutToNineteenCharacters) {
  PropertyListPtr list = MakePropertyList();
  ASSERT_EQ(AddProperty(list.get(), nullptr, nullptr, 9, "a name of twenty-five char"), 1);
  EXPECT_STREQ(list->next->name, "a name of twenty-fi");
  EXPECT_EQ(list->next->prev, list.get());
}

TEST(PropertyList, StoringAgainReplacesAndReleasesTheOldCell) {
  PropertyListPtr list = MakePropertyList();
  ASSERT_EQ(StoreIntegerProperty(list.get(), kBitRateKey, "Bit Rate", 128), 1);
  ASSERT_EQ(StoreIntegerProperty(list.get(), kFirstFrameKey, "First Frame", int64_t{5} << 32), 1);
  ASSERT_EQ(StoreIntegerProperty(list.get(), kBitRateKey, "Bit Rate", 320), 1);
  EXPECT_EQ(FindIntegerProperty(list.get(), kBitRateKey), 320);
  EXPECT_EQ(FindIntegerProperty(list.get(), kFirstFrameKey), int64_t{5} << 32);
  EXPECT_EQ(FindIntegerProperty(list.get(), kBitRateBinaryKey), std::nullopt);
}

TEST(PropertyList, RemoveAndDestroyCallEachReleaseOnce) {
  released.clear();
  PropertyList* list = CreatePropertyList(nullptr, nullptr, 0, nullptr);
  for (int32_t key : {1, 2, 3}) AddProperty(list, nullptr, RecordRelease, key, "cell");
  AddProperty(list, nullptr, nullptr, kSplitWindowKey, "Split Window");
  EXPECT_EQ(RemoveProperty(list, 2), 1);
  EXPECT_EQ(list->next->next->key, 3);
  EXPECT_EQ(list->next->next->prev->key, 1);
  DestroyPropertyList(list);
  EXPECT_EQ(released, (std::vector<int32_t>{2, 1, 3}));
}

}  // namespace
}  // namespace partwell
