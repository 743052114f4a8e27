#include <gtest/gtest.h>

#include <sstream>

#include "automation.h"
#include "commands.h"
#include "db/record.h"
#include "db/schema.h"
#include "support/fixture.h"

namespace qlnsales::testing {
namespace {

using json = nlohmann::json;

class AutomationTest : public DbTest {
 protected:
  json Ask(const char* line) { return session.HandleLine(line); }
  json Ask(const std::string& line) { return session.HandleLine(line); }
  json Ask(const json& request) { return session.Handle(request); }
  cli::AutomationSession session;
};

TEST_F(AutomationTest, DrivesACustomerThroughEveryKindOfValue) {
  EXPECT_EQ(Ask(json{{"op", "open"}, {"as", "c"}, {"connection", cs}}), json({{"ok", true}}));
  EXPECT_TRUE(Ask(R"({"op":"create","as":"m","class":"qlnsales.customer"})")["ok"]);
  for (auto [k, v] : std::vector<std::pair<std::string, json>>{
           {"CustomerCode", "01C050"},
           {"CustomerName", "Pipe & Co"},
           {"CustomerCurrencyCode", "BHD"},
           {"CurrencyCode", "BHD"},
           {"CustomerCreditLimit", 2500.75},
           {"CountryID", 48},
           {"ForeignCurrencyFlag", false},
           {"CustomerComments", nullptr},
           {"LastUpdate", json{{"date", "2026-12-06T10:30:00"}}},
           {"AdoConnectionObject", json{{"object", "c"}}}})
    ASSERT_TRUE(Ask(json{{"op", "set"}, {"object", "m"}, {"property", k}, {"value", v}})["ok"])
        << k;

  // Without a connection string the customer fails with its own message, and says so.
  auto failed = Ask(R"({"op":"call","object":"m","method":"Create_Customer"})");
  EXPECT_EQ(failed, json({{"ok", true}, {"result", false}, {"args", json::array()}}));
  EXPECT_EQ(Ask(R"({"op":"get","object":"m","property":"ErrDesc"})")["value"],
            "Invalid Connection string Property.");

  Ask(json{{"op", "set"}, {"object", "m"}, {"property", "ConnectionString"}, {"value", cs}});
  EXPECT_EQ(Ask(R"({"op":"call","object":"m","method":"Create_Customer","args":[]})")["result"],
            true);
  EXPECT_EQ(Ask(R"({"op":"get","object":"m","property":"CurrencySymbol"})")["value"], "BD");
  EXPECT_EQ(Ask(R"({"op":"get","object":"m","property":"LastUpdate"})")["value"],
            json({{"date", "2026-12-06T10:30:00"}}));
  EXPECT_EQ(Ask(R"({"op":"get","object":"m","property":"CustomerCreditLimit"})")["value"], 2500.75);

  auto rows = Ask(json{{"op", "sql"},
                       {"connection", "c"},
                       {"sql",
                        "SELECT Customer_Name AS name, Customer_Credit_limit AS credit_limit "
                        "FROM Customer_Master WHERE Customer_Code = ?"},
                       {"params", {"01C050"}}});
  EXPECT_EQ(rows["columns"], json({"name", "credit_limit"}));
  EXPECT_EQ(rows["rows"], json::parse(R"([["Pipe & Co", 2500.75]])"));
  EXPECT_EQ(
      Ask(json{{"op", "sql"},
               {"connection", "c"},
               {"sql", "UPDATE Customer_Master SET Customer_Balance = ? WHERE Customer_Code = ?"},
               {"params", {12.5, "01C050"}}}),
      json({{"ok", true}, {"changed", 1}}));

  Ask(R"({"op":"create","as":"r","class":"QLNSales.Customer"})");
  Ask(R"({"op":"set","object":"r","property":"AdoConnectionObject","value":{"object":"c"}})");
  EXPECT_EQ(Ask(R"({"op":"call","object":"r","method":"Get_Customer_Balance","args":["01C050"]})")
                ["result"],
            true);
  EXPECT_EQ(Ask(R"({"op":"get","object":"r","property":"CustomerBalance"})")["value"], 12.5);
  EXPECT_TRUE(Ask(R"({"op":"release","object":"r"})")["ok"]);
  EXPECT_FALSE(Ask(R"({"op":"get","object":"r","property":"CustomerBalance"})")["ok"]);
}

TEST_F(AutomationTest, ByReferenceArgumentsObjectsGridsTransactionsAndBoxes) {
  Ask(json{{"op", "open"}, {"as", "c"}, {"connection", cs}});
  Ask(R"({"op":"create","as":"k","class":"QLNSystem.CounterTransaction"})");
  for (auto [k, v] :
       {std::pair{"CompanyPrefix", "01"}, {"BranchPrefix", "01"}, {"DocumentPrefix", "SOR"}})
    Ask(json{{"op", "set"}, {"object", "k"}, {"property", k}, {"value", v}});
  auto drawn =
      Ask(R"({"op":"call","object":"k","method":"Get_Last_Counter","args":[{"object":"c"},true]})");
  EXPECT_EQ(drawn, json::parse(R"({"ok":true,"result":true,"args":[{"object":"c"},true]})"));
  EXPECT_EQ(Ask(R"({"op":"get","object":"k","property":"NextDocumentNo"})")["value"], 1);

  // An object the program did not name is given a handle of its own.
  Ask(R"({"op":"create","as":"m","class":"QLNSales.Customer"})");
  Ask(R"({"op":"create","as":"m2","class":"QLNSales.MemoryGrid"})");
  Ask(R"({"op":"set","object":"m","property":"GridName","value":{"object":"m2"}})");
  EXPECT_EQ(Ask(R"({"op":"get","object":"m","property":"GridName"})")["value"],
            json({{"object", "m2"}}));
  Ask(R"({"op":"set","object":"m","property":"GridName","value":{"object":null}})");
  EXPECT_EQ(Ask(R"({"op":"get","object":"m","property":"GridName"})")["value"],
            json({{"object", nullptr}}));

  EXPECT_TRUE(
      Ask(R"({"op":"grid","as":"g","rows":3,"cols":2,"cells":[[1,0,"P100"],[1,1,"2.5"]]})")["ok"]);
  Ask(R"({"op":"call","object":"g","method":"SetTextMatrix","args":[2,1,"x"]})");
  EXPECT_EQ(
      Ask(R"({"op":"cells","object":"g"})"),
      json::parse(R"({"ok":true,"rows":3,"cols":2,"cells":[["",""],["P100","2.5"],["","x"]]})"));
  EXPECT_EQ(Ask(R"({"op":"call","object":"g","method":"ValueMatrix","args":[1,1]})")["result"],
            2.5);

  EXPECT_TRUE(Ask(R"({"op":"begin","connection":"c"})")["ok"]);
  Ask(R"({"op":"sql","connection":"c","sql":"DELETE FROM Currency_Master"})");
  EXPECT_TRUE(Ask(R"({"op":"rollback","connection":"c"})")["ok"]);
  EXPECT_EQ(Count("Currency_Master"), 2);
  EXPECT_TRUE(Ask(R"({"op":"begin","connection":"c"})")["ok"]);
  Ask(R"({"op":"sql","connection":"c","sql":"DELETE FROM Currency_Master WHERE Currency_Code = ?","params":["USD"]})");
  EXPECT_TRUE(Ask(R"({"op":"commit","connection":"c"})")["ok"]);
  EXPECT_EQ(Count("Currency_Master"), 1);

  EXPECT_TRUE(Ask(R"({"op":"answer","text":"41"})")["ok"]);
  EXPECT_EQ(CurrentShell().InputBox("Number?", "t", ""), "41");
  CurrentShell().MsgBox("Hello", "t");
  EXPECT_EQ(Ask(R"({"op":"messages"})"), json({{"ok", true}, {"messages", {"Hello"}}}));
  EXPECT_EQ(Ask(R"({"op":"messages"})")["messages"], json::array());
}

TEST_F(AutomationTest, BadLinesGetAClearErrorAndTheSessionGoesOn) {
  auto error_of = [&](const std::string& line) {
    auto a = Ask(line);
    EXPECT_EQ(a["ok"], false) << line;
    return a.value("error", "");
  };
  EXPECT_NE(error_of("not json").find("not a JSON object"), std::string::npos);
  EXPECT_EQ(error_of("[1,2]"), "a request must be a JSON object");
  EXPECT_EQ(error_of(R"({"op":"dance"})"), "unknown op \"dance\"");
  EXPECT_EQ(error_of(R"({"op":"create","as":"x"})"), "missing field \"class\"");
  EXPECT_EQ(error_of(R"({"op":"get","object":"ghost","property":"X"})"),
            "unknown handle \"ghost\"");
  EXPECT_EQ(error_of(R"({"op":"create","as":"x","class":"QLNSales.Nothing"})"),
            "Cannot create object: no class is registered as 'QLNSales.Nothing'");
  Ask(R"({"op":"create","as":"m","class":"QLNSales.Customer"})");
  EXPECT_EQ(error_of(R"({"op":"call","object":"m","method":"Fly"})"),
            "QLNSales.Customer has no method 'Fly'");
  EXPECT_EQ(
      error_of(
          R"({"op":"set","object":"m","property":"LastUpdate","value":{"date":"31/02/2026"}})"),
      "not a date: \"31/02/2026\"");
  EXPECT_EQ(error_of(R"({"op":"set","object":"m","property":"CountryID","value":"abc"})"),
            "Type mismatch");
  EXPECT_EQ(
      error_of(R"({"op":"set","object":"m","property":"CountryID","value":[1]})").substr(0, 17),
      "unsupported value");
  EXPECT_EQ(error_of(R"({"op":"cells","object":"m"})"), "\"m\" is not a grid");

  std::istringstream in("{\"op\":\"messages\"}\n\nbroken\n{\"op\":\"messages\"}\n");
  std::ostringstream out;
  EXPECT_EQ(session.Run(in, out), 1);
  EXPECT_EQ(
      out.str(),
      "{\"messages\":[],\"ok\":true}\n"
      "{\"error\":\"not a JSON object: [json.exception.parse_error.101] parse error at line 1, "
      "column 1: syntax error while parsing value - invalid literal; last read: "
      "'b'\",\"ok\":false}\n"
      "{\"messages\":[],\"ok\":true}\n");
}

TEST_F(AutomationTest, CheckFindsADeliberatelyBrokenLedgerLine) {
  EXPECT_EQ(cli::Check(cs), 0);
  Record()
      .Set("Document_No", "0101CHM9")
      .Set("Account_No", "01011000")
      .Set("Debit_Amount", 10.0)
      .Insert(*conn, "General_Ledger");
  EXPECT_EQ(cli::Check(cs), 1);
}

TEST_F(AutomationTest, InitIsRepeatableAndAddsTheSampleOnce) {
  EXPECT_EQ(cli::Init(cs, true), 0);
  EXPECT_EQ(Count("Branch_Master"), 2);
  EXPECT_EQ(Count("QLNSales_Schema"), 1);
  EXPECT_EQ(db::SchemaVersion(*conn), db::kSchemaVersion);
}

}  // namespace
}  // namespace qlnsales::testing
