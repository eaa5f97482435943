// dsptune-sim: an LQ830-family device on loopback TCP, for demos and tests without the
// hardware. Runs until SIGINT or SIGTERM.
#include <signal.h>

#include <charconv>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <map>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "tools/sim/SimFleet.h"

namespace {

using namespace dsptune;
using std::chrono::milliseconds;

constexpr const char* kHelp =
    "usage: dsptune-sim [options]\n"
    "\n"
    "Serves emulated devices on 127.0.0.1 until interrupted, one line\n"
    "\"dsptune-sim listening on 127.0.0.1:PORT\" per device on standard output.\n"
    "\n"
    "  --port N               TCP port (default 30303; 0 = any free port)\n"
    "  --devices N            serve N independent devices (default 1, at most 256) on\n"
    "                         consecutive ports from --port (--port 0: each on a free\n"
    "                         port); with N > 1 device K (1..N) keeps its --state and\n"
    "                         --transcript in FILE.K; every other option, faults\n"
    "                         included, applies to each device unless --device says\n"
    "                         otherwise\n"
    "  --device K             the options after it, up to the next --device, apply to\n"
    "                         device K (1..N) only, on top of those before the first\n"
    "                         --device (not --port; --state and --transcript as given)\n"
    "  --model NAME           model name answered to 0x80 (default LQ830)\n"
    "  --protocol N           protocol code answered to 0x7F (default 20)\n"
    "  --heartbeat MS         \"$HB$\" interval (default 1000; 0 = none)\n"
    "  --zwave-every MS       send Z-Wave traffic this often (default 0 = never)\n"
    "  --learn-delay MS       time until a learn request is answered (default 1500)\n"
    "  --state FILE           keep modes, settings and remote codes in FILE across runs\n"
    "  --transcript FILE      append every received packet to FILE as a hex line\n"
    "faults:\n"
    "  --latency MS           hold every answer back MS milliseconds\n"
    "  --drop-every N         lose every Nth answer\n"
    "  --silent-after MS      stop answering and heartbeating MS after a client connects\n"
    "                         (0 = from the start; default: never)\n"
    "  --split-bytes          write frames one byte at a time\n"
    "  --stray-bytes          write a few garbage bytes before every frame\n"
    "  --bad-checksum-every N send every Nth frame with a wrong checksum\n"
    "  --param-error-after N  refuse the Nth command with a parameter error (0x0A)\n"
    "  --close-after N        cut the connection right after answering the Nth command\n"
    "  --busy                 tell every client \"ISCONNECTED\" (another host holds the module)\n"
    "  --busy-answering       tell every client \"ISCONNECTED\" and answer it all the same\n"
    "  --restart-time MS      a machine reset drops the connection and restarts the device\n"
    "                         with its defaults, listening again after MS (default 2000;\n"
    "                         0 = restore the defaults and keep the connection)\n"
    "  --help                 this text\n"
    "  --version              the version\n";

volatile std::sig_atomic_t g_stop = 0;

void OnSignal(int) { g_stop = 1; }

int UsageError(const std::string& message) {
  std::fprintf(stderr, "dsptune-sim: %s (try --help)\n", message.c_str());
  return 2;
}

bool ParseNumber(std::string_view text, long long min, long long max, long long& value) {
  const char* end = text.data() + text.size();
  const auto [ptr, ec] = std::from_chars(text.data(), end, value);
  return ec == std::errc() && ptr == end && !text.empty() && value >= min && value <= max;
}

// Applies the option at argv[i] (and its value, advancing i past it). 0 when applied, 2
// after a usage error, 1 when the option is not one of these.
int ApplyOption(int argc, char** argv, int& i, DeviceOptions& device, ServerOptions& server) {
  const std::string_view arg = argv[i];
  if (arg == "--split-bytes") {
    server.splitBytes = true;
    return 0;
  }
  if (arg == "--stray-bytes") {
    server.strayBytes = true;
    return 0;
  }
  if (arg == "--busy") {
    server.busy = true;
    return 0;
  }
  if (arg == "--busy-answering") {
    server.busyAnswering = true;
    return 0;
  }
  if (i + 1 >= argc) return UsageError("unknown option or missing value: " + std::string(arg));
  const std::string_view value = argv[i + 1];
  long long n = 0;
  constexpr long long kMaxMs = 24LL * 3600 * 1000;
  constexpr long long kMaxCount = 1000000000;
  auto number = [&](long long min, long long max) {
    if (ParseNumber(value, min, max, n)) return true;
    UsageError("bad value for " + std::string(arg) + ": '" + std::string(value) + "' (expected " +
               std::to_string(min) + ".." + std::to_string(max) + ")");
    return false;
  };
  if (arg == "--port") {
    if (!number(0, 65535)) return 2;
    server.port = std::uint16_t(n);
  } else if (arg == "--model") {
    if (value.empty() || value.size() > kSimMaxText) return UsageError("model name must be 1..58 characters");
    device.modelName = value;
  } else if (arg == "--protocol") {
    if (!number(0, 255)) return 2;
    device.protocolCode = int(n);
  } else if (arg == "--latency") {
    if (!number(0, kMaxMs)) return 2;
    device.replyLatency = milliseconds(n);
  } else if (arg == "--drop-every") {
    if (!number(0, kMaxCount)) return 2;
    device.dropEvery = int(n);
  } else if (arg == "--silent-after") {
    if (!number(0, kMaxMs)) return 2;
    server.silentAfter = milliseconds(n);
  } else if (arg == "--bad-checksum-every") {
    if (!number(0, kMaxCount)) return 2;
    server.badChecksumEvery = int(n);
  } else if (arg == "--close-after") {
    if (!number(0, kMaxCount)) return 2;
    server.closeAfterCommands = int(n);
  } else if (arg == "--param-error-after") {
    if (!number(0, kMaxCount)) return 2;
    device.parameterErrorAfter = int(n);
  } else if (arg == "--heartbeat") {
    if (!number(0, kMaxMs)) return 2;
    server.heartbeatInterval = milliseconds(n);
  } else if (arg == "--zwave-every") {
    if (!number(0, kMaxMs)) return 2;
    server.zwaveInterval = milliseconds(n);
  } else if (arg == "--restart-time") {
    if (!number(0, kMaxMs)) return 2;
    server.restartTime = milliseconds(n);
  } else if (arg == "--learn-delay") {
    if (!number(0, kMaxMs)) return 2;
    device.learnDelay = milliseconds(n);
  } else if (arg == "--state") {
    device.statePath = value;
  } else if (arg == "--transcript") {
    device.transcriptPath = value;
  } else {
    return UsageError("unknown option: " + std::string(arg));
  }
  ++i;
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  FleetOptions fleet;
  // The argv indexes of the options given after "--device K", by device index (K - 1).
  std::map<int, std::vector<int>> sections;
  int section = -1;  // -1: options for every device

  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (arg == "--help" || arg == "-h") {
      std::fputs(kHelp, stdout);
      return 0;
    }
    if (arg == "--version") {
      std::printf("dsptune-sim %s\n", DSPTUNE_VERSION);
      return 0;
    }
    if (arg == "--devices" || arg == "--device") {
      long long n = 0;
      if (i + 1 >= argc || !ParseNumber(argv[i + 1], 1, kSimMaxDevices, n))
        return UsageError("bad value for " + std::string(arg) + ": expected 1.." + std::to_string(kSimMaxDevices));
      ++i;
      if (arg == "--devices") fleet.devices = int(n);
      else section = int(n) - 1;
      continue;
    }
    if (section < 0) {
      if (const int status = ApplyOption(argc, argv, i, fleet.device, fleet.server)) return status;
      continue;
    }
    if (arg == "--port") return UsageError("--port applies to every device, not after --device");
    // Checked now, applied once the device's own options are known.
    DeviceOptions scratchDevice;
    ServerOptions scratchServer;
    sections[section].push_back(i);
    if (const int status = ApplyOption(argc, argv, i, scratchDevice, scratchServer)) return status;
  }
  for (const auto& [index, options] : sections)
    if (index >= fleet.devices)
      return UsageError("--device " + std::to_string(index + 1) + " but only " + std::to_string(fleet.devices) +
                        " device(s)");
  fleet.adjust = [&sections, argc, argv](int index, DeviceOptions& device, ServerOptions& server) {
    const auto found = sections.find(index);
    if (found == sections.end()) return;
    for (int i : found->second) ApplyOption(argc, argv, i, device, server);
  };
  const ServerOptions& server = fleet.server;

