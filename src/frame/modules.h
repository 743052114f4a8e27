// Calling the package's sibling modules by class name, as a front end would: a module created with
// its input properties, a method invoked, the module's ErrDesc on a False answer; and the ledger
// line with its balance posting, which every posting class makes.
#pragma once

#include <initializer_list>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "qlnsales/connection.h"
#include "qlnsales/registry.h"

namespace qlnsales {

// A failure a module reported: its ErrDesc.
using ModuleError = std::optional<std::string>;

ObjectRef NewModule(const char* class_name,
                    std::initializer_list<std::pair<const char*, Value>> properties);
// Invokes `method`; a False answer gives the module's ErrDesc.
ModuleError Call(const ObjectRef& module, const char* method, std::vector<Value> args = {});

// What every ledger line of one document carries.
struct LedgerHeader {
  ConnectionRef conn;
  std::string document_no;
  std::string document_prefix;
  Date date;
  std::string currency_code;
  std::string currency_symbol;
  bool foreign = false;
  Value last_update;
};

// One ledger line (either a debit or a credit) and its balance posting, which follows the line:
// +amount for a debit, -amount for a credit, so an account's balance is always the sum of its
// lines. `comments` goes to GLComments when not empty.
ModuleError PostLedgerLine(const LedgerHeader& h, const std::string& account,
                           const std::string& description, double debit, double credit,
                           double fc_debit, double fc_credit, const std::string& comments = {});

}  // namespace qlnsales
