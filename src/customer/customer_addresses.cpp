// Customer addresses: Customer_Address rows to and from Address and Addresses.
#include "base/convert.h"
#include "db/record.h"
#include "qlnsales/customer.h"

namespace qlnsales {
namespace {

qlnsales::CustomerAddress& Current(const CustomerAddressRef& address) {
  if (!address) throw Error("Object variable not set: the customer has no Address");
  return *address;
}

}  // namespace

bool Customer::Create_Address() {
  return Trap([&] {
    auto conn = connection_rule::StringOnly(ConnectionString);
    const qlnsales::CustomerAddress& a = Current(Address);
    Record key;
    key.Set("Customer_Code", a.CustomerCode).Set("Address_Code", a.AddressCode);
    bool exists = !conn->Query(
                           "SELECT Address_Code FROM Customer_Address WHERE Customer_Code = ? "
                           "AND Address_Code = ?",
                           {a.CustomerCode, a.AddressCode})
                       .empty();
    Record row;
    row.Set("Address_Code", a.AddressCode)
        .Set("Address_Desc", a.AddressDesc)
        .Set("Customer_Code", a.CustomerCode)
        .Set("Company_Prefix", a.CompanyPrefix)
        .SetOptional("Customer_Address", a.CustomerAddress_)
        .SetOptional("Customer_City", a.CustomerCity)
        .SetOptional("Customer_State", a.CustomerState)
        .SetOptional("Customer_Postal", a.CustomerPostal)
        .Set("Country_ID", a.CountryID)
        .SetOptional("Customer_Country", a.CountryName)
        .SetOptional("Customer_Phone", a.CustomerPhone)
        .SetOptional("Customer_Fax", a.CustomerFax)
        .SetOptional("Customer_Email", a.CustomerEmail)
        .SetOptional("Customer_Contact_Name", a.ContactName)
        .SetOptional("Customer_Contact_Phone", a.ContactPhone)
        .Set("Last_Update", LastUpdate);
    if (exists)
      row.Update(*conn, "Customer_Address", key);
    else
      row.Insert(*conn, "Customer_Address");
    return true;
  });
}

bool Customer::Get_Address(std::string PAddressCode) {
  return Trap([&] {
    auto conn = connection_rule::StringOnly(ConnectionString);
    auto rs =
        conn->Query("SELECT * FROM Customer_Address WHERE Customer_Code = ? AND Address_Code = ?",
                    {CustomerCode, PAddressCode});
    if (rs.empty()) return true;  // Address keeps its earlier values
    Row r = rs.front();
    qlnsales::CustomerAddress& a = Current(Address);
    auto if_text = [&r](const char* column, std::string& property) {
      auto s = r.Text(column);
      if (!s.empty()) property = std::move(s);
    };
    a.CustomerCode = r.Required("Customer_Code").ToText();
    a.AddressCode = r.Required("Address_Code").ToText();
    a.AddressDesc = r.Required("Address_Desc").ToText();
    if_text("Customer_Address", a.CustomerAddress_);
    if_text("Customer_City", a.CustomerCity);
    if_text("Customer_State", a.CustomerState);
    if_text("Customer_Postal", a.CustomerPostal);
    a.CountryID = r.Required("Country_ID").ToInt32();
    if_text("Customer_Phone", a.CustomerPhone);
    if_text("Customer_Fax", a.CustomerFax);
    if_text("Customer_Email", a.CustomerEmail);
    if_text("Customer_Contact_Name", a.ContactName);
    if_text("Customer_Contact_Phone", a.ContactPhone);
    a.CompanyPrefix = r.Required("Company_Prefix").ToText();
    return true;
  });
}

bool Customer::Get_Addresses() {
  return Trap([&] {
    if (!Addresses) throw Error("Object variable not set: the customer has no Addresses");
    auto conn = connection_rule::StringOnly(ConnectionString);
    auto rs = conn->Query("SELECT * FROM Customer_Address ORDER BY Address_Code");
    for (std::size_t i = 0; i < rs.size(); ++i) {
      Row r = rs[i];
      std::string key = std::to_string(i + 1);
      std::string customer = r.Text("Customer_Code");
      std::int32_t code = Value(convert::Trim(r.Text("Address_Code"))).ToInt32();
      std::string desc = r.Text("Address_Desc"), street = r.Text("Customer_Address"),
                  city = r.Text("Customer_City"), state = r.Text("Customer_State"),
                  postal = r.Text("Customer_Postal"), phone = r.Text("Customer_Phone"),
                  fax = r.Text("Customer_Fax"), email = r.Text("Customer_Email"),
                  contact = r.Text("Customer_Contact_Name"),
                  contact_phone = r.Text("Customer_Contact_Phone"),
                  company = r.Text("Company_Prefix"), country, no_key;
      std::int32_t country_id = r.Required("Country_ID").ToInt32();
      Address = Addresses->Add(key, customer, code, desc, street, city, state, postal, country_id,
                               phone, fax, email, contact, contact_phone, company, country, no_key);
    }
    return true;
  });
}

}  // namespace qlnsales
