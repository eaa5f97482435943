#pragma once
// Mode files that must come back byte for byte from an open and a save: the emulator's
// settings as saved from each known model (the emulator starts every model from the
// built-in image, whose source is AUX1, which the LW4.1, LQ4.1 and AMP540 lack), each
// model's own music-input choice, and files with unusual but valid content. Shared by
// the core's and the window's round-trip tests.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "files/ModeFile.h"
#include "model/BigEndian.h"
#include "model/Conversions.h"
#include "model/DefaultImage.h"
#include "model/ParameterImage.h"
#include "model/ParameterTable.h"

namespace dsptune::test {

inline constexpr const char* kKnownModels[] = {"LQ830",  "LQ620", "LQ4.1",   "LW4.1", "LQ480",
                                               "AMP540", "RN830", "4R830JJ", "P620JJ"};

struct CorpusFile {
  std::string name;
  std::vector<std::uint8_t> bytes;
  int source = 0;  // the input source (image byte 2017) it stores
};

// A header as a device of that identity would leave it (or any bytes a file may hold:
// `spare` lands in the two spare bytes).
inline IdentityBlock HeaderBytes(const std::string& model, const std::string& mcu, const std::string& dsp,
                                 std::uint16_t spare = 0) {
  IdentityBlock h{};
  h[0] = std::uint8_t(kSupportedProtocol);
  std::memcpy(&h[4], model.data(), std::min<std::size_t>(model.size(), 32));
  std::memcpy(&h[36], mcu.data(), std::min<std::size_t>(mcu.size(), 11));
  std::memcpy(&h[47], dsp.data(), std::min<std::size_t>(dsp.size(), 11));
  h[58] = std::uint8_t(spare);
  h[59] = std::uint8_t(spare >> 8);
  return h;
}

inline CorpusFile MakeCorpusFile(std::string name, const IdentityBlock& header, const ParameterImageBytes& image) {
  CorpusFile f{std::move(name), {header.begin(), header.end()}, image[kInputSourceOffset]};
  f.bytes.insert(f.bytes.end(), image.begin(), image.end());
  return f;
}

inline void PutUi(ParameterImageBytes& image, std::uint8_t block, std::uint8_t address, std::int32_t ui) {
  const ParameterEntry* e = FindParameter(block, address);
  PutU32(&image[std::size_t(e->valueOffset)], UiValueToWord(e->kind, ui));
}

inline std::vector<CorpusFile> ModeFileCorpus() {
  std::vector<CorpusFile> corpus;
  // As the emulator gives them, one file per model, with versions of its own.
  int n = 0;
  for (const char* model : kKnownModels) {
    ++n;
    corpus.push_back(MakeCorpusFile(std::string("emulator-") + model,
                                    HeaderBytes(model, "V1.3." + std::to_string(n), "DSP 2.0." + std::to_string(n)),
                                    DefaultImage()));
  }
  // Each model's own music-input choice: a source of its variant and that source's gain.
  struct Choice {
    const char* model;
    int source, gain;
  };
  for (const Choice& c : {Choice{"LQ830", 5, 0}, Choice{"LQ620", 11, 100}, Choice{"LQ4.1", 3, 1},
                          Choice{"LW4.1", 0, 99}, Choice{"LQ480", 8, 50}, Choice{"AMP540", 13, 100},
                          Choice{"RN830", 6, 0}, Choice{"4R830JJ", 12, 75}, Choice{"P620JJ", 9, 25}}) {
    ParameterImageBytes image = DefaultImage();
    PutUi(image, 4, 0x17, c.source);
    PutUi(image, 4, std::uint8_t(0x18 + c.source), c.gain);
    corpus.push_back(MakeCorpusFile(std::string("variant-") + c.model, HeaderBytes(c.model, "V2.0.0", "DSP 3.1.0"), image));
  }
  // Unusual but valid: sources no model offers (SPDIF3) or that have no name, gains
  // beyond the sliders, floats at their ends, reserved live bytes and spare header bytes
  // set, texts that fill their fields.
  {
    ParameterImageBytes image = DefaultImage();
    PutUi(image, 4, 0x17, 7);
    corpus.push_back(MakeCorpusFile("spdif3-from-amp540", HeaderBytes("AMP540", "V1.0.0", "DSP 1.0.0"), image));
  }
  {
    ParameterImageBytes image = DefaultImage();
    PutUi(image, 4, 0x17, 200);
    PutUi(image, 4, 0x18, 150);
    PutUi(image, 4, 0x19, -100);
    corpus.push_back(MakeCorpusFile("source-200-of-an-unknown-model", HeaderBytes("XR9000", "", ""), image));
  }
  {
    ParameterImageBytes image = DefaultImage();
    PutFloat(&image[std::size_t(FindParameter(2, 0x09)->valueOffset)], std::numeric_limits<float>::max());
    PutFloat(&image[std::size_t(FindParameter(1, 0x08)->valueOffset)], -std::numeric_limits<float>::max());
    PutFloat(&image[kSubDecayLevelOffset], std::numeric_limits<float>::lowest());
    for (int i = kApplyCopySize; i < kLiveBlockSize; ++i) image[std::size_t(i)] = std::uint8_t(0xA0 + i);
    image[kImageSize - 1] = 0xFF;
    corpus.push_back(MakeCorpusFile(
        "extremes", HeaderBytes("ABCDEFGHIJKLMNOPQRSTUVWXYZ-LQ830X", "V10.10.1000", "D10.10.1000", 0xBEEF), image));
  }
  return corpus;
}

}  // namespace dsptune::test
