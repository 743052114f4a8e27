// qlnsales: create databases, run the demo, check the books, print reports, and drive every object
// by name through JSON lines.
#include <fmt/core.h>
#include <CLI/CLI.hpp>

#include <fstream>
#include <iostream>

#include "automation.h"
#include "commands.h"
#include "qlnsales/value.h"
#include "report.h"

namespace qlnsales::cli {

int Run(const std::string& file) {
  AutomationSession session;
  if (file.empty() || file == "-") return session.Run(std::cin, std::cout);
  std::ifstream in(file);
  if (!in) throw Error("cannot read " + file);
  return session.Run(in, std::cout);
}

}  // namespace qlnsales::cli

int main(int argc, char** argv) {
  CLI::App app{
      "qlnsales - the sales module: customers, orders, deliveries, cash memos, invoices, "
      "returns and tax.\nDB is a connection string (sqlite:PATH, postgresql://..., "
      "key=value ...) or a file path meaning SQLite."};
  app.require_subcommand(1);
  app.footer(
      "Exit status: 0 success, 1 the command ran and found a problem (failed requests, "
      "broken books), 2 it could not run.");

  std::string init_db;
  bool sample = false;
  auto* init = app.add_subcommand("init", "Create the schema in DB, or bring it up to date");
  init->add_option("DB", init_db, "Database to create or migrate")->required();
  init->add_flag("--sample", sample,
                 "Also add a small sample company (company 01, branches 01 and 02)");

  std::string demo_db;
  auto* demo = app.add_subcommand("demo", "Tell a short sales story on a fresh embedded database");
  demo->add_option("DB", demo_db,
                   "Keep the database here (default: a temporary file, removed after)");

  std::string run_file = "-";
  auto* run = app.add_subcommand(
      "run", "Drive objects by name: one JSON request per input line, one JSON answer per line");
  run->add_option("FILE", run_file, "Requests to read (default: standard input)");

  std::string check_db;
  auto* check = app.add_subcommand("check", "Check the books of DB and print every violation");
  check->add_option("DB", check_db, "Database to check")->required();

  qlnsales::cli::ReportRequest report_request;
  auto* report = app.add_subcommand("report", "Print a report on the books of DB");
  report->add_option("DB", report_request.db, "Database to report on (it must exist)")->required();
  std::string names;
  for (const auto& r : qlnsales::cli::ReportDefinitions())
    names += fmt::format("\n  {:<14} {}", r.name, r.summary);
  report->add_option("NAME", report_request.name, "The report, one of:" + names)->required();
  report->add_option("--format", report_request.format,
                     "table (for people, the default), csv (RFC 4180) or json");
  report->add_option("--as-of", report_request.as_of,
                     "yyyy-mm-dd: only what is dated on or before it (trial-balance, ledger, "
                     "statement); the day aging counts from (default today)");
  report->add_option("--customer", report_request.customer,
                     "Customer code: the statement's customer (required), or one customer only "
                     "(customers, documents, aging)");

  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    int code = app.exit(e);
    return code == 0 ? 0 : 2;
  }
  try {
    if (*init) return qlnsales::cli::Init(init_db, sample);
    if (*demo) return qlnsales::cli::Demo(demo_db);
    if (*run) return qlnsales::cli::Run(run_file);
    if (*check) return qlnsales::cli::Check(check_db);
    if (*report) return qlnsales::cli::RunReport(report_request, std::cout);
  } catch (const std::exception& e) {
    std::cerr << "qlnsales: " << e.what() << '\n';
    return 2;
  }
  return 0;
}
