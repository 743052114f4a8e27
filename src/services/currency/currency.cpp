// QLNCurrency.Currency: amounts into a foreign currency at the latest rate on or before RateDate.
#include <cmath>

#include "services/service_object.h"

namespace qlnsales::services {
namespace {

class Currency : public ServiceObject {
 public:
  // Arguments:
  //   Amount        the amount in the local currency (by reference, not changed);
  //   CurrencyCode  the foreign currency (by reference, not changed);
  //   ExchangeRate  out: the rate used, local units for one foreign unit;
  //   RateDateUsed  out: the date of that rate;
  //   Decimals      optional: round the result to this many decimals, halves to even.
  // Result: Amount / ExchangeRate. No rate for the currency on or before RateDate is an error.
  double Convert_Into_FC(double& Amount, std::string& CurrencyCode, double& ExchangeRate,
                         Date& RateDateUsed, std::optional<double> Decimals) {
    auto conn = Connection::Pooled(Text("ConnectionString"));
    Date on = P("RateDate").ToDate();
    auto rs = conn->Query(
        "SELECT Exchange_Rate, Rate_Date FROM Exchange_Rate_Master WHERE Currency_Code = ? AND "
        "Rate_Date <= ? ORDER BY Rate_Date DESC LIMIT 1",
        {Value(CurrencyCode), Value(on)});
    if (rs.empty() || rs.front().IsNull("Exchange_Rate") || rs.front().Double("Exchange_Rate") <= 0)
      throw Error("No exchange rate for " + CurrencyCode + " on or before " +
                  convert::FormatDayMonthName(on));
    ExchangeRate = rs.front().Double("Exchange_Rate");
    RateDateUsed = rs.front().DateValue("Rate_Date");
    double result = Amount / ExchangeRate;
    if (Decimals) result = convert::RoundHalfEven(result, static_cast<int>(*Decimals));
    return result;
  }

  std::string_view ClassName() const override { return "QLNCurrency.Currency"; }

 protected:
  const DispatchTable& Dispatch() const override {
    static const DispatchTable table = [] {
      DispatchBuilder<Currency> b("QLNCurrency.Currency");
      WithProperties(b, {"ConnectionString", "Database", "RateDate"});
      b.Method("Convert_Into_FC", &Currency::Convert_Into_FC);
      return b.Build();
    }();
    return table;
  }
};

}  // namespace

ObjectRef NewCurrency() {
  return std::make_shared<Currency>();
}

}  // namespace qlnsales::services
