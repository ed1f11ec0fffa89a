// reply_size_test.cpp
//
// The count of a reply against what protobuf encodes, the 2 GB limit of one reply (counted,
// never allocated), and the budget that the replies of all calls share.
#include "zelph/rpc/reply_size.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <string>

#include "message/rqrs2/GetData.pb.h"
#include "message/rqrs2/GetList.pb.h"
#include "zelph/rpc/reply_budget.h"

namespace zelph::rpc {
namespace {

constexpr std::uint64_t kGiB = std::uint64_t{1} << 30;
constexpr std::uint64_t kMiB = std::uint64_t{1} << 20;

// Around each length where protobuf's length prefix grows by a byte.
constexpr std::uint64_t kLengths[] = {0, 1, 127, 128, 16383, 16384, 2097151, 2097152};

TEST(ReplySizeTest, CountsWhatProtobufEncodes) {
  ReplyBudget budget(16 * kGiB);
  for (const std::uint64_t length : kLengths) {
    SCOPED_TRACE(length);
    GetListResponse list;
    list.add_url(std::string(length, 'u'));
    list.add_url("/session:s");
    ReplySize list_size(budget);
    ASSERT_TRUE(list_size.CountElements(list.url()).ok());
    EXPECT_EQ(list_size.Bytes(), list.ByteSizeLong());

    GetDataResponse data;
    GAnyData* element = data.add_data();
    element->set_url("/session:s/project:p/input:x");
    element->set_modified(1700000000000);
    element->mutable_mat()->set_buffer(std::string(length, 'b'));
    element->mutable_mat()->add_dims(static_cast<std::int64_t>(length));
    ReplySize data_size(budget);
    ASSERT_TRUE(data_size.CountElements(data.data()).ok());
    // Elements added later are counted once, beside the earlier ones.
    data.add_data()->set_string_val(std::string(length, 's'));
    ASSERT_TRUE(data_size.CountElements(data.data()).ok());
    EXPECT_EQ(data_size.Bytes(), data.ByteSizeLong());
  }
}

// What protobuf can serialise bounds every reply, however large the budget; the sizes are
// counted, never allocated.
TEST(ReplySizeTest, NoReplyPassesTwoGigabytes) {
  struct Case {
    std::uint64_t first;
    std::uint64_t second;
    bool fits;
  };
  const Case cases[] = {
      {INT_MAX, 0, true},
      {INT_MAX - 1, 1, true},
      {INT_MAX, 1, false},
      {kGiB, kGiB, false},      // two 1 GiB matrices
      {2100 * kMiB, 0, false},  // a 1 MiB entry named 2,100 times
      {std::uint64_t{1} << 62, 0, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.first << " + " << c.second);
    ReplyBudget budget(64 * kGiB);
    ReplySize reply(budget);
    EXPECT_EQ(reply.Limit(), std::uint64_t{INT_MAX});
    grpc::Status status = reply.Add(c.first);
    if (status.ok()) status = reply.Add(c.second);
    EXPECT_EQ(status.ok(), c.fits);
    if (c.fits) continue;
    EXPECT_EQ(status.error_code(), grpc::StatusCode::RESOURCE_EXHAUSTED);
    EXPECT_EQ(status.error_message(), "reply would exceed 2147483647 bytes");
    // A refused reply holds nothing.
    EXPECT_EQ(reply.Bytes(), 0u);
    EXPECT_EQ(budget.InFlight(), 0u);
  }
}

TEST(ReplySizeTest, AReplyTakesTwiceItsSizeFromTheBudgetAndAtMostHalfOfIt) {
  ReplyBudget budget(10 * kMiB);
  ReplySize first(budget);
  EXPECT_EQ(first.Limit(), 5 * kMiB);
  ASSERT_TRUE(first.Add(3 * kMiB).ok());
  EXPECT_EQ(budget.InFlight(), 6 * kMiB);

  ReplySize second(budget);
  const grpc::Status refused = second.Add(3 * kMiB);
  EXPECT_EQ(refused.error_code(), grpc::StatusCode::RESOURCE_EXHAUSTED);
  EXPECT_EQ(refused.error_message(), "replies in flight would exceed 10485760 bytes");
  EXPECT_EQ(budget.InFlight(), 6 * kMiB);

  const grpc::Status too_large = second.Add(5 * kMiB + 1);
  EXPECT_EQ(too_large.error_message(), "reply would exceed 5242880 bytes");

  // Outside a served call the bytes go back as soon as the handler is done.
  first.HoldUntilSent();
  EXPECT_EQ(budget.InFlight(), 0u);
  EXPECT_TRUE(second.Add(3 * kMiB).ok());
}

TEST(ReplySizeTest, AReservationIsSettledByTheCountOfWhatWasBuilt) {
  struct Case {
    std::uint64_t reserved;
    std::uint64_t built;
  };
  for (const Case& c : {Case{1000, 10}, Case{10, 1000}, Case{500, 500}}) {
    SCOPED_TRACE(testing::Message() << c.reserved << " for " << c.built);
    ReplyBudget budget(kMiB);
    ReplySize reply(budget);
    ASSERT_TRUE(reply.Reserve(c.reserved).ok());
    EXPECT_EQ(budget.InFlight(), 2 * c.reserved);
    GetListResponse list;
    list.add_url(std::string(c.built, 'u'));
    ASSERT_TRUE(reply.CountElements(list.url()).ok());
    EXPECT_EQ(reply.Bytes(), list.ByteSizeLong());
    EXPECT_EQ(budget.InFlight(), 2 * list.ByteSizeLong());
  }
  // A reservation past the limit is refused before anything is built.
  ReplyBudget budget(kMiB);
  ReplySize reply(budget);
  EXPECT_EQ(reply.Reserve(kMiB).error_code(), grpc::StatusCode::RESOURCE_EXHAUSTED);
  EXPECT_EQ(budget.InFlight(), 0u);
}

TEST(ReplySizeTest, ACounterGivesBackWhatItHoldsWhenItGoes) {
  ReplyBudget budget(kMiB);
  {
    ReplySize reply(budget);
    ASSERT_TRUE(reply.Add(1000).ok());
  }
  EXPECT_EQ(budget.InFlight(), 0u);
}

TEST(ReplyBudgetTest, ALargeDrainReleasesMemoryOnce) {
  struct Case {
    std::uint64_t held;
    int releases;
  };
  for (const Case& c :
       {Case{ReplyBudget::kReleaseAfterBytes - 1, 0}, Case{ReplyBudget::kReleaseAfterBytes, 1}}) {
    SCOPED_TRACE(c.held);
    int releases = 0;
    ReplyBudget budget(kGiB, [&] { ++releases; });
    ASSERT_TRUE(budget.Take(c.held / 2));
    ASSERT_TRUE(budget.Take(c.held - c.held / 2));
    budget.Give(c.held / 2);
    EXPECT_EQ(releases, 0) << "not drained yet";
    budget.Give(c.held - c.held / 2);
    EXPECT_EQ(releases, c.releases);
    // A later small drain does not release again.
    ASSERT_TRUE(budget.Take(1));
    budget.Give(1);
    EXPECT_EQ(releases, c.releases);
  }
}

// A reply its client never reads, or steady traffic, keeps the bytes in flight above zero; a
// large drain still gives the memory back.
TEST(ReplyBudgetTest, ADrainFarBelowThePeakReleasesWhateverStillWaits) {
  struct Case {
    const char* name;
    std::uint64_t held;     // stays in flight throughout
    std::uint64_t drained;  // taken beside it, then given back
    int releases;
  };
  const Case kCases[] = {
      {"5 GiB drained beside 2 bytes", 2, 5 * kGiB, 1},
      {"down to just under a quarter of the peak", 64 * kMiB, 193 * kMiB, 1},
      {"down to a quarter of the peak stays", 64 * kMiB, 192 * kMiB, 0},
      {"a small peak never releases", 2, ReplyBudget::kReleaseAfterBytes - 3, 0},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    int releases = 0;
    ReplyBudget budget(16 * kGiB, [&] { ++releases; });
    ASSERT_TRUE(budget.Take(c.held));
    ASSERT_TRUE(budget.Take(c.drained));
    budget.Give(c.drained);
    EXPECT_EQ(releases, c.releases);
    EXPECT_EQ(budget.InFlight(), c.held);
    // The peak starts again from what the drain left: small traffic does not release again.
    ASSERT_TRUE(budget.Take(1000));
    budget.Give(1000);
    EXPECT_EQ(releases, c.releases);
  }
}

// Clients' data removed or replaced goes back as drained replies do, once enough has gone.
TEST(ReplyBudgetTest, FreedDataReleasesOnceEnoughHasGone) {
  int releases = 0;
  ReplyBudget budget(kGiB, [&] { ++releases; });
  budget.NoteFreed(ReplyBudget::kReleaseAfterFreedBytes - 1);
  EXPECT_EQ(releases, 0);
  budget.NoteFreed(1);
  EXPECT_EQ(releases, 1);
  // Counted again from nothing.
  budget.NoteFreed(ReplyBudget::kReleaseAfterFreedBytes - 1);
  EXPECT_EQ(releases, 1);
  budget.NoteFreed(5 * kGiB);
  EXPECT_EQ(releases, 2);
  EXPECT_EQ(budget.InFlight(), 0u);
}

}  // namespace
}  // namespace zelph::rpc
