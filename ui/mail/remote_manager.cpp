#include "ui/mail/remote_manager.h"

#include <QFileDialog>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QResizeEvent>
#include <QScreen>
#include <QStyle>
#include <QTimer>
#include <QToolButton>
#include <QTreeWidget>

#include <algorithm>

#include "engine/engine_host.h"
#include "res/string_table.h"
#include "stores/mailbox_account.h"
#include "ui/gb_qstring.h"
#include "ui/list_columns.h"
#include "ui/mail_size.h"
#include "ui/message_boxes.h"
#include "ui/ui_text.h"
#include "ui/view_icons.h"

namespace pw::ui {
namespace {

constexpr int kMargin = 8;
// The forward, reply and backup columns at most; their texts are whole in the tooltips.
constexpr int kMarkTextWidth = 100;

enum Column { kHeld, kProcessed, kDelete, kForward, kReply, kBackup, kSender, kRecipient, kSubject, kDate, kSize };

// The toggles from the right edge, with their pictures, tool tips and
// status-bar descriptions.
struct Toggle {
  char letter;
  int image;
  const char* tip;
  const char* description;
};
constexpr Toggle kToggles[6] = {
    {'S', 6, "备份", "标记下载选中邮件备份到指定路径"},
    {'R', 5, "回复", "标记回复选中邮件"},
    {'F', 4, "转交", "标记转交选中邮件"},
    {'D', 3, "删除", "标记从服务器上删除选中邮件"},
    {'T', 2, "已处理", "标记邮件已经被处理过了则自动检查将不会处理"},
    {'C', 0, "查看", "查看邮件非本地则下载"},
};

bool same_reply(const ReplySettings& a, const ReplySettings& b) {
  if (a.from_file != b.from_file) return false;
  return a.from_file ? a.file == b.file : a.subject == b.subject && a.text == b.text;
}

void set_icon(QTreeWidgetItem* item, int column, bool on, int image) {
  item->setIcon(column, on ? remote_icon(image) : QIcon());
  item->setData(column, kImageRole, on ? image : 0);
}

}  // namespace

ToggleStates toggle_states(const std::vector<const ExtraOperations*>& selected, const std::vector<bool>& processed) {
  ToggleStates t;
  if (selected.empty()) return t;
  const ExtraOperations& first = *selected.front();
  auto all = [&](auto same) {
    return std::all_of(selected.begin(), selected.end(), [&](const ExtraOperations* e) { return same(*e); });
  };
  using E = ExtraOperations;
  t.delete_on = first.has(E::kDelete);
  t.delete_enabled = all([&](const E& e) { return e.has(E::kDelete) == t.delete_on; });
  t.forward_on = first.has(E::kForward);
  t.forward_enabled = all([&](const E& e) {
    return e.has(E::kForward) == t.forward_on && (!t.forward_on || e.forward.to == first.forward.to);
  });
  t.reply_on = first.has(E::kReply);
  t.reply_enabled = all([&](const E& e) {
    return e.has(E::kReply) == t.reply_on && (!t.reply_on || same_reply(e.reply, first.reply));
  });
  t.backup_on = first.has(E::kBackup);
  t.backup_enabled = all([&](const E& e) {
    return e.has(E::kBackup) == t.backup_on && (!t.backup_on || e.backup_dir == first.backup_dir);
  });
  t.view_enabled = selected.size() == 1;
  t.seen_on = processed.front();
  t.seen_enabled = std::all_of(processed.begin(), processed.end(), [&](bool p) { return p == t.seen_on; });
  return t;
}

CRemoteManager::CRemoteManager(std::shared_ptr<MailboxAccount> account, Mode mode, RemoteServices services,
                               QWidget* parent)
    : QDialog(parent),
      account_(std::move(account)),
      mode_(mode),
      s_(std::move(services)),
      session_(*account_, {s_.host, s_.log, s_.local_mail, s_.clock, s_.smtp, s_.pop3}) {
  setObjectName(QStringLiteral("RemoteManager"));
  setWindowTitle(text(sid::kRemoteManagement));
  setSizeGripEnabled(true);
  if (!s_.backup_dir)
    s_.backup_dir = [](QWidget* parent) {
      return to_gb(QFileDialog::getExistingDirectory(parent, text(sid::kChooseBackupFolder)));
    };
  if (!s_.view)
    s_.view = [viewer = s_.viewer](QWidget* parent, MailProcessor& mail) {
      CMailViewer::show_mail(mail, viewer, parent);
    };

  list_ = new QTreeWidget(this);
  list_->setObjectName(QStringLiteral("remoteList"));
  list_->setRootIsDecorated(false);
  list_->setSelectionMode(QAbstractItemView::ExtendedSelection);
  list_->setSelectionBehavior(QAbstractItemView::SelectRows);
  list_->setUniformRowHeights(true);
  list_->setAlternatingRowColors(false);
  // Grid lines between the cells.
  list_->setStyleSheet(QStringLiteral(
      "QTreeView::item { border-right: 1px solid #d8d8d8; border-bottom: 1px solid #d8d8d8; }"
      "QTreeView::item:selected { background: palette(highlight); color: palette(highlighted-text); }"));
  list_->setHeaderLabels({QString(), QString(), QString(), QString(), QString(), QString(), text(sid::kFromColumn),
                          text(sid::kToColumn), text(sid::kSubjectColumn), text(sid::kDateColumn),
                          text(sid::kMailSizeColumn)});
  // The operation columns are as wide as their marks: empty, they leave
  // the room to the mail's own columns.
  columns_ = new ColumnFitter(list_);
  for (int c : {kForward, kReply, kBackup}) columns_->set_max_width(c, kMarkTextWidth);
  columns_->fit();
  connect(list_, &QTreeWidget::itemSelectionChanged, this, &CRemoteManager::update_toggles);
  connect(list_, &QTreeWidget::itemDoubleClicked, this, [this] {
    update_toggles();
    view_selected();
  });

  status_ = new QLabel(text(sid::kFetchingMailInfo), this);
  status_->setObjectName(QStringLiteral("statusLabel"));
  status_->setAlignment(Qt::AlignCenter);

  using Slot = void (CRemoteManager::*)();
  const Slot handlers[6] = {&CRemoteManager::toggle_backup, &CRemoteManager::toggle_reply,
                         &CRemoteManager::toggle_forward, &CRemoteManager::toggle_delete,
                         &CRemoteManager::toggle_seen, &CRemoteManager::view_selected};
  for (int k = 0; k < 6; ++k) {
    auto* b = new QToolButton(this);
    b->setObjectName(QStringLiteral("toggle%1").arg(QLatin1Char(kToggles[k].letter)));
    b->setIcon(remote_icon(kToggles[k].image));
    b->setText(QString(QLatin1Char(kToggles[k].letter)));
    b->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    b->setCheckable(kToggles[k].letter != 'C');
    b->setAutoRaise(true);
    b->setToolTip(text(kToggles[k].tip));
    b->setStatusTip(text(kToggles[k].description));
    b->setEnabled(false);
    connect(b, &QToolButton::clicked, this, handlers[k]);
    toggles_[k] = b;
  }
  operate_ = new QPushButton(ui::text("操作"), this);
  operate_->setObjectName(QStringLiteral("operateButton"));
  operate_->setEnabled(false);
  connect(operate_, &QPushButton::clicked, this, &CRemoteManager::operate);
  cancel_button_ = new QPushButton(ui::text("取消"), this);
  cancel_button_->setObjectName(QStringLiteral("cancelButton"));
  connect(cancel_button_, &QPushButton::clicked, this, &CRemoteManager::cancel);

  timer_ = new QTimer(this);
  timer_->setInterval(kTickMs);
  connect(timer_, &QTimer::timeout, this, &CRemoteManager::tick);
  drain_ = new QTimer(this);
  drain_->setInterval(kDrainMs);
  connect(drain_, &QTimer::timeout, this, &CRemoteManager::take_listed);
  resize(760, 420);
  lay_out(width(), height());
}

CRemoteManager::~CRemoteManager() {
  cancel_.raise();
  if (worker_.joinable()) worker_.join();
}

bool CRemoteManager::run(std::shared_ptr<MailboxAccount> account, Mode mode, const RemoteServices& services,
                         QWidget* parent) {
  if (!account->claim(MailboxAccount::Worker::remote_management)) {
    (void)services.boxes.show(parent, MessageKind::input_error, sid::kMailboxBeingChecked);
    return false;
  }
  {
    CRemoteManager dialog(account, mode, services, parent);
    dialog.exec();
  }
  account->release(MailboxAccount::Worker::remote_management);
  return true;
}

QToolButton* CRemoteManager::toggle(char letter) const {
  for (int k = 0; k < 6; ++k)
    if (kToggles[k].letter == letter) return toggles_[k];
  return nullptr;
}

void CRemoteManager::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (worker_.joinable() || phase_ != Phase::listing) return;
  busy_ = true;
  timer_->start();
  drain_->start();
  worker_ = std::thread([this] { list_mails(); });
}

