#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "platform/result/Result.h"

using orvane::Error;
using orvane::Result;

namespace {

Result<int> parsePositive(const std::string& text) {
  if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos)
    return Error("\"" + text + "\" is not a positive number");
  return std::stoi(text);
}

/// Counts live copies, to see that every value made is destroyed once.
struct Counted {
  explicit Counted(int* live) : live(live) { ++*live; }
  Counted(const Counted& other) : live(other.live) { ++*live; }
  Counted(Counted&& other) noexcept : live(other.live) { ++*live; }
  Counted& operator=(const Counted&) = default;
  ~Counted() { --*live; }
  int* live;
};

}  // namespace

TEST(Result, HoldsTheValueOrTheErrorWithItsReason) {
  auto good = parsePositive("42");
  ASSERT_TRUE(good);
  EXPECT_EQ(*good, 42);
  EXPECT_EQ(good.value_or(0), 42);

  auto bad = parsePositive("4x");
  ASSERT_FALSE(bad.has_value());
  EXPECT_EQ(bad.error().message(), "\"4x\" is not a positive number");
  EXPECT_EQ(bad.error().code(), 0);
  EXPECT_EQ(bad.value_or(-1), -1);
  EXPECT_THROW(bad.value(), orvane::BadResultAccess);

  // A string value and an error never mix up, whatever the text says.
  Result<std::string> text = std::string("");
  EXPECT_TRUE(text);
  Result<std::string> failed = Error("", 2);
  EXPECT_FALSE(failed);
  EXPECT_EQ(failed.error().code(), 2);
}

TEST(Result, VoidResultsSaySuccessOrWhy) {
  Result<void> done = orvane::success();
  EXPECT_TRUE(done);
  EXPECT_NO_THROW(done.value());
  Result<void> refused = Error("the file is read-only");
  EXPECT_FALSE(refused);
  EXPECT_EQ(refused.error().message(), "the file is read-only");
  EXPECT_THROW(refused.value(), orvane::BadResultAccess);
}

TEST(Result, CopiesMovesAndAssignmentsDestroyEachValueOnce) {
  int live = 0;
  {
    Result<Counted> first = Counted(&live);
    Result<Counted> copy = first;
    Result<Counted> moved = std::move(first);
    EXPECT_EQ(live, 3);
    copy = Error("replaced by an error");
    EXPECT_EQ(live, 2);
    copy = moved;
    EXPECT_EQ(live, 3);
    copy = copy;
    EXPECT_EQ(live, 3);
  }
  EXPECT_EQ(live, 0);

  // Move-only values pass through.
  Result<std::unique_ptr<int>> owned = std::make_unique<int>(7);
  std::unique_ptr<int> taken = std::move(owned).value();
  EXPECT_EQ(*taken, 7);
}
