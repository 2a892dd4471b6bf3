// The command-line host: what reaches the error stream and the log, and how
// it answers in place of a user.
#include <gtest/gtest.h>

#include <cstdio>

#include "base/code_page.h"
#include "base/local_time.h"
#include "base/program_dir.h"
#include "engine/headless_host.h"
#include "res/string_table.h"
#include "stores/operation_log.h"
#include "support/temp_dir.h"

namespace pw::test {
namespace {

class HeadlessHostTest : public ::testing::Test {
 protected:
  HeadlessHostTest() {
    EXPECT_TRUE(program.create_directories());
    log.load_current_month();
  }
  ~HeadlessHostTest() override {
    if (out) std::fclose(out);
  }
  std::string written() {
    std::fflush(out);
    std::rewind(out);
    std::string text;
    for (int c; (c = std::fgetc(out)) != EOF;) text += char(c);
    return text;
  }

  TempDir dir;
  ProgramDir program{dir.path()};
  FixedClock clock{1101179103};
  OperationLog log{program, clock};
  std::FILE* out = std::tmpfile();
  HeadlessHost host{out, log};
};

TEST_F(HeadlessHostTest, aLogGetsTheAccountsAndTheNoticesInUtf8) {
  host.report(StatusReport::show_text(0, res::text(sid::kCheckingMailbox) + "me@home.test"));
  host.report(StatusReport::show_text(1, res::text(sid::kConnecting)));
  host.report(StatusReport::progress_range(0, 26));
  host.report(StatusReport::progress_position(13));
  host.notice(res::text(sid::kErrorTitle), "line one\r\nline two");

  EXPECT_EQ(written(), std::string(res::text_utf8(sid::kCheckingMailbox)) + "me@home.test\n" + std::string(res::text_utf8(sid::kErrorTitle)) +
                           ": line one line two\n");
  EXPECT_EQ(host.errors(), 1u);
}

// Server text reaches the error stream without a control character that a
// terminal would act on; the text around it stays.
TEST_F(HeadlessHostTest, serverTextLosesItsControlCharacters) {
  struct Case {
    const char* name;
    std::string text;  // GB18030, as a server reply becomes
    std::string shown;
  };
  const Case cases[] = {
      {"title change and bell", "-ERR \x1b]0;owned\x07" "busy", "-ERR ]0;ownedbusy"},
      {"screen clear", "\x1b[2J\x1b[Hgone", "[2J[Hgone"},
      {"backspaces and delete", "ok\b\b\x7fno", "okno"},
      {"C1 control sequence introducer", "a" + utf8_to_gb("\xc2\x9b") + "31mb", "a31mb"},
      {"tab and line breaks", "a\tb\r\nc\rd", "a b cd"},
      {"Chinese kept", utf8_to_gb("服务器忙\x1b"), "服务器忙"},
  };
  for (const Case& c : cases) {
    host.warning(c.text);
    (void)host.correct_login(LoginService::pop3, {"me", "pw"}, c.text);
  }
  std::string expected;
  for (const Case& c : cases) expected += c.shown + "\nPOP3 me: " + c.shown + "\n";
  EXPECT_EQ(written(), expected);
}

TEST_F(HeadlessHostTest, nobodyAnswersSoCorrectionsAreRefusedAndQuestionsSayNo) {
  EXPECT_FALSE(host.correct_login(LoginService::pop3, {"me", "pw"}, "-ERR wrong\r\n").has_value());
  EXPECT_FALSE(host.ask_yes_no("continue?"));
  EXPECT_FALSE(host.confirm("me@home.test", {}, 0));  // no window to answer with
  EXPECT_EQ(host.errors(), 1u);          // the unanswered question
  EXPECT_EQ(written().find("pw"), std::string::npos) << "a password reached the output";
}

TEST_F(HeadlessHostTest, directDeliveryNoticeIsNoErrorOfItsOwn) {
  host.notice(res::text(sid::kErrorTitle), res::text(sid::kTryingDirectDelivery));
  EXPECT_EQ(host.errors(), 0u);
  host.dial_up_failed(res::text(sid::kDialUpError) + "busy");
  EXPECT_EQ(host.errors(), 1u);
}

}  // namespace
}  // namespace pw::test