void CRemoteManager::list_mails() {
  session_.list(
      mode_,
      [this](std::unique_ptr<MailProcessor> row) {
        std::lock_guard lock(listed_mutex_);
        listed_.push_back(std::move(row));
      },
      cancel_);
  busy_ = false;
}

void CRemoteManager::take_listed() {
  // Rows arrive in batches on the drain timer, each added in one insertion,
  // so a fast listing never holds the UI thread up; the rest of a large
  // batch comes next turn.
  constexpr size_t kBatch = 200;
  std::vector<std::unique_ptr<MailProcessor>> taken;
  bool more = false;
  {
    std::lock_guard lock(listed_mutex_);
    const size_t n = std::min(kBatch, listed_.size());
    std::move(listed_.begin(), listed_.begin() + static_cast<ptrdiff_t>(n), std::back_inserter(taken));
    listed_.erase(listed_.begin(), listed_.begin() + static_cast<ptrdiff_t>(n));
    more = !listed_.empty();
  }
  QList<QTreeWidgetItem*> items;
  for (auto& mail : taken) {
    rows_.push_back(std::move(mail));
    items << new QTreeWidgetItem();
    fill_row(items.back(), rows_.size() - 1);
  }
  list_->addTopLevelItems(items);
  fit_columns();
  if (more) QMetaObject::invokeMethod(this, [this] { take_listed(); }, Qt::QueuedConnection);
}

