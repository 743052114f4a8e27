// QLNAccountsExt.DebitCreditNote: posts credit-memo vouchers. Its contract is in place for the
// sales return; the posting itself comes with the credit memo, and until then a call says so
// instead of pretending to post.
#include "services/service_object.h"

namespace qlnsales::services {
namespace {

class DebitCreditNote : public ServiceObject {
 public:
  bool Process_Voucher(std::string& voucherNo) {
    return Fail("Credit-memo voucher " + voucherNo +
                " was not posted: voucher posting is not available in this version.");
  }

  std::string_view ClassName() const override { return "QLNAccountsExt.DebitCreditNote"; }

 protected:
  const DispatchTable& Dispatch() const override {
    static const DispatchTable table = [] {
      DispatchBuilder<DebitCreditNote> b("QLNAccountsExt.DebitCreditNote");
      WithProperties(b, {"AdoConnectionObject", "ADOConnectionString", "VoucherNo",
                         "manualDocIdentity", "DocFlag", "LastUpdate"});
      b.Method("Process_Voucher", &DebitCreditNote::Process_Voucher);
      return b.Build();
    }();
    return table;
  }
};

}  // namespace

ObjectRef NewDebitCreditNote() {
  return std::make_shared<DebitCreditNote>();
}

}  // namespace qlnsales::services
