#pragma once
// Where a network device is: "HOST[:PORT]" from --tcp or a --hosts file (the name is
// resolved by link/HostResolve).
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace dsptune::cli {

struct HostTarget {
  std::string given;  // as typed: "room12.venue.lan:30303"
  std::string host;   // "room12.venue.lan"
  std::uint16_t port = 0;
};

// "HOST", "HOST:PORT" (port 1..65535; 30303 when not given). On a bad text returns nullopt
// with `problem` saying what is wrong.
std::optional<HostTarget> ParseHostTarget(const std::string& text, std::string& problem);

// One HOST[:PORT] a line; blank lines and text after '#' are ignored. On failure returns
// false with `problem` ("hosts.txt: no such file", "hosts.txt line 3: bad port ...").
// `usage` tells a bad line (a usage error) from a file that cannot be read.
bool ReadHostsFile(const std::string& path, std::vector<HostTarget>& hosts, std::string& problem, bool& usage);

// Keeps the first of hosts that name the same device (the same name in any case, the same
// port) and says on stderr which were given more than once: a second run would only find
// the first one's connection holding the module and report a false "busy".
void DropRepeatedHosts(std::vector<HostTarget>& hosts);

}  // namespace dsptune::cli
