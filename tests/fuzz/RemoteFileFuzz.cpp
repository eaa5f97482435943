// Arbitrary remote data files through the loader, on a connected link whose transport
// records what is sent, then saved again. The input is the file; byte 0 also picks the
// link (bit 0 network, bit 1 queued sends) and the learned table it replaces starts from
// a pattern. Checks, beyond "no crash":
//  - loading succeeds exactly for a file of 1 to 30 bytes, takes them over the table's
//    head (a shorter file leaves the rest as it was) and changes nothing else in the
//    model or the link; an empty or longer file is refused with a message, sends nothing
//    and changes nothing;
//  - exactly one packet goes out for a loaded file: 0x63 and the whole table, wrapped
//    for the link;
//  - saving writes the 30 table bytes, which load back to the same table.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include "files/RemoteFile.h"
#include "link/CommandSet.h"
#include "tests/fuzz/FuzzSupport.h"

using namespace dsptune;
using namespace dsptune::fuzz;

namespace {

// Reads a whole small file; an unreadable one is a failure of the run.
Bytes ReadBack(const std::string& path) {
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) Fail("cannot read back " + path);
  Bytes bytes(64);
  bytes.resize(std::fread(bytes.data(), 1, bytes.size(), f));
  std::fclose(f);
  return bytes;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static RecordingTransport transport;
  static RecordingSink sink;
  transport.answers = true;

  ResetDataModel();
  ResetLinkState();
  LinkState& link = CurrentLink();
  const LinkKind kind = size > 0 && (data[0] & 1) ? LinkKind::Network : LinkKind::Usb;
  const bool queued = size > 0 && (data[0] & 2);
  link.transport = &transport;
  link.sink = &sink;
  link.kind = kind;
  link.queuedSendMode = queued;
  link.connected = true;
  transport.Take();
  RemoteCodeTable start;
  for (std::size_t i = 0; i < start.size(); ++i) start[i] = std::uint8_t(0xA0 + i);
  SetRemoteTable(start);

  const State before = State::Take();
  const TempFile file({data, size}, ".remo");
  std::string error;
  const bool loadable = size >= 1 && size <= std::size_t(kRemoteFileSize);
  const int loaded = LoadRemoteFile(file.Path(), &error);
  // The rest must be untouched: the dispatcher's rule for a code that owns nothing.
  const std::uint8_t nothing[] = {0, 0};
  if (!loadable) {
    Expect(loaded == -1 && !error.empty(), "a remote file of " + std::to_string(size) + " bytes was not refused");
    CheckDispatchEffects(before, State::Take(), nothing);
    Expect(transport.Take().empty(), "a refused remote file sent something");
    return 0;
  }
  Expect(loaded == 1 && error.empty(), "a remote file of 1 to 30 bytes did not load");

  RemoteCodeTable expected = start;
  std::copy_n(data, size, expected.begin());
  State after = State::Take();
  Expect(after.remote == expected, "the table is not the file's head over the old table");
  after.remote = before.remote;
  CheckDispatchEffects(before, after, nothing);

  Bytes packet;
  if (kind == LinkKind::Network) packet.push_back(kDestController);
  packet.push_back(kCmdSetRemoteTable);
  packet.insert(packet.end(), expected.begin(), expected.end());
  const Sent::Path path = kind == LinkKind::Usb ? Sent::Report : queued ? Sent::Queue : Sent::Direct;
  Expect(transport.Take() == std::vector<Sent>{{path, packet}}, "the table was not sent once, whole, as 0x63");
  Expect(sink.Take().empty(), "loading a remote file notified the user interface");

  // Saved under another name, and loaded back over a cleared table.
  const TempFile saved({}, ".remo");
  Expect(SaveRemoteFile(saved.Path(), &error) == 1 && error.empty(), "the table could not be saved");
  Expect(ReadBack(saved.Path()) == Bytes(expected.begin(), expected.end()), "the saved file is not the table");
  SetRemoteTable({});
  Expect(LoadRemoteFile(saved.Path(), &error) == 1 && RemoteTableSnapshot() == expected,
         "the saved table does not load back");
  transport.Take();
  return 0;
}
