// The four effect equalisers: EQ number and bypass parameter by effect index, the exact
// bypass writes, and indexes outside the table.
#include <gtest/gtest.h>

#include "editors/model/EffectEqs.h"
#include "model/ParameterImage.h"
#include "tests/model/RecordingWriter.h"

namespace dsptune {
namespace {

using test::Bytes;
using test::SentWrite;

class EffectEqsTest : public ::testing::Test, protected test::ModelFixtureBase {
 protected:
  EffectEqsTest() {
    LoadDefaultImage();
    writer.sent.clear();
  }
};

TEST_F(EffectEqsTest, EachIndexNamesItsEqAndWritesItsOwnBypass) {
  const struct {
    int index, eq, block, address;
    const char* title;
  } cases[] = {
      {kEffectReverbA, 4, 3, 7, "REVERB A"},
      {kEffectReverbB, 5, 3, 19, "REVERB B"},
      {kEffectEchoA, 2, 2, 7, "ECHO A"},
      {kEffectEchoB, 3, 2, 21, "ECHO B"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.title);
    const EffectEq* effect = EffectEqOf(c.index);
    ASSERT_NE(effect, nullptr);
    EXPECT_EQ(effect->eq, c.eq);
    EXPECT_STREQ(effect->englishTitle, c.title);
    EXPECT_FALSE(EffectEqBypassed(c.index));
    writer.sent.clear();
    SetEffectEqBypass(c.index, true);
    EXPECT_TRUE(EffectEqBypassed(c.index));
    SetEffectEqBypass(c.index, false);
    EXPECT_FALSE(EffectEqBypassed(c.index));
    ASSERT_EQ(writer.sent.size(), 2u);
    for (std::size_t i = 0; i < 2; ++i) {
      EXPECT_EQ(writer.sent[i].kind, SentWrite::Dsp);
      EXPECT_EQ(writer.sent[i].block, c.block);
      EXPECT_EQ(writer.sent[i].address, c.address);
      EXPECT_EQ(writer.sent[i].bytes, Bytes({0, 0, 0, i == 0 ? 1 : 0}));
    }
  }
  // The four flags are separate parameters.
  SetEffectEqBypass(kEffectEchoB, true);
  EXPECT_FALSE(EffectEqBypassed(kEffectEchoA));
  EXPECT_FALSE(EffectEqBypassed(kEffectReverbB));
  // Any non-zero value the device reports reads as bypassed.
  SetParameter(3, 7, 2);
  EXPECT_TRUE(EffectEqBypassed(kEffectReverbA));
}

TEST_F(EffectEqsTest, IndexesOutsideTheTableDoNothing) {
  for (int index : {-1, 4, 100}) {
    EXPECT_FALSE(IsEffectIndex(index));
    EXPECT_EQ(EffectEqOf(index), nullptr);
    EXPECT_FALSE(EffectEqBypassed(index));
    SetEffectEqBypass(index, true);
  }
  EXPECT_TRUE(writer.sent.empty());
}

}  // namespace
}  // namespace dsptune
