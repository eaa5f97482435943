// What an output channel plays: the routed source path, and the chain's response
// against its parts evaluated one by one at a few frequencies.
#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "dsp/Biquad.h"
#include "editors/model/ChannelChain.h"
#include "editors/model/OutputChannels.h"
#include "link/LinkState.h"
#include "model/BandSplit.h"
#include "model/EqBandStore.h"
#include "model/EqLayout.h"
#include "model/ParameterImage.h"
#include "tests/model/RecordingWriter.h"

namespace dsptune {
namespace {

constexpr int kCh3 = 2;

// The sum of the stored bands' designed magnitudes at f, evaluated band by band.
double PartsDb(int eq, int bands, double f) {
  double sum = 0.0;
  for (int b = 0; b < bands; ++b) {
    const BandRecord r = DecodeBandRecord(ReadLiveBytes(EqBandOffset(eq, b), kBandRecordSize).data());
    if (r.type == kFilterOff) continue;
    sum += BiquadMagnitudeDb(DesignBiquad(r.type, r.frequency, r.GainDb(), r.Q(), 0.0, kDeviceSampleRate), f,
                             kDeviceSampleRate);
  }
  return sum;
}

class ChannelChainTest : public test::ModelFixtureBase, public ::testing::Test {
 protected:
  ChannelChainTest() {
    ResetLinkState();
    SetDeviceWriter(&writer);
    LoadDefaultImage();
    // A mic correction, a music tilt and a subwoofer channel with its crossover.
    WriteEqBand(kEqMicA, 3, kFilterPeq, 100, -6.0f, 2.0f);
    WriteEqBand(kEqMicA, 12, kFilterHighShelf, 6300, 4.0f, 0.7f);
    WriteEqBand(kEqMusic, 0, kFilterLowShelf, 31, 5.0f, 0.8f);
    ResetSubChannelEq(ChannelEq(kCh3));
    WriteEqBand(ChannelEq(kCh3), 1, kFilterPeq, 62, 3.0f, 1.0f);
  }
};

TEST_F(ChannelChainTest, TheChainIsTheSumOfItsPartsAtEveryFrequency) {
  const struct {
    ChainSource source;
    int eq, bands;
  } rows[] = {{ChainSource::kMicA, kEqMicA, 15}, {ChainSource::kMusic, kEqMusic, 10}, {ChainSource::kMicB, kEqMicB, 15}};
  for (const auto& row : rows) {
    SCOPED_TRACE(row.eq);
    const auto chain = ChainResponse(kCh3, row.source);
    for (int i : {0, 60, 140, 200, 300, 450, 511}) {
      const double f = ResponseGridFrequency(i);
      SCOPED_TRACE(f);
      const double parts = PartsDb(row.eq, row.bands, f) + PartsDb(ChannelEq(kCh3), kChannelUserBands, f);
      EXPECT_NEAR(chain[std::size_t(i)], parts, 2e-3);
    }
  }
  // The crossover is in it: far above 100 Hz the sub channel is silent.
  EXPECT_LT(ChainResponse(kCh3, ChainSource::kMicA)[450], -40.0f);
}

TEST_F(ChannelChainTest, BypassedEqsAndTheBandSplitAddNothing) {
  const int eq = ChannelEq(kCh3);
  const struct {
    const char* name;
    std::function<void()> change;
    bool withSource, withChannel;
  } rows[] = {
      {"as set", [] {}, true, true},
      {"band split on", [] { WriteBandSplit(kCh3, 0, 10); }, true, true},
      {"mic A EQ bypassed", [] { SetParameter(1, 0x21, 1); }, false, true},
      {"channel EQ bypassed", [] { SetParameter(ChannelBlock(kCh3), kChannelEqBypass, 1); }, true, false},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    row.change();
    const auto chain = ChainResponse(kCh3, ChainSource::kMicA);
    for (int i : {30, 250}) {
      const double f = ResponseGridFrequency(i);
      const double want = (row.withSource ? PartsDb(kEqMicA, 15, f) : 0.0) +
                          (row.withChannel ? PartsDb(eq, kChannelUserBands, f) : 0.0);
      EXPECT_NEAR(chain[std::size_t(i)], want, 2e-3) << f << " Hz";
    }
    SetParameter(1, 0x21, 0);
    SetParameter(ChannelBlock(kCh3), kChannelEqBypass, 0);
  }
}

TEST_F(ChannelChainTest, TheRoutedSourceFollowsTheMixAndTheMicrophoneRouting) {
  const struct {
    const char* name;
    int direct, music;
    std::vector<int> toA, toB;  // microphones 1..4 to path A / B gains
    ChainSource want;
  } rows[] = {
      {"music louder than direct", 40, 100, {100, 100, 100, 100}, {0, 0, 0, 0}, ChainSource::kMusic},
      {"equal levels: the microphones", 100, 100, {100, 100, 100, 100}, {0, 0, 0, 0}, ChainSource::kMicA},
      {"all microphones on path B", 100, 0, {0, 0, 0, 0}, {0, 100, 100, 0}, ChainSource::kMicB},
      {"split between the paths", 100, 0, {0, 0, 100, 0}, {100, 100, 0, 100}, ChainSource::kMicA},
      {"no microphone routed", 100, 0, {0, 0, 0, 0}, {0, 0, 0, 0}, ChainSource::kMicA},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    SetParameter(ChannelBlock(kCh3), kChannelMixFirst, row.direct);
    SetParameter(ChannelBlock(kCh3), kChannelMixFirst + 3, row.music);
    for (int m = 0; m < 4; ++m) {
      SetParameter(1, std::uint8_t(0x22 + m), row.toA[std::size_t(m)]);
      SetParameter(1, std::uint8_t(0x3D + m), row.toB[std::size_t(m)]);
    }
    EXPECT_EQ(RoutedChainSource(kCh3), row.want);
  }
  EXPECT_EQ(ChainName(kCh3, ChainSource::kMusic)[kTextEnglish], "Music EQ → CH3 EQ");
}

}  // namespace
}  // namespace dsptune
