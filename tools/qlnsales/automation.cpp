#include "automation.h"

#include <cmath>
#include <iostream>

#include "base/convert.h"
#include "commands.h"
#include "qlnsales/connection.h"
#include "qlnsales/grid.h"
#include "qlnsales/registry.h"

namespace qlnsales::cli {

using json = nlohmann::json;

namespace {

// A request that cannot be served; the text becomes the answer's "error".
struct BadRequest : std::runtime_error {
  using std::runtime_error::runtime_error;
};

const json& Field(const json& request, const char* name) {
  if (!request.contains(name)) throw BadRequest(std::string("missing field \"") + name + "\"");
  return request[name];
}

std::string TextField(const json& request, const char* name) {
  const json& v = Field(request, name);
  if (!v.is_string()) throw BadRequest(std::string("field \"") + name + "\" must be a string");
  return v.get<std::string>();
}

// Whole numbers travel as 64-bit integers; one beyond that range is refused, never wrapped.
std::int64_t WholeNumber(const json& v, const std::string& what) {
  if (v.is_number_unsigned() && v.get<std::uint64_t>() > static_cast<std::uint64_t>(INT64_MAX))
    throw BadRequest(what + " " + v.dump() + " is out of range");
  return v.get<std::int64_t>();
}

// Grid sizes and positions are 32-bit; a larger number is refused rather than cut to its low bits.
int Int32Of(const json& v, const std::string& what) {
  std::int64_t n = WholeNumber(v, what);
  if (n < INT32_MIN || n > INT32_MAX) throw BadRequest(what + " " + v.dump() + " is out of range");
  return static_cast<int>(n);
}

int IntField(const json& request, const char* name) {
  const json& v = Field(request, name);
  if (!v.is_number_integer())
    throw BadRequest(std::string("field \"") + name + "\" must be a whole number");
  return Int32Of(v, std::string("field \"") + name + "\":");
}

std::string IsoDateTime(const Date& d) {
  std::string s = convert::FormatIsoDateTime(d);
  s[10] = 'T';
  return s;
}

// A value quoted in an error, cut short: the answer names it, it need not repeat a huge line.
std::string Quote(const json& v) {
  std::string s = v.dump(-1, ' ', false, json::error_handler_t::replace);
  return s.size() <= 80 ? s : s.substr(0, 80) + "...";
}

// Builds a request from the parser's events, refusing what the protocol cannot serve faithfully:
// nesting deeper than kMaxDepth (so that nothing that walks a request recursively, dumping it
// into an error text for one, can run out of stack) and whole numbers beyond 64 bits (which the
// parser would otherwise turn into an inexact double). The parser itself reads without
// recursion, and refuses numbers beyond a double's range.
class RequestBuilder {
 public:
  static constexpr std::size_t kMaxDepth = 64;

  json root;
  std::string error;

  bool null() { return Add(nullptr); }
  bool boolean(bool v) { return Add(v); }
  bool number_integer(json::number_integer_t v) { return Add(v); }
  bool number_unsigned(json::number_unsigned_t v) {
    if (v > static_cast<std::uint64_t>(INT64_MAX)) return OutOfRange(std::to_string(v));
    return Add(v);
  }
  bool number_float(json::number_float_t v, const json::string_t& text) {
    if (text.find_first_of(".eE") == std::string::npos) return OutOfRange(text);
    return Add(v);
  }
  bool string(json::string_t& v) { return Add(std::move(v)); }
  bool binary(json::binary_t&) { return Refuse("not a JSON object: binary values are not JSON"); }
  bool key(json::string_t& k) {
    key_ = std::move(k);
    return true;
  }
  bool start_object(std::size_t) { return Open(json::object()); }
  bool start_array(std::size_t) { return Open(json::array()); }
  bool end_object() { return Close(); }
  bool end_array() { return Close(); }
  bool parse_error(std::size_t, const std::string& token, const json::exception& e) {
    if (e.id != 406) return Refuse(std::string("not a JSON object: ") + e.what());
    if (token.find_first_of(".eE") == std::string::npos) return OutOfRange(token);
    return Refuse("the number " + Short(token) +
                  " is out of range: numbers go from about -1.8e308 to 1.8e308");
  }

 private:
  json* Place(json&& v) {
    if (stack_.empty()) {
      root = std::move(v);
      return &root;
    }
    json& top = *stack_.back();
    if (top.is_array()) {
      top.push_back(std::move(v));
      return &top.back();
    }
    json& slot = top[key_];
    slot = std::move(v);
    return &slot;
  }
  bool Add(json&& v) {
    Place(std::move(v));
    return true;
  }
  bool Open(json&& container) {
    if (stack_.size() >= kMaxDepth)
      return Refuse("a request nests deeper than " + std::to_string(kMaxDepth) + " levels");
    stack_.push_back(Place(std::move(container)));
    return true;
  }
  bool Close() {
    stack_.pop_back();
    return true;
  }
  static std::string Short(const std::string& text) {
    return text.size() <= 40 ? text : text.substr(0, 40) + "...";
  }
  bool OutOfRange(const std::string& text) {
    return Refuse("the whole number " + Short(text) +
                  " is out of range: whole numbers go from -9223372036854775808 to "
                  "9223372036854775807");
  }
  bool Refuse(std::string why) {
    if (error.empty()) error = std::move(why);
    return false;
  }

