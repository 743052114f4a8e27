// Placeholder while invoice processing is written; not to land as is.
#include "qlnsales/sales_invoice.h"

namespace qlnsales {

bool SalesInvoice::Process_Invoice() { return Fail("not written yet"); }

}  // namespace qlnsales