bool CRemoteManager::processed(size_t i) const { return session_.processed(rows_[i]->summary().uid); }

void CRemoteManager::show_row(size_t i) {
  fill_row(list_->topLevelItem(static_cast<int>(i)), i);
  // Once for all rows a toggle changed.
  if (fit_queued_) return;
  fit_queued_ = true;
  QMetaObject::invokeMethod(this, [this] {
    fit_queued_ = false;
    fit_columns();
  }, Qt::QueuedConnection);
}

// The columns to their texts, and the window wider when they need it, up
// to the screen's width.
void CRemoteManager::fit_columns() {
  columns_->fit();
  const int last = list_->columnCount() - 1;
  int wanted = std::max(list_->header()->sectionSizeHint(last),
                        list_->fontMetrics().horizontalAdvance(QStringLiteral("4096.00 MB")) + 16);
  for (int c = 0; c < last; ++c) wanted += list_->columnWidth(c);
  wanted += 2 * list_->frameWidth() + list_->style()->pixelMetric(QStyle::PM_ScrollBarExtent) + 2 * kMargin;
  const int room = screen() ? screen()->availableGeometry().width() * 9 / 10 : wanted;
  if (wanted > width()) resize(std::min(wanted, room), height());
}

void CRemoteManager::fill_row(QTreeWidgetItem* item, size_t i) {
  MailProcessor& mail = *rows_[i];
  const ExtraOperations& e = mail.extra();
  using E = ExtraOperations;
  set_icon(item, kHeld, mail.summary().full_text, 1);
  set_icon(item, kProcessed, processed(i), 2);
  set_icon(item, kDelete, e.has(E::kDelete), 3);
  set_icon(item, kForward, e.has(E::kForward), 4);
  set_cell(item, kForward, e.has(E::kForward) ? from_gb(e.forward.to) : QString());
  set_icon(item, kReply, e.has(E::kReply), 5);
  set_cell(item, kReply,
           e.has(E::kReply) ? from_gb(res::text(sid::kWithSubject) + "\"" + e.reply.subject + "\"") : QString());
  set_icon(item, kBackup, e.has(E::kBackup), 6);
  set_cell(item, kBackup, e.has(E::kBackup) ? from_gb(e.backup_dir) : QString());
  set_cell(item, kSender, from_gb(mail.sender()));
  set_cell(item, kRecipient, from_gb(mail.recipient()));
  set_cell(item, kSubject, from_gb(mail.subject()));
  set_cell(item, kDate, from_gb(mail.date()));
  item->setText(kSize, mail_size_text(mail.mail_size()));
  item->setTextAlignment(kSize, Qt::AlignRight | Qt::AlignVCenter);
}