  std::vector<json*> stack_;
  std::string key_;
};

}  // namespace

AutomationSession::AutomationSession() : shell_(std::make_shared<ScriptedShell>()) {
  SetShell(shell_);
}

AutomationSession::~AutomationSession() {
  SetShell(nullptr);
}

ObjectRef AutomationSession::Lookup(const std::string& handle) const {
  auto it = handles_.find(handle);
  if (it == handles_.end()) throw BadRequest("unknown handle \"" + handle + "\"");
  return it->second;
}

std::string AutomationSession::HandleOf(const ObjectRef& object) {
  for (const auto& [name, o] : handles_)
    if (o == object) return name;
  std::string name;
  do name = "obj" + std::to_string(++unnamed_);
  while (handles_.count(name));
  handles_[name] = object;
  return name;
}

Value AutomationSession::Decode(const json& v) const {
  switch (v.type()) {
    case json::value_t::null:
      return Value();
    case json::value_t::boolean:
      return Value(v.get<bool>());
    case json::value_t::number_integer:
    case json::value_t::number_unsigned: {
      auto n = WholeNumber(v, "the whole number");
      if (n >= INT32_MIN && n <= INT32_MAX) return Value(static_cast<std::int32_t>(n));
      return Value(n);
    }
    case json::value_t::number_float:
      return Value(v.get<double>());
    case json::value_t::string:
      return Value(v.get<std::string>());
    case json::value_t::object:
      if (v.size() == 1 && v.contains("date") && v["date"].is_string()) {
        auto d = convert::ParseDate(v["date"].get<std::string>());
        if (!d) throw BadRequest("not a date: \"" + v["date"].get<std::string>() + "\"");
        return Value(*d);
      }
      if (v.size() == 1 && v.contains("object")) {
        if (v["object"].is_null()) return Value(ObjectRef());
        if (v["object"].is_string()) return Value(Lookup(v["object"].get<std::string>()));
      }
      break;
    default:
      break;
  }
  throw BadRequest("unsupported value " + Quote(v) +
                   ": use a string, number, true/false, null, {\"date\":...} or {\"object\":...}");
}

json AutomationSession::Encode(const Value& v) {
  switch (v.kind()) {
    case Value::Kind::Empty:
      return nullptr;
    case Value::Kind::Bool:
      return v.ToBool();
    case Value::Kind::Int32:
    case Value::Kind::Int64:
      return v.ToInt64();
    case Value::Kind::Double: {
      double d = v.ToDouble();
      return std::isfinite(d) ? json(d) : json(convert::NumberToText(d));
    }
    case Value::Kind::Text:
      return v.ToText();
    case Value::Kind::Date:
      return json{{"date", IsoDateTime(v.ToDate())}};
    case Value::Kind::Object: {
      auto o = v.ToObject();
      return json{{"object", o ? json(HandleOf(o)) : json(nullptr)}};
    }
  }
  return nullptr;
}

json AutomationSession::Dispatch(const json& request) {
  if (!request.is_object()) throw BadRequest("a request must be a JSON object");
  const std::string op = TextField(request, "op");

  if (op == "open") {
    auto conn = std::make_shared<Connection>(ConnectionStringFor(TextField(request, "connection")));
    handles_[TextField(request, "as")] = conn;
    return {{"ok", true}};
  }
  if (op == "create") {
    auto name = TextField(request, "as");
    handles_[name] = CreateObject(TextField(request, "class"));
    return {{"ok", true}};
  }
  if (op == "grid") {
    auto name = TextField(request, "as");
    int rows = IntField(request, "rows"), cols = IntField(request, "cols");
    auto grid = std::make_shared<MemoryGrid>(rows, cols);
    if (request.contains("cells")) {
      if (!request["cells"].is_array()) throw BadRequest("field \"cells\" must be an array");
      for (const auto& cell : request["cells"]) {
        if (!cell.is_array() || cell.size() != 3 || !cell[0].is_number_integer() ||
            !cell[1].is_number_integer())
          throw BadRequest("each cell is [row, col, text]");
        grid->SetTextMatrix(
            Int32Of(cell[0], "row"), Int32Of(cell[1], "column"),
            cell[2].is_string() ? cell[2].get<std::string>() : Decode(cell[2]).ToText());
      }
    }
    handles_[name] = grid;
    return {{"ok", true}};
  }
  if (op == "set") {
    Lookup(TextField(request, "object"))
        ->Set(TextField(request, "property"), Decode(Field(request, "value")));
    return {{"ok", true}};
  }
  if (op == "get") {
    auto value = Lookup(TextField(request, "object"))->Get(TextField(request, "property"));
    return {{"ok", true}, {"value", Encode(value)}};
  }
  if (op == "call") {
    auto object = Lookup(TextField(request, "object"));
    std::vector<Value> args;
    if (request.contains("args")) {
      if (!request["args"].is_array()) throw BadRequest("field \"args\" must be an array");
      for (const auto& a : request["args"]) args.push_back(Decode(a));
    }
    Value result = object->Invoke(TextField(request, "method"), args);
    json out_args = json::array();
    for (const auto& a : args) out_args.push_back(Encode(a));
    return {{"ok", true}, {"result", Encode(result)}, {"args", out_args}};
  }
  if (op == "cells") {
    auto grid = std::dynamic_pointer_cast<Grid>(Lookup(TextField(request, "object")));
    if (!grid) throw BadRequest("\"" + TextField(request, "object") + "\" is not a grid");
    json cells = json::array();
    for (int r = 0; r < grid->Rows(); ++r) {
      json row = json::array();
      for (int c = 0; c < grid->Cols(); ++c) row.push_back(grid->TextMatrix(r, c));
      cells.push_back(row);
    }
    return {{"ok", true}, {"rows", grid->Rows()}, {"cols", grid->Cols()}, {"cells", cells}};
  }
  if (op == "sql" || op == "begin" || op == "commit" || op == "rollback") {
    auto conn = std::dynamic_pointer_cast<Connection>(Lookup(TextField(request, "connection")));
    if (!conn) throw BadRequest("\"" + TextField(request, "connection") + "\" is not a connection");
    if (op == "begin") conn->BeginTrans();
    if (op == "commit") conn->CommitTrans();
    if (op == "rollback") conn->RollbackTrans();
    if (op != "sql") return {{"ok", true}};
    std::string sql = TextField(request, "sql");
    std::vector<Value> params;
    if (request.contains("params")) {
      if (!request["params"].is_array()) throw BadRequest("field \"params\" must be an array");
      for (const auto& p : request["params"]) params.push_back(Decode(p));
    }
    // One statement, and what it answers decides the form: columns mean rows, even none.
    auto rs = conn->Query(sql, params);
    if (rs.columns.empty()) return {{"ok", true}, {"changed", rs.changed}};
    json rows = json::array();
    for (const auto& row : rs.rows) {
      json r = json::array();
      for (const auto& v : row) r.push_back(Encode(v));
      rows.push_back(r);
    }
    return {{"ok", true}, {"columns", rs.columns}, {"rows", rows}};
  }
  if (op == "answer") {
    const json& text = Field(request, "text");
    if (!text.is_null() && !text.is_string())
      throw BadRequest("field \"text\" must be a string or null");
    shell_->QueueAnswer(text.is_null() ? std::nullopt
                                       : std::optional<std::string>(text.get<std::string>()));
    return {{"ok", true}};
  }
  if (op == "messages") {
    json messages = json::array();
    for (const auto& m : shell_->TakeMessages()) messages.push_back(m.text);
    return {{"ok", true}, {"messages", messages}};
  }
  if (op == "release") {
    auto name = TextField(request, "object");
    Lookup(name);
    handles_.erase(name);
    return {{"ok", true}};
  }
  throw BadRequest("unknown op \"" + op + "\"");
}

json AutomationSession::Handle(const json& request) {
  try {
    return Dispatch(request);
  } catch (const std::exception& e) {
    return {{"ok", false}, {"error", e.what()}};
  } catch (...) {
    return {{"ok", false}, {"error", "the request failed with an unknown error"}};
  }
}

json AutomationSession::HandleLine(const std::string& line) {
  // JSON has no raw NUL, in a string or out of one; the parser would take it for the end of the
  // input and quietly drop the rest of the line.
  if (auto nul = line.find('\0'); nul != std::string::npos)
    return {{"ok", false},
            {"error", "a request line must not hold a NUL byte (found at byte " +
                          std::to_string(nul + 1) + ")"}};
  try {
    RequestBuilder builder;
    if (!json::sax_parse(line, &builder) || !builder.error.empty())
      return {{"ok", false},
              {"error", builder.error.empty() ? "not a JSON object" : builder.error}};
    return Handle(builder.root);
  } catch (const std::exception& e) {
    return {{"ok", false}, {"error", std::string("not a JSON object: ") + e.what()}};
  }
}

int AutomationSession::Run(std::istream& in, std::ostream& out) {
  int status = 0;
  std::string line;
  while (std::getline(in, line)) {
    if (convert::Trim(line).empty()) continue;
    json answer = HandleLine(line);
    if (!answer["ok"].get<bool>()) status = 1;
    out << answer.dump(-1, ' ', false, json::error_handler_t::replace) << std::endl;
  }
  return status;
}

}  // namespace qlnsales::cli
