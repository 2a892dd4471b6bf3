#include "ui/frame/user_info_view.h"

#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QResizeEvent>
#include <QScrollBar>
#include <QSettings>
#include <QShortcut>
#include <QTabBar>
#include <QTreeWidget>

#include <filesystem>
#include <system_error>

#include "base/code_page.h"
#include "stores/local_mail_index.h"
#include "stores/mailbox_account.h"
#include "stores/operation_log.h"
#include "ui/frame/command_ids.h"
#include "ui/gb_qstring.h"
#include "ui/list_columns.h"
#include "ui/mail_size.h"
#include "ui/ui_text.h"
#include "ui/view_icons.h"

namespace pw::ui {
namespace {

struct Column {
  int text_id;  // 0: no header
  int width;
};
constexpr Column kLocalColumns[] = {{0, 20},
                                    {sid::kLocalFromColumn, 150},
                                    {sid::kLocalSubjectColumn, 300},
                                    {sid::kLocalDateColumn, 135},
                                    {sid::kLocalReceivedColumn, 135},
                                    {sid::kLocalSizeColumn, 80},
                                    {sid::kLocalFileColumn, 50}};
constexpr Column kLogColumns[] = {{sid::kLogMailboxColumn, 100}, {sid::kLogTimeColumn, 100},
                                  {sid::kLogFromColumn, 100},    {sid::kLogToColumn, 100},
                                  {sid::kLogSubjectColumn, 100}, {sid::kLogOperationColumn, 100},
                                  {sid::kLogSuccessColumn, 50}};

// Layout of the form, in pixels.
constexpr int kMinLayoutWidth = 550;
constexpr int kTabWidth = 400;
constexpr int kTabHeight = 22;
constexpr int kLabelWidth = 100;
constexpr int kLabelFromRight = 136;
constexpr int kArrowsWidth = 32;
constexpr int kArrowsFromRight = 33;
constexpr int kRowHeight = 21;

template <size_t N>
QTreeWidget* make_list(QWidget* parent, const char* name, const Column (&columns)[N]) {
  auto* list = new QTreeWidget(parent);
  list->setObjectName(QString::fromLatin1(name));
  list->setRootIsDecorated(false);
  list->setSelectionBehavior(QAbstractItemView::SelectRows);
  list->setSelectionMode(QAbstractItemView::ExtendedSelection);
  list->setAllColumnsShowFocus(true);
  list->setUniformRowHeights(true);
  list->setColumnCount(static_cast<int>(N));
  QStringList headers;
  for (const Column& c : columns) headers << (c.text_id ? text(c.text_id) : QString());
  list->setHeaderLabels(headers);
  for (size_t i = 0; i < N; ++i) list->setColumnWidth(static_cast<int>(i), columns[i].width);
  return list;
}

}  // namespace

QString format_mail_size(uint32_t bytes) {
  const ScaledSize s = scale_mail_size(bytes);
  return QString::asprintf("%.2f %s", s.value, s.unit);
}

// A local-mail row keeps its record and the record's position in the shown
// month, which the delete command removes from the index.
class CUserInfoView::LocalMailItem : public QTreeWidgetItem {
 public:
  LocalMailItem(QTreeWidget* list, LocalMailRecord record, size_t index)
      : QTreeWidgetItem(list), record(std::move(record)), index(index) {}
  LocalMailRecord record;
  size_t index;
};

// Hears the store on the appending thread and queues the catch-up on the
// view's thread; the worker never touches a widget.
template <class Record>
class CUserInfoView::Relay final : public RecordAddedListener<Record> {
 public:
  Relay(CUserInfoView* view, void (CUserInfoView::*catch_up)()) : view_(view), catch_up_(catch_up) {}
  void record_added(const Record&, size_t) override {
    QMetaObject::invokeMethod(view_, [view = view_, f = catch_up_] { (view->*f)(); }, Qt::QueuedConnection);
  }

