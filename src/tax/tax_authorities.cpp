#include "qlnsales/tax_authorities.h"

#include "db/record.h"

namespace qlnsales {

bool TaxAuthorities::SaveAuthorities() {
  return Trap([&] {
    auto conn = connection_rule::StringOnly(ConnectionString);
    const std::string code = CompanyPrefix + BranchPrefix + AuthorityCode;
    Record row;
    row.Set("Company_Prefix", CompanyPrefix)
        .Set("Branch_Prefix", BranchPrefix)
        .Set("Code", code)
        .SetOptional("Description", AuthorityDesc)
        .Set("TaxRate", TaxRate)
        .SetOptional("AccountNo", AccountNo)
        .SetOptional("AccountName", AccountName);
    // The code alone is the key, but only the company and branch's own row is updated: a code
    // that another company's prefixes happen to spell is refused by the key, not overwritten.
    const bool stored =
        !conn->Query(
                 "SELECT Code FROM TaxAuthorities WHERE Code = ? AND Company_Prefix = ? AND "
                 "Branch_Prefix = ?",
                 {code, CompanyPrefix, BranchPrefix})
             .empty();
    if (stored)
      row.Update(*conn, "TaxAuthorities", Record().Set("Code", code));
    else
      row.Insert(*conn, "TaxAuthorities");
    return true;
  });
}

bool TaxAuthorities::GetAuthorities() {
  return Trap([&] {
    auto conn = connection_rule::StringOnly(ConnectionString);
    const auto rs = conn->Query(
        "SELECT Description, TaxRate, AccountNo, AccountName FROM TaxAuthorities WHERE "
        "Code = ?",
        {CompanyPrefix + BranchPrefix + AuthorityCode});
    if (rs.empty()) return true;
    const Row r = rs.front();
    if (!r.IsNull("Description")) AuthorityDesc = r.Text("Description");
    if (!r.IsNull("TaxRate")) TaxRate = r.Double("TaxRate");
    if (!r.IsNull("AccountNo")) AccountNo = r.Text("AccountNo");
    if (!r.IsNull("AccountName")) AccountName = r.Text("AccountName");
    return true;
  });
}

const DispatchTable& TaxAuthorities::Dispatch() const {
  using C = TaxAuthorities;
  static const DispatchTable table = DispatchBuilder<C>("QLNSales.TaxAuthorities")
                                         .Prop("AuthorityCode", &C::AuthorityCode)
                                         .Prop("AuthorityDesc", &C::AuthorityDesc)
                                         .Prop("TaxRate", &C::TaxRate)
                                         .Prop("AccountNo", &C::AccountNo)
                                         .Prop("AccountName", &C::AccountName)
                                         .Prop("CompanyPrefix", &C::CompanyPrefix)
                                         .Prop("BranchPrefix", &C::BranchPrefix)
                                         .Prop("ConnectionString", &C::ConnectionString)
                                         .Method("SaveAuthorities", &C::SaveAuthorities)
                                         .Method("GetAuthorities", &C::GetAuthorities)
                                         .Build();
  return table;
}

}  // namespace qlnsales
