#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include <unistd.h>

#include "commands.h"
#include "support/fixture.h"

namespace qlnsales::testing {
namespace {

class CheckCommandTest : public DbTest {};

TEST_F(CheckCommandTest, ChecksAnExistingDatabaseOnlyAndTellsWhatItChecked) {
  ::testing::internal::CaptureStdout();
  EXPECT_EQ(cli::Check(cs), 0);
  std::string out = ::testing::internal::GetCapturedStdout();
  EXPECT_NE(out.find("  Checked ledger: "), std::string::npos) << out;
  EXPECT_NE(out.find("  Checked documents: 0 sales orders (0 processed), 0 deliveries"),
            std::string::npos)
      << out;
  EXPECT_NE(out.find("  The books hold"), std::string::npos) << out;

  conn->Execute("UPDATE Item_Master SET Stock_Amount = Stock_Amount + 1 WHERE Item_Code = ?",
                {"01P100"});
  ::testing::internal::CaptureStdout();
  EXPECT_EQ(cli::Check(cs), 1);
  out = ::testing::internal::GetCapturedStdout();
  EXPECT_NE(out.find("\n  Item 01P100 has stock amount 251 but its movements' amounts sum to "
                     "250\n"),
            std::string::npos)
      << out;
  EXPECT_EQ(out.find("The books hold"), std::string::npos) << out;

  // A path with no database behind it is refused, and no empty database is left there.
  // A name of this process's own: suites of other trees may run beside this one.
  const auto missing = std::filesystem::temp_directory_path() /
                       ("qlnsales-check-missing-" + std::to_string(getpid()) + ".db");
  std::filesystem::remove(missing);
  for (const std::string& db : {missing.string(), "sqlite:" + missing.string()}) {
    try {
      cli::Check(db);
      ADD_FAILURE() << "checked " << db;
    } catch (const Error& e) {
      EXPECT_EQ(std::string(e.what()), "there is no database at " + missing.string());
    }
    EXPECT_FALSE(std::filesystem::exists(missing)) << db;
  }
  // A file that holds no database of this module is not passed as sound books.
  { std::ofstream(missing.string()) << ""; }
  EXPECT_THROW(
      {
        try {
          cli::Check(missing.string());
        } catch (const Error& e) {
          EXPECT_EQ(std::string(e.what()),
                    missing.string() + " holds no qlnsales database; create it with qlnsales init");
          throw;
        }
      },
      Error);
  std::filesystem::remove(missing);
}

}  // namespace
}  // namespace qlnsales::testing
