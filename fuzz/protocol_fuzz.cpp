// libFuzzer target: the `qlnsales run` line handler and the value conversions, under the address
// and undefined-behaviour sanitizers. Besides not crashing, every input must keep the promises a
// client relies on: one answer per request line, each with "ok" (and "error" when false), only
// the library's own Error from a conversion, and every date and number text reading back.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

#include "automation.h"
#include "base/convert.h"
#include "qlnsales/value.h"

namespace {

using json = nlohmann::json;
using namespace qlnsales;

void Require(bool holds, const char* what) {
  if (holds) return;
  std::fprintf(stderr, "broken promise: %s\n", what);
  std::abort();
}

// Runs `f`; a conversion may refuse with the library's Error, and with nothing else.
template <class F>
void Converting(F f) {
  try {
    f();
  } catch (const Error&) {
  }
}

void CheckDate(const Date& d) {
  Require(d.Year() >= 1 && d.Year() <= 9999, "a date outside years 1 to 9999");
  auto back = convert::ParseDate(convert::FormatIso(d));
  Require(back && *back == d, "a date's text does not read back");
}

void Conversions(std::string_view text) {
  Converting([&] { convert::Val(text); });
  Converting([&] {
    if (auto n = convert::ParseNumber(text); n && std::isfinite(*n))
      Require(convert::ParseNumber(convert::NumberToText(*n)).has_value(),
              "a number's text does not read back");
  });
  if (auto d = convert::ParseDate(text)) CheckDate(*d);
  Value v{std::string(text)};
  Converting([&] { v.ToInt32(); });
  Converting([&] { v.ToInt64(); });
  Converting([&] { v.ToBool(); });
  Converting([&] { CheckDate(v.ToDate()); });
  Converting(
      [&] { convert::RoundHalfEven(v.ToDouble(), static_cast<int>(text.size() % 40) - 20); });

  // The same bytes read as a number, as a late-bound caller might pass one.
  double d = 0;
  if (text.size() >= sizeof d) {
    std::memcpy(&d, text.data(), sizeof d);
    Value n{d};
    Converting([&] { CheckDate(n.ToDate()); });
    Converting([&] { n.ToInt64(); });
    Converting([&] { n.ToInt32(); });
    convert::NumberToText(d);
    convert::RoundHalfEven(d, static_cast<int>(static_cast<unsigned char>(text[0]) % 40) - 20);
    std::size_t start = static_cast<unsigned char>(text[1]),
                length = static_cast<unsigned char>(text[2]);
    Converting([&] { convert::Mid(text, start, length); });
    convert::Left(text, length);
    convert::Right(text, start);
  }
}

// A request the fuzzer writes could name a file or a server to open (a connection string, a
// plain path for "open", ATTACH or VACUUM INTO), or a statement that runs for minutes or fills
// the memory (a self-referring WITH, a huge blob or printf width). A fuzz run touches neither the
// disk nor the network, so lines whose texts hold any of these words are left out; lines that
// are not JSON at all go through, since the session refuses them as well.
bool Harmless(const std::string& line) {
  static const char* const kWords[] = {"sqlite", "postgres", "=",      "open",  "attach",
                                       "vacuum", "with",     "pragma", "blob",  "printf",
                                       "format", "replace",  "load",   "char(", "zero"};
  auto forbidden = [](const std::string& text) {
    std::string low = convert::LCase(text);
    for (const char* w : kWords)
      if (low.find(w) != std::string::npos) return true;
    return false;
  };
  json request = json::parse(line, nullptr, false);
  if (request.is_discarded()) return true;
  std::vector<const json*> todo{&request};
  while (!todo.empty()) {
    const json* v = todo.back();
    todo.pop_back();
    if (v->is_string() && forbidden(v->get_ref<const std::string&>())) return false;
    if (!v->is_structured()) continue;
    for (auto it = v->begin(); it != v->end(); ++it) {
      if (v->is_object() && forbidden(it.key())) return false;
      todo.push_back(&*it);
    }
  }
  return true;
}

void Protocol(const std::string& text) {
  // A session starts with an empty in-memory database and a small grid under handles of its own.
  std::string input =
      "{\"op\":\"open\",\"as\":\"c\",\"connection\":\"sqlite::memory:\"}\n"
      "{\"op\":\"grid\",\"as\":\"g\",\"rows\":3,\"cols\":3}\n";
  std::size_t requests = 2;
  std::istringstream lines(text);
  for (std::string line; std::getline(lines, line);) {
    if (convert::Trim(line).empty() || !Harmless(line)) continue;
    input += line + "\n";
    ++requests;
  }
  cli::AutomationSession session;
  std::istringstream in(input);
  std::ostringstream out;
  session.Run(in, out);

  std::istringstream answers(out.str());
  std::size_t count = 0;
  for (std::string answer; std::getline(answers, answer); ++count) {
    json a = json::parse(answer, nullptr, false);
    Require(a.is_object() && a.contains("ok") && a["ok"].is_boolean(), "an answer without ok");
    if (!a["ok"].get<bool>())
      Require(
          a.contains("error") && a["error"].is_string() && !a["error"].get<std::string>().empty(),
          "a refusal without its error");
    if (count < 2) Require(a["ok"].get<bool>(), "the session could not be set up");
  }
  Require(count == requests, "not exactly one answer per request line");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string text(reinterpret_cast<const char*>(data), size);
  Conversions(text);
  Protocol(text);
  return 0;
}
