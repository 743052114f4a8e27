// Deliveries of 10 stock lines, each saved (Create_Delivery from a sales order of 10 lines) and
// processed on-line (Process_Delivery), beside the floor that writes the same rows by bare
// statements.
#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "base/convert.h"
#include "db/driver.h"
#include "harness.h"
#include "qlnsales/delivery.h"
#include "qlnsales/sales_order.h"
#include "services/books_check.h"

namespace qlnsales::bench {

namespace {

// ---------------------------------------------------------------------------------------------
// The floor: the rows of one processed delivery, written by bare prepared statements through a
// driver of its own. One statement per write that Create_Delivery and Process_Delivery make
// (the counters, the master and its lines under a temporary number, the renumbering, the order's
// delivered quantities, the item stock and the lines' cost, the stock movements, two ledger lines
// and two balance updates per line, the location and branch stock), with the same columns and
// values; none of their reads, and none of their inserts that find the row already there.
class DeliveryFloor : public FloorWriter {
 public:
  DeliveryFloor(const BenchDb& db, std::string order_no)
      : FloorWriter(db, "DEL", "Delivery_Detail"), order_no_(std::move(order_no)) {
    auto account = driver_->Query(
        "SELECT Inventory_Account_No FROM Default_Account_Preferences WHERE Branch_Prefix = ?",
        {Value("01")});
    auto sales = driver_->Query(
        "SELECT COG_Account_No FROM Default_Sales_Preferences WHERE Branch_Prefix = ?",
        {Value("01")});
    if (account.empty() || sales.empty()) throw Error("The bench company has no preferences");
    inventory_account_ = account.front().Text("Inventory_Account_No");
    cog_account_ = sales.front().Text("COG_Account_No");
    // The stock rows a first delivery adds when they are missing; the floor's documents then only
    // change them, as every later delivery does.
    for (int i = 1; i <= kLines; ++i) {
      driver_->Execute(
          "INSERT INTO Location_Stock (Company_Prefix, Branch_Prefix, Item_Code, Location_ID, "
          "Location_Name, Item_Name, Unit_Name, Quantity) VALUES (?, ?, ?, ?, ?, ?, ?, 0) ON "
          "CONFLICT DO NOTHING",
          {Value("01"), Value("01"), Value(Item(i)), Value(1), Value("Location1"),
           Value("Bench item"), Value("Pcs")});
      driver_->Execute(
          "INSERT INTO Item_Branch_Stock (Item_Code, Branch_Prefix, Ordered_Qty) VALUES (?, ?, 0) "
          "ON CONFLICT DO NOTHING",
          {Value(Item(i)), Value("01")});
    }
  }

