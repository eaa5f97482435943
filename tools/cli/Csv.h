#pragma once
// A CSV field as RFC 4180 writes it: quoted when it holds a comma, a quote or a line break.
#include <string>

namespace dsptune::cli {

inline std::string CsvField(const std::string& text) {
  if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
  std::string quoted = "\"";
  for (char c : text) quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
  return quoted + '"';
}

}  // namespace dsptune::cli
