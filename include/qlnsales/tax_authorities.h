// The tax authorities: each with its rate and the ledger account its share of a document's tax
// is posted to. Codes are stored behind the company and branch prefixes.
#pragma once

#include <string>

#include "qlnsales/business_object.h"

namespace qlnsales {

// Failures answer False only: the class shows no ErrDesc to late-bound callers.
class TaxAuthorities : public BusinessObject {
 public:
  std::string AuthorityCode;  // without the prefixes
  std::string AuthorityDesc;
  double TaxRate = 0;  // percent
  std::string AccountNo;
  std::string AccountName;
  std::string CompanyPrefix;
  std::string BranchPrefix;
  std::string ConnectionString;

  // Adds the authority, or updates it when the company and branch already have it. Fails only
  // on a database error.
  bool SaveAuthorities();
  // Loads the authority's description, rate and account; an unknown code succeeds and leaves the
  // properties as they were. Fails only on a database error.
  bool GetAuthorities();

  std::string_view ClassName() const override { return "QLNSales.TaxAuthorities"; }

 protected:
  const DispatchTable& Dispatch() const override;
};

}  // namespace qlnsales
