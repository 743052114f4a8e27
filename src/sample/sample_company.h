// Builders for reference data (branches, currencies, accounts, items, locations, preferences,
// document series), used by `qlnsales init --sample`, the demo and the test fixtures, so that
// each states only what matters to it.
#pragma once

#include <functional>
#include <string>

#include "qlnsales/connection.h"

namespace qlnsales::refdata {

void AddBranch(Connection& c, const std::string& company, const std::string& branch,
               const std::string& name);
void AddCurrency(Connection& c, const std::string& code, const std::string& name,
                 const std::string& symbol);
void AddExchangeRate(Connection& c, const std::string& currency, const Date& date, double rate);
void AddAccount(Connection& c, const std::string& account_no, const std::string& name,
                const std::string& type);
// Item codes are stored with the company prefix in front ("01" + "P100").
void AddItem(Connection& c, const std::string& item_code, const std::string& name, int item_type,
             const std::string& unit, const std::string& tax_type = "Taxable");
void AddLocation(Connection& c, const std::string& company, const std::string& branch, int id,
                 const std::string& name);
void AddSeries(Connection& c, const std::string& company, const std::string& branch,
               const std::string& prefix, const std::string& name, double next_no = 1,
               bool manual = false);
// Opening stock of an item at a location: the item's stock and cost, its location stock and an
// "Opening" stock movement, so that stock equals the sum of movements from the start.
void AddOpeningStock(Connection& c, const std::string& company, const std::string& branch,
                     const std::string& item_code, int location, double quantity, double unit_cost);
void SetSalesPreferences(Connection& c, const std::string& company, const std::string& branch);
void SetAccountPreferences(Connection& c, const std::string& company, const std::string& branch);

// Company 01 with branches 01 and 02, a local and a foreign currency with rates, a chart of
// accounts, preferences, items, locations, a tax authority and code per branch, and the
// series of every document class. Returns
// false (and adds nothing) when branch 01 of company 01 is already there. `step`, when given,
// hears each part as it starts (its number from 1, the count of parts and its name), so that a
// slow server can be watched.
bool AddSampleCompany(Connection& c,
                      const std::function<void(int part, int parts, const char* name)>& step = {});

}  // namespace qlnsales::refdata
