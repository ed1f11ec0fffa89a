// model_messages_test.cpp
//
// A model's description as GModel: every field, the option bits in their published order,
// the controls clients never see left out with a warning each, and a port without an API
// kind logged as an error.
#include "zelph/rpc/model_messages.h"

#include <google/protobuf/util/message_differencer.h>
#include <gtest/gtest.h>

#include <string>

#include "capturing_logger.h"
#include "described_model.h"
#include "zelph/model/data_process_model_base.h"
#include "zelph/model/data_type.h"
#include "zelph/model/model_structure.h"
#include "zelph/model/port.h"

namespace zelph::testing {
namespace {

using google::protobuf::util::MessageDifferencer;

TEST(ModelMessagesTest, EveryFieldOfTheDescription) {
  CapturingLogger log(ZelphSeverityLevel::kWarning);
  GModel message;
  ModelToGModel(*MakeDescribedModel(), message);
  std::string difference;
  MessageDifferencer differencer;
  differencer.ReportDifferencesToString(&difference);
  EXPECT_TRUE(differencer.Compare(DescribedGModel(), message)) << difference;
  EXPECT_EQ(log.Text(),
            "[error] Unsupported port kind\n"
            "[warning] Unknown control edition type. Model: 'de5c0000-0000-4000-8000-000000000001 "
            "(Described)', control: 'hidden'. Control skipped\n"
            "[warning] Empty value type. Model: 'de5c0000-0000-4000-8000-000000000001', control: "
            "'untyped'. Control skipped\n");
}

TEST(ModelMessagesTest, OptionBitsAreListedInTheirPublishedOrder) {
  struct Case {
    std::uint32_t flags;
    std::vector<int> listed;
  };
  const Case kCases[] = {
      {0, {}},
      {kInputModel | kSettingsRole, {1, 128}},
      {kSettingsRole | kMainRole | kOutputModel | kInputModel | kDataModel, {8, 1, 2, 64, 128}},
      {kRelativePathModel | kCopyModel, {}},
  };
  for (const Case& c : kCases) {
    BaseModelStructure structure;
    if (c.flags != 0) structure.SetOptionalFlag(static_cast<OptionalFlag>(c.flags), true);
    auto model = DataProcessModelBase::Create(nullptr);
    model->SetStructure(std::move(structure));
    GModel message;
    ModelToGModel(*model, message);
    EXPECT_EQ(std::vector<int>(message.optional().begin(), message.optional().end()), c.listed)
        << c.flags;
  }
}

TEST(ModelMessagesTest, PortOfAWorker) {
  Port port;
  port.SetId("p1");
  port.SetName("image");
  port.SetType(PortType::input);
  port.SetDataType(DataTypeMat::GetInstance());
  GPort message;
  PortToGPort(port, message);
  EXPECT_EQ(message.id(), "p1");
  EXPECT_EQ(message.data_type(), "mat");
  EXPECT_EQ(message.port_kind(), kPortInput);
  EXPECT_FALSE(message.advanced());
}

}  // namespace
}  // namespace zelph::testing
