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

std::string Repeat(const std::string& text, std::size_t times) {
  std::string out;
  for (std::size_t i = 0; i < times; ++i) out += text;
  return out;
}

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

TEST_F(AutomationTest, EveryHostileLineGetsOneAnswerAndTheSessionGoesOn) {
  const std::string ok = "{\"op\":\"messages\"}";
  const std::string deep = std::string(70000, '[') + std::string(70000, ']');
  const std::string deep_value =
      "{\"op\":\"set\",\"object\":\"m\",\"property\":\"X\",\"value\":" + std::string(64, '[') +
      std::string(64, ']') + "}";
  const std::vector<std::pair<std::string, std::string>> hostile = {
      {"{\"op\":\"messages\",\"x\":1e999}", "the number 1e999 is out of range"},
      {"{\"op\":\"messages\",\"x\":[-1.5e999]}", "the number -1.5e999 is out of range"},
      {"{\"op\":\"messages\",\"x\":" + std::string(400, '7') + "}", "the whole number 7777"},
      {"{\"op\":\"messages\",\"x\":[" + deep + "]}", "a request nests deeper than 64 levels"},
      {"{\"op\":\"messages\",\"x\":" + Repeat("{\"a\":", 70000), "a request nests deeper"},
      {deep_value, "a request nests deeper than 64 levels"},
      {ok + std::string(1, '\0') + "{\"op\":\"dance\"}",
       "a request line must not hold a NUL byte (found at byte 18)"},
      {std::string("{\"op\":\"mess") + '\0' + "ages\"}", "a request line must not hold a NUL byte"},
  };
  std::string input = ok + "\n";
  for (const auto& [line, error] : hostile) input += line + "\n" + ok + "\n";
  std::istringstream in(input);
  std::ostringstream out;
  EXPECT_EQ(session.Run(in, out), 1);

  std::vector<json> answers;
  std::istringstream lines(out.str());
  for (std::string line; std::getline(lines, line);) answers.push_back(json::parse(line));
  ASSERT_EQ(answers.size(), 1 + 2 * hostile.size());
  EXPECT_EQ(answers[0], json({{"ok", true}, {"messages", json::array()}}));
  for (std::size_t i = 0; i < hostile.size(); ++i) {
    const json& refused = answers[1 + 2 * i];
    EXPECT_EQ(refused["ok"], false) << hostile[i].second;
    EXPECT_NE(refused.value("error", "").find(hostile[i].second), std::string::npos)
        << refused.dump();
    EXPECT_EQ(answers[2 + 2 * i], answers[0]) << "after " << hostile[i].second;
  }
  // Just within the depth the request is served as any other.
  EXPECT_EQ(Ask("{\"op\":\"messages\",\"x\":" + std::string(63, '[') + std::string(63, ']') + "}"),
            answers[0]);
}

TEST_F(AutomationTest, NumbersSizesPositionsAndDatesBeyondRangeAreRefusedNotWrapped) {
  Ask(json{{"op", "open"}, {"as", "c"}, {"connection", cs}});
  auto error_of = [&](const std::string& line) {
    auto a = Ask(line);
    EXPECT_EQ(a["ok"], false) << line;
    return a.value("error", "");
  };
  auto echo = [&](const std::string& type, const std::string& v) {
    return Ask(R"({"op":"sql","connection":"c","sql":"SELECT CAST(? AS )" + type +
               R"() AS v","params":[)" + v + "]}");
  };
  EXPECT_EQ(echo("BIGINT", "9223372036854775807")["rows"], json::parse("[[9223372036854775807]]"));
  EXPECT_EQ(echo("BIGINT", "-9223372036854775808")["rows"],
            json::parse("[[-9223372036854775808]]"));
  for (auto big : {"9223372036854775808", "18446744073709551615", "-9223372036854775809",
                   "100000000000000000000"})
    EXPECT_NE(error_of(R"({"op":"sql","connection":"c","sql":"SELECT ?","params":[)" +
                       std::string(big) + "]}")
                  .find("is out of range"),
              std::string::npos)
        << big;
  EXPECT_EQ(echo("DOUBLE PRECISION", "1e300")["rows"], json::parse("[[1e300]]"));

  // Sizes and positions are refused whole, and a refused grid op leaves no grid behind.
  EXPECT_EQ(error_of(R"({"op":"grid","as":"g","rows":4294967297,"cols":2})"),
            "field \"rows\": 4294967297 is out of range");
  EXPECT_EQ(error_of(R"({"op":"grid","as":"g","rows":2,"cols":2,"cells":[[4294967296,0,"x"]]})"),
            "row 4294967296 is out of range");
  EXPECT_NE(error_of(R"({"op":"grid","as":"g","rows":100000,"cols":1000})")
                .find("A grid holds at most 1000000 rows, columns and cells"),
            std::string::npos);
  EXPECT_EQ(error_of(R"({"op":"cells","object":"g"})"), "unknown handle \"g\"");

  ASSERT_TRUE(Ask(R"({"op":"grid","as":"g","rows":3,"cols":2,"cells":[[2,1,"x"]]})")["ok"]);
  error_of(R"({"op":"set","object":"g","property":"Rows","value":2000000000})");
  error_of(R"({"op":"set","object":"g","property":"Rows","value":4294967297})");
  error_of(R"({"op":"set","object":"g","property":"Cols","value":-1})");
  error_of(R"({"op":"call","object":"g","method":"SetTextMatrix","args":[4294967296,0,"y"]})");
  error_of(R"({"op":"call","object":"g","method":"SetTextMatrix","args":[0,4294967297,"y"]})");
  EXPECT_EQ(Ask(R"({"op":"cells","object":"g"})"),
            json::parse(R"({"ok":true,"rows":3,"cols":2,"cells":[["",""],["",""],["","x"]]})"));

  // A date is refused on the way in when its text could not be read back.
  Ask(R"({"op":"create","as":"m","class":"QLNSales.Customer"})");
  Ask(R"({"op":"set","object":"m","property":"LastUpdate","value":{"date":"2026-12-06"}})");
  EXPECT_EQ(error_of(R"({"op":"set","object":"m","property":"LastUpdate","value":3000000})"),
            "Overflow");
  EXPECT_EQ(
      error_of(
          R"({"op":"set","object":"m","property":"LastUpdate","value":{"date":"0000-01-01"}})"),
      "not a date: \"0000-01-01\"");
  EXPECT_EQ(Ask(R"({"op":"get","object":"m","property":"LastUpdate"})")["value"],
            json({{"date", "2026-12-06T00:00:00"}}));
  Ask(R"({"op":"set","object":"m","property":"LastUpdate","value":2958465})");
  EXPECT_EQ(Ask(R"({"op":"get","object":"m","property":"LastUpdate"})")["value"],
            json({{"date", "9999-12-31T00:00:00"}}));
}

