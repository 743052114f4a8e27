// qlnsales: create databases and run the demo.
#include <CLI/CLI.hpp>
#include <fmt/core.h>

#include <filesystem>
#include <iostream>

#include "commands.h"
#include "qlnsales/value.h"

int main(int argc, char** argv) {
  CLI::App app{"qlnsales - the sales module: customers, orders, deliveries, cash memos, invoices, "
               "returns and tax"};
  app.require_subcommand(1);

  std::string init_db;
  bool sample = false;
  auto* init = app.add_subcommand("init", "Create (or bring up to date) the schema in a database");
  init->add_option("DB", init_db, "A connection string, or a file path meaning SQLite")->required();
  init->add_flag("--sample", sample, "Add a small sample company to work with");

  std::string demo_db;
  auto* demo = app.add_subcommand("demo", "Run a short sales story on a fresh embedded database");
  demo->add_option("DB", demo_db, "Where to keep the database (default: a temporary file)");

  CLI11_PARSE(app, argc, argv);
  try {
    if (*init) return qlnsales::cli::Init(init_db, sample);
    if (*demo) return qlnsales::cli::Demo(demo_db);
  } catch (const qlnsales::Error& e) {
    std::cerr << "qlnsales: " << e.what() << '\n';
    return 2;
  }
  return 0;
}
