// The JSON-lines automation protocol of `qlnsales run`: one request object per input line, one
// answer object per output line, in order.
#pragma once

#include <iosfwd>
#include <map>
#include <memory>
#include <string>

#include <nlohmann/json.hpp>

#include "qlnsales/object.h"
#include "qlnsales/shell.h"

namespace qlnsales::cli {

class AutomationSession {
 public:
  AutomationSession();
  ~AutomationSession();

  // Answers one request. Never throws: a bad request gets {"ok":false,"error":...}.
  nlohmann::json Handle(const nlohmann::json& request);
  // Answers one input line (which may not be JSON at all).
  nlohmann::json HandleLine(const std::string& line);
  // Reads requests until the end of `in`, writing and flushing one answer per line. Returns 0
  // when every request was answered ok, 1 when any was not.
  int Run(std::istream& in, std::ostream& out);

 private:
  nlohmann::json Dispatch(const nlohmann::json& request);
  ObjectRef Lookup(const std::string& handle) const;
  Value Decode(const nlohmann::json& v) const;
  nlohmann::json Encode(const Value& v);
  std::string HandleOf(const ObjectRef& object);

  std::map<std::string, ObjectRef> handles_;
  std::shared_ptr<ScriptedShell> shell_;
  int unnamed_ = 0;
};

}  // namespace qlnsales::cli
