#pragma once
// The rule description in a read-only rich-text view: the builder's text
// with every link span and joiner word underlined and clickable. A click
// reports the byte position of the span in the GB18030 text.
#include <QTextBrowser>

#include <cstddef>

#include "rules/rule_description.h"

namespace pw::ui {

// The description as HTML: each span an anchor whose fragment is the span's
// byte offset in the text, CR LF as a line break.
[[nodiscard]] QString description_html(const RuleDescription& description);

class DescriptionBrowser : public QTextBrowser {
  Q_OBJECT

 public:
  explicit DescriptionBrowser(QWidget* parent = nullptr);

  // Shows `description`, keeping the first visible line.
  void show_description(const RuleDescription& description);

 signals:
  // A link or joiner was clicked; `position` is its start byte.
  void span_clicked(size_t position);
};

}  // namespace pw::ui
