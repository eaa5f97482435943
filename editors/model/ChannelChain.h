#pragma once
// What an output channel really plays: the equaliser of its source path followed by the
// channel's own equaliser with its crossover sections. Sections in series multiply, so
// the chain's response is the point-by-point sum in dB of every band of both EQs on the
// response grid (SumBandResponses), each band designed from its stored record exactly as
// the device was told to run it.
//
// Not in the chain: the music EQ's loudness slot (10), which the loudness stage switches
// on and off by itself, and a channel EQ's band-split slots (13, 14), which divide the
// signal between two parallel branches rather than filter it. An EQ whose bypass is set
// passes the signal unchanged and adds nothing.
#include <array>
#include <vector>

#include "dsp/EqBand.h"
#include "dsp/ResponseGrid.h"
#include "model/SettingsDiff.h"

namespace dsptune {

enum class ChainSource { kMicA, kMicB, kMusic };

// The EQ number of a source path: Mic A EQ (0), Mic B EQ (1) or Music EQ (6).
int SourceEq(ChainSource source);

// The path that feeds channel 0..7 as the settings route it: music when the channel's
// "Music" mix level is above its "Direct" level, otherwise the microphone path, A when
// any microphone input is routed to path A (or none is routed anywhere), else B.
ChainSource RoutedChainSource(int channel);

// The bands of the chain, source EQ first, each with its response computed on the grid
// (no pinned peak: the designed response). Empty for a bad channel.
std::vector<EqBand> ChainBands(int channel, ChainSource source);

// Their sum in dB at every grid point.
std::array<float, kResponsePoints> ChainResponse(int channel, ChainSource source);

// "Mic A EQ → CH3 EQ" / "话筒A均衡 → 通道3均衡".
BilingualText ChainName(int channel, ChainSource source);

}  // namespace dsptune