TEST_F(AutomationTest, SqlRunsOneStatementAndAnswersWhatThatStatementReturns) {
  Ask(json{{"op", "open"}, {"as", "c"}, {"connection", cs}});
  auto sql = [&](const std::string& text) {
    return Ask(json{{"op", "sql"}, {"connection", "c"}, {"sql", text}});
  };
  const auto items = Count("Item_Master");
  ASSERT_GT(items, 0);
  for (auto text : {"CREATE TABLE zz (a INTEGER); DROP TABLE Item_Master",
                    "SELECT 1; DELETE FROM Item_Master", "SELECT 1;; SELECT 2"}) {
    auto a = sql(text);
    EXPECT_EQ(a["ok"], false) << text;
    EXPECT_NE(a.value("error", "").find("statement"), std::string::npos) << a.dump();
  }
  EXPECT_EQ(Count("Item_Master"), items);
  EXPECT_EQ(sql("SELECT COUNT(*) AS n FROM zz")["ok"], false);  // the first one did not run either

  EXPECT_EQ(sql("CREATE TABLE zz (a INTEGER);  -- one table"),
            json({{"ok", true}, {"changed", 0}}));
  EXPECT_EQ(sql("INSERT INTO zz (a) VALUES (1), (2)"), json({{"ok", true}, {"changed", 2}}));
  // The count is the statement's own, never the one an earlier statement left.
  EXPECT_EQ(sql("CREATE TABLE yy (b INTEGER)"), json({{"ok", true}, {"changed", 0}}));
  EXPECT_EQ(sql("UPDATE zz SET a = 3 WHERE a = 9"), json({{"ok", true}, {"changed", 0}}));
  EXPECT_EQ(sql("/* leading */ DELETE FROM zz WHERE a = 2"), json({{"ok", true}, {"changed", 1}}));
  // Rows follow what the statement returns, whatever its first word.
  EXPECT_EQ(sql("/* x */ SELECT 1 AS one"),
            json::parse(R"({"ok":true,"columns":["one"],"rows":[[1]]})"));
  EXPECT_EQ(sql("SELECT a FROM zz WHERE a > 100"),
            json::parse(R"({"ok":true,"columns":["a"],"rows":[]})"));
  EXPECT_EQ(sql("INSERT INTO zz (a) VALUES (7) RETURNING a"),
            json::parse(R"({"ok":true,"columns":["a"],"rows":[[7]]})"));
  EXPECT_EQ(sql("SELECT a FROM zz ORDER BY a;")["rows"], json::parse("[[1],[7]]"));
  // A NUL in the text would hide what follows it from the engine.
  EXPECT_NE(sql(std::string("SELECT 1") + '\0' + "; DROP TABLE Item_Master")
                .value("error", "")
                .find("NUL"),
            std::string::npos);
  EXPECT_EQ(Count("Item_Master"), items);
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
