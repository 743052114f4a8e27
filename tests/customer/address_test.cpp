#include <gtest/gtest.h>

#include "qlnsales/customer.h"
#include "qlnsales/registry.h"
#include "support/fixture.h"

namespace qlnsales::testing {
namespace {

class AddressTest : public DbTest {
 protected:
  void Save(const std::string& customer, const std::string& code, const std::string& desc,
            const std::string& fax = "") {
    Customer c;
    c.ConnectionString = cs;
    c.LastUpdate = Date::FromYmd(2026, 12, 6);
    auto& a = *c.Address;
    a.CustomerCode = customer;
    a.AddressCode = code;
    a.AddressDesc = desc;
    a.CompanyPrefix = "01";
    a.CustomerAddress_ = "Road " + code;
    a.CustomerCity = "Manama";
    a.CountryID = 48;
    a.CountryName = "Bahrain";
    a.CustomerPhone = "1700";
    a.CustomerFax = fax;
    ASSERT_TRUE(c.Create_Address()) << c.ErrDesc();
  }
};

TEST_F(AddressTest, SavedAddressesLoadBackOneByOne) {
  Save("01C001", "010", "Warehouse", "");
  Save("01C001", "010", "Main warehouse", "1701");  // the same code again overwrites
  Save("01C001", "011", "Office");
  EXPECT_EQ(Count("Customer_Address"), 2);
  EXPECT_EQ(Scalar("SELECT Address_Desc FROM Customer_Address WHERE Address_Code = '010'").ToText(),
            "Main warehouse");
  EXPECT_TRUE(
      Scalar("SELECT Customer_Fax FROM Customer_Address WHERE Address_Code = '011'").IsEmpty());
  EXPECT_EQ(
      Scalar("SELECT Customer_Country FROM Customer_Address WHERE Address_Code = '011'").ToText(),
      "Bahrain");

  Customer c;
  c.ConnectionString = cs;
  c.CustomerCode = "01C001";
  c.Address->CustomerFax = "left over";
  c.Address->CountryName = "kept";
  ASSERT_TRUE(c.Get_Address("011"));
  EXPECT_EQ(c.Address->AddressCode, "011");
  EXPECT_EQ(c.Address->AddressDesc, "Office");
  EXPECT_EQ(c.Address->CustomerAddress_, "Road 011");
  EXPECT_EQ(c.Address->CountryID, 48);
  EXPECT_EQ(c.Address->CustomerFax, "left over");  // a null column keeps the earlier value
  EXPECT_EQ(c.Address->CountryName, "kept");       // the country name is not loaded
  ASSERT_TRUE(c.Get_Address("999"));               // not there: true, Address unchanged
  EXPECT_EQ(c.Address->AddressCode, "011");
  ASSERT_TRUE(c.Get_Address("010"));
  EXPECT_EQ(c.Address->AddressCode, "010");
  EXPECT_EQ(c.Address->CustomerFax, "1701");

  Customer empty_fax;
  empty_fax.ConnectionString = cs;
  empty_fax.CustomerCode = "01C001";
  ASSERT_TRUE(empty_fax.Get_Address("011"));
  EXPECT_EQ(empty_fax.Address->CustomerFax, "");

  conn->Execute("UPDATE Customer_Address SET Country_ID = NULL WHERE Address_Code = '011'");
  EXPECT_FALSE(c.Get_Address("011"));
  EXPECT_EQ(c.ErrDesc(), "Invalid use of Null");
}

TEST_F(AddressTest, GetAddressesAppendsTheWholeTableInCodeOrder) {
  Save("01C002", "3", "Third");
  Save("01C001", "010", "Tenth");
  Save("01C001", "1", "First");
  Customer c;
  c.ConnectionString = cs;
  ASSERT_TRUE(c.Get_Addresses()) << c.ErrDesc();
  ASSERT_EQ(c.Addresses->Count(), 3);
  // Text order of the codes: "010" < "1" < "3".
  std::vector<std::string> codes, keys;
  for (const auto& a : *c.Addresses) {
    codes.push_back(a->AddressCode);
    keys.push_back(a->Key);
  }
  EXPECT_EQ(codes, (std::vector<std::string>{"10", "1", "3"}));
  EXPECT_EQ(keys, (std::vector<std::string>{"1", "2", "3"}));
  EXPECT_EQ(c.Address, c.Addresses->Item(Value(3)));
  EXPECT_EQ(c.Address->CustomerCode, "01C002");
  EXPECT_EQ(c.Addresses->Item(Value(1))->CustomerFax, "");
  EXPECT_EQ(c.Addresses->Item(Value(1))->CountryName, "");
  EXPECT_THROW(c.Addresses->Item(Value("1")), Error);  // loaded without collection keys
  ASSERT_TRUE(c.Get_Addresses());
  EXPECT_EQ(c.Addresses->Count(), 6);  // a second call appends

  conn->Execute("UPDATE Customer_Address SET Address_Code = 'A1' WHERE Address_Code = '3'");
  Customer bad;
  bad.ConnectionString = cs;
  EXPECT_FALSE(bad.Get_Addresses());
  EXPECT_EQ(bad.ErrDesc(), "Type mismatch");
  EXPECT_EQ(bad.Addresses->Count(), 2);  // the addresses before the error stay
}

TEST_F(AddressTest, TheCollectionByPositionKeyAndName) {
  auto list =
      std::dynamic_pointer_cast<CustomerAddresses>(CreateObject("QLNSales.CustomerAddresses"));
  auto add = [&](const char* key, std::int32_t code) {
    std::vector<Value> args(17, Value(""));
    args[2] = Value(code);
    args[8] = Value(48);
    args[16] = Value(key);
    return list->Invoke("Add", args);
  };
  auto first = add("home", 7);
  add("", 8);
  EXPECT_EQ(list->Get("Count").ToInt32(), 2);
  auto by_key =
      std::dynamic_pointer_cast<CustomerAddress>(list->Invoke("Item", {Value("home")}).ToObject());
  EXPECT_EQ(by_key->AddressCode, "7");
  EXPECT_EQ(first.ToObject(), by_key);
  EXPECT_EQ(list->Item(Value(2))->AddressCode, "8");
  EXPECT_THROW(add("home", 9), Error);
  EXPECT_THROW(list->Item(Value(3)), Error);
  EXPECT_THROW(list->Item(Value(0)), Error);
  list->Remove(Value("home"));
  EXPECT_EQ(list->Count(), 1);
  EXPECT_EQ(list->Item(Value(1))->AddressCode, "8");
  EXPECT_THROW(list->Remove(Value("home")), Error);

  CustomerAddress a, b;
  EXPECT_EQ(b.ClassDebugID(), a.ClassDebugID() + 1);
  EXPECT_THROW(CreateObject("QLNSales.CustomerAddress")->Set("ClassDebugID", 1), Error);
}

}  // namespace
}  // namespace qlnsales::testing
