#include "ui/confirm/confirm_mails_dialog.h"

#include <QApplication>
#include <QEventLoop>
#include <QFocusEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QProgressBar>
#include <QPushButton>
#include <QTableWidget>
#include <QToolButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <QStyle>

#include <algorithm>
#include <array>
#include <atomic>
#include <thread>

#include "engine/direct_download.h"
#include "engine/mail_processor.h"
#include "rules/matched_rule.h"
#include "rules/rule.h"
#include "rules/rule_description.h"
#include "stores/mailbox_account.h"
#include "ui/check_list.h"
#include "ui/rules/extra_editors.h"
#include "ui/gb_qstring.h"
#include "ui/mail_size.h"
#include "ui/message_boxes.h"
#include "ui/rules/description_browser.h"
#include "ui/ui_text.h"
#include "ui/view_icons.h"

namespace pw::ui {
namespace {

constexpr int kMaxFittedColumn = 320;

constexpr int kMargin = 11;
constexpr int kBitRole = Qt::UserRole;        // rule node: matched-rule index; action node: its bit
constexpr int kStateRole = Qt::UserRole + 2;  // a rule node's tick before the click

// The action nodes under a rule, in the tree's order.
constexpr std::array<ActionKind, 6> kTreeActions = {ActionKind::forward,  ActionKind::delete_on_server,
                                                    ActionKind::backup,   ActionKind::reply,
                                                    ActionKind::key_info, ActionKind::attachments};

struct ExtraRow {
  uint8_t operation;
  int label;
};
constexpr std::array<ExtraRow, 4> kExtraRows = {{{ExtraOperations::kForward, sid::kForwardAction},
                                                 {ExtraOperations::kReply, sid::kReplyAction},
                                                 {ExtraOperations::kBackup, sid::kBackupAction},
                                                 {ExtraOperations::kDelete, sid::kDeleteAction}}};

// The POP3 download on a thread of its own; the window's events go on.
DownloadResult download_while_waiting(const DownloadRequest& request) {
  DownloadResult result;
  std::atomic<bool> done{false};
  QEventLoop loop;
  std::thread worker([&] {
    result = download_directly(request, {});
    done = true;
    QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
  });
  if (!done) loop.exec();
  worker.join();
  return result;
}

QString countdown_text(int seconds) { return QString::number(seconds) + text(sid::kSecondsToAct); }

QIcon mail_icon(bool whole) { return held_mail_icon(whole ? 1 : 0); }

}  // namespace

ConfirmMailsDialog::ConfirmMailsDialog(QWidget* parent, std::string_view address,
                                       std::span<MailProcessor* const> mails, int countdown,
                                       ConfirmServices services)
    : QDialog(parent),
      services_(std::move(services)),
      countdown_(countdown),
      remaining_(countdown),
      own_ticker_(services_.ticker ? nullptr : std::make_unique<SecondTicker>()),
      ticker_(services_.ticker ? services_.ticker : own_ticker_.get()) {
  for (MailProcessor* mail : mails)
    if (mail->needs_confirmation()) mails_.push_back(mail);
  setObjectName(QStringLiteral("ConfirmMailsDialog"));
  setWindowTitle(ui::text("符合条件邮件") + QStringLiteral(" - ") + from_gb(address));
  build();
  fill_list();
  // The user starts in the list, so that leaving it is the user's doing.
  mail_list_->setFocus(Qt::OtherFocusReason);
  // Every click and key anywhere in this window passes here first.
  qApp->installEventFilter(this);
  if (countdown_ > 0) {
    progress_->setRange(0, countdown_);
    progress_->setValue(0);
    progress_->show();
    status_->setText(countdown_text(remaining_));
    status_->show();
    ticker_->start([this] { tick(); });
  }
}

void ConfirmMailsDialog::build() {
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(kMargin, kMargin, kMargin, kMargin);

  auto* list_label = new QLabel(ui::text("符合条件的邮件(&M)"), this);
  view_button_ = new QToolButton(this);
  view_button_->setObjectName(QStringLiteral("viewMail"));
  view_button_->setText(QStringLiteral("C"));
  view_button_->setEnabled(false);
  auto* top = new QHBoxLayout;
  top->addWidget(list_label);
  top->addStretch();
  top->addWidget(view_button_);
  layout->addLayout(top);

  mail_list_ = new QTableWidget(0, 6, this);
  mail_list_->setObjectName(QStringLiteral("mailList"));
  mail_list_->setHorizontalHeaderLabels({QString(), text(sid::kFromColumn), text(sid::kToColumn),
                                         text(sid::kSubjectColumn), text(sid::kDateColumn),
                                         text(sid::kMailSizeColumn)});
  // The size column is as wide as its largest text needs.
  const int size_width = std::max(80, mail_list_->fontMetrics().horizontalAdvance(QStringLiteral("4096.00 MB")) + 16);
  int table_width = 2 * mail_list_->frameWidth() + mail_list_->style()->pixelMetric(QStyle::PM_ScrollBarExtent);
  for (int c = 0; int width : {16, 100, 100, 150, 150, size_width}) {
    mail_list_->setColumnWidth(c++, width);
    table_width += width;
  }
  mail_list_->setShowGrid(true);
  mail_list_->setSelectionBehavior(QAbstractItemView::SelectRows);
  mail_list_->setSelectionMode(QAbstractItemView::SingleSelection);
  mail_list_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  mail_list_->setWordWrap(false);
  mail_list_->verticalHeader()->hide();
  mail_list_->verticalHeader()->setDefaultSectionSize(mail_list_->fontMetrics().height() + 6);
  mail_list_->horizontalHeader()->setHighlightSections(false);
  mail_list_->horizontalHeader()->setStretchLastSection(true);
  mail_list_->setMinimumWidth(table_width);
  list_label->setBuddy(mail_list_);
  layout->addWidget(mail_list_, 1);

  auto* tree_label = new QLabel(ui::text("邮件符合的规则及操作(&R)"), this);
  layout->addWidget(tree_label);
  rule_tree_ = new QTreeWidget(this);
  rule_tree_->setObjectName(QStringLiteral("ruleTree"));
  rule_tree_->setHeaderHidden(true);
  tree_label->setBuddy(rule_tree_);
  layout->addWidget(rule_tree_, 1);

  auto* extra_label = new QLabel(ui::text("邮件附加操作(&O)"), this);
  layout->addWidget(extra_label);
  extra_list_ = make_check_list(this, QStringLiteral("operation"), "extraList");
  extra_list_->header()->setStretchLastSection(true);
  for (const ExtraRow& row : kExtraRows) (void)add_check_row(extra_list_, text(row.label));
  const int row_height = extra_list_->sizeHintForRow(0) > 0 ? extra_list_->sizeHintForRow(0) : 18;
  extra_list_->setFixedHeight(extra_list_->header()->sizeHint().height() + row_height * 4 + 6);
  extra_label->setBuddy(extra_list_);
  layout->addWidget(extra_list_);

  auto* description_label = new QLabel(ui::text("邮件附加操作描述(&D)"), this);
  layout->addWidget(description_label);
  description_view_ = new DescriptionBrowser(this);
  description_view_->setObjectName(QStringLiteral("extraDescription"));
  description_view_->setFixedHeight(description_view_->fontMetrics().lineSpacing() * 4 + 8);
  description_label->setBuddy(description_view_);
  layout->addWidget(description_view_);

  progress_ = new QProgressBar(this);
  progress_->setObjectName(QStringLiteral("countdownBar"));
  progress_->setTextVisible(false);
  progress_->setFixedHeight(9);
  progress_->hide();
  layout->addWidget(progress_);

  status_ = new QLabel(this);
  status_->setObjectName(QStringLiteral("countdownText"));
  status_->hide();
  execute_ = new QPushButton(ui::text("执行"), this);
  execute_->setObjectName(QStringLiteral("execute"));
  auto* bottom = new QHBoxLayout;
  bottom->addWidget(status_);
  bottom->addStretch();
  bottom->addWidget(execute_);
  layout->addLayout(bottom);

  connect(execute_, &QPushButton::clicked, this, &ConfirmMailsDialog::reject);
  connect(view_button_, &QToolButton::clicked, this, &ConfirmMailsDialog::view_mail);
  connect(mail_list_, &QTableWidget::itemDoubleClicked, this, &ConfirmMailsDialog::view_mail);
  connect(mail_list_, &QTableWidget::currentCellChanged, this, [this](int row) { row_changed(row); });
  connect(mail_list_, &QTableWidget::itemSelectionChanged, this, [this] {
    view_button_->setEnabled(mail_list_->selectionModel()->selectedRows().size() == 1);
  });
  connect(rule_tree_, &QTreeWidget::itemChanged, this, [this](QTreeWidgetItem* item) { tree_item_changed(item); });
  connect(extra_list_, &QTreeWidget::itemChanged, this, &ConfirmMailsDialog::extra_rows_changed);
  connect(description_view_, &DescriptionBrowser::span_clicked, this, &ConfirmMailsDialog::link_clicked);
  resize(sizeHint().width(), 283 + 2 * 160);
}

void ConfirmMailsDialog::fill_list() {
  filling_ = true;
  for (MailProcessor* mail : mails_) {
    const int row = mail_list_->rowCount();
    mail_list_->insertRow(row);
    auto* icon = new QTableWidgetItem(mail_icon(mail->summary().full_text), QString());
    icon->setData(kImageRole, mail->summary().full_text ? 1 : 0);
    mail_list_->setItem(row, 0, icon);
    int column = 1;
    for (const std::string* field : {&mail->sender(), &mail->recipient(), &mail->subject(), &mail->date()}) {
      auto* cell = new QTableWidgetItem(from_gb(*field));
      cell->setToolTip(cell->text());
      mail_list_->setItem(row, column++, cell);
    }
    auto* size = new QTableWidgetItem(mail_size_text(mail->mail_size()));
    size->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
    mail_list_->setItem(row, column, size);
  }
  // Sender, recipient, subject and date as wide as their texts, within
  // bounds, and the window as wide as the list then needs.
  int table_width = mail_list_->minimumWidth();
  for (int c = 1; c <= 4; ++c) {
    const int before = mail_list_->columnWidth(c);
    mail_list_->resizeColumnToContents(c);
    mail_list_->setColumnWidth(c, std::clamp(mail_list_->columnWidth(c), before, kMaxFittedColumn));
    table_width += mail_list_->columnWidth(c) - before;
  }
  mail_list_->setMinimumWidth(table_width);
  filling_ = false;
  if (!mails_.empty()) mail_list_->selectRow(0);
}

MailProcessor* ConfirmMailsDialog::shown() const {
  return shown_ >= 0 && shown_ < static_cast<int>(mails_.size()) ? mails_[shown_] : nullptr;
}

void ConfirmMailsDialog::row_changed(int row) {
  if (filling_ || row == shown_) return;
  store_ticks();
  shown_ = row;
  rule_tree_->clear();
  MailProcessor* mail = shown();
  if (!mail) return;
  fill_tree(*mail);
  const QSignalBlocker quiet(extra_list_);
  for (size_t k = 0; k < kExtraRows.size(); ++k)
    extra_list_->topLevelItem(static_cast<int>(k))
        ->setCheckState(0, mail->extra().has(kExtraRows[k].operation) ? Qt::Checked : Qt::Unchecked);
  rebuild_description();
}

void ConfirmMailsDialog::fill_tree(MailProcessor& mail) {
  const QSignalBlocker quiet(rule_tree_);
  for (size_t i = 0; i < mail.rule_count(); ++i) {
    const Rule& rule = mail.rule(i);
    if ((rule.action_mask & ~bit(ActionKind::confirm)) == 0) continue;
    auto* node = new QTreeWidgetItem(rule_tree_, {from_gb(rule.name)});
    node->setFlags(Qt::ItemIsEnabled | Qt::ItemIsUserCheckable);
    node->setData(0, kBitRole, static_cast<int>(i));
    int ticked = 0;
    int actions = 0;
    for (ActionKind kind : kTreeActions) {
      if (!rule.has(kind)) continue;
      QString line = from_gb(action_piece(rule, kind).text);
      auto* leaf = new QTreeWidgetItem(node, {line});
      leaf->setFlags(Qt::ItemIsEnabled | Qt::ItemIsUserCheckable);
      leaf->setData(0, kBitRole, bit(kind));
      const bool on = (mail.action_mask(i) & bit(kind)) != 0;
      leaf->setCheckState(0, on ? Qt::Checked : Qt::Unchecked);
      ticked += on;
      ++actions;
    }
    const Qt::CheckState state = ticked == actions ? Qt::Checked : ticked == 0 ? Qt::Unchecked : Qt::PartiallyChecked;
    node->setCheckState(0, state);
    node->setData(0, kStateRole, static_cast<int>(state));
    node->setExpanded(true);
  }
}

void ConfirmMailsDialog::store_ticks() {
  MailProcessor* mail = shown();
  if (!mail) return;
  for (int n = 0; n < rule_tree_->topLevelItemCount(); ++n) {
    const QTreeWidgetItem* node = rule_tree_->topLevelItem(n);
    uint32_t mask = MatchedRule::kAllActions;
    for (int c = 0; c < node->childCount(); ++c)
      if (node->child(c)->checkState(0) != Qt::Checked) mask &= ~node->child(c)->data(0, kBitRole).toUInt();
    mail->set_action_mask(node->data(0, kBitRole).toUInt(), mask);
  }
}

void ConfirmMailsDialog::tree_item_changed(QTreeWidgetItem* item) {
  const QSignalBlocker quiet(rule_tree_);
  QTreeWidgetItem* node = item->parent() ? item->parent() : item;
  if (!item->parent()) {
    // A ticked or partly ticked rule becomes unticked, an unticked one
    // ticked, and its actions follow.
    const auto before = static_cast<Qt::CheckState>(item->data(0, kStateRole).toInt());
    const Qt::CheckState after = before == Qt::Unchecked ? Qt::Checked : Qt::Unchecked;
    for (int c = 0; c < item->childCount(); ++c) item->child(c)->setCheckState(0, after);
  }
  int ticked = 0;
  for (int c = 0; c < node->childCount(); ++c) ticked += node->child(c)->checkState(0) == Qt::Checked;
  const Qt::CheckState state = ticked == node->childCount() ? Qt::Checked
                               : ticked == 0                ? Qt::Unchecked
                                                            : Qt::PartiallyChecked;
  node->setCheckState(0, state);
  node->setData(0, kStateRole, static_cast<int>(state));
}

void ConfirmMailsDialog::extra_rows_changed() {
  MailProcessor* mail = shown();
  if (!mail) return;
  uint8_t operations = 0;
  for (size_t k = 0; k < kExtraRows.size(); ++k)
    if (row_ticked(extra_list_, static_cast<int>(k))) operations |= kExtraRows[k].operation;
  if (operations == mail->extra().operations) return;
  mail->extra().operations = operations;
  rebuild_description();
}

void ConfirmMailsDialog::rebuild_description() {
  MailProcessor* mail = shown();
  description_ = mail ? describe_extra_operations(mail->extra()) : RuleDescription{};
  description_view_->show_description(description_);
}

void ConfirmMailsDialog::link_clicked(size_t position) {
  MailProcessor* mail = shown();
  const DescriptionHit hit = description_.hit(position);
  if (!mail || hit.target != DescriptionHit::Target::link) return;
  stop_countdown();
  if (services_.editors.edit(this, static_cast<uint8_t>(hit.link->bit), mail->extra())) rebuild_description();
  come_back();
}

void ConfirmMailsDialog::view_mail() {
  MailProcessor* mail = shown();
  if (!mail || mail_list_->selectionModel()->selectedRows().size() != 1) return;
  // The user reads the mail: nothing may act behind the viewer.
  stop_countdown();
  if (!mail->summary().full_text) {
    const DownloadRequest request{Pop3Account::of(mail->account().record()), mail->summary().uid};
    setEnabled(false);
    const DownloadResult result = services_.download ? services_.download(request) : download_while_waiting(request);
    setEnabled(true);
    switch (result.outcome) {
      case DownloadResult::Outcome::downloaded: {
        mail->set_whole_mail(result.text);
        QTableWidgetItem* icon = mail_list_->item(shown_, 0);
        icon->setIcon(mail_icon(true));
        icon->setData(kImageRole, 1);
        break;
      }
      case DownloadResult::Outcome::not_on_server:
        (void)services_.boxes.show(this, MessageKind::input_error, sid::kNotOnServer);
        break;
      case DownloadResult::Outcome::error:
        (void)services_.boxes.show(this, MessageKind::input_error, sid::kDownloadError);
        break;
      case DownloadResult::Outcome::cancelled: break;
    }
  }
  if (mail->summary().full_text && services_.view) services_.view(this, *mail);
  come_back();
}

void ConfirmMailsDialog::come_back() {
  raise();
  activateWindow();
  mail_list_->setFocus(Qt::OtherFocusReason);
}

bool ConfirmMailsDialog::other_window_open() const {
  const QWidgetList windows = QApplication::topLevelWidgets();
  return std::any_of(windows.begin(), windows.end(), [this](const QWidget* w) {
    return w != this && w->isVisible() && (w->isModal() || qobject_cast<const QDialog*>(w));
  });
}

void ConfirmMailsDialog::tick() {
  // Held while the user is at another window; it goes on once that closed.
  if (other_window_open()) return;
  --remaining_;
  status_->setText(countdown_text(remaining_));
  progress_->setValue(countdown_ - remaining_);
  if (remaining_ > 0) return;
  ticker_->stop();
  reject();
  // Still open: an extra operation misses its parameter; no countdown now.
  if (isVisible()) stop_countdown();
}

void ConfirmMailsDialog::stop_countdown() {
  if (!ticker_->active() && !progress_->isVisible()) return;
  ticker_->stop();
  progress_->hide();
  status_->setText(text(sid::kCountdownStopped));
  status_->show();
}

bool ConfirmMailsDialog::extra_ready() {
  MailProcessor* mail = shown();
  const int problem = mail ? extra_operations_problem(mail->extra()) : 0;
  if (problem == 0) return true;
  // The countdown waits for the message: its end would only say it again.
  const bool counting = ticker_->active();
  ticker_->stop();
  (void)services_.boxes.show(this, MessageKind::input_error, problem);
  if (counting) ticker_->start([this] { tick(); });
  extra_list_->setFocus();
  return false;
}

void ConfirmMailsDialog::reject() {
  if (!extra_ready()) return;
  store_ticks();
  ticker_->stop();
  QDialog::reject();
}

bool ConfirmMailsDialog::eventFilter(QObject* watched, QEvent* event) {
  switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
    case QEvent::KeyPress:
    case QEvent::Wheel:
      if (watched->isWidgetType() && static_cast<QWidget*>(watched)->window() == this) stop_countdown();
      break;
    default:
      break;
  }
  if (watched == mail_list_->viewport() && event->type() == QEvent::MouseButtonPress) {
    const int row = mail_list_->rowAt(static_cast<QMouseEvent*>(event)->position().toPoint().y());
    // The mail shown keeps the selection until its extra operations can run.
    if (row >= 0 && row != shown_ && !extra_ready()) return true;
  } else if (watched == mail_list_ && event->type() == QEvent::KeyPress) {
    // A key that may move the selection is checked as a click is, so no
    // mail is left with an extra operation that cannot run.
    const auto* key = static_cast<QKeyEvent*>(event);
    const bool moves = key->key() == Qt::Key_Up || key->key() == Qt::Key_Down || key->key() == Qt::Key_PageUp ||
                       key->key() == Qt::Key_PageDown || key->key() == Qt::Key_Home || key->key() == Qt::Key_End ||
                       !key->text().trimmed().isEmpty();
    if (moves && mails_.size() > 1 && !extra_ready()) return true;
  } else if (watched == mail_list_ && event->type() == QEvent::FocusOut) {
    // Another window taking the focus is not the user at this one.
    const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
    if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason) stop_countdown();
  }
  return QDialog::eventFilter(watched, event);
}

void ConfirmMailsDialog::resizeEvent(QResizeEvent* event) {
  if (resize_stops_) stop_countdown();
  QDialog::resizeEvent(event);
}

void ConfirmMailsDialog::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  // The sizes the window takes while it appears are not the user's.
  QTimer::singleShot(0, this, [this] { resize_stops_ = true; });
}

}  // namespace pw::ui