 private:
  void Write() override {
    db::Driver& d = *driver_;
    const Date day{};  // the bench's deliveries carry no date: the zero date, as the module writes
    const Value stamp(convert::FormatDayMonthName(day));
    const Value none;
    const std::string temp_no = "0101DELTMP" + std::to_string(next_temp_);
    const std::int32_t temp_identity = static_cast<std::int32_t>(next_temp_++);
    const std::string final_no = "0101DEL" + std::to_string(next_final_);
    const std::int32_t final_identity = static_cast<std::int32_t>(next_final_++);
    const std::int64_t first_serial = next_serial_;
    next_serial_ += kLines;
    const double cost = kItemCost, price = kItemPrice;

    // Saving: the temporary number, the master, the line serials, the lines.
    d.ExecuteDeferred(
        "UPDATE Document_Prefix SET Document_Temp_Next_No = COALESCE(Document_Temp_Next_No, 1) + "
        "1 WHERE Document_Prefix = ? AND Company_Prefix = ? AND Branch_Prefix = ?",
        {Value("DEL"), Value("01"), Value("01")});
    d.ExecuteDeferred(
        "INSERT INTO Delivery_Master (Delivery_No, Delivery_Identity, Company_Prefix, "
        "Branch_Prefix, Document_Prefix, Foreign_Currency_Flag, Delivery_Date, Delivery_End_Date, "
        "Source_No, Source_Date, Source_Prefix, Delivery_SubTotal, Delivery_FC_SubTotal, "
        "Delivery_Disc_Amount, Delivery_FC_Disc_Amount, Delivery_Total_Amount, "
        "Delivery_FC_Total_Amount, Employee_ID, Employee_Name, Paid_Flag, Delivery_Comments, "
        "Exchange_Rate, Address_Code, Delivery_Ref_No, Last_Update) VALUES (?, ?, ?, ?, ?, ?, ?, "
        "?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)",
        {Value(temp_no),
         Value(temp_identity),
         Value("01"),
         Value("01"),
         Value("DEL"),
         Value(false),
         Value(day),
         Value(day),
         Value(order_no_),
         Value(day),
         Value("SOR"),
         Value(0.0),
         Value(0.0),
         Value(0.0),
         Value(0.0),
         Value(0.0),
         Value(0.0),
         none,
         none,
         Value(false),
         none,
         Value(1.0),
         none,
         Value(" "),
         stamp});
    d.ExecuteDeferred(
        "INSERT INTO Line_Serial (Table_Name, Next_No) VALUES (?, ?) ON CONFLICT (Table_Name) DO "
        "UPDATE SET Next_No = Line_Serial.Next_No + excluded.Next_No",
        {Value("Delivery_Detail"), Value(kLines)});
    for (int i = 1; i <= kLines; ++i)
      d.ExecuteDeferred(
          "INSERT INTO Delivery_Detail (Delivery_No, Item_Code, Item_Name, Unit_Code, Unit_Name, "
          "Period_Type, FOC_Flag, Unit_Qty, Delivery_Qty, Proj_No, Sales_Ord_Dtl_SL_No, "
          "Delivery_Dtl_Unit_Price, Delivery_Disc_Amount, Delivery_FC_Disc_Amount, "
          "Delivery_Item_Amount, Delivery_FC_Item_Amount, Delivery_Dtl_FC_Unit_Price, "
          "Sales_Ord_Balance_Qty, Location_Name, Location_ID, Last_Update, SL_No) VALUES (?, ?, "
          "?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)",
          {Value(temp_no),
           Value(Item(i)),
           Value("Bench item"),
           Value(0.0),
           Value("Pcs"),
           none,
           Value(0.0),
           Value(1.0),
           Value(1.0),
           Value(""),
           Value(static_cast<double>(i)),
           Value(price),
           Value(0.0),
           Value(0.0),
           Value(price),
           Value(0.0),
           Value(0.0),
           Value(0.0),
           Value("Location1"),
           Value(1.0),
           stamp,
           Value(Serial(first_serial, i))});

    // Processing: the final number, the renumbering, the order's delivered quantities.
    d.ExecuteDeferred(
        "UPDATE Document_Prefix SET Document_Next_No = COALESCE(Document_Next_No, 1) + 1 WHERE "
        "Document_Prefix = ? AND Company_Prefix = ? AND Branch_Prefix = ?",
        {Value("DEL"), Value("01"), Value("01")});
    d.ExecuteDeferred(
        "UPDATE Delivery_Master SET Processed_Flag = ?, Delivery_No = ?, Delivery_Identity = ?, "
        "Last_Update = ? WHERE Delivery_No = ?",
        {Value(1), Value(final_no), Value(final_identity), stamp, Value(temp_no)});
    d.ExecuteDeferred(
        "UPDATE Delivery_Detail SET Delivery_No = ?, Last_Update = ? WHERE Delivery_No = ?",
        {Value(final_no), stamp, Value(temp_no)});
    d.ExecuteDeferred(
        "UPDATE Sales_Order_Master SET Delivered_Flag = ?, Last_Update = ? WHERE Sales_Ord_No = ?",
        {Value(1), stamp, Value(order_no_)});
    for (int i = 1; i <= kLines; ++i)
      d.ExecuteDeferred(
          "UPDATE Sales_Order_Detail SET Sales_Ord_Delivered_Qty = Sales_Ord_Delivered_Qty + ?, "
          "Last_Update = ? WHERE Sales_Ord_No = ? AND Item_Code = ? AND SL_No = ?",
          {Value(1.0), stamp, Value(order_no_), Value(Item(i)), Value(static_cast<double>(i))});

    // The goods out of stock at cost, and the cost of each line.
    for (int i = 1; i <= kLines; ++i) {
      d.ExecuteDeferred(
          "UPDATE Item_Master SET Stock_In_Hand = Stock_In_Hand - ?, Stock_Amount = Stock_Amount "
          "- ? WHERE Item_Code = ?",
          {Value(1.0), Value(cost), Value(Item(i))});
      d.ExecuteDeferred("UPDATE Delivery_Detail SET Inventory_Value = ? WHERE SL_No = ?",
                        {Value(cost), Value(Serial(first_serial, i))});
    }
    for (int i = 1; i <= kLines; ++i)
      d.ExecuteDeferred(
          "INSERT INTO Stock_Movement (Company_Prefix, Branch_Prefix, Document_Prefix, "
          "Document_No, Document_Date, Document_Type, Item_Code, Item_Name, Unit_Code, Unit_Name, "
          "Period_Type, FOC_Flag, Unit_Qty, Base_Qty, In_Qty, In_Amount, In_Price, Out_Qty, "
          "Out_Amount, Out_Price, Location_ID, Location_Name, Stock_Comments, Last_Update) VALUES "
          "(?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)",
          {Value("01"), Value("01"),        Value("DEL"),   Value(final_no),
           Value(day),  Value("OUT"),       Value(Item(i)), Value("Bench item"),
           Value(0.0),  Value("Pcs"),       none,           Value(0.0),
           Value(1.0),  Value(-1.0),        Value(0.0),     Value(0.0),
           Value(0.0),  Value(1.0),         Value(cost),    Value(cost),
           Value(1),    Value("Location1"), none,           Value(day)});

    // The ledger: inventory credited, cost of goods debited, each with its account's balance.
    for (int i = 1; i <= kLines; ++i) {
      const std::string code = BenchCode(i);
      Ledger(final_no, day, inventory_account_, "Inventory Account : Item Code - " + code, 0, cost);
      Ledger(final_no, day, cog_account_, "Cost Of Goods Account : Item Code - " + code, cost, 0);
    }

    // The location's stock and the branch's ordered quantity.
    for (int i = 1; i <= kLines; ++i) {
      d.ExecuteDeferred(
          "UPDATE Location_Stock SET Quantity = Quantity + ?, Last_Update = ? WHERE Branch_Prefix "
          "= ? AND Item_Code = ? AND Location_ID = ?",
          {Value(-1.0), Value(day), Value("01"), Value(Item(i)), Value(1)});
      d.ExecuteDeferred(
          "UPDATE Item_Branch_Stock SET Ordered_Qty = Ordered_Qty + ?, Last_Update = ? WHERE "
          "Item_Code = ? AND Branch_Prefix = ?",
          {Value(-1.0), none, Value(Item(i)), Value("01")});
    }
  }

