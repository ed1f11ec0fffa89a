// statistic_detail_test.cpp
//
// Summaries built from port data: matrix channel ranges equal the per-channel scan of the
// matrix itself for every depth, channel count and buffer shape; number samples take the
// right elements, read bytes and shorts unsigned and survive a block length of 0; long
// scalars are cut without splitting a character; data of another kind gives an empty summary.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "port_data_builders.h"
#include "zelph/model/port_data_mat.h"
#include "zelph/model/port_data_numbers.h"
#include "zelph/model/port_data_scalar.h"
#include "zelph/projects/statistic_detail.h"

namespace zelph::testing {
namespace {

// Random values of the depth's element type, as raw bytes.
std::vector<char> RandomBytes(MatDepth depth, std::size_t bytes, std::mt19937& random) {
  std::vector<char> data(bytes);
  if (depth == kDepth32F || depth == kDepth64F) {
    std::uniform_real_distribution<double> value(-1000, 1000);
    if (depth == kDepth32F) {
      for (std::size_t i = 0; i + sizeof(float) <= bytes; i += sizeof(float)) {
        const auto number = static_cast<float>(value(random));
        std::memcpy(&data[i], &number, sizeof(number));
      }
    } else {
      for (std::size_t i = 0; i + sizeof(double) <= bytes; i += sizeof(double)) {
        const double number = value(random);
        std::memcpy(&data[i], &number, sizeof(number));
      }
    }
    return data;
  }
  std::uniform_int_distribution<int> byte(0, 255);
  for (char& c : data) c = static_cast<char>(byte(random));
  return data;
}

bool SameValue(double a, double b) { return (std::isnan(a) && std::isnan(b)) || a == b; }

// The matrix's own scan, channel by channel.
void ExpectRangesOfPerChannelScan(const PortDataMat& mat) {
  const MatStatisticDetail detail("port", std::make_shared<PortDataMat>(mat));
  ASSERT_EQ(detail.Channels().size(), static_cast<std::size_t>(std::max(mat.GetChannels(), 0)));
  for (int channel = 0; channel < mat.GetChannels(); ++channel) {
    double min = -1;
    double max = -1;
    mat.GetChannelMinMax(channel, min, max);
    const auto [detail_max, detail_min] = detail.Channels()[static_cast<std::size_t>(channel)];
    EXPECT_TRUE(SameValue(detail_min, min))
        << "channel " << channel << ": " << detail_min << " against " << min;
    EXPECT_TRUE(SameValue(detail_max, max))
        << "channel " << channel << ": " << detail_max << " against " << max;
  }
}

TEST(MatStatisticDetailTest, ChannelRangesEqualThePerChannelScan) {
  std::mt19937 random(7);
  const MatDepth depths[] = {kDepth8U,  kDepth8S,  kDepth16U, kDepth16S,
                             kDepth32S, kDepth32F, kDepth64F, kDepth1Bit};
  // Sizes below one block, around whole blocks, with tails and with a partial last
  // element; channel counts with a fixed-width scan (1 to 4) and without (5, 7).
  const std::size_t sizes[] = {1, 3, 7, 64, 65, 191, 192, 193, 1000, 4099};
  for (const MatDepth depth : depths) {
    for (const int channels : {1, 2, 3, 4, 5, 7}) {
      for (const std::size_t size : sizes) {
        SCOPED_TRACE(::testing::Message()
                     << "depth " << depth << ", " << channels << " channels, " << size << " bytes");
        ExpectRangesOfPerChannelScan(*MakeMat(depth, channels, RandomBytes(depth, size, random)));
      }
    }
  }
}

TEST(MatStatisticDetailTest, NotANumberAndInfinitiesAsThePerChannelScanHasThem) {
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const float inf = std::numeric_limits<float>::infinity();
  std::vector<float> values(3 * 100, 1.0f);
  values[0] = nan;           // channel 0 starts with NaN: NaN throughout
  values[1 + 3 * 50] = nan;  // channel 1 meets NaN later: passed over
  values[1 + 3 * 70] = -inf;
  values[2 + 3 * 99] = inf;
  const auto mat = MakeMat(kDepth32F, 3, Bytes(values), 100);
  ExpectRangesOfPerChannelScan(*mat);
  const MatStatisticDetail detail("port", mat);
  EXPECT_TRUE(std::isnan(detail.Channels()[0].first) && std::isnan(detail.Channels()[0].second));
  EXPECT_EQ(detail.Channels()[1], std::make_pair(1.0, -static_cast<double>(inf)));
  EXPECT_EQ(detail.Channels()[2], std::make_pair(static_cast<double>(inf), 1.0));
}

TEST(MatStatisticDetailTest, ShapeAndRangesOfAMatrix) {
  const std::vector<std::uint16_t> values = {10, 200, 3, 40, 50, 60000};
  auto mat = std::make_shared<PortDataMat>();
  const std::size_t dims[] = {1, 2, 1};
  const auto bytes = Bytes(values);
  mat->SetDataAndCopy(dims, 3, 3, kDepth16U, bytes.data(), bytes.size());
  const MatStatisticDetail detail("p", mat);
  EXPECT_EQ(detail.port_id, "p");
  EXPECT_TRUE(detail.initialized);
  EXPECT_EQ(detail.depth, kDepth16U);
  EXPECT_EQ(detail.dims, (std::vector<std::size_t>{1, 2, 1}));
  const std::vector<std::pair<double, double>> expected = {{40, 10}, {200, 50}, {60000, 3}};
  EXPECT_EQ(detail.Channels(), expected);

  // Channels without a value in the buffer read -1.
  const MatStatisticDetail short_buffer("p", MakeMat(kDepth8U, 3, {5}));
  EXPECT_EQ(short_buffer.Channels(),
            (std::vector<std::pair<double, double>>{{5, 5}, {-1, -1}, {-1, -1}}));
}

std::vector<int> Sequence(int count) {
  std::vector<int> values(static_cast<std::size_t>(count));
  for (int i = 0; i < count; ++i) values[static_cast<std::size_t>(i)] = i;
  return values;
}

TEST(NumbersStatisticDetailTest, SamplesTheFirstElementsOfTheFirstBlocks) {
  struct Case {
    const char* name;
    std::shared_ptr<PortDataNumbers> data;
    std::uint64_t blocks;
    std::vector<double> numbers;
  };
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  const Case kCases[] = {
      {"3 x 7",
       MakeNumbers(DataTypeInt32::GetInstance(), Bytes(Sequence(21)), 3),
       7,
       {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14}},
      {"8 x 2",
       MakeNumbers(DataTypeInt32::GetInstance(), Bytes(Sequence(16)), 8),
       2,
       {0, 1, 2, 3, 4, 8, 9, 10, 11, 12}},
      {"partial block left out",
       MakeNumbers(DataTypeInt32::GetInstance(), Bytes(Sequence(5)), 2),
       2,
       {0, 1, 2, 3}},
      {"shorts unsigned",
       MakeNumbers(DataTypeShort::GetInstance(), Bytes(std::vector<std::int16_t>{-1, 2}), 1),
       2,
       {65535, 2}},
      {"bytes unsigned",
       MakeNumbers(DataTypeByte::GetInstance(), Bytes(std::vector<std::int8_t>{-56, 7}), 2),
       1,
       {200, 7}},
      {"longs signed",
       MakeNumbers(DataTypeInt64::GetInstance(), Bytes(std::vector<long long>{-5, 1LL << 40}), 1),
       2,
       {-5, 1099511627776.0}},
      {"floats",
       MakeNumbers(DataTypeFloat::GetInstance(), Bytes(std::vector<float>{0.5f}), 1),
       1,
       {0.5}},
      {"doubles not finite",
       MakeNumbers(DataTypeDouble::GetInstance(), Bytes(std::vector<double>{nan, inf, -inf}), 3),
       1,
       {nan, inf, -inf}},
      // A client's block length of 0 or below counts as no blocks: no division by zero.
      {"block length 0", MakeNumbers(DataTypeInt32::GetInstance(), Bytes(Sequence(6)), 0), 0, {}},
      {"block length -3", MakeNumbers(DataTypeInt32::GetInstance(), Bytes(Sequence(6)), -3), 0, {}},
      {"reset", std::make_shared<PortDataNumbers>(), 0, {}},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    const NumbersStatisticDetail detail("n", c.data);
    EXPECT_EQ(detail.port_id, "n");
    EXPECT_EQ(detail.block_length, c.data->GetBlockLength());
    EXPECT_EQ(detail.number_of_blocks, c.blocks);
    EXPECT_EQ(detail.element_data_type, c.data->GetElementDataType());
    ASSERT_EQ(detail.numbers.size(), c.numbers.size());
    for (std::size_t i = 0; i < c.numbers.size(); ++i) {
      EXPECT_TRUE(SameValue(detail.numbers[i], c.numbers[i])) << i << ": " << detail.numbers[i];
    }
  }
}

TEST(ScalarStatisticDetailTest, LongTextsAreCutAtACharacterBoundary) {
  // A euro sign (three bytes) across the cut at 253 bytes.
  const std::string euro = "\xE2\x82\xAC";
  struct Case {
    std::string text;
    std::string scalar;
  };
  const Case kCases[] = {
      {"", ""},
      {std::string(256, 'a'), std::string(256, 'a')},
      {std::string(257, 'a'), std::string(253, 'a') + "..."},
      {std::string(252, 'a') + euro + "bb", std::string(252, 'a') + "..."},
      {std::string(250, 'a') + euro + "bbbb", std::string(250, 'a') + euro + "..."},
      {std::string(256, 'a') + euro, std::string(253, 'a') + "..."},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.text.size());
    const ScalarStatisticDetail detail("s", std::make_shared<PortDataScalar>(c.text));
    EXPECT_EQ(detail.port_id, "s");
    EXPECT_TRUE(detail.initialized);
    EXPECT_EQ(detail.scalar, c.scalar);
  }
  EXPECT_FALSE(ScalarStatisticDetail("s", std::make_shared<PortDataScalar>()).initialized);
}

TEST(StatisticDetailTest, DataOfAnotherKindGivesAnEmptySummary) {
  const std::shared_ptr<IPortData> scalar = std::make_shared<PortDataScalar>(std::string("x"));
  const std::shared_ptr<IPortData> mat = MakeMat(kDepth8U, 1, {1});
  const MatStatisticDetail from_scalar("p", scalar);
  EXPECT_EQ(from_scalar.port_id, "");
  EXPECT_FALSE(from_scalar.initialized);
  EXPECT_TRUE(from_scalar.dims.empty() && from_scalar.Channels().empty());
  const NumbersStatisticDetail from_mat("p", mat);
  EXPECT_EQ(from_mat.port_id, "");
  EXPECT_EQ(from_mat.element_data_type, nullptr);
  const ScalarStatisticDetail from_nothing("p", nullptr);
  EXPECT_EQ(from_nothing.port_id, "");
  EXPECT_EQ(from_nothing.scalar, "");
}

}  // namespace
}  // namespace zelph::testing
