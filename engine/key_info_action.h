#pragma once
// Save key information: appends a time stamp, the rule's expanded template
// and a separator line to the rule's text file.
#include <cstdint>
#include <ctime>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace pw {

class MailProcessor;
struct ActionServices;

class KeyInfoAction {
 public:
  KeyInfoAction(MailProcessor& mail, const ActionServices& services) : mail_(mail), services_(services) {}

  // Every matched rule whose key-information action is enabled; there is
  // no extra operation of this kind. Nothing is downloaded: the body
  // markers read the mail text as held.
  void run_step(std::vector<uint8_t>& success);

  // One record: "hh:mm:ss MM/DD/YYYY", CR LF, the text, CR LF, fifty '=',
  // CR LF and a blank line.
  [[nodiscard]] static std::string record(std::time_t now, std::string_view text);

  // The file of the GB18030 path `gb_path`, its name cut to fit the file
  // system (fitted_file_name). A new file is the owner's alone.
  [[nodiscard]] static std::filesystem::path file_path(std::string_view gb_path);

 private:
  MailProcessor& mail_;
  const ActionServices& services_;
};

}  // namespace pw
