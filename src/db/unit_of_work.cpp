#include "db/unit_of_work.h"

#include <algorithm>
#include <atomic>

#include "db/driver.h"
#include "db/open_connections.h"

namespace qlnsales::db {
namespace {
thread_local UnitOfWork* current = nullptr;
}  // namespace

std::uint64_t UnitOfWork::NextSerial() {
  static std::atomic<std::uint64_t> next{1};
  return next.fetch_add(1, std::memory_order_relaxed);
}

UnitOfWork* UnitOfWork::Current() {
  return current;
}

bool UnitOfWork::Joined(const Connection& c) const {
  return std::any_of(members_.begin(), members_.end(),
                     [&](const Member& m) { return m.conn == &c; });
}

Connection& UnitOfWork::Reader(Connection& c) {
  for (const auto& [from, to] : sent_to_)
    if (from == &c) return *to;
  return c;
}

Connection& UnitOfWork::Writer(Connection& c) {
  for (const auto& [from, to] : sent_to_)
    if (from == &c) return *to;
  if (Joined(c)) return c;
  Connection* target = nullptr;
  const std::string& key = c.DatabaseKey();
  if (!key.empty()) {
    for (const auto& m : members_)
      if (m.conn->DatabaseKey() == key) target = m.conn;
    // A caller who holds a transaction on another connection to this database gets the call's
    // writes inside it, so that the caller's rollback still undoes them.
    if (!target && !c.InTransaction())
      target = OpenConnections::Find([&](Connection& o) {
        return &o != &c && o.State() == 1 && o.DatabaseKey() == key && o.InTransaction();
      });
  }
  if (!target) target = &c;
  if (!Joined(*target)) Join(*target);
  if (target != &c) sent_to_.emplace_back(&c, target);
  return *target;
}

void UnitOfWork::Join(Connection& c) {
  const bool savepoint = c.InTransaction();
  c.Require().BeginUnit(savepoint);
  members_.push_back({&c, savepoint});
}

void UnitOfWork::Forget(const Connection& c) {
  if (Joined(c)) lost_ = "The connection was closed during the call: its changes are lost";
  std::erase_if(members_, [&](const Member& m) { return m.conn == &c; });
  std::erase_if(sent_to_, [&](const auto& e) { return e.first == &c || e.second == &c; });
}

void UnitOfWork::Commit() {
  if (lost_) throw Error(*lost_);
  // Everything held back goes out first, so that its errors fail the call before any commit;
  // with more than one database, every one is heard from before the first commits.
  for (const auto& m : members_) m.conn->Flush("", false);
  if (members_.size() > 1)
    for (const auto& m : members_) m.conn->Require().Verify(true);
  while (!members_.empty()) {
    Member m = members_.front();
    m.conn->Require().CommitUnit(m.savepoint);
    members_.erase(members_.begin());
  }
  sent_to_.clear();
  ForgetReads();
}

void UnitOfWork::Rollback() noexcept {
  for (const auto& m : members_) {
    m.conn->ResetPending();
    if (m.conn->driver_) m.conn->driver_->RollbackUnit(m.savepoint);
  }
  members_.clear();
  sent_to_.clear();
  ForgetReads();
}

void UnitOfWork::ForgetReads() noexcept {
  // Reads cached during the call, on connections inside or outside the unit, are not kept past it.
  OpenConnections::Find([](Connection& o) {
    o.ResetPending();
    return false;
  });
}

UnitOfWork::Scope::Scope() {
  if (!current) {
    owned_ = new UnitOfWork;
    current = owned_;
  }
}

UnitOfWork::Scope::~Scope() {
  if (!owned_) return;
  owned_->Rollback();
  current = nullptr;
  delete owned_;
}

std::optional<std::string> UnitOfWork::Scope::Finish(bool ok) {
  if (!owned_) return std::nullopt;
  if (!ok) {
    owned_->Rollback();
    return std::nullopt;
  }
  try {
    owned_->Commit();
    return std::nullopt;
  } catch (const std::exception& e) {
    owned_->Rollback();
    return std::string(e.what());
  }
}

}  // namespace qlnsales::db
