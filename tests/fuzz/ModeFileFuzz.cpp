// Arbitrary mode files through the loader, ApplyImage and the command-line tool's show
// output (tools/cli/ShowCommand.cpp is built into this target). The input is the file.
// The connected device is taken to be the one named in the file's own header, so a
// source of every model meets every model. Checks, beyond "no crash":
//  - a file loads exactly when it has 3578 bytes and protocol code 20;
//  - a refused file leaves image, live block and editor values as they were;
//  - a loaded file's image is the file's, byte for byte, and the live block its first
//    1422 bytes; saving it gives the file back;
//  - show accepts every file that loads, in the form picked by spare header byte 58
//    (readable, CSV, hex or JSON: NaN floats and texts that are not UTF-8 included), and
//    leaves the file's image exactly as stored (it shows files without the correction).
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "files/ModeFile.h"
#include "model/ParameterImage.h"
#include "tests/fuzz/FuzzSupport.h"
#include "tools/cli/CliCommands.h"

using namespace dsptune;
using namespace dsptune::fuzz;

// The tool's main() is not linked in; show never reports a usage error for the arguments
// given here.
int dsptune::cli::UsageError(const std::string& message) { Fail("show refused its arguments: " + message); }

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  // show prints thousands of lines per run; libFuzzer reports on stderr.
  if (!std::freopen("/dev/null", "w", stdout)) Fail("cannot send stdout to /dev/null");
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  ResetDataModel();
  std::string model;
  for (std::size_t i = 4; i < std::min<std::size_t>(size, 4 + kModelNameSize - 1) && data[i] != 0; ++i)
    model += char(data[i]);
  UpdateIdentity([&](DeviceIdentity& id) { id = DeviceIdentity::With(model, kSupportedProtocol, "", ""); });

  const ParameterImageBytes imageBefore = ImageSnapshot();
  const LiveBlockBytes liveBefore = LiveBlockSnapshot();
  const EditorValues editorBefore = EditorSnapshot();

  const TempFile file({data, size}, ".mode");
  std::string error;
  const int loaded = LoadModeFile(file.Path(), &error);
  const bool loadable = size == std::size_t(kModeFileSize) &&
                        (data[0] | data[1] << 8 | data[2] << 16 | std::uint32_t(data[3]) << 24) == 20u;
  Expect(loaded == (loadable ? 1 : 0), loadable ? "a good file was refused" : "a bad file was loaded");
  Expect(error.empty(), "an existing file reported an open error");
  if (!loaded) {
    Expect(ImageSnapshot() == imageBefore, "a refused file changed the image");
    Expect(LiveBlockSnapshot() == liveBefore, "a refused file changed the live block");
    Expect(SameBits(EditorSnapshot(), editorBefore), "a refused file changed the editor values");
    return 0;
  }

  const std::uint8_t* fileImage = data + kModeFileHeaderSize;
  const ParameterImageBytes image = ImageSnapshot();
  for (int i = 0; i < kImageSize; ++i)
    Expect(image[std::size_t(i)] == fileImage[i], "loaded image differs from the file at byte " + std::to_string(i));
  const LiveBlockBytes live = LiveBlockSnapshot();
  Expect(std::equal(live.begin(), live.end(), image.begin()), "the live block differs from the loaded image");
  {
    const TempFile saved({}, ".mode");
    Expect(SaveModeFile(saved.Path()) == 1, "a loaded file could not be saved");
    std::FILE* f = std::fopen(saved.Path().c_str(), "rb");
    if (!f) Fail("cannot read the saved file back");
    std::vector<std::uint8_t> back(std::size_t(kModeFileSize) + 1);
    const std::size_t got = std::fread(back.data(), 1, back.size(), f);
    std::fclose(f);
    Expect(got == std::size_t(kModeFileSize) && std::equal(back.begin(), back.begin() + kModeFileSize, data),
           "saving the loaded file did not give it back");
  }

  static const char* const kForms[] = {"", "--csv", "--hex", "--json"};
  cli::Args args;
  if (const char* form = kForms[data[58] % 4]; *form) args.push_back(form);
  args.push_back(file.Path());
  Expect(cli::RunShow(args) == 0, "show failed on a file that loads");
  Expect(std::equal(fileImage, fileImage + kImageSize, ImageSnapshot().begin()),
         "show did not leave the file's image as stored");
  return 0;
}
