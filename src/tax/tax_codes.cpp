#include "qlnsales/tax_codes.h"

#include <cmath>
#include <vector>

#include "base/convert.h"
#include "db/record.h"
#include "frame/modules.h"
#include "frame/tax_shares.h"

namespace qlnsales {

using convert::Trim;

namespace {

Grid& RequireGrid(const GridRef& grid) {
  if (!grid) throw Error("Object variable not set: the tax code has no authority grid (Flex)");
  return *grid;
}

// One authority of the code that a share can be posted to.
struct Authority {
  double rate;
  std::string account;
  std::string description;
};

}  // namespace

bool TaxCodes::SaveTaxCodes() {
  if (!Flex) return Fail("Object variable not set: the tax code has no authority grid (Flex)");
  return Trap([&] {
    auto conn = connection_rule::StringOnly(ConnectionString);
    const std::string prefixes = CompanyPrefix + BranchPrefix;
    const std::string code = prefixes + TaxCode;
    Record master;
    master.Set("Company_Prefix", CompanyPrefix)
        .Set("Branch_Prefix", BranchPrefix)
        .Set("Tax_Code", code)
        .SetOptional("Tax_Description", TaxDesc)
        .Set("Tax_Rate", TaxRate)
        .Set("DefaultCode", Default)
        .SetOptional("Tax_Type", TaxTypeSP);
    const bool stored =
        !conn->Query(
                 "SELECT Tax_Code FROM TaxCodeMaster WHERE Tax_Code = ? AND Company_Prefix = ? "
                 "AND Branch_Prefix = ?",
                 {code, CompanyPrefix, BranchPrefix})
             .empty();
    if (stored)
      master.Update(*conn, "TaxCodeMaster", Record().Set("Tax_Code", code));
    else
      master.Insert(*conn, "TaxCodeMaster");

    // The lines are replaced whole; the call's unit keeps the old ones should any step fail.
    conn->Execute("DELETE FROM TaxCodeDetails WHERE TaxCode = ?", {code});
    Grid& grid = RequireGrid(Flex);
    for (std::int32_t r = 1; r < grid.Rows(); ++r) {
      // Trimmed: a code stored with a stray blank would never find its authority again.
      const std::string authority = Trim(grid.TextMatrix(r, 1));
      if (authority.empty()) break;
      Record()
          .Set("TaxCode", code)
          .Set("TaxAuthorityCode", prefixes + authority)
          .SetOptional("TaxAuthorityName", Trim(grid.TextMatrix(r, 2)))
          .Set("TaxAuthorityRate", grid.ValueMatrix(r, 3))
          .InsertDeferred(*conn, "TaxCodeDetails");
    }
    return true;
  });
}

bool TaxCodes::GetTaxCodes() {
  if (!Flex) return Fail("Object variable not set: the tax code has no authority grid (Flex)");
  return Trap([&] {
    auto conn = connection_rule::StringOnly(ConnectionString);
    const std::string code = CompanyPrefix + BranchPrefix + TaxCode;
    const auto master = conn->Query(
        "SELECT Tax_Description, Tax_Type, DefaultCode FROM TaxCodeMaster WHERE Tax_Code = ?",
        {code});
    if (!master.empty()) {
      const Row m = master.front();
      if (!m.IsNull("Tax_Description")) TaxDesc = m.Text("Tax_Description");
      if (!m.IsNull("Tax_Type")) TaxTypeSP = m.Text("Tax_Type");
      if (!m.IsNull("DefaultCode")) Default = m.Flag("DefaultCode");
    }
    // In the order ProcessTax posts them, so the last row shown is the one that takes the
    // rounding remainder.
    const auto lines = conn->Query(
        "SELECT TaxAuthorityCode, TaxAuthorityName, TaxAuthorityRate FROM TaxCodeDetails WHERE "
        "TaxCode = ? ORDER BY TaxAuthorityCode",
        {code});
    Grid& grid = RequireGrid(Flex);
    for (std::size_t i = 0; i < lines.size(); ++i) {
      const Row l = lines[i];
      const auto r = static_cast<std::int32_t>(i + 1);
      // Always one empty row below the last authority, where the user types the next one.
      if (r >= grid.Rows() - 1) grid.SetRows(r + 2);
      grid.SetTextMatrix(r, 1, convert::Mid(l.Text("TaxAuthorityCode"), 5));
      grid.SetTextMatrix(r, 2, l.Text("TaxAuthorityName"));
      grid.SetTextMatrix(r, 3, l.Text("TaxAuthorityRate"));
    }
    return true;
  });
}

bool TaxCodes::ProcessTax() {
  if (!std::isfinite(TaxAmount)) return Fail("Invalid Tax Amount for Tax Code - " + TaxCode);
  if (TaxAmount <= 0) return true;  // nothing to post, so no rate or date is needed
  // Shares are TaxAmount / TaxRate * the authority's rate: a zero or broken rate would post
  // infinities.
  if (!std::isfinite(TaxRate) || TaxRate <= 0)
    return Fail("Invalid Tax Rate for Tax Code - " + TaxCode);
  const auto date = convert::ParseDate(Trim(DocumentDate));
  if (!date) return Fail("Invalid Document Date for Document - " + DocumentNo);

  return Trap([&] {
    auto conn = connection_rule::StringOnly(ConnectionString);
    // TaxCodeDetails has no serial column and PostgreSQL keeps no row order, so the authorities
    // come in code order: the same authority takes the remainder every time.
    // A line whose authority is gone takes no share.
    const auto lines = conn->Query(
        "SELECT D.TaxAuthorityRate, A.AccountNo, A.Description FROM TaxCodeDetails D JOIN "
        "TaxAuthorities A ON A.Code = D.TaxAuthorityCode WHERE D.TaxCode = ? ORDER BY "
        "D.TaxAuthorityCode",
        {TaxCode});
    std::vector<Authority> authorities;
    for (std::size_t i = 0; i < lines.size(); ++i) {
      const Row l = lines[i];
      authorities.push_back(
          {l.Double("TaxAuthorityRate"), Trim(l.Text("AccountNo")), l.Text("Description")});
    }
    if (authorities.empty()) return Fail("No Tax Authority for Tax Code - " + TaxCode);

    const int digits = convert::DecimalPlaces(AmtDig);
    const bool sales_return = convert::UCase(Trim(TaxType)) == "SALES RETURN";
    const std::string prefix =
        DocumentPrefix.empty() ? convert::Mid(DocumentNo, 5, 3) : DocumentPrefix;
    const LedgerHeader h{AdoDBConnectionObject, DocumentNo,     prefix, *date,
                         CurrencyCode,          CurrencySymbol, false,  Value(Date::Today())};
    const std::string description = "Sales Tax for " + convert::Mid(DocumentNo, 8) + " Dated " +
                                    convert::FormatDayMonthNumber(*date);
    std::vector<double> rates;
    for (const Authority& a : authorities) rates.push_back(a.rate);
    // No authority takes less than nothing or more than the whole tax: a code's rate that does
    // not match its authorities' rates would post such shares.
    const auto shares = TaxShares(TaxAmount, TaxRate, rates, digits);
    if (!shares) return Fail("Invalid Tax Rate for Tax Code - " + TaxCode);
    for (std::size_t k = 0; k < authorities.size(); ++k) {
      const Authority& a = authorities[k];
      const double share = (*shares)[k];
      if (a.account.empty()) return Fail("Invalid Account Number for Authority -'" + a.description);
      const double debit = sales_return ? share : 0, credit = sales_return ? 0 : share;
      if (auto err =
              PostLedgerLine(h, a.account, description, debit, credit, debit, credit, Comments))
        return Fail(*err);
    }
    return true;
  });
}

const DispatchTable& TaxCodes::Dispatch() const {
  using C = TaxCodes;
  static const DispatchTable table = DispatchBuilder<C>("QLNSales.TaxCodes")
                                         .Prop("TaxCode", &C::TaxCode)
                                         .Prop("TaxDesc", &C::TaxDesc)
                                         .Prop("TaxRate", &C::TaxRate)
                                         .Prop("TaxAmount", &C::TaxAmount)
                                         .Prop("Default", &C::Default)
                                         .Prop("TaxTypeSP", &C::TaxTypeSP)
                                         .Prop("TaxType", &C::TaxType)
                                         .Prop("AmtDig", &C::AmtDig)
                                         .Prop("DocumentNo", &C::DocumentNo)
                                         .Prop("DocumentPrefix", &C::DocumentPrefix)
                                         .Prop("Document_Prefix", &C::Document_Prefix)
                                         .Prop("DocumentDate", &C::DocumentDate)
                                         .Prop("CurrencyCode", &C::CurrencyCode)
                                         .Prop("CurrencySymbol", &C::CurrencySymbol)
                                         .Prop("Description", &C::Description)
                                         .Prop("Comments", &C::Comments)
                                         .Prop("CompanyPrefix", &C::CompanyPrefix)
                                         .Prop("BranchPrefix", &C::BranchPrefix)
                                         .Prop("ConnectionString", &C::ConnectionString)
                                         .Prop("AdoDBConnectionObject", &C::AdoDBConnectionObject)
                                         .Prop("Flex", &C::Flex)
                                         .Accessor("LastUpdate", &C::LastUpdate, &C::SetLastUpdate)
                                         .ReadOnly("ErrDesc", &C::ErrDesc)
                                         .Method("SaveTaxCodes", &C::SaveTaxCodes)
                                         .Method("GetTaxCodes", &C::GetTaxCodes)
                                         .Method("ProcessTax", &C::ProcessTax)
                                         .Build();
  return table;
}

}  // namespace qlnsales
