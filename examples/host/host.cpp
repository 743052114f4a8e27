// A host program of its own: it creates the module's database, sets up the little reference data
// it needs, saves a customer, and saves and processes a direct delivery, all through the installed
// library's public headers.
#include <qlnsales/connection.h>
#include <qlnsales/customer.h>
#include <qlnsales/database.h>
#include <qlnsales/direct_delivery.h>
#include <qlnsales/grid.h>

#include <cstdio>
#include <filesystem>
#include <iostream>
#include <memory>
#include <string>

int main(int argc, char** argv) {
  const std::string path =
      argc > 1 ? argv[1] : (std::filesystem::temp_directory_path() / "qlnsales-host.db").string();
  std::filesystem::remove(path);
  const std::string cs = "sqlite:" + path;
  auto conn = std::make_shared<qlnsales::Connection>(cs);
  qlnsales::CreateSchema(*conn);

  // The host's own company set-up: its currency and the series its deliveries are numbered in.
  conn->Execute(
      "INSERT INTO Currency_Master (Currency_Code, Currency_Name, Currency_Symbol) VALUES (?, ?, "
      "?)",
      {qlnsales::Value("BHD"), qlnsales::Value("Bahraini Dinar"), qlnsales::Value("BD")});
  conn->Execute(
      "INSERT INTO Document_Prefix (Document_Prefix, Company_Prefix, Branch_Prefix, Document_Name, "
      "Document_Next_No, Document_Temp_Next_No, Manual_Flag) VALUES (?, ?, ?, ?, ?, ?, ?)",
      {qlnsales::Value("DDL"), qlnsales::Value("01"), qlnsales::Value("01"),
       qlnsales::Value("Direct delivery"), qlnsales::Value(1.0), qlnsales::Value(1.0),
       qlnsales::Value(false)});

  qlnsales::Customer customer;
  customer.ConnectionString = cs;
  customer.CompanyPrefix = "01";
  customer.CustomerCode = "01C900";
  customer.CustomerName = "Harbour Marine Supplies";
  customer.CustomerCurrencyCode = "BHD";
  customer.CurrencyCode = "BHD";
  if (!customer.Create_Customer()) {
    std::cerr << "customer: " << customer.ErrDesc() << '\n';
    return 1;
  }

  // One service line: installation, 2 hours at 15.
  auto grid = std::make_shared<qlnsales::MemoryGrid>(2, 19);
  grid->SetTextMatrix(1, 2, "Installation");
  grid->SetTextMatrix(1, 4, "Hour");
  grid->SetTextMatrix(1, 5, "1");
  grid->SetTextMatrix(1, 6, "2");
  grid->SetTextMatrix(1, 11, "30");
  grid->SetTextMatrix(1, 13, "15");

  qlnsales::DirectDelivery delivery;
  delivery.ADOConnectionString = cs;
  delivery.AdoDBConnectionObject = conn;
  delivery.DeliveryGridName = grid;
  delivery.CompanyPrefix = "01";
  delivery.BranchPrefix = "01";
  delivery.DocumentPrefix = "DDL";
  delivery.CustomerCode = customer.CustomerCode;
  delivery.CustomerName = customer.CustomerName;
  delivery.PaymentType = "Credit";
  delivery.CurrencyCode = "BHD";
  delivery.DirectDeliveryDate = delivery.DirectDeliveryEndDate = qlnsales::Date::Today();
  delivery.LastUpdate = qlnsales::Date::Today();
  delivery.DirectDeliverySubtotal = delivery.DirectDeliveryTotalAmount = 30;
  delivery.OnlineFlag = true;
  if (!delivery.Create_Direct_Delivery()) {
    std::cerr << "save: " << delivery.ErrDesc() << '\n';
    return 1;
  }
  const std::string saved_as = delivery.DirectDeliveryNo;
  if (!delivery.Process_Direct_Delivery()) {
    std::cerr << "process: " << delivery.ErrDesc() << '\n';
    return 1;
  }
  auto rs = conn->Query(
      "SELECT Processed_Flag FROM Direct_Delivery_Master WHERE "
      "Direct_Delivery_No = ?",
      {qlnsales::Value(delivery.DirectDeliveryNo)});
  if (rs.empty() || !rs.front().Flag("Processed_Flag")) {
    std::cerr << "the processed delivery is not stored as processed\n";
    return 1;
  }
  std::printf("schema version %d; customer %s saved; delivery %s processed as %s\n",
              qlnsales::SchemaVersion(*conn), customer.CustomerCode.c_str(), saved_as.c_str(),
              delivery.DirectDeliveryNo.c_str());
  return 0;
}