 private:
  CUserInfoView* view_;
  void (CUserInfoView::*catch_up_)();
};

CUserInfoView::CUserInfoView(OperationLog& log, LocalMailIndex& local_mail, QWidget* parent)
    : QWidget(parent),
      log_(log),
      local_(local_mail),
      log_relay_(std::make_unique<Relay<LogRecord>>(this, &CUserInfoView::catch_up_log)),
      local_relay_(std::make_unique<Relay<LocalMailRecord>>(this, &CUserInfoView::catch_up_local)) {
  setObjectName(QStringLiteral("UserInfoView"));

  tabs_ = new QTabBar(this);
  tabs_->setObjectName(QStringLiteral("tabs"));
  tabs_->addTab(info_tab_icon(0), text(sid::kLocalTab));
  tabs_->addTab(info_tab_icon(1), text(sid::kLogTab));

  local_list_ = make_list(this, "localMailList", kLocalColumns);
  local_list_->setIconSize(QSize(20, 16));
  local_list_->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(local_list_, &QWidget::customContextMenuRequested, this, [this](const QPoint& pos) {
    if (!local_list_->itemAt(pos)) return;
    QMenu* menu = local_mail_menu();
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->popup(local_list_->viewport()->mapToGlobal(pos));
  });
  auto* remove = new QShortcut(QKeySequence::Delete, local_list_, nullptr, nullptr, Qt::WidgetShortcut);
  connect(remove, &QShortcut::activated, this, &CUserInfoView::delete_selected_mails);
  connect(local_list_, &QTreeWidget::itemDoubleClicked, this, [this](QTreeWidgetItem* item) {
    local_list_->clearSelection();
    item->setSelected(true);
    run_saved_mail_command(cmd::kViewMail);
  });
  log_list_ = make_list(this, "logList", kLogColumns);
  local_columns_ = new ColumnFitter(local_list_);
  log_columns_ = new ColumnFitter(log_list_);

  month_label_ = new QLabel(this);
  month_label_->setObjectName(QStringLiteral("monthLabel"));
  month_label_->setAlignment(Qt::AlignCenter);
  // Only the two arrows of this small scroll bar are used: each step is one
  // month back or forward, and the slider returns to the middle.
  month_arrows_ = new QScrollBar(Qt::Horizontal, this);
  month_arrows_->setObjectName(QStringLiteral("monthArrows"));
  month_arrows_->setRange(0, 2);
  month_arrows_->setValue(1);
  // The arrow keys step months too: Left back, Right forward (a scroll bar
  // inverts its keys by default).
  month_arrows_->setFocusPolicy(Qt::StrongFocus);
  month_arrows_->setInvertedControls(false);
  connect(month_arrows_, &QScrollBar::actionTriggered, this, [this](int action) {
    if (action == QAbstractSlider::SliderSingleStepSub || action == QAbstractSlider::SliderPageStepSub) {
      previous_month();
    } else if (action == QAbstractSlider::SliderSingleStepAdd || action == QAbstractSlider::SliderPageStepAdd) {
      next_month();
    }
    month_arrows_->setSliderPosition(1);
  });

  lay_out(kMinLayoutWidth, 300);
  month_label_->setText(month_text());
  // Listen before the first fill: a record appended in between is then
  // caught up with instead of missed.
  log_.set_listener(log_relay_.get());
  local_.set_listener(local_relay_.get());
  connect(tabs_, &QTabBar::currentChanged, this, &CUserInfoView::select_tab);
  select_tab(kLocalMailTab);
}

CUserInfoView::~CUserInfoView() {
  log_.set_listener(nullptr);
  local_.set_listener(nullptr);
}

QString CUserInfoView::month_text() const {
  auto [year, month] = log_.shown_month();
  return QString::asprintf("%d/%02d", year, month);
}

void CUserInfoView::show_account(MailboxAccount* account) {
  if (account) filter_ = account->address();
  else filter_.reset();
  local_filled_ = false;
  log_filled_ = false;
  refill_current();
}

void CUserInfoView::select_tab(int tab) {
  tab_ = tab == kLogTab ? kLogTab : kLocalMailTab;
  if (tabs_->currentIndex() != tab_) tabs_->setCurrentIndex(tab_);
  refill_current();
  local_list_->setVisible(tab_ == kLocalMailTab);
  log_list_->setVisible(tab_ == kLogTab);
}

void CUserInfoView::refill_current() {
  if (tab_ == kLocalMailTab) fill_local();
  else fill_log();
}

void CUserInfoView::previous_month() {
  auto [year, month] = log_.shown_month();
  if (--month < 1) {
    month = 12;
    --year;
  }
  go_to_month(year, month);
}

void CUserInfoView::next_month() {
  auto [year, month] = log_.shown_month();
  if (++month > 12) {
    month = 1;
    ++year;
  }
  go_to_month(year, month);
}

void CUserInfoView::go_to_month(int year, int month) {
  log_.load_month(year, month);
  local_.load_month(year, month);
  month_label_->setText(month_text());
  local_filled_ = false;
  log_filled_ = false;
  refill_current();
}

bool CUserInfoView::passes(const std::string& account) const { return !filter_ || *filter_ == account; }

void CUserInfoView::fill_local() {
  if (local_filled_) return;
  local_list_->clear();
  std::vector<LocalMailRecord> records = local_.records();
  for (size_t i = 0; i < records.size(); ++i) append_local(records[i], i);
  local_seen_ = records.size();
  local_filled_ = true;
  local_columns_->fit();
}

void CUserInfoView::fill_log() {
  if (log_filled_) return;
  log_list_->clear();
  std::vector<LogRecord> records = log_.records();
  for (const LogRecord& r : records) append_log(r);
  log_seen_ = records.size();
  log_filled_ = true;
  log_columns_->fit();
}

// A list that is not filled is read in full when it is next shown; a filled
// one, current or not, takes the new records now so it never goes stale.
void CUserInfoView::catch_up_local() {
  if (!local_filled_) return;
  const size_t seen = local_seen_;
  for (; local_seen_ < local_.count(); ++local_seen_) {
    if (std::optional<LocalMailRecord> r = local_.at(local_seen_)) append_local(*r, local_seen_);
  }
  if (local_seen_ != seen) local_columns_->fit();
}

void CUserInfoView::catch_up_log() {
  if (!log_filled_) return;
  const size_t seen = log_seen_;
  for (; log_seen_ < log_.count(); ++log_seen_) {
    if (std::optional<LogRecord> r = log_.at(log_seen_)) append_log(*r);
  }
  if (log_seen_ != seen) log_columns_->fit();
}

void CUserInfoView::append_local(const LocalMailRecord& r, size_t index) {
  if (!passes(r.account)) return;
  auto* item = new LocalMailItem(local_list_, r, index);
  int image = r.has_attachment ? 1 : 0;
  item->setIcon(0, local_mail_icon(image));
  item->setData(0, kImageRole, image);
  set_cell(item, 1, from_gb(r.sender));
  set_cell(item, 2, from_gb(r.subject));
  set_cell(item, 3, from_gb(r.mail_date));
  set_cell(item, 4, from_gb(r.saved));
  item->setText(5, format_mail_size(r.size));
  set_cell(item, 6, from_gb(r.path));
}

void CUserInfoView::append_log(const LogRecord& r) {
  if (!passes(r.account)) return;
  auto* item = new QTreeWidgetItem(log_list_);
  set_cell(item, 0, from_gb(r.account));
  set_cell(item, 1, from_gb(r.time));
  set_cell(item, 2, from_gb(r.sender));
  set_cell(item, 3, from_gb(r.recipients));
  set_cell(item, 4, from_gb(r.subject));
  set_cell(item, 5, from_gb(r.operation));
  item->setText(6, text(r.success ? sid::kYes : sid::kNo));
}

QMenu* CUserInfoView::local_mail_menu() {
  auto* menu = new QMenu(this);
  menu->setObjectName(QStringLiteral("LocalMailMenu"));
  if (saved_mail_ && local_list_->selectedItems().size() == 1) {
    for (auto [id, text_id] : {std::pair{cmd::kViewMail, sid::kViewMail}, std::pair{cmd::kReplyMail, sid::kReplyMail},
                               std::pair{cmd::kForwardMail, sid::kForwardMail}}) {
      QAction* action = menu->addAction(text(text_id));
      action->setData(id);
      connect(action, &QAction::triggered, this, [this, id = id] { run_saved_mail_command(id); });
    }
  }
  QAction* remove = menu->addAction(text(sid::kDeleteMail));
  remove->setData(cmd::kDeleteMail);
  connect(remove, &QAction::triggered, this, &CUserInfoView::delete_selected_mails);
  return menu;
}

void CUserInfoView::run_saved_mail_command(int command) {
  const QList<QTreeWidgetItem*> selected = local_list_->selectedItems();
  if (!saved_mail_ || selected.size() != 1) return;
  // A copy: the handler's dialogs may let the list change meanwhile.
  const LocalMailRecord record = static_cast<LocalMailItem*>(selected.front())->record;
  saved_mail_(command, record);
}

void CUserInfoView::delete_selected_mails() {
  catch_up_local();
  // Rows are in store order: going from the last row up, each removal only
  // shifts the positions of rows already behind us.
  for (int row = local_list_->topLevelItemCount() - 1; row >= 0; --row) {
    auto* item = static_cast<LocalMailItem*>(local_list_->topLevelItem(row));
    if (!item->isSelected()) continue;
    std::optional<size_t> index = store_index(*item);
    // The row goes only with its record: an index file that cannot be
    // rewritten keeps both, and the mail file with them.
    if (index && !local_.remove(*index)) continue;
    std::error_code ec;
    std::filesystem::remove(path_from_gb(item->record.path), ec);  // a missing file is no obstacle
    if (index) {
      --local_seen_;
      for (int later = row + 1; later < local_list_->topLevelItemCount(); ++later) {
        --static_cast<LocalMailItem*>(local_list_->topLevelItem(later))->index;
      }
    }
    delete item;
  }
}

// The row's position in the store, checked against its record; searched
// for when the two went apart.
std::optional<size_t> CUserInfoView::store_index(const LocalMailItem& item) const {
  std::optional<LocalMailRecord> stored = local_.at(item.index);
  if (stored && *stored == item.record) return item.index;
  std::vector<LocalMailRecord> records = local_.records();
  for (size_t i = 0; i < records.size(); ++i) {
    if (records[i] == item.record) return i;
  }
  return std::nullopt;
}

void CUserInfoView::save_columns(QSettings& settings) const {
  local_columns_->save(settings, QStringLiteral("localMailColumns"));
  log_columns_->save(settings, QStringLiteral("logColumns"));
}

void CUserInfoView::restore_columns(const QSettings& settings) {
  local_columns_->restore(settings, QStringLiteral("localMailColumns"));
  log_columns_->restore(settings, QStringLiteral("logColumns"));
}

void CUserInfoView::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  if (event->size().width() >= kMinLayoutWidth) lay_out(event->size().width(), event->size().height());
}

// Below the minimum width the controls keep their last places.
void CUserInfoView::lay_out(int w, int h) {
  tabs_->setGeometry(0, 0, kTabWidth, kTabHeight);
  local_list_->setGeometry(0, kTabHeight, w, h - kTabHeight);
  log_list_->setGeometry(0, kTabHeight, w, h - kTabHeight);
  month_label_->setGeometry(w - kLabelFromRight, 0, kLabelWidth, kRowHeight);
  month_arrows_->setGeometry(w - kArrowsFromRight, 0, kArrowsWidth, kRowHeight);
}

}  // namespace pw::ui
