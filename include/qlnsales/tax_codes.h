// A tax code with its authority lines, edited through the caller's grid (Flex: column 1 the
// authority code without prefixes, 2 its name, 3 its rate), and the posting of a document's tax
// to the authorities' ledger accounts.
#pragma once

#include <string>

#include "qlnsales/business_object.h"
#include "qlnsales/grid.h"

namespace qlnsales {

class TaxCodes : public BusinessObject {
 public:
  std::string TaxCode;  // without the prefixes, except for ProcessTax, which takes it as stored
  std::string TaxDesc;
  double TaxRate = 0;    // the code's total rate, percent
  double TaxAmount = 0;  // the document's tax to post
  bool Default = false;
  std::string TaxTypeSP;  // stored as the code's tax type
  std::string TaxType;    // "SALES RETURN" posts debits, anything else credits
  double AmtDig = 0;      // decimals amounts are rounded to
  std::string DocumentNo;
  std::string DocumentPrefix;
  std::string Document_Prefix;  // kept for callers that set it; nothing reads it
  std::string DocumentDate;     // a date held as text
  std::string CurrencyCode;
  std::string CurrencySymbol;
  std::string Description;
  std::string Comments;
  std::string CompanyPrefix;
  std::string BranchPrefix;
  std::string ConnectionString;
  ConnectionRef AdoDBConnectionObject;
  GridRef Flex;

  // Keeps nothing: reads as the zero date whatever was set.
  Date LastUpdate() const { return Date{}; }
  void SetLastUpdate(const Value&) {}

  // Adds or updates the code and replaces its authority lines with the grid's rows, up to the
  // first row without an authority code. "Object variable not set: the tax code has no authority
  // grid (Flex)", or a database error.
  bool SaveTaxCodes();
  // Loads the code's description, type and default flag and fills the grid with its authorities,
  // adding rows as needed; an unknown code succeeds. "Object variable not set: the tax code has
  // no authority grid (Flex)", or a database error.
  bool GetTaxCodes();
  // Posts TaxAmount of DocumentNo to the code's authorities in shares of their rates, the last
  // one taking the rounding remainder (the exact rest when TaxAmount has more decimals than
  // AmtDig), so the lines add up to TaxAmount. A sale credits the authorities' accounts, a "SALES
  // RETURN" debits them. A TaxAmount of 0 or less posts nothing. "Invalid Tax Amount for Tax
  // Code - " & TaxCode (not a finite number), "Invalid Tax Rate for Tax Code - " & TaxCode (0,
  // negative or not finite, or not its authorities' rates, so that a share would be below 0 or
  // above the whole tax), "Invalid Document Date for Document - " &
  // DocumentNo, "No Tax Authority for Tax Code - " & TaxCode (no line whose authority exists),
  // "Invalid Account Number for Authority -'" & the authority's description, or the ledger's
  // text. A failure posts nothing.
  bool ProcessTax();

  std::string_view ClassName() const override { return "QLNSales.TaxCodes"; }

 protected:
  const DispatchTable& Dispatch() const override;
};

}  // namespace qlnsales
