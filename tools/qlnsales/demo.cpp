// The demo: a short sales story told through the public objects, step by step.
#include <fmt/core.h>

#include <unistd.h>

#include <filesystem>

#include "commands.h"
#include "db/reference_data.h"
#include "db/schema.h"
#include "qlnsales/customer.h"
#include "qlnsales/registry.h"
#include "report.h"

namespace qlnsales::cli {
namespace {

void Step(const std::string& text) { fmt::print("  - {}\n", text); }

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
  db::CreateSchema(*conn);
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

  Customer missing;
  missing.ConnectionString = cs;
  if (!missing.Get_Customer("01C999"))
    Step(fmt::format("Asked for customer 01C999, which does not exist: \"{}\".", missing.ErrDesc()));

  PrintDocuments(*conn);
  PrintLedger(*conn);
  PrintTrialBalance(*conn);
  PrintStock(*conn);
  PrintCustomerBalances(*conn);
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
