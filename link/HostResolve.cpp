#include "link/HostResolve.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <cerrno>
#include <cstring>

namespace dsptune {

std::optional<std::string> ResolveIpv4(const std::string& host, std::string& problem) {
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  const int error = ::getaddrinfo(host.c_str(), nullptr, &hints, &found);
  if (error != 0 || !found) {
    problem = "cannot resolve '" + host + "': " + (error == EAI_SYSTEM ? std::strerror(errno) : ::gai_strerror(error));
    if (found) ::freeaddrinfo(found);
    return std::nullopt;
  }
  char text[INET_ADDRSTRLEN] = {};
  const auto* address = reinterpret_cast<const sockaddr_in*>(found->ai_addr);
  ::inet_ntop(AF_INET, &address->sin_addr, text, sizeof text);
  ::freeaddrinfo(found);
  return std::string(text);
}

}  // namespace dsptune
