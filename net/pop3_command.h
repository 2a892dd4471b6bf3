#pragma once
// The POP3 commands the client sends (RFC 1939, CAPA of RFC 2449, STLS of
// RFC 2595), each built here with its wire text and the text that goes to the
// protocol trace, where a password is masked.
#include <string>
#include <string_view>

namespace pw {

struct Pop3Command {
  std::string wire;   // the bytes sent, CR LF included
  std::string trace;  // the line for the trace, without CR LF
  bool valid = true;  // false when an argument would break the command line

  [[nodiscard]] static Pop3Command user(std::string_view name);
  [[nodiscard]] static Pop3Command pass(std::string_view password);
  [[nodiscard]] static Pop3Command list(int n);
  [[nodiscard]] static Pop3Command uidl();
  [[nodiscard]] static Pop3Command top(int n, int lines);
  [[nodiscard]] static Pop3Command retr(int n);
  [[nodiscard]] static Pop3Command dele(int n);
  [[nodiscard]] static Pop3Command quit();
  [[nodiscard]] static Pop3Command list_all();
  [[nodiscard]] static Pop3Command capa();
  [[nodiscard]] static Pop3Command stls();
  // AUTH (RFC 5034) with the first response in Base64 on the same line when
  // the line stays within 255 bytes, else the mechanism alone, the response
  // following after the server's empty challenge (auth_needs_challenge).
  // Responses are masked in the trace.
  [[nodiscard]] static Pop3Command auth(std::string_view mechanism, std::string_view response);
  [[nodiscard]] static bool auth_needs_challenge(std::string_view mechanism, std::string_view response);
  [[nodiscard]] static Pop3Command sasl_response(std::string_view response);
};

}  // namespace pw
