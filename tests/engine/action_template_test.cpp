// The marker language of reply and key-information templates.
#include "engine/template_expander.h"

#include "action_fixture.h"

namespace pw::test {
namespace {

class TemplateExpanderTest : public ActionFixture {};

TEST_F(TemplateExpanderTest, markersAreReplacedByTheMailsValues) {
  auto mail = processor();
  Rule rule;
  mail->add_capture(rule, 5, "A-77");
  struct Case {
    const char* text;
    std::string expected;
  } cases[] = {
      {"Order ##5 from #N#", "Order #5 from AliceLiddell"},
      {"#S#|#s#", "Order 42|Order 42"},
      {"#F# #T#", "alice@example.test bob@example.test"},
      {"#D#", "2004/12/07 09:05:03"},
      {"#C#", "Hello Bob,\r\n.a line that starts with a dot\r\nbye"},
      {"no:#5#", "no:A-77"},
      {"#05#", "A-77"},
      {"none:#7#.", "none:."},
      {"#Subject#", "Order 42"},  // only the first character chooses
      {"#S# costs #5 dollars", "Order 42 costs #5 dollars"},  // a lone '#' ends the expansion
      {"plain", "plain"},
      {"", ""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(TemplateExpander(*mail, &rule).expand(c.text), c.expected) << c.text;
  }
}

TEST_F(TemplateExpanderTest, capturesBelongToTheirRule) {
  auto mail = processor();
  Rule first, second;
  mail->add_capture(first, 1, "mine");
  mail->add_capture(second, 1, "theirs");
  mail->add_capture(first, 1, "later");
  EXPECT_EQ(TemplateExpander(*mail, &first).expand("#1#"), "mine");
  EXPECT_EQ(TemplateExpander(*mail, &second).expand("#1#"), "theirs");
  EXPECT_EQ(TemplateExpander(*mail, nullptr).expand("[#1#]"), "[]");
}

}  // namespace
}  // namespace pw::test
