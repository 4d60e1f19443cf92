#include "sample/TextFormat.h"

#include "tests/support/TestUtil.h"

#include <limits>

TEST(GeneralText, MatchesTheDefaultStreamFormat) {
    EXPECT_EQ(general_text(-12345.678), "-12345.7");
    EXPECT_EQ(general_text(0.5), "0.5");
    EXPECT_EQ(general_text(1.0), "1");
    EXPECT_EQ(general_text(0.998046875), "0.998047");
    EXPECT_EQ(general_text(123456.0), "123456");
    EXPECT_EQ(general_text(1234567.0), "1.23457e+06");
    EXPECT_EQ(general_text(0.0001), "0.0001");
    EXPECT_EQ(general_text(0.00001234), "1.234e-05");
    EXPECT_EQ(general_text(-0.0), "-0");
    EXPECT_EQ(general_text(0.1f), "0.1");  // a float level widened to double
    EXPECT_EQ(general_text(static_cast<double>(0.3f)), "0.3");
}

TEST(FixedPointText, WorkedExamples) {
    EXPECT_EQ(fixed_point_text(0.8, '.'), "0.80000");
    EXPECT_EQ(fixed_point_text(0.123456, '.'), "0.12346");
    EXPECT_EQ(fixed_point_text(1.0 / 3.0, '.'), "0.33333");
    EXPECT_EQ(fixed_point_text(1234.5678912, '.'), "1234.56790");
    EXPECT_EQ(fixed_point_text(9.0, '.'), "9.00000");
    EXPECT_EQ(fixed_point_text(0.998046875, '.'), "0.99805");
    EXPECT_EQ(fixed_point_text(0.0, '.'), "0.00000");
    EXPECT_EQ(fixed_point_text(1.0, '.'), "1.00000");
    EXPECT_EQ(fixed_point_text(0.015625, '.'), "0.01563");
}

TEST(FixedPointText, HalvesRoundAwayFromZeroAndTinyNegativesLoseTheirSign) {
    EXPECT_EQ(fixed_point_text(0.000005, '.'), "0.00001");
    EXPECT_EQ(fixed_point_text(-0.000005, '.'), "-0.00001");
    EXPECT_EQ(fixed_point_text(0.0000049, '.'), "0.00000");
    EXPECT_EQ(fixed_point_text(-0.0000049, '.'), "0.00000");
    EXPECT_EQ(fixed_point_text(-0.0, '.'), "0.00000");
    EXPECT_EQ(fixed_point_text(-0.5, '.'), "-0.50000");
    EXPECT_EQ(fixed_point_text(0.9999950001, '.'), "1.00000");
    // The digits come from the 18-digit decimal form: 0.999995 is stored as 0.99999499999999996...
    EXPECT_EQ(fixed_point_text(0.999995, '.'), "0.99999");
    EXPECT_EQ(fixed_point_text(static_cast<double>(0.3f), '.'), "0.30000");
}

TEST(FixedPointText, EighthSignificantDigitLimitsTheDecimals) {
    EXPECT_EQ(fixed_point_text(12345.678912, '.'), "12345.67900");
    EXPECT_EQ(fixed_point_text(1234567.89, '.'), "1234567.90000");
    EXPECT_EQ(fixed_point_text(12345678.9, '.'), "12345679.00000");
    EXPECT_EQ(fixed_point_text(99999999.5, '.'), "1.0000000E+08");
    EXPECT_EQ(fixed_point_text(123456789.0, '.'), "1.2345679E+08");
}

TEST(FixedPointText, UsesTheGivenSeparatorAndNamesNonFiniteValues) {
    EXPECT_EQ(fixed_point_text(0.8, ','), "0,80000");
    EXPECT_EQ(fixed_point_text(123456789.0, ','), "1,2345679E+08");
    EXPECT_EQ(fixed_point_text(std::numeric_limits<double>::quiet_NaN(), '.'), "NAN");
    EXPECT_EQ(fixed_point_text(-std::numeric_limits<double>::infinity(), '.'), "-INF");
}
