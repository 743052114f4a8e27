#include "qlnsales/customer_address.h"

#include "base/convert.h"
#include "qlnsales/business_object.h"

namespace qlnsales {

CustomerAddress::CustomerAddress() : debug_id_(GetNextClassDebugID()) {}

const DispatchTable& CustomerAddress::Dispatch() const {
  using C = CustomerAddress;
  static const DispatchTable table = DispatchBuilder<C>("QLNSales.CustomerAddress")
                                         .Prop("Key", &C::Key)
                                         .Prop("CountryName", &C::CountryName)
                                         .Prop("AddressDesc", &C::AddressDesc)
                                         .Prop("CustomerPostal", &C::CustomerPostal)
                                         .Prop("CustomerCode", &C::CustomerCode)
                                         .Prop("CompanyPrefix", &C::CompanyPrefix)
                                         .Prop("ContactPhone", &C::ContactPhone)
                                         .Prop("ContactName", &C::ContactName)
                                         .Prop("CustomerEmail", &C::CustomerEmail)
                                         .Prop("CustomerFax", &C::CustomerFax)
                                         .Prop("CustomerPhone", &C::CustomerPhone)
                                         .Prop("CountryID", &C::CountryID)
                                         .Prop("CustomerState", &C::CustomerState)
                                         .Prop("CustomerCity", &C::CustomerCity)
                                         .Prop("CustomerAddress", &C::CustomerAddress_)
                                         .Prop("AddressCode", &C::AddressCode)
                                         .ReadOnly("ClassDebugID", &C::ClassDebugID)
                                         .Build();
  return table;
}

CustomerAddressRef CustomerAddresses::Add(std::string& Key, std::string& CustomerCode,
                                          std::int32_t& AddressCode, std::string& AddressDesc,
                                          std::string& CustomerAddress, std::string& CustomerCity,
                                          std::string& CustomerState, std::string& CustomerPostal,
                                          std::int32_t& CountryID, std::string& CustomerPhone,
                                          std::string& CustomerFax, std::string& CustomerEmail,
                                          std::string& ContactName, std::string& ContactPhone,
                                          std::string& CompanyPrefix, std::string& CountryName,
                                          std::string& sKey) {
  if (!sKey.empty())
    for (const auto& k : keys_)
      if (k == sKey)
        throw Error("This key is already associated with an element of this collection: '" + sKey +
                    "'");
  auto a = std::make_shared<qlnsales::CustomerAddress>();
  a->Key = Key;
  a->CustomerCode = CustomerCode;
  a->AddressCode = std::to_string(AddressCode);
  a->AddressDesc = AddressDesc;
  a->CustomerAddress_ = CustomerAddress;
  a->CustomerCity = CustomerCity;
  a->CustomerState = CustomerState;
  a->CustomerPostal = CustomerPostal;
  a->CountryID = CountryID;
  a->CountryName = CountryName;
  a->CustomerPhone = CustomerPhone;
  a->CustomerFax = CustomerFax;
  a->CustomerEmail = CustomerEmail;
  a->ContactName = ContactName;
  a->ContactPhone = ContactPhone;
  a->CompanyPrefix = CompanyPrefix;
  items_.push_back(a);
  keys_.push_back(sKey);
  return a;
}

std::size_t CustomerAddresses::IndexOf(const Value& v) const {
  if (v.IsNumber()) {
    auto pos = v.ToInt64();
    if (pos < 1 || pos > static_cast<std::int64_t>(items_.size()))
      throw Error("The collection has no address at position " + std::to_string(pos));
    return static_cast<std::size_t>(pos - 1);
  }
  if (v.kind() == Value::Kind::Text) {
    const auto& key = std::get<std::string>(v.storage());
    for (std::size_t i = 0; i < keys_.size(); ++i)
      if (!key.empty() && keys_[i] == key) return i;
    throw Error("The collection has no address with key '" + key + "'");
  }
  throw Error("An address is found by its position (a number) or its key (a text)");
}

CustomerAddressRef CustomerAddresses::Item(Value vntIndexKey) const {
  return items_[IndexOf(vntIndexKey)];
}

void CustomerAddresses::Remove(Value vntIndexKey) {
  auto i = IndexOf(vntIndexKey);
  items_.erase(items_.begin() + static_cast<std::ptrdiff_t>(i));
  keys_.erase(keys_.begin() + static_cast<std::ptrdiff_t>(i));
}

const DispatchTable& CustomerAddresses::Dispatch() const {
  using C = CustomerAddresses;
  static const DispatchTable table = DispatchBuilder<C>("QLNSales.CustomerAddresses")
                                         .Method("Add", &C::Add)
                                         .Method("Item", &C::Item)
                                         .Method("Remove", &C::Remove)
                                         .ReadOnly("Count", &C::Count)
                                         .Build();
  return table;
}

}  // namespace qlnsales
