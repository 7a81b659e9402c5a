#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "split/player_position.h"
#include "split/track_time.h"
#include "split/track_time_list.h"

namespace partwell {
namespace {

TEST(TrackTime, ReadFormAsTyped) {
  struct Case {
    const char* typed;
    const char* shown;  // null: invalid
    int32_t offset;
  };
  const Case cases[] = {
      {"4:00", "004:00.00", 24000},
      {"2:30.5", "002:30.05", 15005},  // hundredths are a number, not a fraction
      {"1:59.99", "001:59.99", 11999},
      {"1:60", nullptr, 0},
      {"90", nullptr, 0},
      {"1:30", "001:30.00", 9000},
      {"1:30.", "001:30.00", 9000},
      {"1:30x", "001:30.00", 9000},
      {"1:30.x", "001:30.00", 9000},
      {"1 :30", nullptr, 0},
      {" 1: 30. 7", "001:30.07", 9007},
      {"1234:00", nullptr, 0},  // three digits read, then no colon
      {"999:59.99", "999:59.99", 999 * 6000 + 59 * 100 + 99},
      {"0:00", "000:00.00", 0},
      {"0:0012345", "000:00.00", 0},    // two second digits, then no point
      {"000:00.123", "000:00.12", 12},  // the 10th character is never read
      {"1:5.123", "001:05.12", 6512},
      {"-1:00", nullptr, 0},
      {"+1:00", nullptr, 0},
      {"1:-5", nullptr, 0},
      {"1:30.-5", nullptr, 0},
      {"", nullptr, 0},
      {":30", nullptr, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.typed);
    std::optional<TimeParts> parts = ParseTimeText(c.typed);
    ASSERT_EQ(parts.has_value(), c.shown != nullptr);
    if (!parts) continue;
    EXPECT_EQ(FormatTimeText(*parts), c.shown);
    EXPECT_EQ(TimeOffset(*parts), c.offset);
  }
}

TEST(PlayerPositionText, FollowsTheDoublePrecisionConversion) {
  const struct {
    int32_t ms;
    const char* text;
  } cases[] = {{0, "000:00.00"},        {1000, "000:01.00"},  {1040, "000:01.03"},
               {59999, "000:59.99"},    {60000, "001:00.00"}, {61230, "001:01.22"},
               {-1, "000:00.00"},       {-9, "000:00.00"},    {59999990, "999:59.99"},
               {60000000, "1000:00.00"}};
  for (const auto& c : cases) EXPECT_EQ(PlayerPositionText(c.ms), c.text) << c.ms;
}

std::vector<std::string> Texts(const TrackTimeList& list) {
  std::vector<std::string> texts;
  for (size_t i = 0; i < list.size(); ++i) texts.push_back(list[i].timeText);
  return texts;
}

bool Add(TrackTimeList& list, const char* typed, const char* title = "") {
  auto entry = std::make_unique<TrackEntry>();
  SetTimeText(*entry, typed);
  SetTrackText(entry->title, title);
  return list.AddTrackTime(std::move(entry));
}

TEST(TrackTimeList, ZeroMarkerDuplicatesAndOrder) {
  TrackTimeList list;
  EXPECT_TRUE(Add(list, "4:00", "four"));
  EXPECT_EQ(Texts(list), (std::vector<std::string>{"000:00.00", "004:00.00"}));
  EXPECT_STREQ(list[0].title, "");  // the marker is a plain entry
  EXPECT_STREQ(list[1].title, "four");
  EXPECT_TRUE(Add(list, "2:30.5"));
  EXPECT_FALSE(Add(list, "4:0"));  // same offset, other text
  EXPECT_FALSE(Add(list, "0:00"));
  EXPECT_FALSE(Add(list, "nonsense"));
  EXPECT_EQ(Texts(list), (std::vector<std::string>{"000:00.00", "002:30.05", "004:00.00"}));

  TrackTimeList zeroFirst;
  EXPECT_TRUE(Add(zeroFirst, "0:00", "intro"));
  EXPECT_EQ(Texts(zeroFirst), (std::vector<std::string>{"000:00.00"}));
  EXPECT_STREQ(zeroFirst[0].title, "intro");
}

TEST(TrackTimeList, RemoveAndClearRules) {
  TrackTimeList list;
  Add(list, "1:00");
  Add(list, "2:00");
  EXPECT_FALSE(list.RemoveTrackTime(0));  // the first entry stays while others exist
  EXPECT_TRUE(list.RemoveTrackTime(1));
  EXPECT_EQ(Texts(list), (std::vector<std::string>{"000:00.00", "002:00.00"}));
  EXPECT_TRUE(list.RemoveTrackTime(1));
  EXPECT_TRUE(list.RemoveTrackTime(0));  // alone, it can go
  EXPECT_TRUE(list.empty());
  EXPECT_FALSE(list.RemoveTrackTime(0));

  Add(list, "3:00");
  list.ClearTrackList();
  EXPECT_TRUE(list.empty());
  Add(list, "5:00");
  EXPECT_EQ(Texts(list), (std::vector<std::string>{"000:00.00", "005:00.00"}));
}

TEST(TrackEntry, TextsAreCutAtACharacterBoundary) {
  TrackEntry entry;
  SetTrackText(entry.artist, std::string(100, 'a'));
  EXPECT_EQ(std::string(entry.artist), std::string(100, 'a'));
  SetTrackText(entry.artist, std::string(101, 'b'));
  EXPECT_EQ(std::string(entry.artist), std::string(100, 'b'));
  // 99 ASCII letters and a two-byte character: the character would straddle the cut.
  SetTrackText(entry.title, std::string(99, 'c') + "\xC3\xA9");
  EXPECT_EQ(std::string(entry.title), std::string(99, 'c'));
}

}  // namespace
}  // namespace partwell
