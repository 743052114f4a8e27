#include "support/faulty_driver.h"

#include <memory>
#include <utility>

#include "db/driver.h"
#include "qlnsales/value.h"

namespace qlnsales::testing {
namespace {

struct ThreadState {
  std::int64_t count = 0;
  std::int64_t fail_at = 0;  // 0: disarmed
  std::function<void()> before_unit;
};

thread_local ThreadState state;

// Counts one statement of this thread; throws when it is the armed one.
void Step() {
  ++state.count;
  if (state.fail_at != 0 && state.count == state.fail_at)
    throw Error(FaultyDriver::Message(state.count));
}

class Wrapped final : public db::Driver {
 public:
  explicit Wrapped(std::unique_ptr<db::Driver> inner) : inner_(std::move(inner)) {}

  db::Engine engine() const override { return inner_->engine(); }
  ResultSet Query(std::string_view sql, const std::vector<Value>& params) override {
    Step();
    return inner_->Query(sql, params);
  }
  std::int64_t Execute(std::string_view sql, const std::vector<Value>& params) override {
    Step();
    return inner_->Execute(sql, params);
  }
  void ExecuteDeferred(std::string_view sql, const std::vector<Value>& params,
                       const Expect& expect) override {
    Step();
    inner_->ExecuteDeferred(sql, params, expect);
  }
  void Begin() override { inner_->Begin(); }
  void Commit() override { inner_->Commit(); }
  void Rollback() override { inner_->Rollback(); }
  bool InTransaction() const override { return inner_->InTransaction(); }
  void BeginUnit(bool savepoint) override {
    if (state.before_unit) {
      auto hook = std::move(state.before_unit);
      state.before_unit = nullptr;
      hook();
    }
    inner_->BeginUnit(savepoint);
  }
  void Verify(bool all) override { inner_->Verify(all); }
  void CommitUnit(bool savepoint) override {
    Step();
    inner_->CommitUnit(savepoint);
  }
  void RollbackUnit(bool savepoint) noexcept override { inner_->RollbackUnit(savepoint); }
  std::string DatabaseKey() const override { return inner_->DatabaseKey(); }

 private:
  std::unique_ptr<db::Driver> inner_;
};

}  // namespace

void FaultyDriver::Install() {
  db::SetDriverWrapper([](std::unique_ptr<db::Driver> inner) -> std::unique_ptr<db::Driver> {
    return std::make_unique<Wrapped>(std::move(inner));
  });
}

void FaultyDriver::Uninstall() {
  db::SetDriverWrapper(nullptr);
  state = ThreadState{};
}

void FaultyDriver::Disarm() {
  state.count = 0;
  state.fail_at = 0;
}

void FaultyDriver::Arm(std::int64_t k) {
  state.count = 0;
  state.fail_at = k;
}

std::int64_t FaultyDriver::Statements() {
  return state.count;
}

std::string FaultyDriver::Message(std::int64_t k) {
  return "Injected fault at statement " + std::to_string(k);
}

void FaultyDriver::BeforeNextUnit(std::function<void()> hook) {
  state.before_unit = std::move(hook);
}

}  // namespace qlnsales::testing
