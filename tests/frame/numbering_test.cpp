#include <gtest/gtest.h>

#include <set>
#include <thread>

#include "db/record.h"
#include "frame/numbering.h"
#include "qlnsales/registry.h"
#include "support/fixture.h"

namespace qlnsales::testing {
namespace {

const Series kOrders{"01", "01", "SOR"};

NumberingTables OrderTables() {
  return {"Sales_Order_Master",
          "Sales_Ord_No",
          "Sales_ord_Identity",
          "Sales_Order_Detail",
          "Sales_Ord_No",
          "Invalid Sales Order No",
          "Error while Processing, Invalid Temporary Sales Order No."};
}

class NumberingTest : public DbTest {
 protected:
  // A saved order with `lines` lines under a temporary number.
  std::string SaveOrder(int lines) {
    CounterNumbering temp(CounterNumbering::kTemporary);
    EXPECT_FALSE(temp.Draw(conn, kOrders));
    Record()
        .Set("Sales_Ord_No", temp.number())
        .Set("Sales_ord_Identity", temp.identity())
        .Insert(*conn, "Sales_Order_Master");
    for (int i = 0; i < lines; ++i)
      Record()
          .Set("SL_No", static_cast<std::int32_t>(Count("Sales_Order_Detail") + 1))
          .Set("Sales_Ord_No", temp.number())
          .Insert(*conn, "Sales_Order_Detail");
    EXPECT_FALSE(temp.Confirm());
    return temp.number();
  }
  double NextNo() {
    return Scalar(
               "SELECT Document_Next_No FROM Document_Prefix WHERE Document_Prefix = 'SOR' "
               "AND Company_Prefix = '01' AND Branch_Prefix = '01'")
        .ToDouble();
  }
  void SetNextNo(double n) {
    conn->Execute(
        "UPDATE Document_Prefix SET Document_Next_No = ? WHERE Document_Prefix = 'SOR' "
        "AND Company_Prefix = '01' AND Branch_Prefix = '01'",
        {Value(n)});
  }
  // Processes `no` and answers the final number, or the failure text.
  std::string Process(const std::string& no, ProcessMode mode) {
    FinalNumbering f(OrderTables());
    if (auto e = f.Open(*conn, no)) return *e;
    if (auto e = f.Choose(conn, kOrders, mode)) return *e;
    try {
      f.Renumber(*conn, Record().Set("process_Flag", 1), Value("06/Dec/2026"), *conn);
      f.RenumberLines(*conn, Value("06/Dec/2026"));
    } catch (const Error& e) {
      return e.what();
    }
    if (auto e = f.Settle()) return *e;
    return f.number();
  }
};

TEST_F(NumberingTest, SavingDrawsTemporaryNumbersFromTheirOwnCounter) {
  EXPECT_EQ(SaveOrder(2), "0101SORTMP1");
  EXPECT_EQ(SaveOrder(1), "0101SORTMP2");
  EXPECT_EQ(NextNo(), 1);  // the final series is untouched by saving
  EXPECT_EQ(Scalar("SELECT Document_Temp_Next_No FROM Document_Prefix WHERE Document_Prefix = "
                   "'SOR' AND Company_Prefix = '01' AND Branch_Prefix = '01'")
                .ToDouble(),
            3);
  // A series without a row starts at 1 and gets its row.
  CounterNumbering fresh(CounterNumbering::kTemporary);
  EXPECT_FALSE(fresh.Draw(conn, Series{"01", "09", "XYZ"}));
  EXPECT_EQ(fresh.number(), "0109XYZTMP1");
  EXPECT_EQ(Count("Document_Prefix", "Document_Prefix = 'XYZ'"), 1);
  // A counter without its prefixes fails with its ErrDesc.
  CounterNumbering bad(CounterNumbering::kTemporary);
  EXPECT_EQ(bad.Draw(conn, Series{"01", "", "SOR"}),
            std::optional<std::string>(
                "The counter needs its CompanyPrefix, BranchPrefix and DocumentPrefix."));
}

TEST_F(NumberingTest, ProcessingGivesTheFinalNumberToTheMasterAndItsLines) {
  std::string no = SaveOrder(3);
  EXPECT_EQ(Process(no, {}), "0101SOR1");
  EXPECT_EQ(Count("Sales_Order_Master",
                  "Sales_Ord_No = ? AND Sales_ord_Identity = 1 AND "
                  "process_Flag = 1 AND Last_Update = ?",
                  {"0101SOR1", "06/Dec/2026"}),
            1);
  EXPECT_EQ(Count("Sales_Order_Detail", "Sales_Ord_No = ?", {"0101SOR1"}), 3);
  EXPECT_EQ(Count("Sales_Order_Detail", "Sales_Ord_No = ?", {no}), 0);
  EXPECT_EQ(NextNo(), 2);
  EXPECT_EQ(Process(SaveOrder(1), {}), "0101SOR2");

  EXPECT_EQ(Process("   ", {}), "Invalid Sales Order No");
  EXPECT_EQ(Process("0101SORTMP99", {}), "Invalid Sales Order No");
}

TEST_F(NumberingTest, ManualIdentitiesRaiseTheSeriesPastThem) {
  ProcessMode manual{WorkingMode::kOnline, true, 40};
  auto forget40 = [&] {
    conn->Execute("DELETE FROM Sales_Order_Master WHERE Sales_Ord_No = ?", {"0101SOR40"});
  };
  SetNextNo(40);
  EXPECT_EQ(Process(SaveOrder(1), manual), "0101SOR40");
  EXPECT_EQ(NextNo(), 41);
  // A number can be given to one document only: the second fails on the key.
  EXPECT_NE(Process(SaveOrder(1), manual), "0101SOR40");
  EXPECT_EQ(Count("Sales_Order_Master", "Sales_Ord_No = '0101SOR40'"), 1);
  forget40();
  SetNextNo(41);
  EXPECT_EQ(Process(SaveOrder(1), manual), "0101SOR40");
  EXPECT_EQ(NextNo(), 41);
  forget40();
  SetNextNo(39);
  EXPECT_EQ(Process(SaveOrder(1), manual), "0101SOR40");
  EXPECT_EQ(NextNo(), 41);
  // Halves go to even, once, for both the number and the raise.
  ProcessMode half{WorkingMode::kOnline, true, 42.5};
  EXPECT_EQ(Process(SaveOrder(1), half), "0101SOR42");
  EXPECT_EQ(NextNo(), 43);
}

TEST_F(NumberingTest, SynchronisationKeepsTheStoredIdentity) {
  std::string no = SaveOrder(1);
  ProcessMode sync{WorkingMode::kSynchronisation, false, 0};
  EXPECT_EQ(Process(no, sync), "0101SOR1");  // identity 1 was stored with the temporary number
  EXPECT_EQ(NextNo(), 1);                    // the counter is not used
  ProcessMode sync_manual{WorkingMode::kSynchronisation, true, 7};
  EXPECT_EQ(Process(SaveOrder(1), sync_manual), "0101SOR2");
  EXPECT_EQ(NextNo(), 8);  // the manual raise still runs
}

TEST_F(NumberingTest, MissingLinesFailAfterTheMasterWasRenumbered) {
  std::string no = SaveOrder(0);
  EXPECT_EQ(Process(no, {}), "Error while Processing, Invalid Temporary Sales Order No.");
  EXPECT_EQ(Count("Sales_Order_Master", "Sales_Ord_No = ?", {"0101SOR1"}), 1);
  // The drawn number stays used: the next document never gets it again.
  EXPECT_EQ(Process(SaveOrder(1), {}), "0101SOR2");
}

TEST_F(NumberingTest, IncreaseConfirmsAReservationOrMovesTheCounterOn) {
  auto counter = CreateObject("QLNSystem.CounterTransaction");
  counter->Set("CompanyPrefix", "01");
  counter->Set("BranchPrefix", "01");
  counter->Set("DocumentPrefix", "CRM");
  EXPECT_FALSE(counter->Invoke("Increase_Counter").ToBool());  // no connection yet
  std::vector<Value> args{Value(conn), Value(true)};
  ASSERT_TRUE(counter->Invoke("Get_Last_Counter", args).ToBool());
  EXPECT_EQ(counter->Get("NextDocumentNo").ToInt32(), 1);
  ASSERT_TRUE(counter->Invoke("Increase_Counter", {Value(true)}).ToBool());  // confirms: no move
  auto temp_next = [&] {
    return Scalar(
               "SELECT Document_Temp_Next_No FROM Document_Prefix WHERE Document_Prefix = "
               "'CRM' AND Branch_Prefix = '01'")
        .ToDouble();
  };
  EXPECT_EQ(temp_next(), 2);
  ASSERT_TRUE(counter->Invoke("Increase_Counter", {Value(true)}).ToBool());  // none left: moves on
  EXPECT_EQ(temp_next(), 3);
}

TEST_F(NumberingTest, ConcurrentDrawsFromTwoConnectionsGiveDistinctNumbers) {
  std::vector<std::int32_t> drawn[2];
  auto draw = [&](int who) {
    auto own = std::make_shared<Connection>(cs);
    for (int i = 0; i < 25; ++i) {
      auto counter = CreateObject("QLNSystem.CounterTransaction");
      counter->Set("CompanyPrefix", "01");
      counter->Set("BranchPrefix", "02");
      counter->Set("DocumentPrefix", "INV");
      std::vector<Value> args{Value(own)};
      ASSERT_TRUE(counter->Invoke("Get_Last_Counter", args).ToBool())
          << counter->Get("ErrDesc").ToText();
      drawn[who].push_back(counter->Get("NextDocumentNo").ToInt32());
      ASSERT_TRUE(counter->Invoke("Increase_Counter").ToBool());
    }
  };
  std::thread a(draw, 0), b(draw, 1);
  a.join();
  b.join();
  std::set<std::int32_t> all(drawn[0].begin(), drawn[0].end());
  all.insert(drawn[1].begin(), drawn[1].end());
  EXPECT_EQ(all.size(), 50u);
  EXPECT_EQ(*all.begin(), 1);
  EXPECT_EQ(*all.rbegin(), 50);
}

}  // namespace
}  // namespace qlnsales::testing
