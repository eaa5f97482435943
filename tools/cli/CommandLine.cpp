#include "tools/cli/CommandLine.h"

#include <algorithm>
#include <cstdlib>

namespace dsptune::cli {
bool ParsedArgs::Has(std::string_view name) const {
  return std::any_of(options.begin(), options.end(), [&](const auto& o) { return o.first == name; });
}

std::string ParsedArgs::Value(std::string_view name) const {
  std::string value;
  for (const auto& [n, v] : options)
    if (n == name) value = v;
  return value;
}

std::vector<std::string> ParsedArgs::Values(std::string_view name) const {
  std::vector<std::string> values;
  for (const auto& [n, v] : options)
    if (n == name) values.push_back(v);
  return values;
}

std::optional<ParsedArgs> ParseArgs(std::string_view command, const Args& args,
                                    const std::vector<OptionSpec>& options, std::span<const OptionSpec> more) {
  const std::string prefix = std::string(command) + ": ";
  const auto find = [&](std::string_view name) -> const OptionSpec* {
    for (const OptionSpec& o : options)
      if (o.name == name) return &o;
    for (const OptionSpec& o : more)
      if (o.name == name) return &o;
    return nullptr;
  };
  ParsedArgs parsed;
  bool onlyFiles = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (onlyFiles || a.size() < 2 || a[0] != '-') {
      parsed.positional.push_back(a);
      continue;
    }
    if (a == "--") {
      onlyFiles = true;
      continue;
    }
    const std::size_t equals = a.find('=');
    const std::string name = a.substr(0, equals);
    const OptionSpec* spec = find(name);
    if (!spec) {
      UsageError(prefix + "unknown option '" + name + "' (try dsptune-cli " + std::string(command) + " --help)");
      return std::nullopt;
    }
    if (!spec->takesValue) {
      if (equals != std::string::npos) {
        UsageError(prefix + name + " takes no value");
        return std::nullopt;
      }
      parsed.options.emplace_back(name, "");
    } else if (equals != std::string::npos) {
      parsed.options.emplace_back(name, a.substr(equals + 1));
    } else if (i + 1 < args.size()) {
      parsed.options.emplace_back(name, args[++i]);
    } else {
      UsageError(prefix + name + " needs a value");
      return std::nullopt;
    }
  }
  return parsed;
}

std::string Conflict(const ParsedArgs& parsed, std::initializer_list<std::string_view> names) {
  std::vector<std::string_view> given;
  for (std::string_view n : names)
    if (parsed.Has(n)) given.push_back(n);
  if (given.size() < 2) return {};
  return std::string(given[0]) + " and " + std::string(given[1]) + " cannot be combined";
}

std::optional<long> ParseCount(const std::string& text, long lowest, long highest) {
  if (text.empty()) return std::nullopt;
  char* end = nullptr;
  const long n = std::strtol(text.c_str(), &end, 10);
  if (*end != '\0' || n < lowest || n > highest) return std::nullopt;
  return n;
}

std::optional<long> ParseChannel(const std::string& text, long channels) {
  const bool named = text.size() > 2 && (text[0] == 'C' || text[0] == 'c') && (text[1] == 'H' || text[1] == 'h');
  return ParseCount(named ? text.substr(2) : text, 1, channels);
}

bool Quiet(const ParsedArgs& parsed) { return parsed.Has("-q") || parsed.Has("--quiet"); }

}  // namespace dsptune::cli
