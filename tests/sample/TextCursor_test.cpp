#include "sample/TextCursor.h"

#include "tests/support/TestUtil.h"

#include <string>

namespace {

/// Reads every integer of `text` with both readers and checks they agree.
void expect_same_integers(const std::string& text) {
    TextCursor slow(text.data(), text.data() + text.size());
    TextCursor fast(text.data(), text.data() + text.size());
    for (;;) {
        std::int32_t a = -7;
        std::int32_t b = -7;
        const auto ra = slow.read_int(a);
        const auto rb = fast.read_int_fast(b);
        ASSERT_EQ(ra, rb) << text;
        if (ra != TextCursor::Read::ok) break;
        EXPECT_EQ(a, b) << text;
        EXPECT_EQ(slow.line(), fast.line());
    }
}

}  // namespace

TEST(TextCursor, FastIntegerReaderAgreesWithTheGeneralOneAtItsEdges) {
    expect_same_integers("1 22 333 4444 55555 666666 7777777 88888888 999999999 1000000000 2147483647 x");
    expect_same_integers("   2147483648 1");
    expect_same_integers("0000000000012 3");
    expect_same_integers("12\n\t34 -5 +6 7");
    expect_same_integers("9");          // shorter than the fast path needs
    expect_same_integers("123456789");  // nine digits at the very end
    expect_same_integers("99999999999999999999 1 1 1 1 1 1 1");
}

TEST(TextCursor, NumbersEndWhereTheyCannotContinue) {
    const std::string text = "12abc 3.5e2x -0.25\r\n+7";
    TextCursor c(text.data(), text.data() + text.size());
    std::int32_t i = 0;
    double d = 0;
    EXPECT_EQ(c.read_int(i), TextCursor::Read::ok);
    EXPECT_EQ(i, 12);
    EXPECT_EQ(c.read_int(i), TextCursor::Read::not_a_number);
    EXPECT_EQ(c.peek_token(), "\"abc\"");
    c.skip_line();
    EXPECT_EQ(c.line(), 2);
    EXPECT_EQ(c.read_int(i), TextCursor::Read::ok);
    EXPECT_EQ(i, 7);
    EXPECT_EQ(c.read_real(d), TextCursor::Read::end);
    EXPECT_EQ(c.peek_token(), "the end of the file");

    const std::string reals = "3.5e2x -0.25 .5 1e999 inf";
    TextCursor r(reals.data(), reals.data() + reals.size());
    EXPECT_EQ(r.read_real(d), TextCursor::Read::ok);
    EXPECT_EQ(d, 350.0);
    EXPECT_EQ(r.read_real(d), TextCursor::Read::not_a_number);  // the "x"

    const std::string more = "-0.25 .5 1e999 inf";
    TextCursor m(more.data(), more.data() + more.size());
    EXPECT_EQ(m.read_real(d), TextCursor::Read::ok);
    EXPECT_EQ(d, -0.25);
    EXPECT_EQ(m.read_real(d), TextCursor::Read::ok);
    EXPECT_EQ(d, 0.5);
    EXPECT_EQ(m.read_real(d), TextCursor::Read::out_of_range);
}

TEST(TextCursor, InfinityIsNotANumberHere) {
    const std::string text = "inf -nan";
    TextCursor c(text.data(), text.data() + text.size());
    double d = 0;
    EXPECT_EQ(c.read_real(d), TextCursor::Read::not_a_number);
}
