// The demo: a short sales story told through the public objects, step by step.
#include <fmt/core.h>

#include <unistd.h>

#include <filesystem>
#include <iostream>
#include <tuple>

#include "base/convert.h"
#include "commands.h"
#include "qlnsales/cash_memo.h"
#include "qlnsales/customer.h"
#include "qlnsales/database.h"
#include "qlnsales/delivery.h"
#include "qlnsales/direct_delivery.h"
#include "qlnsales/grid.h"
#include "qlnsales/registry.h"
#include "qlnsales/sales_invoice.h"
#include "qlnsales/sales_order.h"
#include "qlnsales/sales_return.h"
#include "report.h"
#include "sample/sample_company.h"

namespace qlnsales::cli {
namespace {

void Step(const std::string& text) {
  fmt::print("  - {}\n", text);
}

void Check(bool ok, const std::string& what, const std::string& err) {
  if (!ok) throw Error(what + " failed: " + err);
}

}  // namespace

int Demo(const std::string& db) {
  std::string path = db;
  if (path.empty()) {
    path = (std::filesystem::temp_directory_path() /
            ("qlnsales-demo-" + std::to_string(::getpid()) + ".db"))
               .string();
    std::filesystem::remove(path);
  }
  std::string cs = ConnectionStringFor(path);
  fmt::print("qlnsales demo on {}\n\n", cs);

  auto conn = std::make_shared<Connection>(cs);
  CreateSchema(*conn);
  refdata::AddSampleCompany(*conn);
  Step("Created the schema and a sample company: company 01, branches 01 and 02.");

  // The front end's way: create by class name, set properties by name, call by name.
  auto customer = CreateObject("QLNSales.Customer");
  customer->Set("ConnectionString", cs);
  customer->Set("CompanyPrefix", "01");
  customer->Set("BranchPrefix", "01");
  customer->Set("CustomerCode", "01C001");
  customer->Set("CustomerName", "O'Brien Trading W.L.L.");
  customer->Set("CustomerCurrencyCode", "BHD");
  customer->Set("CurrencyCode", "BHD");
  customer->Set("CustomerCity", "Manama");
  customer->Set("CustomerPhone", "+973 1700 0000");
  customer->Set("CustomerCreditLimit", 5000.0);
  customer->Set("ARAccountNo", "01011200");
  customer->Set("LastUpdate", Date::Today());
  Check(customer->Invoke("Create_Customer").ToBool(), "Create_Customer",
        customer->Get("ErrDesc").ToText());
  Step("Saved customer 01C001 \"O'Brien Trading W.L.L.\" (a balance row was added for branch 02).");

  // Read it back into a fresh object, the typed C++ way, as seen from branch 02.
  Customer again;
  again.ConnectionString = cs;
  again.BranchPrefix = "02";
  Check(again.Get_Customer("01C001"), "Get_Customer", again.ErrDesc());
  Step("Read it back from branch 02:");
  fmt::print("      {:<16} {}\n", "Code", again.CustomerCode);
  fmt::print("      {:<16} {}\n", "Name", again.CustomerName);
  fmt::print("      {:<16} {}\n", "City", again.CustomerCity);
  fmt::print("      {:<16} {}\n", "Phone", again.CustomerPhone);
  fmt::print("      {:<16} {} {:.3f}\n", "Credit limit", again.CurrencySymbol,
             again.CustomerCreditLimit);
  fmt::print("      {:<16} {} (stored as 01011200; the branch part follows the reader)\n",
             "AR account", again.ARAccountNo);

  again.CustomerPhone = "";
  again.CustomerEmail = "accounts@obrien.example";
  again.LastUpdate = Date::Today();
  Check(again.Update_Customer(), "Update_Customer", again.ErrDesc());
  Step("Updated the e-mail address; the empty phone kept the stored number.");

  Customer second;
  second.ConnectionString = cs;
  second.CompanyPrefix = "01";
  second.BranchPrefix = "01";
  second.CustomerCode = "01C002";
  second.CustomerName = "Harbour Marine Supplies";
  second.CustomerCurrencyCode = "USD";
  second.CurrencyCode = "USD";
  second.ForeignCurrencyFlag = true;
  second.CustomerAddressFlag = true;
  second.CustomerFlatNo = "Flat 4";
  second.CustomerBuilding = "Building 221";
  second.CustomerRoad = "Road 1702";
  second.ARAccountNo = "01011200";
  second.LastUpdate = Date::Today();
  Check(second.Create_Customer(), "Create_Customer", second.ErrDesc());
  Step(fmt::format("Saved customer 01C002 \"{}\", trading in {} ({}).", second.CustomerName,
                   second.CurrencyCode, second.CurrencySymbol));

  // Two delivery addresses for the first customer, read back as a collection.
  for (const auto& [code, desc, street] :
       std::initializer_list<std::tuple<const char*, const char*, const char*>>{
           {"1", "Head office", "Building 12, Road 3801, Seef"},
           {"2", "Warehouse", "Plot 7, Sitra Industrial Area"}}) {
    again.Address->CustomerCode = "01C001";
    again.Address->CompanyPrefix = "01";
    again.Address->AddressCode = code;
    again.Address->AddressDesc = desc;
    again.Address->CustomerAddress_ = street;
    again.Address->CountryID = 48;
    Check(again.Create_Address(), "Create_Address", again.ErrDesc());
  }
  Check(again.Get_Addresses(), "Get_Addresses", again.ErrDesc());
  Step(fmt::format("Gave 01C001 {} delivery addresses: {}.", again.Addresses->Count(),
                   again.Addresses->Item(Value(1))->AddressDesc + " and " +
                       again.Addresses->Item(Value(2))->AddressDesc));

  // Opening balances from the previous books: two open invoices and an advance.
  auto grid = std::make_shared<MemoryGrid>(4, 9);
  auto opening = CreateObject("QLNSales.CustomerOB");
  for (const auto& [name, value] : std::initializer_list<std::pair<const char*, Value>>{
           {"AdoConnectionObject", Value(conn)},
           {"ConnectionString", Value(cs)},
           {"CustomerCode", Value("01C001")},
           {"CustomerName", Value("O'Brien Trading W.L.L.")},
           {"CompanyPrefix", Value("01")},
           {"BranchPrefix", Value("01")},
           {"CurrencyCode", Value("BHD")},
           {"LastUpdate", Value(Date::Today())},
           {"GridName", Value(grid)}})
    opening->Set(name, value);
  auto enter = [&](int row, const char* ref, const char* date, const char* amount) {
    grid->SetTextMatrix(row, 1, ref);
    grid->SetTextMatrix(row, 2, date);
    grid->SetTextMatrix(row, 3, amount);
    grid->SetTextMatrix(row, 5, "1");
  };
  enter(1, "OLD-INV-881", "15/10/2026", "1250.500");
  enter(2, "OLD-INV-902", "02/Nov/2026", "310.250");
  opening->Set("DocumentPrefix", "OBI");
  Check(opening->Invoke("Create_OB", {Value("Debit")}).ToBool() &&
            opening->Invoke("Process_OB", {Value("Debit")}).ToBool(),
        "Process_OB", opening->Get("ErrDesc").ToText());
  Step(
      "Entered two open invoices from the old books and processed them into invoices "
      "0101OBI1 and 0101OBI2.");
  grid->SetRows(1);
  grid->SetRows(4);
  enter(1, "OLD-ADV-17", "20/11/2026", "400");
  opening->Set("DocumentPrefix", "OBR");
  Check(opening->Invoke("Create_OB", {Value("Credit")}).ToBool() &&
            opening->Invoke("Process_OB", {Value("Credit")}).ToBool(),
        "Process_OB", opening->Get("ErrDesc").ToText());
  Step("Entered an advance of 400.000 received before, processed into receipt 0101OBR1.");

  // A sales order for three items, read back, then a partial delivery from it.
  auto order_grid = std::make_shared<MemoryGrid>(4, 18);
  auto order_line = [&](int row, const char* item, const char* name, const char* unit,
                        const char* qty, const char* price, const char* amount) {
    for (auto [col, text] : std::initializer_list<std::pair<int, const char*>>{{1, item},
                                                                               {2, name},
                                                                               {3, "1"},
                                                                               {4, unit},
                                                                               {5, "1"},
                                                                               {6, qty},
                                                                               {7, price},
                                                                               {10, amount},
                                                                               {11, amount},
                                                                               {15, price},
                                                                               {17, "0"}})
      order_grid->SetTextMatrix(row, col, text);
  };
  order_line(1, "P100", "Printer Paper A4", "Box", "20", "4.500", "90");
  order_line(2, "P200", "Ink Cartridge", "Pcs", "6", "18", "108");
  order_line(3, "P300", "Desk Lamp", "Pcs", "2", "45", "90");
  SalesOrder order;
  order.AdoConnectionObject = conn;
  order.ADOConnectionString = cs;
  order.OrderGridName = order_grid;
  order.CompanyPrefix = "01";
  order.BranchPrefix = "01";
  order.DocumentPrefix = "SOR";
  order.CustomerCode = "01C001";
  order.CustomerName = "O'Brien Trading W.L.L.";
  order.PaymentType = "Credit";
  order.PaymentTerms = "30 days";
  order.CurrencyCode = "BHD";
  order.SalesOrdDate = Date::Today();
  order.SalesOrdSubTotal = order.SalesOrdTotalAmount = 288;
  order.LastUpdate = Date::Today();
  Check(order.Create_Order(), "Create_Order", order.ErrDesc());
  SalesOrder reread;
  reread.ADOConnectionString = cs;
  reread.OrderGridName = std::make_shared<MemoryGrid>(1, 18);
  reread.SalesOrdNo = order.SalesOrdNo;
  Check(reread.Get_Order(), "Get_Order", reread.ErrDesc());
  Step(
      fmt::format("Saved sales order {} for {} lines, total {} {:.3f}; read it back with {} lines.",
                  order.SalesOrdNo, 3, reread.CurrencySymbol, reread.SalesOrdTotalAmount,
                  reread.OrderGridName->Rows() - 2));

  Delivery delivery;
  delivery.AdoDBConnectionObject = conn;
  delivery.ADOConnectionString = cs;
  delivery.DeliveryGridName = std::make_shared<MemoryGrid>(1, 23);
  delivery.CompanyPrefix = "01";
  delivery.BranchPrefix = "01";
  delivery.DocumentPrefix = "DEL";
  delivery.SourceNo = order.SalesOrdNo;
  delivery.SourceName = "SalesOrder";
  delivery.DeliveryDate = delivery.DeliveryEndDate = Date::Today();
  delivery.LastUpdate = Date::Today();
  Check(delivery.Get_Order_Details(), "Get_Order_Details", delivery.ErrDesc());
  auto& lines = *delivery.DeliveryGridName;
  lines.SetTextMatrix(1, 1, "1");  // all of the paper
  lines.SetTextMatrix(2, 1, "1");  // half of the cartridges
  lines.SetTextMatrix(2, 7, "3");
  for (int row = 1; row <= 2; ++row) {
    lines.SetTextMatrix(row, 20, "Location1");
    lines.SetTextMatrix(row, 21, "1");
  }
  delivery.DeliverySubtotal = delivery.DeliveryTotalAmount = 90 + 54;
  Check(delivery.Create_Delivery(true) && delivery.Update_Sales_Order(), "Create_Delivery",
        delivery.ErrDesc());
  Step(fmt::format("Delivered 20 boxes of paper and 3 of the 6 cartridges as {}; the lamps wait.",
                   delivery.DeliveryNo));

  delivery.OnlineFlag = true;
  delivery.StockMovementPrefix = "DEL";
  std::string from = "SalesOrder";
  const std::string temporary = delivery.DeliveryNo;
  Check(delivery.Process_Delivery(from), "Process_Delivery", delivery.ErrDesc());
  Step(fmt::format("Processed delivery {} as {}: stock out at average cost, cost of goods posted.",
                   temporary, delivery.DeliveryNo));

  // A direct delivery in US dollars, without an order.
  auto direct_grid = std::make_shared<MemoryGrid>(2, 19);
  for (auto [col, text] : std::initializer_list<std::pair<int, const char*>>{{1, "P300"},
                                                                             {2, "Desk Lamp"},
                                                                             {4, "Pcs"},
                                                                             {5, "1"},
                                                                             {6, "3"},
                                                                             {7, "119.36"},
                                                                             {10, "358.09"},
                                                                             {11, "135"},
                                                                             {13, "45"},
                                                                             {14, "Showroom"},
                                                                             {17, "2"},
                                                                             {18, "0"}})
    direct_grid->SetTextMatrix(1, col, text);
  DirectDelivery direct;
  direct.AdoDBConnectionObject = conn;
  direct.ADOConnectionString = cs;
  direct.DeliveryGridName = direct_grid;
  direct.CompanyPrefix = "01";
  direct.BranchPrefix = "01";
  direct.DocumentPrefix = "DDL";
  direct.StockMovementPrefix = "DDL";
  direct.CustomerCode = "01C002";
  direct.CustomerName = "Harbour Marine Supplies";
  direct.PaymentType = "Credit";
  direct.ForeignCurrencyFlag = true;
  direct.CurrencyCode = "USD";
  direct.ExchangeRate = 0.377;
  direct.DirectDeliveryDate = direct.DirectDeliveryEndDate = Date::Today();
  direct.DirectDeliverySubtotal = direct.DirectDeliveryTotalAmount = 135;
  direct.DirectDeliveryFCSubtotal = direct.DirectDeliveryFCTotalAmount = 358.09;
  direct.LastUpdate = Date::Today();
  direct.OnlineFlag = true;
  Check(direct.Create_Direct_Delivery() && direct.Process_Direct_Delivery(),
        "Process_Direct_Delivery", direct.ErrDesc());
  Step(
      fmt::format("Delivered 3 desk lamps to 01C002 in US dollars as {}; the cost went to the "
                  "ledger in both currencies.",
                  direct.DirectDeliveryNo));

  // Tax in two authorities: the value added tax of the sample company and a city levy with an
  // account of its own, combined in one code, set up through the tax classes.
  refdata::AddAccount(*conn, "01012150", "City Levy Payable", "Liability");
  auto levy = CreateObject("QLNSales.TaxAuthorities");
  for (const auto& [name, value] : std::initializer_list<std::pair<const char*, Value>>{
           {"ConnectionString", Value(cs)},
           {"CompanyPrefix", Value("01")},
           {"BranchPrefix", Value("01")},
           {"AuthorityCode", Value("CTY")},
           {"AuthorityDesc", Value("City Levy")},
           {"TaxRate", Value(5.0)},
           {"AccountNo", Value("01012150")},
           {"AccountName", Value("City Levy Payable")}})
    levy->Set(name, value);
  Check(levy->Invoke("SaveAuthorities").ToBool(), "SaveAuthorities", "");
  auto authorities = std::make_shared<MemoryGrid>(3, 4);
  authorities->SetTextMatrix(1, 1, "VAT");
  authorities->SetTextMatrix(1, 2, "Value Added Tax");
  authorities->SetTextMatrix(1, 3, "10");
  authorities->SetTextMatrix(2, 1, "CTY");
  authorities->SetTextMatrix(2, 2, "City Levy");
  authorities->SetTextMatrix(2, 3, "5");
  auto code = CreateObject("QLNSales.TaxCodes");
  for (const auto& [name, value] : std::initializer_list<std::pair<const char*, Value>>{
           {"ConnectionString", Value(cs)},
           {"CompanyPrefix", Value("01")},
           {"BranchPrefix", Value("01")},
           {"TaxCode", Value("VCL")},
           {"TaxDesc", Value("Value added tax and city levy")},
           {"TaxRate", Value(15.0)},
           {"TaxTypeSP", Value("Sales")},
           {"Flex", Value(authorities)}})
    code->Set(name, value);
  Check(code->Invoke("SaveTaxCodes").ToBool(), "SaveTaxCodes", code->Get("ErrDesc").ToText());
  Step("Set up tax code VCL (15%): value added tax 10% and a city levy 5% on its own account.");

  // The office bills what was delivered: the list of the customer's deliveries still to
  // invoice, all lines ticked, with the standard 10% tax.
  SalesInvoice invoice;
  invoice.AdoDBConnectionObject = conn;
  invoice.ADOConnectionString = cs;
  invoice.InvoiceGridName = std::make_shared<MemoryGrid>(1, 32);
  invoice.CompanyPrefix = invoice.BranchPrefix = "01";
  invoice.DocumentPrefix = "INV";
  invoice.SalesLogPrefix = "SLG";
  invoice.CustomerCode = "01C001";
  invoice.CustomerName = "O'Brien Trading W.L.L.";
  invoice.PaymentType = "Credit";
  invoice.PaymentTerms = "30 days";
  invoice.CurrencyCode = "BHD";
  invoice.SalesInvDate = invoice.SalesInvEndDate = Date::Today();
  invoice.AmtDig = 3;
  invoice.LastUpdate = Date::Today();
  invoice.OnlineFlag = true;
  Check(invoice.Get_Delivery_Details(), "Get_Delivery_Details", invoice.ErrDesc());
  Grid& to_bill = *invoice.InvoiceGridName;
  double billed = 0;
  int listed = 0;
  for (int row = 1; row < to_bill.Rows() && !to_bill.TextMatrix(row, 23).empty(); ++row, ++listed) {
    to_bill.SetTextMatrix(row, 1, "1");
    billed += to_bill.ValueMatrix(row, 16);
  }
  invoice.SalesInvSubtotal = invoice.SalesInvFCsubtotal = billed;
  invoice.TaxCode = "0101STD";
  invoice.SalesInvTaxPercent = 10;
  invoice.SalesInvTaxAmount = invoice.SalesInvFCTaxAmount = billed / 10;
  invoice.SalesInvTotalAmount = invoice.SalesInvFCTotalAmount = billed + billed / 10;
  Check(invoice.Create_Sales_Invoice(true) && invoice.Process_Invoice(), "Process_Invoice",
        invoice.ErrDesc());
  Step(fmt::format(
      "Listed {} delivered lines of 01C001 still to invoice and billed them as {}: "
      "{:.3f} with tax {:.3f}, owed by the customer.",
      listed, invoice.SalesInvNo, invoice.SalesInvTotalAmount, invoice.SalesInvTaxAmount));

  // A cash sale over the counter, the front end's way: by class name, property by property.
  auto memo_grid = std::make_shared<MemoryGrid>(4, 22);
  auto memo_line = [&](int row, const char* item, const char* name, const char* unit,
                       const char* qty, const char* price, const char* amount) {
    for (auto [col, text] : std::initializer_list<std::pair<int, const char*>>{{1, item},
                                                                               {2, name},
                                                                               {3, "1"},
                                                                               {5, unit},
                                                                               {6, "1"},
                                                                               {7, qty},
                                                                               {8, price},
                                                                               {11, amount},
                                                                               {12, amount},
                                                                               {14, price},
                                                                               {19, "0"},
                                                                               {20, "Location1"},
                                                                               {21, "1"}})
      memo_grid->SetTextMatrix(row, col, text);
  };
  memo_line(1, "P100", "Printer Paper A4", "Box", "4", "4.5", "18");
  memo_line(2, "P200", "Ink Cartridge", "Pcs", "2", "18", "36");
  memo_line(3, "S100", "Installation Service", "Hour", "1", "25", "25");
  // 79.000 less 5% is 75.050; 15% tax on it is 11.258 (of which the levy takes the remainder).
  auto memo = CreateObject("QLNSales.CashMemo");
  auto set_memo = [&](std::initializer_list<std::pair<const char*, Value>> properties) {
    for (const auto& [name, value] : properties) memo->Set(name, value);
  };
  set_memo({{"AdoDBConnectionObject", Value(conn)},
            {"ADOConnectionString", Value(cs)},
            {"CMGridName", Value(memo_grid)},
            {"CompanyPrefix", Value("01")},
            {"BranchPrefix", Value("01")},
            {"DocumentPrefix", Value("CHM")},
            {"StockMovementPrefix", Value("CHM")},
            {"SalesLogPrefix", Value("SLG")},
            {"CustomerCode", Value("01C001")},
            {"CustomerName", Value("O'Brien Trading W.L.L.")},
            {"PaymentType", Value("Cash")},
            {"CurrencyCode", Value("BHD")},
            {"CashMemoDate", Value(Date::Today())},
            {"CashMemoEndDate", Value(Date::Today())},
            {"CashMemoSubTotal", Value(79.0)},
            {"CashMemoFCSubTotal", Value(79.0)},
            {"CashMemoDiscPercent", Value(5.0)},
            {"CashMemoDiscAmount", Value(3.95)},
            {"CashMemoFcDiscAmount", Value(3.95)},
            {"TaxCode", Value("0101VCL")},
            {"TaxDescription", Value("Value added tax and city levy")},
            {"CashMemoTaxPercent", Value(15.0)},
            {"CashMemoTaxAmount", Value(11.258)},
            {"CashMemoTotalAmount", Value(86.308)},
            {"CashMemoFCTotalAmount", Value(86.308)},
            {"CashMemoComments", Value("Counter sale")},
            {"LocationCode", Value(1)},
            {"LocationName", Value("Location1")},
            {"AmtDig", Value(3.0)},
            {"LastUpdate", Value(Date::Today())},
            {"OnlineFlag", Value(true)}});
  Check(memo->Invoke("Create_CashMemo", {Value(true)}).ToBool() && memo->Invoke("Process").ToBool(),
        "Process", memo->Get("ErrDesc").ToText());
  const std::string cash_memo = memo->Get("CashMemoNo").ToText();
  auto shares = conn->Query(
      "SELECT Account_No, Credit_Amount FROM General_Ledger WHERE Document_No = ? AND "
      "GL_Description LIKE 'Sales Tax for %' ORDER BY Account_No",
      {Value(cash_memo)});
  Step(fmt::format(
      "Sold paper, cartridges and an installation for cash as {}: 86.308 with tax 11.258, "
      "shared {:.3f} to the value added tax and {:.3f} to the city levy.",
      cash_memo, shares.size() > 0 ? shares[0].Double("Credit_Amount") : 0.0,
      shares.size() > 1 ? shares[1].Double("Credit_Amount") : 0.0));

  // The same goods to the second customer by a cheque dated a month ahead.
  CashMemo cheque;
  cheque.AdoDBConnectionObject = conn;
  cheque.ADOConnectionString = cs;
  cheque.CMGridName = memo_grid;
  cheque.CompanyPrefix = cheque.BranchPrefix = "01";
  cheque.DocumentPrefix = cheque.StockMovementPrefix = "CHM";
  cheque.SalesLogPrefix = "SLG";
  cheque.CustomerCode = "01C002";
  cheque.CustomerName = "Harbour Marine Supplies";
  cheque.PaymentType = "Cheque";
  cheque.ChequeNo = "004512";
  cheque.ChequeBank = "Gulf Bank";
  cheque.ChequeDate = Date{Date::Today().time + std::chrono::days{30}};
  cheque.CurrencyCode = "BHD";
  cheque.CashMemoDate = cheque.CashMemoEndDate = Date::Today();
  cheque.CashMemoSubTotal = cheque.CashMemoFCSubTotal = 79;
  cheque.TaxCode = "0101STD";
  cheque.CashMemoTaxPercent = 10;
  cheque.CashMemoTaxAmount = 7.9;
  cheque.CashMemoTotalAmount = cheque.CashMemoFCTotalAmount = 86.9;
  cheque.AmtDig = 3;
  cheque.LastUpdate = Date::Today();
  cheque.OnlineFlag = true;
  Check(cheque.Create_CashMemo(true) && cheque.Process(), "Process", cheque.ErrDesc());
  Step(fmt::format(
      "Sold the same to 01C002 for cheque 004512 as {}: 86.900 receivable, and the cheque "
      "waits in the post-dated register until {:02}/{:02}/{}.",
      cheque.CashMemoNo, cheque.ChequeDate.Day(), cheque.ChequeDate.Month(),
      cheque.ChequeDate.Year()));

  // Orders processed on-line become their documents at once, as the branch's sales preferences
  // say (the sample company asks for all of them): a cash order is delivered and paid by a cash
  // memo, a credit order is delivered and invoiced.
  auto order_of = [&](const char* payment, const char* item, const char* name, const char* qty,
                      const char* price, double amount) {
    auto grid = std::make_shared<MemoryGrid>(2, 18);
    const std::string total = fmt::format("{}", amount);
    for (auto [col, text] : std::initializer_list<std::pair<int, const char*>>{{1, item},
                                                                               {2, name},
                                                                               {4, "Pcs"},
                                                                               {5, "1"},
                                                                               {6, qty},
                                                                               {7, price},
                                                                               {10, total.c_str()},
                                                                               {11, total.c_str()},
                                                                               {15, price},
                                                                               {17, "0"}})
      grid->SetTextMatrix(1, col, text);
    SalesOrder o = order;
    o.OrderGridName = grid;
    o.SalesOrdNo.clear();
    o.PaymentType = payment;
    o.SalesOrdSubTotal = o.SalesOrdTotalAmount = amount;
    o.SalesOrdFCSubTotal = o.SalesOrdFCTotalAmount = amount;
    o.LocationID = 2;
    o.LocationName = "Showroom";
    o.DeliveryPrefix = "DEL";
    o.CashMemoPrefix = "CHM";
    o.InvoicePrefix = "INV";
    o.StockMovementPrefix = "STM";
    o.SalesLogPrefix = "SLG";
    o.AmtDig = 3;
    o.OnlineFlag = true;
    Check(o.Create_Order(), "Create_Order", o.ErrDesc());
    const std::string temporary = o.SalesOrdNo;
    Check(o.Process_Order(), "Process_Order", o.ErrDesc());
    return std::pair{temporary, o.SalesOrdNo};
  };
  auto made_from = [&](const char* sql, const std::string& source) {
    auto rs = conn->Query(sql, {Value(source)});
    return rs.empty() ? std::string("none") : rs.front().Text("No");
  };
  const auto [cash_temporary, cash_order] = order_of("Cash", "P300", "Desk Lamp", "1", "45", 45);
  Step(fmt::format(
      "Processed cash order {} as {}: delivery {} took the lamp from the showroom once, and "
      "cash memo {} was paid for it in cash.",
      cash_temporary, cash_order,
      made_from("SELECT Delivery_No AS No FROM Delivery_Master WHERE Source_No = ?", cash_order),
      made_from("SELECT Cash_Memo_No AS No FROM Cash_Memo_Master WHERE Reference_No = ?",
                cash_order)));
  const auto [credit_temporary, credit_order] =
      order_of("Credit", "P200", "Ink Cartridge", "2", "18", 36);
  const std::string credit_delivery =
      made_from("SELECT Delivery_No AS No FROM Delivery_Master WHERE Source_No = ?", credit_order);
  Step(fmt::format(
      "Processed credit order {} as {}: delivery {} took 2 cartridges out of stock, and invoice "
      "{} billed the customer 36.000.",
      credit_temporary, credit_order, credit_delivery,
      made_from("SELECT Sales_Inv_No AS No FROM Sales_Invoice_Detail WHERE Delivery_No = ?",
                credit_delivery)));

  // Goods come back: the returnable lines of the source are read into the grid, the wanted part
  // of one line is ticked with its amounts (and its cost, at what it cost when it went out), and
  // the return is processed on-line: stock back in, cost of goods reversed, a credit memo for the
  // customer with the tax (and the discount) the sale carried.
  auto return_of = [&](const char* kind, const std::string& source, const char* item, double qty,
                       double tax_percent) {
    SalesReturn rtn;
    rtn.ConnectionString = cs;
    rtn.AdoConnectionObject = conn;
    rtn.SalRetGridName = std::make_shared<MemoryGrid>(1, 30);
    rtn.CompanyPrefix = rtn.BranchPrefix = "01";
    rtn.DocumentPrefix = "SRT";
    rtn.StockMovementPrefix = "SRT";
    rtn.SalesLogPrefix = "SLG";
    rtn.RefDocType = rtn.SalesInvoiceType = kind;
    rtn.SalesRtnDate = Date::Today();
    rtn.SalesRtnComments = "Damaged in transit";
    rtn.AmtDig = 3;
    rtn.AllowCancelFlag = true;
    rtn.LastUpdate = Date::Today();
    rtn.OnlineFlag = true;
    std::string number = source;
    std::optional<bool> saved;
    const bool read = std::string(kind) == "INV"
                          ? rtn.Get_Sales_Invoice(number, rtn.SalRetGridName, saved)
                          : rtn.Get_CashMemo(number, rtn.SalRetGridName, saved);
    Check(read, "reading the source of a return", rtn.ErrDesc());
    Grid& g = *rtn.SalRetGridName;
    std::int32_t row = 1;
    while (row < g.Rows() && g.TextMatrix(row, 2) != item) ++row;
    Check(row < g.Rows(), "reading the source of a return", std::string(item) + " is not listed");
    const double price = g.ValueMatrix(row, 17),
                 unit_value = g.ValueMatrix(row, 27) / g.ValueMatrix(row, 21);
    const double amount = convert::RoundHalfEven(qty * price, 3);
    g.SetTextMatrix(row, 1, "1");
    g.SetTextMatrix(row, 7, convert::NumberToText(qty));
    g.SetTextMatrix(row, 12, convert::NumberToText(amount));
    g.SetTextMatrix(row, 13, convert::NumberToText(amount));
    g.SetTextMatrix(row, 15, convert::NumberToText(convert::RoundHalfEven(qty * unit_value, 3)));
    const double discount = convert::RoundHalfEven(amount * rtn.DiscPercent / 100, 3);
    rtn.TaxRate = tax_percent;
    rtn.TaxAmount = convert::RoundHalfEven((amount - discount) * tax_percent / 100, 3);
    rtn.SalesRtnSubTotal = rtn.SalesRtnFCSubTotal = amount;
    rtn.SalesRtnDiscAmount = rtn.SalesRtnFCDiscAmount = discount;
    rtn.SalesRtnTotalAmount = rtn.SalesRtnFCTotalAmount = amount - discount + rtn.TaxAmount;
    Check(rtn.Create_Sales_Rtn() && rtn.Return_Process(), "Return_Process", rtn.ErrDesc());
    return rtn;
  };
  const SalesReturn back = return_of("INV", invoice.SalesInvNo, "P100", 2, 10);
  Step(fmt::format(
      "01C001 sent back 2 of the 20 boxes of paper billed on {}: return {} put them back in "
      "stock at their cost, and credit memo {} credits the customer {:.3f} (tax {:.3f}).",
      invoice.SalesInvNo, back.SalesRtnNo, back.VoucherNo, back.SalesRtnTotalAmount,
      back.TaxAmount));
  const SalesReturn counter = return_of("CHM", cash_memo, "P200", 1, 15);
  Step(fmt::format(
      "A cartridge sold over the counter on {} came back as {}: credit memo {} credits {:.3f}, "
      "the 5% discount and the 15% tax taken back with it.",
      cash_memo, counter.SalesRtnNo, counter.VoucherNo, counter.SalesRtnTotalAmount));

  // A call that fails leaves nothing behind: the order for 100 lamps is saved, but processing it
  // is refused and the delivery keeps its temporary number, with no stock, ledger or number used.
  auto big_grid = std::make_shared<MemoryGrid>(2, 19);
  for (int col = 1; col <= 18; ++col)
    big_grid->SetTextMatrix(1, col, direct_grid->TextMatrix(1, col));
  big_grid->SetTextMatrix(1, 6, "100");
  DirectDelivery big = direct;
  big.DeliveryGridName = big_grid;
  big.DirectDeliveryNo.clear();
  big.DirectDeliverySubtotal = big.DirectDeliveryTotalAmount = 4500;
  big.DirectDeliveryFCSubtotal = big.DirectDeliveryFCTotalAmount = 11936.34;
  Check(big.Create_Direct_Delivery(), "Create_Direct_Delivery", big.ErrDesc());
  if (!big.Process_Direct_Delivery())
    Step(
        fmt::format("Tried to deliver 100 lamps as {}: \"{}\"; it stays unprocessed under that "
                    "number, with nothing posted and no number used.",
                    big.DirectDeliveryNo, big.ErrDesc()));

  Customer missing;
  missing.ConnectionString = cs;
  if (!missing.Get_Customer("01C999"))
    Step(
        fmt::format("Asked for customer 01C999, which does not exist: \"{}\".", missing.ErrDesc()));

  // The closing tables are the reports `qlnsales report` prints, in the same table format.
  auto print = [&](Report (*build)(Connection&, const ReportOptions&), std::string customer = "") {
    ReportOptions options;
    options.customer = std::move(customer);
    RenderReport(build(*conn, options), ReportFormat::Table, std::cout);
  };
  print(DocumentsReport);
  print(StatementReport, "01C001");
  print(LedgerReport);
  print(TrialBalanceReport);
  print(StockReport);
  print(CustomersReport);
  print(AgingReport);
  std::size_t broken = PrintBooksCheck(*conn);
  if (db.empty()) {
    conn.reset();
    Connection::ClearPool();
    for (const char* suffix : {"", "-wal", "-shm"}) std::filesystem::remove(path + suffix);
  }
  fmt::print("\nDemo finished.\n");
  return broken == 0 ? 0 : 1;
}

}  // namespace qlnsales::cli
