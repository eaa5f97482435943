#pragma once
// The IPv4 address a host name stands for: the network link connects to numeric
// addresses only, and installers name their rooms.
#include <optional>
#include <string>

namespace dsptune {

// The IPv4 address of a host name or dotted address (getaddrinfo; may wait on the name
// service). On failure returns nullopt with `problem`: "cannot resolve 'x': Name or
// service not known".
std::optional<std::string> ResolveIpv4(const std::string& host, std::string& problem);

}  // namespace dsptune