std::vector<size_t> CRemoteManager::selected_rows() const {
  std::vector<size_t> rows;
  for (int i = 0; i < list_->topLevelItemCount(); ++i)
    if (list_->topLevelItem(i)->isSelected()) rows.push_back(static_cast<size_t>(i));
  return rows;
}

void CRemoteManager::update_toggles() {
  const std::vector<size_t> rows = phase_ == Phase::idle ? selected_rows() : std::vector<size_t>{};
  std::vector<const ExtraOperations*> extras;
  std::vector<bool> seen;
  for (size_t i : rows) {
    extras.push_back(&rows_[i]->extra());
    seen.push_back(processed(i));
  }
  const ToggleStates t = toggle_states(extras, seen);
  auto set = [this](char letter, bool enabled, bool on) {
    QToolButton* b = toggle(letter);
    b->setEnabled(enabled);
    b->setChecked(enabled && on);
  };
  set('D', t.delete_enabled, t.delete_on);
  set('F', t.forward_enabled && s_.forward_dialog, t.forward_on);
  set('R', t.reply_enabled && s_.reply_dialog, t.reply_on);
  set('S', t.backup_enabled, t.backup_on);
  set('T', t.seen_enabled, t.seen_on);
  set('C', t.view_enabled, false);
}

void CRemoteManager::toggle_delete() {
  const std::vector<size_t> rows = selected_rows();
  if (rows.empty()) return;
  const bool on = !rows_[rows.front()]->extra().has(ExtraOperations::kDelete);
  for (size_t i : rows) {
    uint8_t& ops = rows_[i]->extra().operations;
    ops = on ? (ops | ExtraOperations::kDelete) : (ops & ~ExtraOperations::kDelete);
    show_row(i);
  }
  update_toggles();
}

void CRemoteManager::toggle_forward() {
  const std::vector<size_t> rows = selected_rows();
  if (rows.empty()) return;
  ExtraOperations chosen = rows_[rows.front()]->extra();
  const bool marked = chosen.has(ExtraOperations::kForward);
  if (!marked && !(s_.forward_dialog && s_.forward_dialog(this, chosen))) {
    update_toggles();
    return;
  }
  for (size_t i : rows) {
    ExtraOperations& e = rows_[i]->extra();
    if (marked) {
      e.operations &= ~ExtraOperations::kForward;
    } else {
      e.operations |= ExtraOperations::kForward;
      e.forward = chosen.forward;
    }
    show_row(i);
  }
  update_toggles();
}

void CRemoteManager::toggle_reply() {
  const std::vector<size_t> rows = selected_rows();
  if (rows.empty()) return;
  ExtraOperations chosen = rows_[rows.front()]->extra();
  const bool marked = chosen.has(ExtraOperations::kReply);
  if (!marked && !(s_.reply_dialog && s_.reply_dialog(this, chosen))) {
    update_toggles();
    return;
  }
  for (size_t i : rows) {
    ExtraOperations& e = rows_[i]->extra();
    if (marked) {
      e.operations &= ~ExtraOperations::kReply;
    } else {
      e.operations |= ExtraOperations::kReply;
      e.reply = chosen.reply;
    }
    show_row(i);
  }
  update_toggles();
}

void CRemoteManager::toggle_backup() {
  const std::vector<size_t> rows = selected_rows();
  if (rows.empty()) return;
  const bool marked = rows_[rows.front()]->extra().has(ExtraOperations::kBackup);
  std::string dir;
  if (!marked) {
    dir = s_.backup_dir(this);
    if (dir.empty()) {
      update_toggles();
      return;
    }
  }
  for (size_t i : rows) {
    ExtraOperations& e = rows_[i]->extra();
    if (marked) {
      e.operations &= ~ExtraOperations::kBackup;
    } else {
      e.operations |= ExtraOperations::kBackup;
      e.backup_dir = dir;
    }
    show_row(i);
  }
  update_toggles();
}

