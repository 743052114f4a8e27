// What every business object shares: ErrDesc, the error trap, and the connection rules.
#pragma once

#include <exception>
#include <string>
#include <string_view>
#include <vector>

#include "qlnsales/connection.h"
#include "qlnsales/object.h"

namespace qlnsales {

// The unit of work of one call, as the error trap holds it.
class CallUnit {
 public:
  CallUnit();
  ~CallUnit();
  CallUnit(const CallUnit&) = delete;
  CallUnit& operator=(const CallUnit&) = delete;
  bool outermost() const;
  // Ends the outermost call: commits on `ok`, rolls back otherwise. A commit that fails answers
  // False with its error in `err_desc`.
  bool Finish(bool ok, std::string& err_desc);

 private:
  void* scope_;  // a db::UnitOfWork::Scope
};

class BusinessObject : public Object {
 public:
  // The text of the last failure. It is never cleared by a call: after a True result it may
  // still hold an earlier failure's text.
  const std::string& ErrDesc() const { return err_desc_; }

 protected:
  // A rule failure: the fixed message, result False.
  bool Fail(std::string_view message) {
    err_desc_ = message;
    return false;
  }

  // The error trap. Inside `body` code throws; any error ends the method with False and the
  // error's own description in ErrDesc. `body` returns the method's result.
  //
  // The trap is also where a call begins and ends: the outermost trap of the thread opens the
  // call's unit of work and, when `body` is done, commits it on True and rolls it back on False or
  // an error, so that a failed call leaves the database as it was; the number and identity
  // properties the call had changed are put back with it, so the caller can retry on the same
  // object. Traps of calls made inside the call join the unit.
  template <class F>
  bool Trap(F&& body) {
    return AllOrNothing([&] {
      try {
        return static_cast<bool>(body());
      } catch (const std::exception& e) {
        err_desc_ = e.what();
        return false;
      }
    });
  }

  // A call without an error trap is all or nothing too: False or an error rolls its unit back,
  // and the error still reaches the caller.
  template <class F>
  bool AllOrNothing(F&& body) {
    CallUnit unit;
    std::vector<Value> kept;
    if (unit.outermost()) kept = KeepNumbers();
    bool ok;
    try {
      ok = body();
    } catch (...) {
      if (unit.outermost()) PutBackNumbers(kept);
      throw;
    }
    if (!unit.outermost()) return ok;
    ok = unit.Finish(ok, err_desc_);
    if (!ok) PutBackNumbers(kept);
    return ok;
  }

  // The properties a failed call puts back: the document number and identity and the like.
  virtual std::vector<std::string_view> NumberProperties() const { return {}; }

  std::string err_desc_;

 private:
  std::vector<Value> KeepNumbers();
  void PutBackNumbers(const std::vector<Value>& kept);
};

// The four ways a method chooses its connection. A missing connection object counts as closed.
namespace connection_rule {
// Always the connection string: the calling thread's private connection for it.
ConnectionRef StringOnly(const std::string& connection_string);
// Always the caller's connection object; a missing or closed one fails on first use with the
// provider's text.
ConnectionRef ObjectOnly(const ConnectionRef& object);
// The string when it is not empty, else the object. `Usable` is the check a method runs before
// its trap: false when the string is empty and the object is missing or closed.
bool StringFirstUsable(const std::string& connection_string, const ConnectionRef& object);
ConnectionRef StringFirst(const std::string& connection_string, const ConnectionRef& object);
// The object when it is open, else the string.
ConnectionRef ObjectFirst(const std::string& connection_string, const ConnectionRef& object);
bool IsOpen(const ConnectionRef& object);
}  // namespace connection_rule

// The next debug id of the calling thread: 1, 2, 3, ... Going past the largest 32-bit value is
// an Error ("Overflow").
std::int32_t GetNextClassDebugID();

}  // namespace qlnsales
