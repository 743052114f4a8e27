#include <gtest/gtest.h>

#include <cmath>

#include "base/convert.h"

namespace qlnsales {
namespace {

using namespace convert;

TEST(Convert, LenientValueTakesTheLeadingNumber) {
  EXPECT_EQ(Val("12.5kg"), 12.5);
  EXPECT_EQ(Val("  -3e2 boxes"), -300);
  EXPECT_EQ(Val("abc"), 0);
  EXPECT_EQ(Val(""), 0);
  EXPECT_EQ(Val(".5"), 0.5);
  EXPECT_EQ(Val("7e"), 7);  // an exponent without digits is not part of the number
}

TEST(Convert, StrictConversionRefusesWhatIsNotANumber) {
  EXPECT_EQ(TextToDouble(" 42.25 "), 42.25);
  EXPECT_THROW(TextToDouble("12abc"), Error);
  EXPECT_THROW(TextToDouble(""), Error);
  try {
    TextToDouble("x");
  } catch (const Error& e) {
    EXPECT_STREQ(e.what(), "Type mismatch");
  }
  EXPECT_THROW(Value("True").ToDouble(), Error);
  EXPECT_EQ(Value("-1").ToInt32(), -1);
  EXPECT_THROW(Value(3e10).ToInt32(), Error);
  EXPECT_TRUE(Value("true").ToBool());
  EXPECT_FALSE(Value("0").ToBool());
  EXPECT_THROW(Value("maybe").ToBool(), Error);
}

TEST(Convert, RoundingHalvesGoToEven) {
  EXPECT_EQ(RoundHalfEven(2.5), 2);
  EXPECT_EQ(RoundHalfEven(3.5), 4);
  EXPECT_EQ(RoundHalfEven(-2.5), -2);
  EXPECT_DOUBLE_EQ(RoundHalfEven(0.125, 2), 0.12);
  EXPECT_DOUBLE_EQ(RoundHalfEven(0.135, 2), 0.14);
  EXPECT_DOUBLE_EQ(RoundHalfEven(1.2345678, 3), 1.235);
  EXPECT_DOUBLE_EQ(RoundHalfEven(10.0 / 3.0, 3), 3.333);
  EXPECT_EQ(Value(2.5).ToInt32(), 2);
  EXPECT_EQ(Value(3.5).ToInt32(), 4);
  EXPECT_TRUE(std::isnan(RoundHalfEven(NAN, 2)));
  // A caller's decimals count: whole, never negative, never past 15, a NaN as none.
  EXPECT_EQ(DecimalPlaces(2.5), 2);
  EXPECT_EQ(DecimalPlaces(3), 3);
  EXPECT_EQ(DecimalPlaces(-3), 0);
  EXPECT_EQ(DecimalPlaces(40), 15);
  EXPECT_EQ(DecimalPlaces(NAN), 0);
}

TEST(Convert, NumbersPrintWithFifteenSignificantDigits) {
  EXPECT_EQ(NumberToText(1.5), "1.5");
  EXPECT_EQ(NumberToText(100), "100");
  EXPECT_EQ(NumberToText(0.1 + 0.2), "0.3");
  EXPECT_EQ(NumberToText(-0.0001), "-0.0001");
  EXPECT_EQ(NumberToText(1e20), "1E+20");
  EXPECT_EQ(NumberToText(123456789012345.0), "123456789012345");
  EXPECT_EQ(NumberToText(1.0 / 3.0), "0.333333333333333");
  EXPECT_EQ(Value(1234.5).ToText(), "1234.5");
  EXPECT_EQ(Value(true).ToText(), "True");
}

TEST(Convert, DateTextsAreLocaleFree) {
  Date d = Date::FromYmd(2026, 12, 3, 14, 5, 9);
  EXPECT_EQ(FormatDayMonthName(d), "03/Dec/2026");
  EXPECT_EQ(FormatDayMonthNumber(d), "03/12/2026");
  EXPECT_EQ(FormatIso(d), "2026-12-03 14:05:09");
  EXPECT_EQ(FormatIso(Date::FromYmd(2026, 1, 31)), "2026-01-31");

  EXPECT_EQ(ParseDate("03/Dec/2026"), Date::FromYmd(2026, 12, 3));
  EXPECT_EQ(ParseDate("3/dec/2026"), Date::FromYmd(2026, 12, 3));
  EXPECT_EQ(ParseDate("31/01/2026"), Date::FromYmd(2026, 1, 31));
  EXPECT_EQ(ParseDate("2026-02-28T10:30:00"), Date::FromYmd(2026, 2, 28, 10, 30));
  EXPECT_EQ(ParseDate("2026-02-28 10:30:00.123"), Date::FromYmd(2026, 2, 28, 10, 30));
  EXPECT_FALSE(ParseDate("31/02/2026"));
  EXPECT_FALSE(ParseDate("2026-13-01"));
  EXPECT_FALSE(ParseDate("03/Dez/2026"));
  EXPECT_FALSE(ParseDate("yesterday"));
  EXPECT_THROW(Value("not a date").ToDate(), Error);
  // A fresh date property is the zero date of the front end.
  EXPECT_EQ(Date{}, Date::FromYmd(1899, 12, 30));
  EXPECT_EQ(Value(1.5).ToDate(), Date::FromYmd(1899, 12, 31, 12));
}

TEST(Convert, DatesStayWithinTheFourDigitYears) {
  // The first and last days a date number reaches; a day beyond either is an overflow, so every
  // date the module holds prints as text that reads back.
  EXPECT_EQ(Value(-693593.0).ToDate(), Date::FromYmd(1, 1, 1));
  EXPECT_EQ(Value(2958465.5).ToDate(), Date::FromYmd(9999, 12, 31, 12));
  EXPECT_EQ(ParseDate(FormatIso(Value(2958465.5).ToDate())), Date::FromYmd(9999, 12, 31, 12));
  for (double serial : {2958466.0, -693594.0, 3e6, -3e6})
    EXPECT_THROW(Value(serial).ToDate(), Error) << serial;
  EXPECT_THROW(Value(std::int64_t{2958466}).ToDate(), Error);
  EXPECT_EQ(ParseDate("0001-01-01"), Date::FromYmd(1, 1, 1));
  EXPECT_FALSE(ParseDate("0000-01-01"));
  EXPECT_FALSE(ParseDate("01/01/0000"));
  EXPECT_FALSE(ParseDate("10000-01-01"));
  EXPECT_THROW(Value("0000-12-31").ToDate(), Error);
}

TEST(Convert, PositionCutsAreOneBasedAndNeverFail) {
  EXPECT_EQ(Mid("0102SORTMP57", 5, 3), "SOR");
  EXPECT_EQ(Mid("0102SOR58", 8), "58");
  EXPECT_EQ(Mid("01", 5), "");
  EXPECT_EQ(Left("0101", 2), "01");
  EXPECT_EQ(Left("0", 2), "0");
  EXPECT_EQ(Right("ABCDEF", 2), "EF");
  EXPECT_EQ(Trim("  x y \t"), "x y");
  EXPECT_TRUE(EqualsNoCase("MsAccess", "MSACCESS"));
  EXPECT_THROW(Mid("abc", 0), Error);
}

}  // namespace
}  // namespace qlnsales