void CRemoteManager::toggle_seen() {
  const std::vector<size_t> rows = selected_rows();
  if (rows.empty()) return;
  const bool was = processed(rows.front());
  std::vector<std::string> uids;
  for (size_t i : rows) uids.push_back(rows_[i]->summary().uid);
  session_.set_processed(uids, !was);
  for (size_t i : rows) show_row(i);
  update_toggles();
}

void CRemoteManager::view_selected() {
  const std::vector<size_t> rows = selected_rows();
  if (rows.size() != 1 || phase_ != Phase::idle) return;
  MailProcessor& mail = *rows_[rows.front()];
  if (!mail.summary().full_text) {
    DownloadResult result = s_.host.download_mail({Pop3Account::of(account_->record()), mail.summary().uid});
    switch (result.outcome) {
      case DownloadResult::Outcome::downloaded:
        mail.set_whole_mail(std::move(result.text));
        show_row(rows.front());
        break;
      case DownloadResult::Outcome::not_on_server:
        (void)s_.boxes.show(this, MessageKind::input_error, sid::kNotOnServer);
        break;
      case DownloadResult::Outcome::error:
        (void)s_.boxes.show(this, MessageKind::input_error, sid::kDownloadError);
        break;
      case DownloadResult::Outcome::cancelled:
        break;
    }
  }
  if (mail.summary().full_text) s_.view(this, mail);
}

void CRemoteManager::operate() {
  if (phase_ != Phase::idle || busy_.load()) return;
  phase_ = Phase::operating;
  update_toggles();
  operate_->setEnabled(false);
  status_->setText(text(sid::kWorkingOnMails));
  status_->show();
  dots_ = 0;
  busy_ = true;
  timer_->start();
  if (worker_.joinable()) worker_.join();
  worker_ = std::thread([this] { carry_out(); });
}

void CRemoteManager::carry_out() {
  session_.carry_out(rows_, cancel_);
  busy_ = false;
}

void CRemoteManager::tick() {
  if (busy_.load()) {
    if (phase_ == Phase::closing) return;
    dots_ = (dots_ + 1) % 4;
    status_->setText(text(phase_ == Phase::listing ? sid::kFetchingMailInfo : sid::kWorkingOnMails) +
                     QString(dots_, QLatin1Char('.')));
    return;
  }
  {
    std::lock_guard lock(listed_mutex_);
    if (!listed_.empty()) return;  // rows still on their way in
  }
  drain_->stop();
  timer_->stop();
  switch (phase_) {
    case Phase::listing:
      phase_ = Phase::idle;
      status_->hide();
      operate_->setEnabled(true);
      update_toggles();
      break;
    case Phase::operating:
      accept();
      break;
    case Phase::closing:
    case Phase::idle:
      done(QDialog::Rejected);
      break;
  }
}

void CRemoteManager::cancel() {
  if (!busy_.load()) {
    timer_->stop();
    done(QDialog::Rejected);
    return;
  }
  cancel_.raise();
  phase_ = Phase::closing;
  status_->setText(text(sid::kExiting));
  status_->show();
  update_toggles();
  timer_->start();
}

void CRemoteManager::resizeEvent(QResizeEvent* event) {
  QDialog::resizeEvent(event);
  lay_out(event->size().width(), event->size().height());
}

void CRemoteManager::lay_out(int w, int h) {
  constexpr int kToggle = 44;
  constexpr int kRow = 30;
  for (int k = 0; k < 6; ++k)
    toggles_[k]->setGeometry(w - kMargin - (k + 1) * (kToggle + 2), kMargin, kToggle, kRow - 4);
  status_->setGeometry(kMargin, kMargin, w - 2 * kMargin - 6 * (kToggle + 2), kRow - 4);
  const int button_h = 26;
  list_->setGeometry(kMargin, kMargin + kRow, w - 2 * kMargin, h - 2 * kMargin - kRow - button_h - 8);
  cancel_button_->setGeometry(w - kMargin - 80, h - kMargin - button_h, 80, button_h);
  operate_->setGeometry(w - 2 * kMargin - 160, h - kMargin - button_h, 80, button_h);
}

}  // namespace pw::ui
