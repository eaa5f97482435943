#include "tools/cli/HostAddress.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "files/BoundedFileRead.h"
#include "link/NetworkLink.h"
#include "tools/cli/CommandLine.h"

namespace dsptune::cli {

std::optional<HostTarget> ParseHostTarget(const std::string& text, std::string& problem) {
  HostTarget target;
  target.given = text;
  target.port = kDefaultNetworkPort;
  const auto colon = text.rfind(':');
  target.host = text.substr(0, colon);
  if (colon != std::string::npos) {
    const auto port = ParseCount(text.substr(colon + 1), 1, 65535);
    if (!port) {
      problem = "bad port in '" + text + "' (1..65535)";
      return std::nullopt;
    }
    target.port = std::uint16_t(*port);
  }
  if (target.host.empty() || target.host.find_first_of(" \t") != std::string::npos) {
    problem = "missing or bad host in '" + text + "'";
    return std::nullopt;
  }
  return target;
}

bool ReadHostsFile(const std::string& path, std::vector<HostTarget>& hosts, std::string& problem, bool& usage) {
  usage = false;
  const FileReadResult read = ReadBoundedFile(path);
  if (!read.Ok()) return problem = path + ": " + FileReadProblem(read), false;
  std::istringstream in(std::string(read.bytes.begin(), read.bytes.end()));
  int number = 0;
  for (std::string line; std::getline(in, line);) {
    ++number;
    line = line.substr(0, line.find('#'));
    const auto first = line.find_first_not_of(" \t\r");
    if (first == std::string::npos) continue;
    line = line.substr(first, line.find_last_not_of(" \t\r") - first + 1);
    std::string why;
    const auto target = ParseHostTarget(line, why);
    if (!target) {
      usage = true;
      return problem = path + " line " + std::to_string(number) + ": " + why, false;
    }
    hosts.push_back(*target);
  }
  if (hosts.empty()) {
    usage = true;
    return problem = path + ": names no host", false;
  }
  return true;
}

void DropRepeatedHosts(std::vector<HostTarget>& hosts) {
  const auto lower = [](std::string text) {
    for (char& c : text) c = char(std::tolower(static_cast<unsigned char>(c)));
    return text;
  };
  std::vector<HostTarget> kept;
  std::vector<std::string> repeated;
  for (HostTarget& h : hosts) {
    const auto same = [&](const HostTarget& k) { return k.port == h.port && lower(k.host) == lower(h.host); };
    if (std::none_of(kept.begin(), kept.end(), same)) {
      kept.push_back(std::move(h));
    } else if (std::find(repeated.begin(), repeated.end(), h.given) == repeated.end()) {
      repeated.push_back(h.given);
      std::fprintf(stderr, "dsptune-cli: %s is given more than once; it is run once\n", h.given.c_str());
    }
  }
  hosts = std::move(kept);
}

}  // namespace dsptune::cli
