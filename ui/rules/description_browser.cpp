#include "ui/rules/description_browser.h"

#include <QScrollBar>

#include <algorithm>

#include "ui/gb_qstring.h"
#include "ui/ui_text.h"

namespace pw::ui {
namespace {

QString html_text(std::string_view bytes) {
  QString escaped = from_gb(bytes).toHtmlEscaped();
  escaped.replace(QStringLiteral("\r\n"), QStringLiteral("<br>"));
  return escaped;
}

}  // namespace

QString description_html(const RuleDescription& description) {
  std::vector<DescriptionSpan> spans = description.link_spans();
  for (const DescriptionSpan& s : description.joiner_spans()) spans.push_back(s);
  std::sort(spans.begin(), spans.end(), [](const auto& a, const auto& b) { return a.begin < b.begin; });
  const std::string_view text = description.text;
  QString html = QStringLiteral("<p style=\"white-space:pre-wrap\">");
  size_t at = 0;
  for (const DescriptionSpan& s : spans) {
    if (s.begin < at || s.end > text.size() || s.end <= s.begin) continue;
    html += html_text(text.substr(at, s.begin - at));
    html += QStringLiteral("<a href=\"#%1\">%2</a>").arg(s.begin).arg(html_text(text.substr(s.begin, s.end - s.begin)));
    at = s.end;
  }
  html += html_text(text.substr(at));
  html += QStringLiteral("</p>");
  return html;
}

DescriptionBrowser::DescriptionBrowser(QWidget* parent) : QTextBrowser(parent) {
  setObjectName(QStringLiteral("description"));
  setOpenLinks(false);
  setOpenExternalLinks(false);
  QFont font(text(sid::kFontName), 9);
  font.setBold(false);
  setFont(font);
  document()->setDefaultStyleSheet(QStringLiteral("a { text-decoration: underline; }"));
  connect(this, &QTextBrowser::anchorClicked, this, [this](const QUrl& url) {
    bool ok = false;
    const qulonglong position = url.fragment().toULongLong(&ok);
    if (ok) emit span_clicked(static_cast<size_t>(position));
  });
}

void DescriptionBrowser::show_description(const RuleDescription& description) {
  const int first_line = verticalScrollBar()->value();
  setHtml(description_html(description));
  verticalScrollBar()->setValue(first_line);
}

}  // namespace pw::ui
