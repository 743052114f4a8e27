// The document counters of each series: a temporary counter for saved documents and the series
// counter for processed ones, both in Document_Prefix.
#pragma once

#include <optional>
#include <string>

#include "qlnsales/business_object.h"

namespace qlnsales::services {

class CounterTransaction : public BusinessObject {
 public:
  std::string CompanyPrefix;
  std::string BranchPrefix;
  std::string DocumentPrefix;
  // Accepted for callers that set it; the counters check nothing that it could skip.
  bool SkipChecking = false;
  // The connection Increase_Counter moves the counter on with when nothing was drawn first (a
  // number the user gave still moves the series on); a draw's own connection comes first.
  ConnectionRef AdoConnectionObject;

  // Reserves the next number of the series (the temporary counter when `temporary` is True)
  // with one atomic statement on the caller's connection, so two users never get the same
  // number. A series without a row starts at 1 and gets its row.
  bool Get_Last_Counter(ConnectionRef& connection, std::optional<bool> temporary);
  // The number reserved by the last Get_Last_Counter.
  std::int32_t NextDocumentNo() const { return reserved_.value_or(0); }
  // Confirms the reservation of this object; without one (or for the other counter) it moves the
  // counter on by one, through the drawing connection or else AdoConnectionObject.
  bool Increase_Counter(std::optional<bool> temporary);

  std::string_view ClassName() const override { return "QLNSystem.CounterTransaction"; }

 protected:
  const DispatchTable& Dispatch() const override;

 private:
  ConnectionRef conn_;
  std::optional<std::int32_t> reserved_;
  bool reserved_temporary_ = false;
};

}  // namespace qlnsales::services
