// What every business object shares: ErrDesc, the error trap, and the connection rules.
#pragma once

#include <exception>
#include <string>
#include <string_view>

#include "qlnsales/connection.h"
#include "qlnsales/object.h"

namespace qlnsales {

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
  template <class F>
  bool Trap(F&& body) {
    try {
      return body();
    } catch (const std::exception& e) {
      err_desc_ = e.what();
      return false;
    }
  }

  std::string err_desc_;
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