  void Ledger(const std::string& no, const Date& day, const std::string& account,
              const std::string& text, double debit, double credit) {
    driver_->ExecuteDeferred(
        "INSERT INTO General_Ledger (Document_No, Document_Prefix, GL_Date, Account_No, "
        "GL_Description, GL_Comments, Debit_Amount, Credit_Amount, FC_Debit_Amount, "
        "FC_Credit_Amount, Foreign_Currency_Flag, Currency_Code, Currency_Symbol, Last_Update) "
        "VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)",
        {Value(no), Value("DEL"), Value(day), Value(account), Value(text), Value(), Value(debit),
         Value(credit), Value(debit), Value(credit), Value(false), Value(), Value(), Value(day)});
    driver_->ExecuteDeferred(
        "UPDATE Chart_Of_Accounts SET Current_Balance = Current_Balance + ? WHERE Account_No = ?",
        {Value(debit - credit), Value(account)});
  }

  static std::string Item(int i) { return BenchItem(i); }

  std::string order_no_, inventory_account_, cog_account_;
};

// ---------------------------------------------------------------------------------------------
// The module's deliveries, from one sales order of 10 lines.

class DeliveryWork : public Workload {
 public:
  explicit DeliveryWork(BenchDb& db) : db_(db) {
    auto grid = std::make_shared<MemoryGrid>(kLines + 1, 18);
    for (int i = 1; i <= kLines; ++i) {
      grid->SetTextMatrix(i, 1, BenchCode(i));
      grid->SetTextMatrix(i, 2, "Bench item");
      grid->SetTextMatrix(i, 5, "1");
      grid->SetTextMatrix(i, 6, "10000000");
      grid->SetTextMatrix(i, 15, "2");
    }
    SalesOrder order;
    order.AdoConnectionObject = db.conn;
    order.OrderGridName = grid;
    order.CompanyPrefix = "01";
    order.BranchPrefix = "01";
    order.DocumentPrefix = "SOR";
    order.CustomerCode = "01C001";
    order.CustomerName = "Bench";
    order.PaymentType = "Credit";
    if (!order.Create_Order()) throw Error(order.ErrDesc());
    order_no_ = order.SalesOrdNo;
    location_qty_ = db.Number(kLocationQty);
    ordered_qty_ = db.Number(kOrderedQty);
    floor_ = std::make_unique<DeliveryFloor>(db, order_no_);
  }

