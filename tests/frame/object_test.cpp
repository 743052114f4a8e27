#include <gtest/gtest.h>

#include <limits>
#include <thread>

#include "qlnsales/business_object.h"
#include "qlnsales/customer.h"
#include "qlnsales/grid.h"
#include "qlnsales/registry.h"
#include "qlnsales/shell.h"

namespace qlnsales {
namespace detail {
void SetDebugIdCounter(std::int32_t value);
}

namespace {

// A small class with by-reference and optional arguments, as sibling modules have.
class Probe : public BusinessObject {
 public:
  std::string Name;
  bool Swap(std::string& text, double& number, std::optional<bool> flag) {
    text = text + "!";
    number = number * 2;
    last_flag = flag;
    return true;
  }
  bool Refuse() { return Fail("Refused."); }
  bool Crash() {
    return Trap([]() -> bool { throw Error("boom"); });
  }
  std::optional<bool> last_flag;
  std::string_view ClassName() const override { return "Test.Probe"; }

 protected:
  const DispatchTable& Dispatch() const override {
    static const DispatchTable t = DispatchBuilder<Probe>("Test.Probe")
                                       .Prop("Name", &Probe::Name)
                                       .ReadOnly("ErrDesc", &Probe::ErrDesc)
                                       .Method("Swap", &Probe::Swap)
                                       .Method("Refuse", &Probe::Refuse)
                                       .Method("Crash", &Probe::Crash)
                                       .Build();
    return t;
  }
};

std::string ErrorOf(const std::function<void()>& f) {
  try {
    f();
  } catch (const Error& e) {
    return e.what();
  }
  return "";
}

TEST(LateBinding, NamesAreMatchedWithoutCaseAndUnknownNamesAreNamed) {
  auto c = CreateObject("qlnsales.CUSTOMER");
  ASSERT_TRUE(c);
  EXPECT_EQ(c->ClassName(), "QLNSales.Customer");
  c->Set("customername", "Gulf Traders");
  EXPECT_EQ(c->Get("CUSTOMERNAME").ToText(), "Gulf Traders");
  EXPECT_EQ(std::dynamic_pointer_cast<Customer>(c)->CustomerName, "Gulf Traders");

  EXPECT_EQ(ErrorOf([] { CreateObject("QLNSales.Nothing"); }),
            "Cannot create object: no class is registered as 'QLNSales.Nothing'");
  EXPECT_EQ(ErrorOf([&] { c->Get("Colour"); }), "QLNSales.Customer has no property 'Colour'");
  EXPECT_EQ(ErrorOf([&] { c->Invoke("Fly"); }), "QLNSales.Customer has no method 'Fly'");
  EXPECT_EQ(ErrorOf([&] { c->Set("ErrDesc", "x"); }),
            "Property 'ErrDesc' of QLNSales.Customer is read-only");
  EXPECT_EQ(ErrorOf([&] { c->Get("AdoConnectionObject"); }),
            "Property 'AdoConnectionObject' of QLNSales.Customer is write-only");
  EXPECT_EQ(ErrorOf([&] { c->Set("CountryID", "abc"); }), "Type mismatch");
  EXPECT_EQ(ErrorOf([&] { c->Set("AdoConnectionObject", CreateObject("QLNSales.MemoryGrid")); }),
            "Type mismatch");
  EXPECT_NE(ErrorOf([&] { c->Invoke("Get_Customer", {Value("a"), Value("b")}); }), "");
}

TEST(LateBinding, ByReferenceArgumentsAreWrittenBackAndOptionalOnesCanBeMissing) {
  RegisterClass("Test.Probe", [] { return std::make_shared<Probe>(); });
  auto p = CreateObject("Test.Probe");
  std::vector<Value> args{Value("abc"), Value(21)};
  EXPECT_TRUE(p->Invoke("swap", args).ToBool());
  EXPECT_EQ(args[0].ToText(), "abc!");
  EXPECT_EQ(args[1].ToDouble(), 42);
  EXPECT_FALSE(std::dynamic_pointer_cast<Probe>(p)->last_flag.has_value());
  std::vector<Value> with_flag{Value("x"), Value(1), Value(false)};
  p->Invoke("Swap", with_flag);
  EXPECT_EQ(std::dynamic_pointer_cast<Probe>(p)->last_flag, std::optional<bool>(false));
  RestoreClass("Test.Probe");
  EXPECT_FALSE(IsRegistered("Test.Probe"));
}

TEST(LateBinding, AHostMayReplaceAClassAndPutItBack) {
  RegisterClass("QLNSales.Customer", [] { return std::make_shared<Probe>(); });
  EXPECT_EQ(CreateObject("QLNSales.Customer")->ClassName(), "Test.Probe");
  RestoreClass("QLNSales.Customer");
  EXPECT_EQ(CreateObject("QLNSales.Customer")->ClassName(), "QLNSales.Customer");
}

TEST(ErrorConvention, ErrDescKeepsTheFirstFailureAfterASuccess) {
  Probe p;
  EXPECT_FALSE(p.Refuse());
  EXPECT_EQ(p.ErrDesc(), "Refused.");
  std::string t = "a";
  double d = 1;
  EXPECT_TRUE(p.Swap(t, d, std::nullopt));
  EXPECT_EQ(p.ErrDesc(), "Refused.");
  EXPECT_FALSE(p.Crash());
  EXPECT_EQ(p.ErrDesc(), "boom");
}

TEST(DebugIds, CountPerThreadAndOverflow) {
  int a = GetNextClassDebugID();
  int b = GetNextClassDebugID();
  EXPECT_EQ(b, a + 1);
  int first_elsewhere = 0, second_elsewhere = 0;
  std::thread t([&] {
    first_elsewhere = GetNextClassDebugID();
    second_elsewhere = GetNextClassDebugID();
  });
  t.join();
  EXPECT_EQ(first_elsewhere, 1);
  EXPECT_EQ(second_elsewhere, 2);
  EXPECT_EQ(GetNextClassDebugID(), b + 1);

  std::thread overflow([] {
    detail::SetDebugIdCounter(std::numeric_limits<std::int32_t>::max() - 1);
    EXPECT_EQ(GetNextClassDebugID(), std::numeric_limits<std::int32_t>::max());
    EXPECT_EQ(ErrorOf([] { GetNextClassDebugID(); }), "Overflow");
  });
  overflow.join();
}

TEST(Grid, CellsNumbersColoursAndBounds) {
  auto g = std::dynamic_pointer_cast<MemoryGrid>(CreateObject("QLNSales.MemoryGrid"));
  g->Set("Cols", 3);
  g->Set("Rows", 2);
  g->Invoke("SetTextMatrix", {Value(1), Value(2), Value("12.5 kg")});
  EXPECT_EQ(g->TextMatrix(1, 2), "12.5 kg");
  EXPECT_EQ(g->Invoke("ValueMatrix", {Value(1), Value(2)}).ToDouble(), 12.5);
  EXPECT_EQ(g->ValueMatrix(1, 1), 0);
  g->SetRows(4);
  EXPECT_EQ(g->TextMatrix(1, 2), "12.5 kg");
  g->SetCols(4);
  EXPECT_EQ(g->TextMatrix(1, 2), "12.5 kg");
  g->Cell(Grid::kCellForeColor, 1, 0, 1, 3, Value(0x808080));
  EXPECT_EQ(g->CellProperty(Grid::kCellForeColor, 1, 3).ToInt32(), 0x808080);
  EXPECT_TRUE(g->CellProperty(Grid::kCellForeColor, 2, 3).IsEmpty());
  EXPECT_THROW(g->TextMatrix(4, 0), Error);
  EXPECT_THROW(g->SetTextMatrix(0, 9, "x"), Error);
}

TEST(Grid, ASizeBeyondTheBoundIsRefusedAndTheGridKeepsItsCells) {
  auto g = std::dynamic_pointer_cast<MemoryGrid>(CreateObject("QLNSales.MemoryGrid"));
  g->Set("Cols", 20);
  g->Set("Rows", 3);
  g->SetTextMatrix(2, 19, "kept");
  for (auto [name, size] : {std::pair{"Rows", 2000000000}, {"Rows", 50001}, {"Cols", 2000000}})
    EXPECT_THROW(g->Set(name, size), Error) << name << " " << size;
  EXPECT_THROW(g->Set("Rows", 4294967297.0), Error);
  EXPECT_EQ(g->Rows(), 3);
  EXPECT_EQ(g->Cols(), 20);
  EXPECT_EQ(g->TextMatrix(2, 19), "kept");
  g->SetRows(50000);  // exactly the bound: a million cells
  EXPECT_EQ(g->TextMatrix(49999, 19), "");
  EXPECT_THROW(MemoryGrid(1000001, 0), Error);
  EXPECT_THROW(MemoryGrid(0, 1000001), Error);
}

TEST(Shell, HeadlessNeverBlocksAndScriptedAnswersInOrder) {
  EXPECT_FALSE(CurrentShell().InputBox("Number?", kApplicationTitle, "").has_value());
  auto scripted = std::make_shared<ScriptedShell>();
  SetShell(scripted);
  scripted->QueueAnswer("41");
  scripted->QueueAnswer(std::nullopt);
  CurrentShell().MsgBox("Hello", kApplicationTitle);
  EXPECT_EQ(CurrentShell().InputBox("Number?", kApplicationTitle, ""), "41");
  EXPECT_FALSE(CurrentShell().InputBox("Again?", kApplicationTitle, "").has_value());
  EXPECT_FALSE(CurrentShell().InputBox("Empty queue?", kApplicationTitle, "").has_value());
  auto messages = scripted->TakeMessages();
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].text, "Hello");
  EXPECT_TRUE(scripted->TakeMessages().empty());
  SetShell(nullptr);
}

}  // namespace
}  // namespace qlnsales
