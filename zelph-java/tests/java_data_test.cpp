// java_data_test.cpp
//
// Matrices, number blocks and scalars through Java and back (an Echo model hands each input
// to its output), and what native code makes of Java data objects in odd states.
#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <cstring>
#include <limits>

#include "capturing_logger.h"
#include "java_test_support.h"
#include "zelph/java/java_bindings.h"
#include "zelph/java/java_data.h"
#include "zelph/java/java_text.h"
#include "zelph/java/jnumbers.h"
#include "zelph/java/jscalar.h"
#include "zelph/java/jsmat.h"
#include "zelph/model/port_data_mat.h"
#include "zelph/model/port_data_numbers.h"
#include "zelph/model/port_data_scalar.h"

namespace zelph::testing {
namespace {

constexpr long long kOtherFlags = 0x30;  // bits the system does not name travel unchanged

class JavaDataTest : public ::testing::Test {
 protected:
  JNIEnv* env_ = Env();
  EchoRig echo_{env_};
};

TEST_F(JavaDataTest, MatricesComeBackEqual) {
  struct Case {
    const char* name;
    std::vector<size_t> dims;
    int channels;
    MatDepth depth;
  };
  const Case cases[] = {
      {"2-D grey bytes", {4, 3}, 1, kDepth8U},
      {"3-D colour floats", {2, 3, 4}, 3, kDepth32F},
      {"2-D doubles", {5, 2}, 1, kDepth64F},
      {"bits", {13, 3}, 1, kDepth1Bit},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto mat = std::make_shared<PortDataMat>(c.dims.data(), static_cast<int>(c.dims.size()),
                                             c.depth, c.channels);
    for (size_t i = 0; i < mat->GetSize(); ++i) mat->GetData()[i] = static_cast<char>(i * 7 + 1);
    mat->SetFlags(mat->GetFlags() | kOtherFlags);
    const auto* back = CastToMat(echo_.RoundTrip(mat).get());
    ASSERT_NE(back, nullptr);
    EXPECT_EQ(back->GetFlags(), kInitialized);  // a copied matrix starts a fresh flag word
    ASSERT_EQ(back->GetDimsSize(), static_cast<int>(c.dims.size()));
    EXPECT_TRUE(std::equal(c.dims.begin(), c.dims.end(), back->GetDims()));
    EXPECT_EQ(back->GetChannels(), c.channels);
    EXPECT_EQ(back->GetDepth(), c.depth);
    ASSERT_EQ(back->GetSize(), mat->GetSize());
    EXPECT_NE(back->GetData(), mat->GetData());
    EXPECT_EQ(std::memcmp(back->GetData(), mat->GetData(), mat->GetSize()), 0);
  }
}

TEST_F(JavaDataTest, NumbersOfEveryKindComeBackEqual) {
  IDataType* const kinds[] = {DataTypeByte::GetInstance(),  DataTypeShort::GetInstance(),
                              DataTypeInt32::GetInstance(), DataTypeInt64::GetInstance(),
                              DataTypeFloat::GetInstance(), DataTypeDouble::GetInstance()};
  for (IDataType* kind : kinds) {
    SCOPED_TRACE(kind->GetName());
    auto numbers = std::make_shared<PortDataNumbers>();
    const size_t bytes = 6 * numbers->GetElementSizeBytes(kind);
    std::vector<char> elements(bytes);
    for (size_t i = 0; i < bytes; ++i) elements[i] = static_cast<char>(i * 13 + 5);
    numbers->SetDataAndCopy(elements.data(), bytes, kind);
    numbers->SetBlockLength(3);
    numbers->SetFlags(numbers->GetFlags() | kOtherFlags);
    const auto* back = CastToNumbers(echo_.RoundTrip(numbers).get());
    ASSERT_NE(back, nullptr);
    EXPECT_EQ(back->GetFlags(), kInitialized | kOtherFlags);
    EXPECT_TRUE(back->GetElementDataType()->Equals(kind));
    EXPECT_EQ(back->GetLength(), 6u);
    EXPECT_EQ(back->GetBlockLength(), 3);
    ASSERT_EQ(back->GetSize(), bytes);
    EXPECT_EQ(std::memcmp(back->ToByteArray(false), elements.data(), bytes), 0);
  }
}

TEST_F(JavaDataTest, ScalarsKeepEveryCharacter) {
  const std::string texts[] = {"", "plain", "a😀z", "Grüße 日本", std::string("nul\0byte", 8)};
  for (const std::string& text : texts) {
    SCOPED_TRACE(text);
    auto scalar = std::make_shared<PortDataScalar>(text);
    scalar->SetFlags(scalar->GetFlags() | kOtherFlags);
    const auto* back = CastToScalar(echo_.RoundTrip(scalar).get());
    ASSERT_NE(back, nullptr);
    EXPECT_EQ(back->GetFlags(), kInitialized | kOtherFlags);
    EXPECT_EQ(back->GetStr(), text);
  }
}

// A matrix is shared by every reader of it: Java gets it read-only, and still in the
// machine's byte order (a read-only view of a buffer starts in big-endian order).
TEST_F(JavaDataTest, MatrixInJavaIsReadOnlyInTheMachinesByteOrder) {
  const size_t dims[] = {1, 1};
  const auto mat = std::make_shared<PortDataMat>(dims, 2, kDepth16U, 1);
  const std::uint16_t value = 258;
  std::memcpy(mat->GetData(), &value, sizeof(value));
  JPort& input = echo_.Input(mat->GetDataType());
  input.SetData(mat);
  jni::LocalRef<> data(env_, JPort::GetJavaData(env_, input.GetObject()));
  jni::LocalRef<jstring> seen(
      env_, static_cast<jstring>(CallTestStatic(env_, "MatProbe", "describe",
                                                "(Lnet/morvex/executors/api/data/SMat;)"
                                                "Ljava/lang/String;",
                                                data.get())));
  const std::string order = std::endian::native == std::endian::little ? "LITTLE" : "BIG";
  EXPECT_EQ(jni::JavaStringToUtf8(env_, seen.get()), "read-only " + order + "_ENDIAN 258");
}

TEST_F(JavaDataTest, MatrixWithoutElementsComesBackWithoutValue) {
  const size_t dims[] = {0, 5};
  const auto empty = std::make_shared<PortDataMat>(dims, 2, kDepth8U, 3);
  ASSERT_TRUE(empty->IsInitialized());
  const std::shared_ptr<IPortData> back = echo_.RoundTrip(empty);
  ASSERT_NE(back, nullptr);
  EXPECT_FALSE(back->IsInitialized());
  EXPECT_EQ(CastToMat(back.get())->GetSize(), 0u);
}

TEST_F(JavaDataTest, UninitializedDataComesBackWithoutValue) {
  const std::shared_ptr<IPortData> empties[] = {std::make_shared<PortDataMat>(),
                                                std::make_shared<PortDataNumbers>(),
                                                std::make_shared<PortDataScalar>()};
  for (const std::shared_ptr<IPortData>& empty : empties) {
    SCOPED_TRACE(empty->GetDataType()->GetName());
    empty->SetFlags(kOtherFlags);
    const std::shared_ptr<IPortData> back = echo_.RoundTrip(empty);
    ASSERT_NE(back, nullptr);
    EXPECT_FALSE(back->IsInitialized());
    EXPECT_EQ(back->GetFlags(), kOtherFlags);
  }
}

// A long[] of the given values, as a local reference.
jni::LocalRef<jlongArray> Dims(JNIEnv* env, std::vector<jlong> values) {
  jni::LocalRef<jlongArray> array(env, env->NewLongArray(static_cast<jsize>(values.size())));
  env->SetLongArrayRegion(array.get(), 0, static_cast<jsize>(values.size()), values.data());
  return array;
}

TEST_F(JavaDataTest, MatricesFromJavaAreReadOnlyAsFarAsTheyHold) {
  struct Case {
    const char* name;
    std::function<jobject()> make;
    std::vector<size_t> dims;
    size_t bytes;  // 0: no data
    MatDepth depth;
    const char* logged;
  };
  const char* kDimsLog = "[error] Not enought dims size to store dimensions";
  const char* kRefusedLog = "[error] Matrix from Java refused";
  const Case cases[] = {
      {"more dimensions than announced",
       [&] {
         return CallTestStatic(env_, "OddData", "matWithDimCount",
                               "([JII)Lnet/morvex/executors/api/data/SMat;",
                               Dims(env_, {4, 2}).get(), 1, 8);
       },
       {},
       8,
       kDepth8U,
       kDimsLog},
      {"fewer dimensions than announced",
       [&] {
         return CallTestStatic(env_, "OddData", "matWithDimCount",
                               "([JII)Lnet/morvex/executors/api/data/SMat;", Dims(env_, {4}).get(),
                               2, 4);
       },
       {4},
       4,
       kDepth8U,
       nullptr},
      {"no dimensions array",
       [&] {
         return CallTestStatic(env_, "OddData", "matWithoutDimensions",
                               "(I)Lnet/morvex/executors/api/data/SMat;", 6);
       },
       {},
       6,
       kDepth8U,
       nullptr},
      {"a buffer shorter than the dimensions",
       [&] {
         return CallTestStatic(env_, "OddData", "mat",
                               "([JIII)Lnet/morvex/executors/api/data/SMat;",
                               Dims(env_, {4, 4}).get(), 1, 0, 10);
       },
       {},
       0,
       kDepth8U,
       kRefusedLog},
      {"a negative dimension",
       [&] {
         return CallTestStatic(env_, "OddData", "mat",
                               "([JIII)Lnet/morvex/executors/api/data/SMat;",
                               Dims(env_, {-1, 2}).get(), 1, 0, 8);
       },
       {},
       0,
       kDepth8U,
       kRefusedLog},
      {"an unknown depth code",
       [&] {
         return CallTestStatic(env_, "OddData", "mat",
                               "([JIII)Lnet/morvex/executors/api/data/SMat;", Dims(env_, {2}).get(),
                               1, 7, 2);
       },
       {2},
       2,
       kDepth8U,
       nullptr},
      {"a negative depth code",
       [&] {
         return CallTestStatic(env_, "OddData", "mat",
                               "([JIII)Lnet/morvex/executors/api/data/SMat;", Dims(env_, {2}).get(),
                               1, -1, 2);
       },
       {2},
       2,
       kDepth8U,
       nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    CapturingLogger logger(ZelphSeverityLevel::kError);
    jni::LocalRef<> data(env_, c.make());
    ASSERT_TRUE(data);
    const std::unique_ptr<PortDataMat> mat = JSMat::ReadMat(env_, data.get());
    EXPECT_EQ(mat->GetSize(), c.bytes);
    EXPECT_EQ(mat->IsInitialized(), c.bytes > 0);
    ASSERT_EQ(mat->GetDimsSize(), static_cast<int>(c.dims.size()));
    EXPECT_TRUE(std::equal(c.dims.begin(), c.dims.end(), mat->GetDims()));
    EXPECT_EQ(mat->GetDepth(), c.depth);
    if (c.logged != nullptr) {
      EXPECT_EQ(logger.Text().rfind(c.logged, 0), 0u) << logger.Text();
    } else {
      EXPECT_EQ(logger.Text(), "");
    }
  }
}

TEST_F(JavaDataTest, HeapBufferGivesNoData) {
  jni::LocalRef<> data(
      env_, CallTestStatic(env_, "OddData", "heapMat", "()Lnet/morvex/executors/api/data/SMat;"));
  const std::unique_ptr<PortDataMat> mat = JSMat::ReadMat(env_, data.get());
  EXPECT_EQ(mat->GetData(), nullptr);
  EXPECT_EQ(mat->GetFlags(), kInitialized);  // the Java flag word
}

TEST_F(JavaDataTest, ScalarMarkedWithoutTextIsEmpty) {
  jni::LocalRef<> data(env_, CallTestStatic(env_, "OddData", "scalarWithoutValue",
                                            "()Lnet/morvex/executors/api/data/SScalar;"));
  const std::unique_ptr<PortDataScalar> scalar = JScalar::ReadScalar(env_, data.get());
  EXPECT_TRUE(scalar->IsInitialized());
  EXPECT_EQ(scalar->GetStr(), "");
}

TEST_F(JavaDataTest, NumbersWithoutArrayOrWithAnotherArray) {
  JNumbers wrapper;
  const jobject data = wrapper.CreateInstance(env_);
  SetJavaDataFlags(env_, data, kOtherFlags);
  std::unique_ptr<PortDataNumbers> numbers = JNumbers::ReadNumbers(env_, data);
  ASSERT_NE(numbers, nullptr);
  EXPECT_EQ(numbers->GetFlags(), kOtherFlags);
  EXPECT_EQ(numbers->GetSize(), 0u);

  jni::LocalRef<> empty(env_, env_->NewIntArray(0));
  env_->CallVoidMethod(data, jni::bound.numbers.set_array, empty.get());
  jni::ThrowIfJavaException(env_);
  numbers = JNumbers::ReadNumbers(env_, data);
  EXPECT_TRUE(numbers->IsInitialized());
  EXPECT_EQ(numbers->GetLength(), 0u);

  jni::LocalRef<> characters(env_, env_->NewCharArray(3));
  env_->SetObjectField(data, jni::bound.numbers.array, characters.get());
  try {
    JNumbers::ReadNumbers(env_, data);
    ADD_FAILURE() << "read";
  } catch (const std::runtime_error& error) {
    EXPECT_EQ(std::string(error.what()), "JNumbers::Read unsupported array data type");
  }
  EXPECT_FALSE(env_->ExceptionCheck());
}

TEST_F(JavaDataTest, MoreNumbersThanAJavaArrayHoldsAreRefused) {
  // Never touched, so the pages are never backed.
  const size_t count = static_cast<size_t>(std::numeric_limits<jsize>::max()) + 1;
  PortDataNumbers numbers;
  numbers.SetData(new char[count], count, DataTypeByte::GetInstance());
  JNumbers wrapper;
  const jobject data = wrapper.CreateInstance(env_);
  try {
    JNumbers::WriteNumbers(env_, data, &numbers);
    ADD_FAILURE() << "written";
  } catch (const jni::JavaException& error) {
    ADD_FAILURE() << "the VM was asked: " << error.what();
  } catch (const std::runtime_error& error) {
    EXPECT_EQ(std::string(error.what()), "Too many numbers for a Java array: 2147483648 elements");
  }
  EXPECT_FALSE(env_->ExceptionCheck());
}

TEST_F(JavaDataTest, JavaKindsCarryTheNativeUuids) {
  struct Case {
    jobject kind;
    IDataType* type;
  };
  const Case cases[] = {{jni::bound.data_type.mat, DataTypeMat::GetInstance()},
                        {jni::bound.data_type.scalar, DataTypeScalar::GetInstance()},
                        {jni::bound.data_type.numbers, DataTypeNumbers::GetInstance()}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.type->GetName());
    jni::LocalRef<> uuid(env_, env_->GetObjectField(c.kind, jni::bound.data_type.uuid));
    const auto most =
        static_cast<uint64_t>(env_->GetLongField(uuid.get(), jni::bound.uuid.most_sig_bits));
    const auto least =
        static_cast<uint64_t>(env_->GetLongField(uuid.get(), jni::bound.uuid.least_sig_bits));
    uint64_t native_most = 0;
    uint64_t native_least = 0;
    for (int i = 0; i < 8; ++i) {
      native_most = native_most << 8 | c.type->GetUuid().data[i];
      native_least = native_least << 8 | c.type->GetUuid().data[8 + i];
    }
    EXPECT_EQ(most, native_most);
    EXPECT_EQ(least, native_least);
    EXPECT_EQ(JavaDataTypeOf(c.type), c.kind);
  }
  JSMat mat;
  JScalar scalar;
  JNumbers numbers;
  for (JData* wrapper :
       {static_cast<JData*>(&mat), static_cast<JData*>(&scalar), static_cast<JData*>(&numbers)}) {
    EXPECT_EQ(GetNativeDataType(env_, wrapper->CreateInstance(env_)), wrapper->GetDataType());
  }
  CapturingLogger logger(ZelphSeverityLevel::kError);
  EXPECT_EQ(CreateJavaDataWrapper(DataTypeBool::GetInstance()), nullptr);
  EXPECT_EQ(logger.Text(), "[error] Unknown data type: 'boolean'\n");
}

}  // namespace
}  // namespace zelph::testing
