#include "engine/pop3_opener.h"

#include "engine/engine_host.h"
#include "engine/oauth_access.h"
#include "net/line_socket.h"
#include "net/pop3_session.h"
#include "res/language.h"
#include "res/string_table.h"
#include "stores/mailbox_account.h"
#include "stores/mailbox_record.h"

namespace pw {

Pop3Account Pop3Account::of(const MailboxRecord& record) {
  return {record.pop_server,
          record.login_name,
          record.password,
          record.require_tls || record.uses_oauth(),
          record.tls_seen,
          record.sign_in,
          record.address};
}

LoginPrompt pop3_login_prompt(EngineHost& host) {
  return [&host](const LoginData& refused, std::string_view refusal) {
    return host.correct_login(LoginService::pop3, refused, refusal);
  };
}

Pop3Connection::Pop3Connection(std::unique_ptr<ByteStream> stream, std::unique_ptr<Pop3Session> session, bool ok,
                               std::string server)
    : stream_(std::move(stream)), session_(std::move(session)), ok_(ok), server_(std::move(server)) {}
Pop3Connection::Pop3Connection(Pop3Connection&&) noexcept = default;
Pop3Connection& Pop3Connection::operator=(Pop3Connection&&) noexcept = default;
Pop3Connection::~Pop3Connection() = default;

const std::string& Pop3Connection::error_text() const { return session_->error_text(); }

Pop3Connection open_pop3(const Pop3Account& account, const Pop3Options& options) {
  std::unique_ptr<ByteStream> stream = options.stream ? options.stream() : std::make_unique<LineSocket>();
  auto pop = std::make_unique<Pop3Session>(*stream);
  pop->set_tls({.required = account.require_tls, .seen = account.tls_seen});
  if (options.trace) pop->set_trace(options.trace);
  if (options.clock) pop->set_clock(options.clock);
  if (options.login_prompt) pop->set_login_prompt(options.login_prompt);
  pop->set_listings_with_sign_in(options.uidl_with_sign_in, options.list_with_sign_in);
  const bool ok = pop->connect(account.server) == Pop3Session::kSuccess &&
                  sign_in(*pop, account, options.oauth.get()) == Pop3Session::kSuccess;
  return Pop3Connection(std::move(stream), std::move(pop), ok, account.server);
}

int sign_in(Pop3Session& pop, const Pop3Account& account, const OAuthAccess* oauth) {
  if (account.sign_in != MailboxRecord::SignIn::password) {
    const BearerSource none = [](bool) { return BearerToken{false, {}, res::record_text(sid::kSignInAgain)}; };
    return pop.authenticate_bearer(account.login, oauth ? oauth->source(account.address, account.sign_in) : none);
  }
  return pop.sign_in(account.login, account.password);
}

void keep_login_correction(const Pop3Session& pop, MailboxAccount& account) {
  const MailboxRecord record = account.record();
  const std::string& login = pop.user_name().empty() ? record.login_name : pop.user_name();
  const std::string& password = pop.password().empty() ? record.password : pop.password();
  if (login != record.login_name || password != record.password) account.set_pop_login(login, password);
}

bool keep_tls_seen(const Pop3Connection& pop, MailboxAccount& account) {
  return pop->secured() && account.mark_tls_seen(pop.server());
}

}  // namespace pw
