#include "sample/Exceptions.h"

#include "tests/support/TestUtil.h"

TEST(Exceptions, MessageIsPrefixedWithNothingBetween) {
    EXPECT_STREQ(Exceptions("get_sample out of range !").what(), "Exception: get_sample out of range !");
    EXPECT_STREQ(Exceptions("").what(), "Exception: ");
}

TEST(Exceptions, CopiesKeepTheirOwnMessageAndRaiseUsesTheType) {
    Exceptions a("abc");
    const Exceptions b = a;
    EXPECT_STREQ(b.what(), "Exception: abc");
    EXPECT_NE(a.what(), b.what());
    EXPECT_THROW_MSG(raise_exception("fill_mc_sample indiv out of range !"), std::exception,
                     "Exception: fill_mc_sample indiv out of range !");
}