  // One delivery of one piece of each line, saved and processed on-line.
  void Document() override {
    Delivery d;
    d.AdoDBConnectionObject = db_.conn;
    d.ADOConnectionString = db_.cs;
    auto grid = std::make_shared<MemoryGrid>(kLines + 1, 23);
    for (int i = 1; i <= kLines; ++i) {
      for (auto [c, t] : std::initializer_list<std::pair<int, std::string>>{{1, "1"},
                                                                            {2, BenchCode(i)},
                                                                            {3, "Bench item"},
                                                                            {5, "Pcs"},
                                                                            {6, "1"},
                                                                            {7, "1"},
                                                                            {9, std::to_string(i)},
                                                                            {10, "2"},
                                                                            {13, "2"},
                                                                            {20, "Location1"},
                                                                            {21, "1"}})
        grid->SetTextMatrix(i, c, t);
    }
    d.DeliveryGridName = grid;
    d.CompanyPrefix = "01";
    d.BranchPrefix = "01";
    d.DocumentPrefix = "DEL";
    d.StockMovementPrefix = "DEL";
    d.SourceNo = order_no_;
    d.SourcePrefix = "SOR";
    d.OnlineFlag = true;
    std::string source = "SalesOrder";
    if (!d.Create_Delivery(true) || !d.Process_Delivery(source)) throw Error(d.ErrDesc());
  }

  void SyncFloor() override { floor_->Sync(); }
  void FloorDocument() override { floor_->Document(); }

  std::int64_t Documents() override {
    return static_cast<std::int64_t>(db_.Number("SELECT COUNT(*) AS N FROM Delivery_Master"));
  }

  // Every delivery processed under its final number, its lines at cost, the order's delivered
  // quantities, the stock movements and ledger lines, the location stock and the branch's
  // ordered quantity.
  std::vector<std::string> Check() override {
    std::vector<std::string> problems = services::CheckBooks(*db_.conn);
    const double n = db_.Number("SELECT COUNT(*) AS N FROM Delivery_Master");
    Expect(problems, "processed deliveries",
           db_.Number("SELECT COUNT(*) AS N FROM Delivery_Master WHERE Processed_Flag = 1 AND "
                      "Delivery_No NOT LIKE '%TMP%'"),
           n);
    Expect(problems, "lines under their delivery's number, at cost",
           db_.Number("SELECT COUNT(*) AS N FROM Delivery_Detail D JOIN Delivery_Master M ON "
                      "M.Delivery_No = D.Delivery_No WHERE D.Inventory_Value = 1.25"),
           kLines * n);
    Expect(problems, "quantity delivered on the order",
           db_.Number("SELECT SUM(Sales_Ord_Delivered_Qty) AS N FROM Sales_Order_Detail"),
           kLines * n);
    Expect(problems, "stock movements out",
           db_.Number("SELECT COUNT(*) AS N FROM Stock_Movement WHERE Document_Type = 'OUT' AND "
                      "Document_Prefix = 'DEL'"),
           kLines * n);
    Expect(problems, "ledger lines",
           db_.Number("SELECT COUNT(*) AS N FROM General_Ledger WHERE Document_Prefix = 'DEL'"),
           2 * kLines * n);
    Expect(problems, "location stock", db_.Number(kLocationQty), location_qty_ - kLines * n);
    Expect(problems, "ordered quantity", db_.Number(kOrderedQty), ordered_qty_ - kLines * n);
    return problems;
  }

 private:
  static constexpr const char* kLocationQty =
      "SELECT SUM(Quantity) AS N FROM Location_Stock WHERE Item_Code LIKE '01B%'";
  static constexpr const char* kOrderedQty =
      "SELECT SUM(Ordered_Qty) AS N FROM Item_Branch_Stock WHERE Item_Code LIKE '01B%'";

  BenchDb& db_;
  std::string order_no_;
  double location_qty_ = 0, ordered_qty_ = 0;  // before the first delivery
  std::unique_ptr<DeliveryFloor> floor_;
};

}  // namespace

const Kind& DeliveryKind() {
  static const Kind kind{
      "delivery",
      "delivery",
      "deliveries",
      "Deliveries of 10 stock lines saved and processed on-line",
      "the same rows written by bare prepared statements through the driver, one per\n"
      "row write and no reads, one transaction per document (pipelined on PostgreSQL).",
      {.statements = 80, .waits = 12, .sqlite_rate = 1000, .postgres_rate = 300, .growth = 0.10},
      [](BenchDb& db) { return std::make_unique<DeliveryWork>(db); }};
  return kind;
}

}  // namespace qlnsales::bench
