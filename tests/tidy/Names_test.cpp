#include "tidy/Names.h"

#include "tests/support/TestUtil.h"

#include <gtest/gtest.h>

namespace {

using Names = std::vector<std::string>;

}  // namespace

TEST(Names, ListsAndTablesInEveryAcceptedShape) {
    struct Case {
        const char* what;
        std::string text;
        Names names;
        Names groups;
    };
    const std::vector<Case> cases = {
        {"list", "a\nb c\nd\n", {"a", "b c", "d"}, {}},
        {"CR LF, BOM, no final newline",
         "\xEF\xBB\xBF"
         "a\r\nb c\r\nd",
         {"a", "b c", "d"},
         {}},
        {"trailing blank lines", "a\nb c\nd\n\n \r\n\n", {"a", "b c", "d"}, {}},
        {"spaces kept", " a\nb \nd\n", {" a", "b ", "d"}, {}},
        {"table", "name\tgroup\na\tg1\nb c\tg2\nd\t\n", {"a", "b c", "d"}, {"g1", "g2", ""}},
        {"table by individual, R quoting, extra column",
         "\"individual\"\t\"name\"\t\"height\"\n\"3\"\t\"d\"\t1\n\"1\"\t\"say \"\"hi\"\"\"\t2\n2\tb c\t3\n",
         {"say \"hi\"", "b c", "d"},
         {}},
        {"one-column table", "name\r\na\r\nb c\r\nd\r\n", {"a", "b c", "d"}, {}},
    };
    for (const Case& c : cases) {
        const NamesFile f = read_names(c.text, "names.txt", 3);
        EXPECT_EQ(f.error, "") << c.what;
        EXPECT_EQ(f.names, c.names) << c.what;
        EXPECT_EQ(f.groups, c.groups) << c.what;
    }
}

TEST(Names, EachProblemIsNamedWithItsLine) {
    struct Case {
        std::string text;
        const char* error;
    };
    const std::vector<Case> cases = {
        {"", "n.txt line 1: the file holds no names, but the run has 3 individuals."},
        {"a\nb\n", "n.txt line 2: the file ends after 2 names, but the run has 3 individuals."},
        {"a\nb\nc\nd\n", "n.txt line 4: a name for individual 4, but the run has 3 individuals."},
        {"a\n\nc\n", "n.txt line 2: the name is empty."},
        {"a\n  \nc\n", "n.txt line 2: the name is only spaces."},
        {"a\nb\na\n", "n.txt line 3: the name 'a' is already given on line 1."},
        {"a\tx\nb\nc\n",
         "n.txt line 1: the name holds a tab; a file with several columns needs a header row with a 'name' column."},
        {"a\nb\rc\nd\n", "n.txt line 2: the name holds the control character 0x0D."},
        {"a\nZo\xEB\nc\n", "n.txt line 2: the name is not valid UTF-8 (byte 0xEB at byte 3 of the name)."},
        {"a\n\xC0\xAF\nc\n", "n.txt line 2: the name is not valid UTF-8 (byte 0xC0 at byte 1 of the name)."},
        {"name\tname\na\ta\n", "n.txt line 1: the header has more than one 'name' column."},
        {"name\tgroup\na\tg\nb\n", "n.txt line 3: 1 field, but the header has 2."},
        {"name\tgroup\n1\ta\tg\n",
         "n.txt line 2: 3 fields, but the header has 2 (a table written with row names? write it without)."},
        // A one-column table could be a list naming its first individual "name": the message says why not.
        {"name\na\nb\n",
         "n.txt line 3: the file ends without a name for individual 3; the run has 3 individuals (the file was read "
         "as a table with a header row, since its first line is 'name'; a list cannot name its first individual "
         "'name')."},
        {"name\tindividual\na\t1\nb\tx\n", "n.txt line 3: the individual 'x' is not a whole number."},
        {"name\tindividual\na\t1\nb\t4\n", "n.txt line 3: individual 4 is outside 1..3."},
        {"name\tindividual\na\t2\nb\t2\n", "n.txt line 3: individual 2 is already named on line 2."},
        {"name\tindividual\na\t3\nb\t1\n",
         "n.txt line 3: the file ends without a name for individual 2; the run has 3 individuals."},
        {"name\na\nb\nc\nd\n",
         "n.txt line 5: a name for individual 4, but the run has 3 individuals (the file was read as a table with a "
         "header row, since its first line is 'name'; a list cannot name its first individual 'name')."},
        {"name\tindividual\na\t99999999999\n", "n.txt line 2: individual 99999999999 is outside 1..3."},
    };
    for (const Case& c : cases) {
        const NamesFile f = read_names(c.text, "n.txt", 3);
        EXPECT_EQ(f.error, c.error) << c.text;
        EXPECT_TRUE(f.names.empty()) << c.text;
    }
}

TEST(Names, FileThatCannotBeReadAndNumberedNames) {
    testutil::TempDir dir;
    EXPECT_EQ(read_names_file(dir.file("none.txt"), 2).error,
              "Cannot read the names file " + dir.file("none.txt") + ": No such file or directory.");
    testutil::write_text(dir.file("n.txt"), "x\ny\n");
    EXPECT_EQ(read_names_file(dir.file("n.txt"), 2).names, (Names{"x", "y"}));
    EXPECT_EQ(numbered_names(3), (Names{"1", "2", "3"}));
}
