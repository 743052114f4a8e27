// Every public call is all or nothing. The outermost error trap of a thread opens a unit of work;
// each connection that the call writes through joins it, with a transaction of its own or, when the
// caller already holds a transaction on that connection, a savepoint inside the caller's. The
// call's True commits the unit, False or an error rolls it back. Calls made inside a call (sibling
// modules, other public methods) find the unit open and join it; they never end it.
//
// One database is written through one connection within a call: when a second connection to the
// same database writes, its statements go to the connection that joined first (two writers on one
// SQLite file would wait on each other, and on PostgreSQL they would not see each other's rows).
// Connections that only read stay outside the unit and see committed data only.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace qlnsales {
class Connection;
}

namespace qlnsales::db {

class UnitOfWork {
 public:
  // The unit of the calling thread's call in progress, or null between calls.
  static UnitOfWork* Current();

  // The connection that runs a write of `c` within this unit, joining it when needed.
  Connection& Writer(Connection& c);
  // The connection that runs a read of `c`: the writer `c` has been sent to, or `c` itself.
  Connection& Reader(Connection& c);
  bool Joined(const Connection& c) const;
  // Tells calls apart: no two units of a process share it, so work remembered from one call is
  // never taken for work of a later one.
  std::uint64_t serial() const { return serial_; }
  // A joined connection closed or went away during the call: its work is lost, so the call
  // cannot commit.
  void Forget(const Connection& c);

  // Opens the unit for the outermost call of the thread and joins it for nested ones.
  class Scope {
   public:
    Scope();
    ~Scope();
    Scope(const Scope&) = delete;
    Scope& operator=(const Scope&) = delete;
    bool outermost() const { return owned_ != nullptr; }
    // Ends the outermost call: commits when `ok`, rolls back otherwise. Answers the error that
    // made a commit fail (everything is then rolled back).
    std::optional<std::string> Finish(bool ok);

   private:
    UnitOfWork* owned_ = nullptr;
  };

 private:
  struct Member {
    Connection* conn;
    bool savepoint;  // the caller's transaction was open on it
  };
  void Join(Connection& c);
  void Commit();
  void Rollback() noexcept;
  void ForgetReads() noexcept;

  std::vector<Member> members_;
  std::vector<std::pair<const Connection*, Connection*>> sent_to_;
  std::optional<std::string> lost_;
  std::uint64_t serial_ = NextSerial();
  static std::uint64_t NextSerial();
};

}  // namespace qlnsales::db
