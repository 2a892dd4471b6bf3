// The display form of Date: values, readable and not.
#include "mail/mail_date.h"

#include <gtest/gtest.h>

#include <string>

namespace pw {
namespace {

struct DateCase {
  const char* value;
  const char* expected;
};

class MailDate : public ::testing::TestWithParam<DateCase> {};

TEST_P(MailDate, showsTheFixedForm) { EXPECT_EQ(mail_date_display(GetParam().value), GetParam().expected); }

// The placeholder spelled out: other modules and the log show these bytes.
constexpr const char* kBad = "??\\?? ??:??:??";

INSTANTIATE_TEST_SUITE_P(
    Readable, MailDate,
    ::testing::Values(DateCase{"Tue, 7 Dec 2004 09:05:03 +0800", "2004/12/07 09:05:03"},
                      DateCase{"07 dec 04 9:5:3 GMT", "2004/12/07 09:05:03"},
                      DateCase{"  Wed, 01 JAN 2020 23:59:59 -0000  ", "2020/01/01 23:59:59"},
                      DateCase{"Mon,7 September 1998 12:00:00 EST", "1998/09/07 12:00:00"},
                      DateCase{"7 Foo 2004 10:00:00 +0800", "2004/\?\?/07 10:00:00"},
                      DateCase{"7 Dec 2004 10:00:00", "2004/12/07 00:00:00"},  // no zone: the time is dropped
                      DateCase{"7 Dec 04 25:61:00 +0800", "2004/12/07 00:00:00"},
                      DateCase{"7 Dec 04 -1:30:-5 +0800", "2004/12/07 00:30:00"},
                      DateCase{"7 Dec 04 10 +0800", "2004/12/07 10:00:00"},
                      DateCase{"7 Dec 04 10:x:30 +0800", "2004/12/07 10:00:00"},
                      DateCase{"7 Dec 04 99999999999999999999:1:1 +0800", "2004/12/07 00:01:01"},
                      DateCase{"7 Dec 49 10:00:00 +0800", "2049/12/07 10:00:00"},
                      DateCase{"7 Dec 50 10:00:00 +0800", "1950/12/07 10:00:00"},
                      DateCase{"7-Dec 2004 10:00:00 +0800", "2004/12/07 10:00:00"},  // any separator
                      DateCase{"7 Dec abcd 1:2:3 +0800", "abcd/12/07 01:02:03"},   // year need not be digits
                      DateCase{"7 De 2004 1:2:3 +0800", "2004/\?\?/07 01:02:03"},
                      // A long zone comment is cut with the working copy; date and time still read.
                      DateCase{"Tue, 7 Dec 2004 09:05:03 +0800 (China Standard Time, a rather long comment)",
                               "2004/12/07 09:05:03"}));

INSTANTIATE_TEST_SUITE_P(Unreadable, MailDate,
                         ::testing::Values(DateCase{"", ""}, DateCase{"yesterday", kBad},
                                           DateCase{"Tue, 7Dec2004", kBad},
                                           DateCase{"Tue, Dec 7 2004 10:00:00 +0800", kBad},  // month first
                                           DateCase{"123 Dec 2004 10:00:00 +0800", kBad},
                                           DateCase{"7 Dec 200 10:00:00 +0800", kBad},
                                           DateCase{"7 Dec 20041 10:00:00 +0800", kBad},
                                           DateCase{"7 +0800", kBad}, DateCase{",", kBad},
                                           DateCase{"Tue, 7", kBad}));


}  // namespace
}  // namespace pw
