// Sales order processing: the final number, the documents the branch's preferences make of the
// order at once (a delivery, a cash memo, an invoice), and the items' ordered quantities.
#include "base/convert.h"
#include "db/record.h"
#include "db/unit_of_work.h"
#include "documents/document_support.h"
#include "documents/layout.h"
#include "documents/postings.h"
#include "documents/sales_postings.h"
#include "frame/modules.h"
#include "frame/numbering.h"
#include "qlnsales/cash_memo.h"
#include "qlnsales/delivery.h"
#include "qlnsales/sales_order.h"

namespace qlnsales {

using convert::Trim;
using namespace documents;

namespace {

using C = SalesOrder;

const NumberingTables kTables{"Sales_Order_Master",
                              "Sales_Ord_No",
                              "Sales_ord_Identity",
                              "Sales_Order_Detail",
                              "Sales_Ord_No",
                              "Invalid Sales Order No",
                              "Error while Processing, Invalid Temporary Sales Order No."};

// Where the order's goods leave from: the location stored with the order (the read-back does not
// load it), else the one the caller set.
struct Location {
  std::int32_t id = 0;
  std::string name;
};

// The order documents are made of, as stored: it must be processed (a temporary number is
// renumbered later, which would leave its documents pointing at nothing), not cancelled, and the
// object's customer's, so that no document bills one customer for another's order.
Location StoredOrder(const C& o, Connection& conn) {
  const std::string number = Trim(o.SalesOrdNo);
  auto rs = conn.Query(
      "SELECT Customer_Code, Location_ID, Location_Name, process_Flag, Cancel_Flag "
      "FROM Sales_Order_Master WHERE Sales_Ord_No = ?",
      {Value(number)});
  if (rs.empty() || !IsFinalNumber(number)) throw Error("Invalid Sales Order No");
  Row r = rs.front();
  if (!r.Flag("process_Flag") || r.Flag("Cancel_Flag")) throw Error("Invalid Sales Order No");
  if (Trim(r.Text("Customer_Code")) != Trim(o.CustomerCode))
    throw Error("Invalid Customer Details");
  Location at{o.LocationID, o.LocationName};
  if (!r.IsNull("Location_ID") && r.Int32("Location_ID") != 0) {
    at.id = r.Int32("Location_ID");
    at.name = r.Text("Location_Name");
  }
  return at;
}

// A document the order fills must be one made from it and still empty and temporary: lines added
// to another document, or to a processed one, would never be posted.
void RequireEmptyTemporary(Connection& conn, const char* master, const char* detail,
                           const char* number_column, const char* owner_column,
                           const std::string& owner, const std::string& number,
                           const char* invalid) {
  const std::string sql = std::string("SELECT (SELECT COUNT(*) FROM ") + detail + " WHERE " +
                          number_column + " = ?) AS Lines, " + owner_column + " AS Owner FROM " +
                          master + " WHERE " + number_column + " = ?";
  auto rs = conn.Query(sql, {Value(number), Value(number)});
  if (rs.empty() || IsFinalNumber(number) || rs.front().Int64("Lines") != 0 ||
      Trim(rs.front().Text("Owner")) != Trim(owner))
    throw Error(invalid);
}

ResultSet OrderLines(const C& o, Connection& conn) {
  return conn.Query("SELECT * FROM Sales_Order_Detail WHERE Sales_Ord_No = ? ORDER BY SL_No",
                    {Value(o.SalesOrdNo)});
}

// A text or flag column is copied only when the source holds a value.
void CopyIfSet(Record& to, const char* column, const Row& from, const char* source) {
  if (!from.IsNull(source)) to.Set(column, from[source]);
}

// The columns an order line gives every line made of it.
Record LineOf(const Row& l, const Location& at) {
  Record line;
  CopyIfSet(line, "Item_Code", l, "Item_Code");
  CopyIfSet(line, "Item_Name", l, "Item_Name");
  line.Set("Unit_Code", l.Double("Unit_Code"));
  CopyIfSet(line, "Unit_Name", l, "Unit_Name");
  CopyIfSet(line, "Period_Type", l, "Period_Type");
  CopyIfSet(line, "FOC_Flag", l, "FOC_Flag");
  line.Set("Unit_Qty", l.Double("Unit_Qty"));
  CopyIfSet(line, "Proj_No", l, "Proj_No");
  line.Set("Location_ID", at.id).Set("Location_Name", at.name);
  return line;
}

}  // namespace

bool SalesOrder::Process_Order() {
  if (Trim(SalesOrdNo).empty()) return Fail("Invalid Sales Order No");
  return Trap([&] {
    {
      HeaderOnly header_only(header_only_);
      if (!Get_Order()) return false;
    }
    auto conn = connection_rule::ObjectOnly(AdoConnectionObject);
    const ProcessMode mode{ModeOf(OnlineFlag, SyncFlag), DocManualFlag, DocIdentity};
    FinalNumbering numbering(kTables);
    if (auto err = numbering.Open(*conn, SalesOrdNo)) return Fail(*err);
    // The ordered quantities move with the order's postings, as deliveries lower them with
    // theirs: on-line, or at the synchronisation of an order numbered off-line, and only once.
    if (mode.KeepsStoredIdentity()) {
      if (!IsFinalNumber(numbering.temporary_number()))
        return Fail("A sales order is synchronised once it is processed off-line");
      if (numbering.stored().Flag("Ordered_Qty_Posted")) return Fail("Already Processed");
    }
    // The series the number was drawn from, whatever the prefix column says since.
    const Series series{CompanyPrefix, BranchPrefix,
                        convert::Mid(numbering.temporary_number(), 5, 3)};
    numbering.Assign(AdoConnectionObject, series, mode, Record().Set("process_Flag", 1),
                     Stamp(kTables.master_table, LastUpdate),
                     Stamp(kTables.detail_table, LastUpdate));
    SalesOrdIdentity = numbering.identity();
    SalesOrdNo = numbering.number();

    if (OnlineFlag && !GenerateDefaults()) return false;
    if (mode.Posts()) {
      std::string increase = "Increase";
      if (!Update_Item_SORDQty(increase)) return false;
      Record()
          .Set("Ordered_Qty_Posted", 1)
          .Update(*conn, "Sales_Order_Master", Record().Set("Sales_Ord_No", SalesOrdNo));
    }
    if (auto err = numbering.Settle()) return Fail(*err);
    return true;
  });
}

bool SalesOrder::DeliveredInThisCall() const {
  const auto* call = db::UnitOfWork::Current();
  return !last_delivery_no_.empty() && last_delivery_order_ == SalesOrdNo && call &&
         call->serial() == last_delivery_call_;
}

bool SalesOrder::Update_Item_SORDQty(std::string& strType) {
  return Trap([&] {
    auto conn = connection_rule::ObjectOnly(AdoConnectionObject);
    // Stock lines only, in base units: exactly what deliveries take off again.
    auto lines = conn->Query(
        "SELECT L.Item_Code, L.Unit_Qty, L.Sales_Ord_Ordered_Qty, I.Item_Type FROM "
        "Sales_Order_Detail L LEFT JOIN Item_Master I ON I.Item_Code = L.Item_Code WHERE "
        "L.Sales_Ord_No = ? ORDER BY L.SL_No",
        {Value(Trim(SalesOrdNo))});
    for (std::size_t i = 0; i < lines.size(); ++i) {
      Row l = lines[i];
      // An item the master does not know goes to the inventory, which says so.
      if (Trim(l.Text("Item_Code")).empty()) continue;
      if (!l.IsNull("Item_Type") && !IsStockType(l.Int32("Item_Type"))) continue;
      Check(MoveOrderedQty(AdoConnectionObject, BranchPrefix, l.Text("Item_Code"),
                           l.Double("Sales_Ord_Ordered_Qty") * l.Double("Unit_Qty"), strType,
                           Value(LastUpdate)));
    }
    return true;
  });
}

bool SalesOrder::GenerateDefaults() {
  return Trap([&] {
    auto conn = connection_rule::ObjectOnly(AdoConnectionObject);
    auto prefs = conn->Query(
        "SELECT Cash_SO_Delivery_Flag, Cash_SO_Cash_Memo_Flag, Credit_SO_Delivery_Flag, "
        "Credit_SO_Invoice_Flag FROM Default_Sales_Preferences WHERE Branch_Prefix = ?",
        {Value(BranchPrefix)});
    if (prefs.empty()) return Fail("Set the default sales preferences.");
    Row p = prefs.front();
    const bool cash_delivery = p.Flag("Cash_SO_Delivery_Flag");
    const bool cash_memo = p.Flag("Cash_SO_Cash_Memo_Flag");
    // The payment type is compared as the user typed it: "cash" makes nothing.
    if (PaymentType == "Cash") {
      std::string cash = "Cash";
      bool delivered = cash_delivery;
      if (cash_delivery && !Process_Delivery(cash, cash_memo)) return false;
      if (cash_memo && !Process_CashMemo(cash, delivered)) return false;
    } else if (PaymentType == "Credit") {
      std::string credit = "Credit";
      if (p.Flag("Credit_SO_Delivery_Flag") && !Process_Delivery(credit, false)) return false;
      if (p.Flag("Credit_SO_Invoice_Flag") && !Process_Invoice(credit)) return false;
    }
    return true;
  });
}

bool SalesOrder::Process_Delivery(std::string& strType, std::optional<bool> pCashMemoSelected) {
  return Trap([&] {
    Delivery d;
    const Location at = StoredOrder(*this, *connection_rule::ObjectOnly(AdoConnectionObject));
    // Everything the delivery needs to be processed like any other comes from the order: its
    // connection, series, amounts, location, prefixes and working mode.
    d.ADOConnectionString = ADOConnectionString;
    d.AdoDBConnectionObject = AdoConnectionObject;
    d.CompanyPrefix = CompanyPrefix;
    d.BranchPrefix = BranchPrefix;
    d.DocumentPrefix = DeliveryPrefix;
    d.CurrencyCode = CurrencyCode;
    d.ForeignCurrencyFlag = ForeignCurrencyFlag;
    d.ExchangeRate = ExchangeRate;
    d.DeliveryDate = SalesOrdDate;
    d.CustomerCode = CustomerCode;
    d.CustomerName = CustomerName;
    d.PaymentTerms = PaymentTerms;
    d.PaidFlag = pCashMemoSelected.value_or(false);
    d.PaymentType = strType;
    d.EmployeeID = EmployeeID;
    d.EmployeeName = EmployeeName;
    d.DeliveryComments = SalesOrdComments;
    d.LocationID = at.id;
    d.LocationName = at.name;
    d.StockMovementPrefix = StockMovementPrefix;
    d.SalesLogPrefix = SalesLogPrefix;
    d.DeliverySubtotal = SalesOrdSubTotal;
    d.DeliveryFCSubtotal = SalesOrdFCSubTotal;
    d.DeliveryDiscAmount = SalesOrdDiscAmount;
    d.DeliveryFCDiscAmount = SalesOrdFCDiscAmount;
    d.DeliveryTotalAmount = SalesOrdTotalAmount;
    d.DeliveryFCTotalAmount = SalesOrdFCTotalAmount;
    d.SourceNo = SalesOrdNo;
    d.SourceDate = SalesOrdDate;
    d.SourcePrefix = DocumentPrefix;
    d.SourceName = "SalesOrder";
    d.OnlineFlag = OnlineFlag;
    d.SyncFlag = SyncFlag;
    d.AmtDig = AmtDig;
    d.LastUpdate = LastUpdate;
    if (!d.Create_Delivery(false)) return Fail(d.ErrDesc());
    std::string number = d.DeliveryNo;
    if (!Create_Delivery_Detail(number)) return false;
    if (!d.Update_Sales_Order()) return Fail(d.ErrDesc());
    std::string source = "SalesOrder";
    if (!d.Process_Delivery(source)) return Fail(d.ErrDesc());
    last_delivery_order_ = SalesOrdNo;
    last_delivery_call_ = db::UnitOfWork::Current()->serial();
    last_delivery_no_ = d.DeliveryNo;
    last_delivery_date_ = Value(d.DeliveryDate).ToText();
    return true;
  });
}

bool SalesOrder::Create_Delivery_Detail(std::string& strDelNo) {
  return Trap([&] {
    Connection& conn = *connection_rule::ObjectOnly(AdoConnectionObject);
    const Location at = StoredOrder(*this, conn);
    RequireEmptyTemporary(conn, "Delivery_Master", "Delivery_Detail", "Delivery_No", "Source_No",
                          SalesOrdNo, strDelNo, "Invalid Delivery No");
    const Value stamp = Stamp("Delivery_Detail", LastUpdate);
    const auto rows = OrderLines(*this, conn);
    // The whole order is delivered, once: an order of which anything went out already would
    // have its goods taken out twice.
    for (std::size_t i = 0; i < rows.size(); ++i)
      if (rows[i].Double("Sales_Ord_Delivered_Qty") != 0) return Fail("Already Processed");
    std::vector<Record> lines;
    for (std::size_t i = 0; i < rows.size(); ++i) {
      Row l = rows[i];
      Record line = LineOf(l, at);
      line.Set("Delivery_No", strDelNo)
          .Set("Delivery_Qty", l.Double("Sales_Ord_Ordered_Qty"))
          .Set("Sales_Ord_Dtl_SL_No", l.Double("SL_No"))
          .Set("Delivery_Dtl_Unit_Price", l.Double("Sales_Ord_Unit_Price"))
          .Set("Delivery_Disc_Amount", l.Double("Sales_Ord_Disc_Amount"))
          .Set("Delivery_FC_Disc_Amount", l.Double("Sales_Ord_FC_Disc_Amount"))
          .Set("Delivery_Item_Amount", NumberOf(l["Sales_Ord_Item_Amount"]))
          .Set("Delivery_FC_Item_Amount", l.Double("Sales_Ord_FC_Item_Amount"))
          .Set("Delivery_Dtl_FC_Unit_Price", l.Double("Sales_Ord_FC_Unit_Price"))
          // The order line's share of the order's discount, as a delivery saved from the order
          // keeps it; an invoice made from the delivery's list nets it from the line.
          .Set("Sales_Ord_Overall_Disc", l.Double("Sales_Ord_Overall_Disc"))
          .Set("Sales_Ord_Overall_FC_Disc", l.Double("Sales_Ord_Overall_FC_Disc"))
          .Set("Sales_Ord_Balance_Qty", 0.0)
          .Set("Last_Update", stamp);
      lines.push_back(std::move(line));
    }
    InsertLines(conn, "Delivery_Detail", lines);
    return true;
  });
}

bool SalesOrder::Process_CashMemo(std::string& strType, bool& pDelivered) {
  return Trap([&] {
    CashMemo m;
    Connection& conn = *connection_rule::ObjectOnly(AdoConnectionObject);
    const Location at = StoredOrder(*this, conn);
    // An order is paid once.
    if (!conn.Query("SELECT Sales_Ord_No FROM Sales_Order_Master WHERE Sales_Ord_No = ? AND "
                    "Paid_Flag <> 0",
                    {Value(Trim(SalesOrdNo))})
             .empty())
      return Fail("Already Processed");
    m.ADOConnectionString = ADOConnectionString;
    m.AdoDBConnectionObject = AdoConnectionObject;
    m.CompanyPrefix = CompanyPrefix;
    m.BranchPrefix = BranchPrefix;
    m.DocumentPrefix = CashMemoPrefix;
    m.CurrencyCode = CurrencyCode;
    m.ForeignCurrencyFlag = ForeignCurrencyFlag;
    m.ExchangeRate = ExchangeRate;
    m.CashMemoDate = SalesOrdDate;
    m.CustomerCode = CustomerCode;
    m.CustomerName = CustomerName;
    m.PaymentTerms = PaymentTerms;
    m.PaymentType = strType;
    m.EmployeeID = EmployeeID;
    m.EmployeeName = EmployeeName;
    m.CashMemoComments = SalesOrdComments;
    m.CashMemoSubTotal = SalesOrdSubTotal;
    m.CashMemoFCSubTotal = SalesOrdFCSubTotal;
    m.CashMemoDiscAmount = SalesOrdDiscAmount;
    m.CashMemoFcDiscAmount = SalesOrdFCDiscAmount;
    m.CashMemoTotalAmount = SalesOrdTotalAmount;
    m.CashMemoFCTotalAmount = SalesOrdFCTotalAmount;
    m.ReferenceNo = SalesOrdNo;
    m.ReferenceDocumentName = "Sales Order";
    m.ReferencePrefix = DocumentPrefix;
    m.LocationCode = at.id;
    m.LocationName = at.name;
    m.StockMovementPrefix = StockMovementPrefix;
    m.SalesLogPrefix = SalesLogPrefix;
    m.OnlineFlag = OnlineFlag;
    m.SyncFlag = SyncFlag;
    m.AmtDig = AmtDig;
    m.LastUpdate = LastUpdate;
    if (!m.Create_CashMemo(false)) return Fail(m.ErrDesc());
    std::string number = m.CashMemoNo;
    if (!Create_CashMemo_Detail(number, pDelivered)) return false;
    if (!m.Process()) return Fail(m.ErrDesc());
    return true;
  });
}

bool SalesOrder::Create_CashMemo_Detail(std::string& strCMNo, bool& pDelivered) {
  return Trap([&] {
    Connection& conn = *connection_rule::ObjectOnly(AdoConnectionObject);
    const Location at = StoredOrder(*this, conn);
    RequireEmptyTemporary(conn, "Cash_Memo_Master", "Cash_Memo_Detail", "Cash_Memo_No",
                          "Reference_No", SalesOrdNo, strCMNo, "Invalid Cash Memo No");
    const Value stamp = Stamp("Cash_Memo_Detail", LastUpdate);
    const auto rows = OrderLines(*this, conn);
    std::vector<Record> lines;
    for (std::size_t i = 0; i < rows.size(); ++i) {
      Row l = rows[i];
      const double ordered = l.Double("Sales_Ord_Ordered_Qty");
      Record line = LineOf(l, at);
      line.Set("Cash_Memo_No", strCMNo)
          .Set("Cash_Memo_Qty", ordered)
          .Set("Cash_Memo_Delivered_Qty", pDelivered ? ordered : 0.0)
          .Set("Reference_SL_No", l.Double("SL_No"))
          .Set("Cash_Memo_Unit_Price", l.Double("Sales_Ord_Unit_Price"))
          .Set("Cash_Memo_Disc_Amount", l.Double("Sales_Ord_Disc_Amount"))
          .Set("Cash_Memo_FC_Disc_Amount", l.Double("Sales_Ord_FC_Disc_Amount"))
          .Set("Cash_Memo_Item_Amount", NumberOf(l["Sales_Ord_Item_Amount"]))
          .Set("Cash_Memo_FC_Item_Amount", l.Double("Sales_Ord_FC_Item_Amount"))
          .Set("Cash_Memo_FC_Unit_Price", l.Double("Sales_Ord_FC_Unit_Price"))
          .Set("Last_Update", stamp);
      lines.push_back(std::move(line));
    }
    InsertLines(conn, "Cash_Memo_Detail", lines);
    return true;
  });
}

bool SalesOrder::Process_Invoice(std::string& strType) {
  return Trap([&] {
    // Only the delivery just made for this order in this same call is invoiced, and only once;
    // without one there is nothing delivered to bill.
    if (!DeliveredInThisCall()) return true;
    auto invoice = CreateObject("QLNSales.SalesInvoice");
    const std::pair<const char*, Value> properties[] = {
        {"AdoDBConnectionObject", Value(AdoConnectionObject)},
        {"ADOConnectionString", Value(ADOConnectionString)},
        {"CompanyPrefix", Value(CompanyPrefix)},
        {"BranchPrefix", Value(BranchPrefix)},
        {"DocumentPrefix", Value(InvoicePrefix)},
        {"CurrencyCode", Value(CurrencyCode)},
        {"ForeignCurrencyFlag", Value(ForeignCurrencyFlag)},
        {"ExchangeRate", Value(ExchangeRate)},
        {"SalesInvDate", Value(SalesOrdDate)},
        {"CustomerCode", Value(CustomerCode)},
        {"CustomerName", Value(CustomerName)},
        {"PaymentTerms", Value(PaymentTerms)},
        {"PaymentType", Value(strType)},
        {"EmployeeID", Value(EmployeeID)},
        {"EmployeeName", Value(EmployeeName)},
        {"SalesInvComments", Value(SalesOrdComments)},
        {"SalesInvSubtotal", Value(SalesOrdSubTotal)},
        {"SalesInvFCsubtotal", Value(SalesOrdFCSubTotal)},
        {"SalesInvDiscAmount", Value(SalesOrdDiscAmount)},
        {"SalesInvFCDiscAmount", Value(SalesOrdFCDiscAmount)},
        {"SalesInvTotalAmount", Value(SalesOrdTotalAmount)},
        {"SalesInvFCTotalAmount", Value(SalesOrdFCTotalAmount)},
        {"SalesLogPrefix", Value(SalesLogPrefix)},
        {"OnlineFlag", Value(OnlineFlag)},
        {"SyncFlag", Value(SyncFlag)},
        {"AmtDig", Value(AmtDig)},
        {"LastUpdate", Value(LastUpdate)},
    };
    for (const auto& [name, value] : properties) invoice->Set(name, value);
    if (auto err = Call(invoice, "Create_Sales_Invoice", {Value(false)})) return Fail(*err);
    std::string number = invoice->Get("SalesInvNo").ToText();
    if (!Create_Invoice_Detail(number)) return false;
    if (auto err = Call(invoice, "Process_Invoice")) return Fail(*err);
    last_delivery_no_.clear();
    return true;
  });
}

bool SalesOrder::Create_Invoice_Detail(std::string& strInvNo) {
  return Trap([&] {
    Connection& conn = *connection_rule::ObjectOnly(AdoConnectionObject);
    RequireEmptyTemporary(conn, "Sales_Invoice_Master", "Sales_Invoice_Detail", "Sales_Inv_No",
                          "Customer_Code", CustomerCode, strInvNo, "Invalid Invoice No");
    if (!DeliveredInThisCall()) return true;
    const Value stamp = Stamp("Sales_Invoice_Detail", LastUpdate);
    auto rows = conn.Query("SELECT * FROM Delivery_Detail WHERE Delivery_No = ? ORDER BY SL_No",
                           {Value(last_delivery_no_)});
    std::vector<Record> lines;
    for (std::size_t i = 0; i < rows.size(); ++i) {
      Row l = rows[i];
      Record line;
      line.Set("Sales_Inv_No", strInvNo)
          .Set("Delivery_No", last_delivery_no_)
          .Set("Delivery_Date", last_delivery_date_)
          .Set("Delivery_Flag", "SalesOrder")
          .Set("Delivery_Identity", convert::Mid(last_delivery_no_, 8));
      CopyIfSet(line, "Item_Code", l, "Item_Code");
      CopyIfSet(line, "Item_Name", l, "Item_Name");
      line.Set("Unit_Code", l.Double("Unit_Code"));
      CopyIfSet(line, "Unit_Name", l, "Unit_Name");
      CopyIfSet(line, "Period_Type", l, "Period_Type");
      CopyIfSet(line, "FOC_Flag", l, "FOC_Flag");
      CopyIfSet(line, "Proj_No", l, "Proj_No");
      line.Set("Unit_Qty", l.Double("Unit_Qty"))
          .Set("Sales_Inv_Qty", l.Double("Delivery_Qty"))
          .Set("Delivery_Qty", l.Double("Delivery_Qty"))
          .Set("Delivery_Dtl_SL_No", l.Double("SL_No"))
          .Set("Sales_Inv_Unit_Price", l.Double("Delivery_Dtl_Unit_Price"))
          .Set("Sales_Inv_Dtl_Disc_Amount", l.Double("Delivery_Disc_Amount"))
          .Set("Sales_Inv_Dtl_FC_Disc_Amount", l.Double("Delivery_FC_Disc_Amount"))
          .Set("Sales_Inv_Item_Amount", l.Double("Delivery_Item_Amount"))
          .Set("Sales_Inv_FC_Item_Amount", l.Double("Delivery_FC_Item_Amount"))
          .Set("Sales_Inv_FC_Unit_Price", l.Double("Delivery_Dtl_FC_Unit_Price"))
          .Set("Last_Update", stamp);
      lines.push_back(std::move(line));
    }
    // Numbered 1, 2, 3 ... within the invoice, like the lines of every invoice.
    InsertDocumentLines(conn, "Sales_Invoice_Detail", Serial::kPerDocument, lines);
    return true;
  });
}

}  // namespace qlnsales
