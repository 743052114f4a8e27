#include "frame/modules.h"

namespace qlnsales {

ObjectRef NewModule(const char* class_name,
                    std::initializer_list<std::pair<const char*, Value>> properties) {
  auto module = CreateObject(class_name);
  for (const auto& [name, value] : properties) module->Set(name, value);
  return module;
}

ModuleError Call(const ObjectRef& module, const char* method, std::vector<Value> args) {
  if (module->Invoke(method, args).ToBool()) return std::nullopt;
  return module->Get("ErrDesc").ToText();
}

ModuleError PostLedgerLine(const LedgerHeader& h, const std::string& account,
                           const std::string& description, double debit, double credit,
                           double fc_debit, double fc_credit, const std::string& comments) {
  auto gl = NewModule("QLNAccounts.GeneralLedger", {{"AdoConnectionObject", Value(h.conn)},
                                                    {"DocumentNo", Value(h.document_no)},
                                                    {"DocumentPrefix", Value(h.document_prefix)},
                                                    {"GLDate", Value(h.date)},
                                                    {"CurrencyCode", Value(h.currency_code)},
                                                    {"CurrencySymbol", Value(h.currency_symbol)},
                                                    {"GLDescription", Value(description)},
                                                    {"AccountNo", Value(account)},
                                                    {"GLCreditAmount", Value(credit)},
                                                    {"GLDebitAmount", Value(debit)},
                                                    {"ForeignCurrencyFlag", Value(h.foreign)},
                                                    {"FCGLCreditAmount", Value(fc_credit)},
                                                    {"FCGLDebitAmount", Value(fc_debit)},
                                                    {"LastUpdate", h.last_update}});
  if (!comments.empty()) gl->Set("GLComments", comments);
  if (auto err = Call(gl, "GLInsert")) return err;
  return Call(gl, "COAPosting", {Value(account), Value(debit - credit)});
}

}  // namespace qlnsales
