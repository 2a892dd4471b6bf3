// The delete policy: at most one request per mail, the first rule's, and
// only when its policy allows it.
#include "engine/delete_action.h"

#include "action_fixture.h"
#include "base/code_page.h"
#include "res/string_table.h"

namespace pw::test {
namespace {

class DeleteActionTest : public ActionFixture {
 protected:
  static Rule deleting(bool always, uint32_t more = 0) {
    Rule r;
    r.action_mask = bit(ActionKind::delete_on_server) | more;
    r.delete_always = always;
    return r;
  }
};

TEST_F(DeleteActionTest, twoDeletingRulesQueueOneRequest) {
  Rule first = deleting(true), second = deleting(false);
  auto p = processor();
  p->add_rule(first);
  p->add_rule(second);
  p->extra().operations = ExtraOperations::kDelete;
  DeleteAction(*p, services).run_step({1, 1});
  std::vector<PendingDeletion> queued = deletions.take_all();
  ASSERT_EQ(queued.size(), 1u);
  EXPECT_EQ(queued[0].uid, "UID-1");
  EXPECT_EQ(queued[0].sender, "\"Alice Liddell\" <alice@example.test>");
  EXPECT_EQ(queued[0].recipient, "bob@example.test");
  EXPECT_EQ(queued[0].subject, "Order 42");
  EXPECT_EQ(queued[0].description, utf8_to_gb("从服务器上删除(任何情况下都删除)"));
  EXPECT_FALSE(queued[0].deleted);
  EXPECT_TRUE(deletions.empty());
}

TEST_F(DeleteActionTest, policyAndMaskDecide) {
  struct Case {
    const char* name;
    bool always;
    uint8_t success;
    bool masked_off;
    uint8_t extra;
    std::string expected;  // description queued; "" for none
  } cases[] = {
      {"only when the others succeeded, they did", false, 1, false, 0, "从服务器上删除(其它操作成功再删除)"},
      {"only when the others succeeded, they failed", false, 0, false, 0, ""},
      {"in any case, others failed", true, 0, false, 0, "从服务器上删除(任何情况下都删除)"},
      {"switched off for this mail", true, 1, true, 0, ""},
      {"rule refuses, extra delete chosen", false, 0, false, ExtraOperations::kDelete, "附加操作删除"},
  };
  for (const Case& c : cases) {
    Rule rule = deleting(c.always);
    auto p = processor();
    p->add_rule(rule);
    if (c.masked_off) p->set_action_mask(0, ~bit(ActionKind::delete_on_server));
    p->extra().operations = c.extra;
    DeleteAction(*p, services).run_step({c.success});
    std::vector<PendingDeletion> queued = deletions.take_all();
    if (c.expected.empty()) {
      EXPECT_TRUE(queued.empty()) << c.name;
    } else {
      ASSERT_EQ(queued.size(), 1u) << c.name;
      EXPECT_EQ(queued[0].description, utf8_to_gb(c.expected)) << c.name;
    }
  }
}

// The whole dispatcher: a forward that fails on every route keeps a rule
// that deletes only after success from queueing, while one that deletes in
// any case still queues.
TEST_F(DeleteActionTest, failedForwardKeepsTheMailUnlessDeletingInAnyCase) {
  for (bool always : {false, true}) {
    Rule rule = deleting(always, bit(ActionKind::forward));
    rule.forward.to = "nobody;";  // no domain: direct delivery cannot reach it either
    auto p = processor();
    p->add_rule(rule);
    p->run_actions(services);
    EXPECT_EQ(deletions.take_all().size(), always ? 1u : 0u) << always;
  }
  const std::vector<LogRecord> records = log_records();
  ASSERT_EQ(records.size(), 2u);
  EXPECT_FALSE(records[0].success);
  EXPECT_EQ(records[0].operation, utf8_to_gb("转发给nobody"));
}

}  // namespace
}  // namespace pw::test
