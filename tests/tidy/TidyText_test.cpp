#include "tidy/TidyText.h"

#include <cmath>
#include <limits>

#include <gtest/gtest.h>

TEST(TidyText, RealsAreShortestRoundTripAndMissingValuesReadAsSuch) {
    struct Case {
        double v;
        const char* text;
    };
    for (const Case c : {Case{0.1, "0.1"}, Case{1.0 / 3, "0.3333333333333333"}, Case{-2116.767, "-2116.767"},
                         Case{-0.0, "-0"}, Case{1e-7, "1e-07"}, Case{123456789012.0, "123456789012"},
                         Case{std::nan(""), "NA"}, Case{std::numeric_limits<double>::infinity(), "Inf"},
                         Case{-std::numeric_limits<double>::infinity(), "-Inf"}}) {
        std::string s;
        append_real(s, c.v);
        EXPECT_EQ(s, c.text);
    }
    std::string f;
    append_real(f, 2.0f / 3.0f);  // the float's own shortest text, not the double's
    EXPECT_EQ(f, "0.6666667");
}

TEST(TidyText, FieldsAndLabelsAreQuotedOnlyWhenTheyMustBe) {
    struct Case {
        const char* name;
        const char* tsv;
        const char* newick;
        const char* nexus;
    };
    for (const Case c : {
             Case{"ind01", "ind01", "ind01", "ind01"},
             Case{"Zoë", "Zoë", "Zoë", "Zoë"},
             Case{"Ind 1", "Ind 1", "'Ind 1'", "'Ind 1'"},
             Case{"O'Brien", "O'Brien", "'O''Brien'", "'O''Brien'"},
             Case{"say \"hi\"", "\"say \"\"hi\"\"\"", "'say \"hi\"'", "'say \"hi\"'"},
             Case{"a,b", "a,b", "'a,b'", "'a,b'"},
             Case{"x_y", "x_y", "'x_y'", "'x_y'"},
             Case{"p-q", "p-q", "p-q", "'p-q'"},
             Case{"back\\slash", "back\\slash", "'back\\slash'", "'back\\slash'"},
             Case{"#5", "#5", "#5", "#5"},
         }) {
        std::string tsv;
        append_tsv_field(tsv, c.name);
        EXPECT_EQ(tsv, c.tsv) << c.name;
        EXPECT_EQ(newick_label(c.name), c.newick) << c.name;
        EXPECT_EQ(nexus_word(c.name), c.nexus) << c.name;
    }
}
