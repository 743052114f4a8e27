// A customer's delivery or contact address, and the collection of them.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "qlnsales/object.h"

namespace qlnsales {

class CustomerAddress : public Object {
 public:
  CustomerAddress();  // takes its debug id; an exhausted id counter is an Error ("Overflow")

  std::string Key;
  std::string CountryName;
  std::string AddressDesc;
  std::string CustomerPostal;
  std::string CustomerCode;
  std::string CompanyPrefix;
  std::string ContactPhone;
  std::string ContactName;
  std::string CustomerEmail;
  std::string CustomerFax;
  std::string CustomerPhone;
  std::int32_t CountryID = 0;
  std::string CustomerState;
  std::string CustomerCity;
  std::string
      CustomerAddress_;  // property "CustomerAddress" (a member cannot share the class name)
  std::string AddressCode;
  std::int32_t ClassDebugID() const { return debug_id_; }

  std::string_view ClassName() const override { return "QLNSales.CustomerAddress"; }

 protected:
  const DispatchTable& Dispatch() const override;

 private:
  std::int32_t debug_id_;
};

using CustomerAddressRef = std::shared_ptr<CustomerAddress>;

// Addresses in insertion order, each with an optional unique text key. Positions count from 1.
class CustomerAddresses : public Object {
 public:
  CustomerAddressRef Add(std::string& Key, std::string& CustomerCode, std::int32_t& AddressCode,
                         std::string& AddressDesc, std::string& CustomerAddress,
                         std::string& CustomerCity, std::string& CustomerState,
                         std::string& CustomerPostal, std::int32_t& CountryID,
                         std::string& CustomerPhone, std::string& CustomerFax,
                         std::string& CustomerEmail, std::string& ContactName,
                         std::string& ContactPhone, std::string& CompanyPrefix,
                         std::string& CountryName, std::string& sKey);
  // By 1-based position (a number) or by key (a text); anything else is an Error.
  CustomerAddressRef Item(Value vntIndexKey) const;
  void Remove(Value vntIndexKey);
  std::int32_t Count() const { return static_cast<std::int32_t>(items_.size()); }

  auto begin() const { return items_.begin(); }
  auto end() const { return items_.end(); }

  std::string_view ClassName() const override { return "QLNSales.CustomerAddresses"; }

 protected:
  const DispatchTable& Dispatch() const override;

 private:
  std::size_t IndexOf(const Value& index_or_key) const;
  std::vector<CustomerAddressRef> items_;
  std::vector<std::string> keys_;  // "" for an address added without key
};

using CustomerAddressesRef = std::shared_ptr<CustomerAddresses>;

}  // namespace qlnsales
