#include "support/oauth_server.h"

#include <ctime>

#include "net/http_post.h"
#include "net/json_object.h"
#include "net/line_socket.h"
#include "net/oauth_token.h"

namespace pw::test {
namespace {

std::optional<std::string> post(int port, const std::string& path, const std::string& body) {
  LineSocket socket(std::chrono::seconds(5));
  HttpUrl url{false, "127.0.0.1", port, path};
  std::string error;
  std::optional<HttpResponse> r = http_post_form(socket, url, body, error);
  if (!r || r->status != 200) return std::nullopt;
  return r->body;
}

}  // namespace

OAuthServer::OAuthServer(Options o) {
  std::vector<std::string> argv = {"/usr/bin/python3", PW_SOURCE_DIR "/tests/support/oauth_server.py",
                                   "--ttl", std::to_string(o.ttl), "--token-length", std::to_string(o.token_length)};
  if (o.rotate) argv.push_back("--rotate");
  if (o.wrong_state) argv.push_back("--wrong-state");
  if (!process_.start(argv, dir_ / "server.log")) return;
  auto line = process_.read_line(std::chrono::seconds(10));
  if (line && line->rfind("READY ", 0) == 0) port_ = std::stoi(line->substr(6));
}

std::string OAuthServer::url(const std::string& path) const { return "http://127.0.0.1:" + std::to_string(port_) + path; }

std::string OAuthServer::log() const { return dir_.read("server.log"); }

OAuthClient OAuthServer::client() const {
  OAuthClient c;
  c.authorize_url = url("/authorize");
  c.token_url = url("/token");
  c.scope = "mail offline_access";
  c.client_id = "test-client";
  return c;
}

std::optional<TokenGrant> OAuthServer::grant() const {
  // A fixed verifier and its S256 challenge.
  const std::string verifier = "dBjftJeZ4CVP-mJ92ZrM5sUCh2xCH5Lch0wYp2yl2gD", challenge = "1OzCVWRHSx7RLlDkfjQQLCUyq1r7e_A2rTnUKg5iNHk";
  const std::string redirect = "http://127.0.0.1:9/";
  LineSocket socket(std::chrono::seconds(5));
  if (!socket.connect("127.0.0.1", port_)) return std::nullopt;
  const std::string get = "GET /authorize?response_type=code&client_id=test-client&code_challenge_method=S256&code_challenge=" +
                          challenge + "&state=s&redirect_uri=" + form_encode(redirect) +
                          " HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n\r\n";
  if (socket.send(get) != static_cast<int>(get.size())) return std::nullopt;
  std::string answer;
  char buffer[4096];
  for (int n; (n = socket.receive(buffer, sizeof buffer)) > 0;) answer.append(buffer, static_cast<size_t>(n));
  size_t at = answer.find("code=");
  if (at == std::string::npos) return std::nullopt;
  std::string code = answer.substr(at + 5, answer.find_first_of("&\r", at) - at - 5);
  TokenReply reply = code_grant(client(), code, verifier, redirect);
  if (reply.outcome != TokenReply::Outcome::granted) return std::nullopt;
  return reply.grant;
}

bool OAuthServer::sign_in(const ProgramDir& dir, const std::string& address) const {
  std::optional<TokenGrant> granted = grant();
  if (!granted) return false;
  return OAuthStore(dir).update([&](OAuthFile& f) {
    OAuthMailbox& m = f.mailboxes[OAuthFile::key(address)];
    m = OAuthMailbox{};
    m.custom = client();
    m.refresh_token = granted->refresh_token;
    m.access_token = granted->access_token;
    m.expires_at = static_cast<int64_t>(std::time(nullptr)) + granted->expires_in;
  });
}

bool OAuthServer::control(const std::string& action) const { return post(port_, "/control", "action=" + action).has_value(); }

int OAuthServer::stat(const std::string& name) const {
  std::optional<std::string> body = post(port_, "/stats", "");
  if (!body) return -1;
  std::optional<JsonObject> json = parse_json_object(*body);
  if (!json) return -1;
  std::string v = json_member(*json, name);
  return v.empty() ? -1 : std::stoi(v);
}

}  // namespace pw::test