  struct sigaction action {};
  action.sa_handler = OnSignal;
  sigemptyset(&action.sa_mask);
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
  signal(SIGPIPE, SIG_IGN);

  if (!SimFleet::PortsFit(server.port, fleet.devices))
    return UsageError("--port " + std::to_string(server.port) + " leaves no room for " +
                      std::to_string(fleet.devices) + " consecutive ports");

  SimFleet devices(fleet);
  std::string error;
  if (!devices.Start(error)) {
    std::fprintf(stderr, "dsptune-sim: %s\n", error.c_str());
    return 1;
  }
  for (std::size_t i = 0; i < devices.Size(); ++i)
    std::printf("dsptune-sim listening on %s:%u\n", server.bindAddress.c_str(), unsigned(devices.Port(i)));
  std::fflush(stdout);

  // The state is saved once a second when it changed, so a killed emulator loses at most
  // the last second of edits, and once more on the way out.
  auto lastSave = std::chrono::steady_clock::now();
  while (!g_stop) {
    std::this_thread::sleep_for(milliseconds(100));
    if (std::chrono::steady_clock::now() - lastSave >= std::chrono::seconds(1)) {
      lastSave = std::chrono::steady_clock::now();
      if (!devices.SaveStatesIfChanged(error)) std::fprintf(stderr, "dsptune-sim: %s\n", error.c_str());
    }
  }
  devices.Stop();
  if (!devices.SaveStatesIfChanged(error)) {
    std::fprintf(stderr, "dsptune-sim: %s\n", error.c_str());
    return 1;
  }
  return 0;
}
