// The layout of each document, for the code and the tests that walk what a document declares.
#pragma once

#include "documents/layout.h"
#include "qlnsales/cash_memo.h"
#include "qlnsales/delivery.h"
#include "qlnsales/direct_delivery.h"
#include "qlnsales/sales_invoice.h"
#include "qlnsales/sales_order.h"
#include "qlnsales/sales_return.h"

namespace qlnsales::documents {

const Layout<SalesOrder>& SalesOrderLayout();
const Layout<Delivery>& DeliveryLayout();
const Layout<DirectDelivery>& DirectDeliveryLayout();
const Layout<CashMemo>& CashMemoLayout();
const Layout<SalesInvoice>& SalesInvoiceLayout();
const Layout<SalesReturn>& SalesReturnLayout();

}  // namespace qlnsales::documents
