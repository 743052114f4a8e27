// A test-only driver that sits between the module and the engine: it counts the statements the
// calling thread sends and, when armed, fails the chosen one with an Error instead of sending it.
//
// It wraps every driver opened while it is installed, so a test installs it first and then opens
// its connections afresh (a new connection object, Connection::ClearPool() for the pooled ones).
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace qlnsales::testing {

class FaultyDriver {
 public:
  static void Install();
  static void Uninstall();

  // The statements of the calling thread from now on are counted from 1: Query, Execute,
  // ExecuteDeferred, and the commit of a call's unit of work (a commit that fails must leave
  // nothing either). Beginning a unit, rolling back and the caller's own transaction statements
  // are passed through uncounted.
  //
  // Disarmed: everything is passed through.
  static void Disarm();
  // Armed: statement `k` throws Error(Message(k)) instead of reaching the engine; the rest pass.
  static void Arm(std::int64_t k);
  // The statements counted on this thread since the last Arm or Disarm.
  static std::int64_t Statements();
  static std::string Message(std::int64_t k);

  // Runs `hook` once on this thread, just before the next unit of work begins on one of its
  // connections (before the engine sees the BEGIN): the point where a call has only read.
  static void BeforeNextUnit(std::function<void()> hook);
};

}  // namespace qlnsales::testing
