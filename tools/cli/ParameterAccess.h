#pragma once
// Single parameters by name, for get and set: the names show prints (page / item, as the
// window labels the control), matched without regard to case or to the spaces around
// '/', and values in display units through the model's conversions.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "model/ParameterTable.h"

namespace dsptune::cli {

class DeviceSession;

struct NamedParameter {
  const ParameterEntry* entry = nullptr;
  std::string name;  // as show prints it
};

// The name show prints for a parameter-table entry: "Master controls / Mic Vol".
std::string ParameterName(const ParameterEntry& entry);
// The entry called `name`, in English or Chinese. nullopt with `problem` naming the near
// matches when there is none.
std::optional<NamedParameter> FindNamedParameter(std::string_view name, std::string& problem);
// The value as the window shows it, from the current image ("55%", "on", "12.5 ms").
std::string ParameterValueText(const ParameterEntry& entry);

struct ParameterAssignment {
  NamedParameter parameter;
  std::int32_t uiValue = 0;  // what SetParameter stores
  std::string shown;         // the value as it will read back
};
// "NAME=VALUE" with VALUE in display units. nullopt with `problem` for an unknown name, a
// value the window's control for it could not set (model/ParameterLimits.h), or a
// parameter that is computed from others (no single value to set).
std::optional<ParameterAssignment> ParseAssignment(std::string_view text, std::string& problem);
// Every "NAME=VALUE" of a set, in order; nullopt with `problem` at the first that does not
// parse or that writes a parameter an earlier one writes (a name given twice, in any
// spelling or language, or the reverb time's copy beside the time).
std::optional<std::vector<ParameterAssignment>> ParseAssignments(const std::vector<std::string>& texts,
                                                                 std::string& problem);

// After a read: one line "NAME = VALUE" on stdout per parameter. Returns 0.
int PrintParameters(const std::vector<NamedParameter>& parameters);
// Writes each assignment as the window does (SetParameter), reads the device back and
// checks that it holds every value. Returns 0 (one line saying so) or the exit status.
int WriteParameters(DeviceSession& session, const std::vector<ParameterAssignment>& assignments);

}  // namespace dsptune::cli
