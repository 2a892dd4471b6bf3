#pragma once
// The marker language of reply and key-information templates: text between
// two '#' is replaced by a value of the mail ("#S#" the subject, "#3#" the
// third capture of the rule's body pattern, "##" a single '#').
#include <string>
#include <string_view>

namespace pw {

class MailProcessor;
struct Rule;

class TemplateExpander {
 public:
  // `rule` selects the captures for numeric markers; without one they are
  // empty.
  TemplateExpander(MailProcessor& mail, const Rule* rule) : mail_(mail), rule_(rule) {}

  // The template with every marker replaced. Only the first character after
  // the opening '#' chooses the marker; a '#' without a closing one ends the
  // expansion and is copied with the rest of the text.
  [[nodiscard]] std::string expand(std::string_view text) const;

 private:
  [[nodiscard]] std::string marker_value(std::string_view marker) const;

  MailProcessor& mail_;
  const Rule* rule_;
};

}  // namespace pw
