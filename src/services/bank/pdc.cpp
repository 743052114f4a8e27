// QLNBank.PDC: post-dated cheques and card payments of cash memos.
#include "db/record.h"
#include "services/service_object.h"

namespace qlnsales::services {
namespace {

class PDC : public ServiceObject {
 public:
  bool Create_PDC() {
    return Trap([&] {
      // LastUpdate arrives as "dd/MMM/yyyy" text and is kept so; a date is written the same way.
      const Value& stamp = P("LastUpdate");
      Value last_update = stamp.kind() == Value::Kind::Date
                              ? Value(convert::FormatDayMonthName(stamp.ToDate()))
                              : stamp;
      Record()
          .Set("Company_Prefix", Text("CompanyPrefix"))
          .Set("Branch_Prefix", Text("BranchPrefix"))
          .Set("Document_Prefix", Text("DocumentPrefix"))
          .SetOptional("Transaction_Type", Text("TransactionType"))
          .SetOptional("Bank_Name", Text("BankName"))
          .SetOptional("Cheque_No", Text("ChequeNo"))
          .Set("PDC_Date", DateOrNull("PDCDate"))
          .Set("PDC_Due_Date", DateOrNull("PDCDueDate"))
          .SetOptional("CreditCard_No", Text("CreditCardNo"))
          .SetOptional("CreditCard_Name", Text("CreditCardName"))
          .SetOptional("CreditCard_Code", Text("CreditCardCode"))
          .Set("Cheque_Amount", Number("ChequeAmount"))
          .Set("Cheque_FCAmount", Number("ChequeFCAmount"))
          .Set("Cleared", Cleared())
          .Set("CustomerID", Text("CustomerID"))
          .SetOptional("Customer_Name", Text("CustomerName"))
          .SetOptional("Source_No", Text("SourceNo"))
          .SetOptional("Source_Prefix", Text("SourcePrefix"))
          .SetOptional("Status", Text("Status"))
          .Set("Foreign_Currency_Flag", Flag("ForeignCurrencyFlag"))
          .SetOptional("Currency_Code", Text("CurrencyCode"))
          .SetOptional("PDC_Comments", Text("PDCComments"))
          .Set("Last_Update", last_update)
          .InsertDeferred(*ConnectionObject(), "PDC_Master");
      return true;
    });
  }

  std::string_view ClassName() const override { return "QLNBank.PDC"; }

 private:
  // Callers say "No" or "Yes" (in any case), or give a Boolean.
  bool Cleared() const {
    const Value& v = P("Cleared");
    if (v.kind() == Value::Kind::Text) {
      const std::string t = convert::UCase(convert::Trim(v.ToText()));
      if (t == "NO") return false;
      if (t == "YES") return true;
    }
    return v.ToBool();
  }

 protected:
  const DispatchTable& Dispatch() const override {
    static const DispatchTable table = [] {
      DispatchBuilder<PDC> b("QLNBank.PDC");
      WithProperties(b, {"AdoConnectionObject",
                         "CompanyPrefix",
                         "BranchPrefix",
                         "DocumentPrefix",
                         "TransactionType",
                         "BankName",
                         "ChequeNo",
                         "PDCDate",
                         "PDCDueDate",
                         "CreditCardNo",
                         "CreditCardName",
                         "CreditCardCode",
                         "ChequeAmount",
                         "Cleared",
                         "CustomerID",
                         "CustomerName",
                         "SourceNo",
                         "SourcePrefix",
                         "Status",
                         "ForeignCurrencyFlag",
                         "CurrencyCode",
                         "ChequeFCAmount",
                         "PDCComments",
                         "LastUpdate"});
      b.Method("Create_PDC", &PDC::Create_PDC);
      return b.Build();
    }();
    return table;
  }
};

}  // namespace

ObjectRef NewPDC() {
  return std::make_shared<PDC>();
}

}  // namespace qlnsales::services
