#include "ui/host/status_bar_sink.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QStatusBar>

#include "ui/gb_qstring.h"
#include "ui/ui_text.h"

namespace pw::ui {
namespace {

QLabel* make_pane(QStatusBar* bar, int index) {
  auto* label = new QLabel(bar);
  label->setObjectName(QStringLiteral("pane%1").arg(index));
  // A long text is cut at the pane's edge instead of widening the window.
  label->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
  label->setMinimumWidth(0);
  // Holds the progress bar while it covers this pane.
  auto* layout = new QHBoxLayout(label);
  layout->setContentsMargins(0, 0, 0, 0);
  return label;
}

}  // namespace

StatusBarSink::StatusBarSink(QStatusBar* bar) {
  for (int i = 0; i < kPanes; ++i) panes_[static_cast<size_t>(i)] = make_pane(bar, i);
  bar->addWidget(panes_[0], 1);
  const QFontMetrics metrics = bar->fontMetrics();
  for (auto [index, width_text] : {std::pair{1, sid::kCountdownPaneWidth}, std::pair{2, sid::kProgressPaneWidth}}) {
    QLabel* label = pane(index);
    label->setFixedWidth(metrics.horizontalAdvance(text(width_text)));
    label->setFrameShape(QFrame::NoFrame);
    bar->addPermanentWidget(label);
  }
  progress_ = new QProgressBar(pane(StatusReport::kProgressPane));
  progress_->setObjectName(QStringLiteral("progress"));
  progress_->setTextVisible(false);
  progress_->hide();
  pane(StatusReport::kProgressPane)->layout()->addWidget(progress_);
}

QLabel* StatusBarSink::pane_or_null(int index) const {
  return index >= 0 && index < kPanes ? pane(index) : nullptr;
}

void StatusBarSink::apply(const StatusReport& report) {
  QLabel* target = pane_or_null(report.pane);
  switch (report.kind) {
    case StatusReport::Kind::text:
      if (target) target->setText(from_gb(report.text));
      break;
    case StatusReport::Kind::progress_range:
      if (!target) break;
      if (progress_->parentWidget() != target) {
        progress_->parentWidget()->layout()->removeWidget(progress_);
        progress_->setParent(target);
        target->layout()->addWidget(progress_);
      }
      // An empty range would make the bar a busy indicator that never stops.
      progress_->setRange(report.range_low, std::max(report.range_high, report.range_low + 1));
      progress_->setValue(report.position);
      progress_->show();
      break;
    case StatusReport::Kind::progress_position:
      progress_->setValue(report.position);
      break;
    case StatusReport::Kind::hide_progress:
      progress_->hide();
      break;
  }
}

}  // namespace pw::ui
