#include <gtest/gtest.h>

#include <set>
#include <string>
#include <thread>
#include <vector>

#include "hook/ThemeNames.h"
#include "support/Objects.h"

// The hook's own table of kept names: one object per text, bounded, shared by threads.
TEST(ThemeNames, ThreadsAskingForOneTextGetOneObject) {
  std::vector<std::thread> threads;
  std::vector<NSString*> got(8);
  for (std::size_t i = 0; i < got.size(); ++i)
    threads.emplace_back([&got, i] { got[i] = orvane::keptThemeName("Raced"); });
  for (auto& thread : threads) thread.join();
  EXPECT_EQ(std::set<NSString*>(got.begin(), got.end()).size(), 1u);
  EXPECT_TRUE(got[0]);
}

TEST(ThemeNames, OneObjectPerTextUpToTheBoundAndNoneBeyondIt) {
  NSString* click = orvane::keptThemeName("Click");
  ASSERT_TRUE(click);
  EXPECT_EQ(orvane::utf8(click), "Click");
  EXPECT_EQ(orvane::keptThemeName(std::string("Cli") + "ck"), click);

  std::size_t made = 1;
  while (orvane::keptThemeName("name " + std::to_string(made))) ++made;
  // Other cases of this binary may have kept a name or two before.
  EXPECT_LE(made, orvane::maximumKeptThemeNames);
  EXPECT_GT(made, orvane::maximumKeptThemeNames - 4);
  EXPECT_EQ(orvane::keptThemeName("Click"), click) << "what is kept stays, and is still found";
  EXPECT_EQ(orvane::utf8(orvane::keptThemeName("name 1")), "name 1");
  EXPECT_EQ(orvane::keptThemeName("one too many"), nullptr);
}
