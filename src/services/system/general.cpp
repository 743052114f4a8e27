// QLNSystem.General: the single-field look-up.
#include "frame/lookup.h"
#include "services/service_object.h"

namespace qlnsales::services {
namespace {

class General : public ServiceObject {
 public:
  // The field's value as text, "" when no row matched or it is null. A failed look-up (a
  // missing table or column, a bad name) is a run-time error of the caller's, never "".
  std::string GetFldValue(std::string TblName, std::string fldName,
                          std::optional<std::string> WhereFldName,
                          std::optional<std::string> WhereFldValue,
                          std::optional<bool> WhereFldNumYN,
                          std::optional<std::string> SecondWhereFldName,
                          std::optional<std::string> SecondWhereFldValue,
                          std::optional<bool> SecdWhereFldNumYN) {
    auto obj = std::dynamic_pointer_cast<Connection>(P("AdoConnectionObject").ToObject());
    auto conn = connection_rule::ObjectFirst(Text("ADOConnectionString"), obj);
    FieldLookup q{TblName,
                  fldName,
                  WhereFldName.value_or(""),
                  WhereFldValue.value_or(""),
                  WhereFldNumYN.value_or(false),
                  SecondWhereFldName.value_or(""),
                  SecondWhereFldValue.value_or(""),
                  SecdWhereFldNumYN.value_or(false)};
    return LookupField(*conn, q).value_or("");
  }

  std::string_view ClassName() const override { return "QLNSystem.General"; }

 protected:
  const DispatchTable& Dispatch() const override {
    static const DispatchTable table = [] {
      DispatchBuilder<General> b("QLNSystem.General");
      WithProperties(b, {"ADOConnectionString", "AdoConnectionObject"});
      b.Method("GetFldValue", &General::GetFldValue);
      return b.Build();
    }();
    return table;
  }
};

}  // namespace

ObjectRef NewGeneral() {
  return std::make_shared<General>();
}

}  // namespace qlnsales::services
