#include "ui/rules/word_list_panel.h"

#include <QEvent>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include "mail/address_list.h"
#include "rules/word_list.h"
#include "ui/gb_qstring.h"
#include "ui/message_boxes.h"
#include "ui/ui_text.h"

namespace pw::ui {

EntryAdd add_entry(std::string& list, const QString& input, bool needs_address) {
  std::string grown = list;
  WordAdd result = add_word(grown, to_gb(input));
  switch (result) {
    case WordAdd::empty:
      return {};
    case WordAdd::separator:
      return {false, QStringLiteral("'%1'%2").arg(QChar(u';'), text(message_id(result))), true};
    case WordAdd::duplicate:
      return {false, text(message_id(result)), true};
    case WordAdd::too_long:
      return {false, text(message_id(result)), false};
    case WordAdd::added:
      break;
  }
  if (needs_address && !is_acceptable_address(to_gb(input))) return {false, text(sid::kNotAnAddress), true};
  list = std::move(grown);
  return {true, {}, false};
}

bool append_picked(std::string& list, std::string_view picked) {
  for (std::string_view entry : split_words(picked)) {
    if (add_word(list, entry) == WordAdd::too_long) return false;
  }
  return true;
}

QStringList description_lines(const QString& heading, std::string_view list, const QString& joiner) {
  QStringList lines{heading};
  bool first = true;
  for (std::string_view word : split_words(list)) {
    QString quoted = u'"' + from_gb(word) + u'"';
    lines << (first ? quoted : joiner + u' ' + quoted);
    first = false;
  }
  return lines;
}

WordListPanel::WordListPanel(const QString& prompt, std::string list, bool needs_address, MessageBoxes& boxes,
                             QWidget* parent)
    : QWidget(parent), list_(std::move(list)), needs_address_(needs_address), boxes_(boxes) {
  input_ = new QLineEdit(this);
  input_->setObjectName(QStringLiteral("input"));
  limit_gb_bytes(input_, kWordListLimit - 1);
  input_->installEventFilter(this);
  add_ = new QPushButton(ui::text("添加(&A)"), this);
  add_->setObjectName(QStringLiteral("add"));
  add_->setAutoDefault(false);
  lines_ = new QListWidget(this);
  lines_->setObjectName(QStringLiteral("description"));
  lines_->setSelectionMode(QAbstractItemView::ExtendedSelection);
  auto* remove_button = new QPushButton(ui::text("删除(&R)"), this);
  remove_button->setObjectName(QStringLiteral("remove"));
  remove_button->setAutoDefault(false);

  auto* grid = new QGridLayout(this);
  grid->setContentsMargins(0, 0, 0, 0);
  auto* prompt_label = new QLabel(prompt, this);
  prompt_label->setBuddy(input_);
  grid->addWidget(prompt_label, 0, 0, 1, 2);
  grid->addWidget(input_, 1, 0);
  buttons_ = new QVBoxLayout;
  buttons_->addWidget(add_);
  grid->addLayout(buttons_, 1, 1, 2, 1, Qt::AlignTop);
  auto* list_label = new QLabel(ui::text("描述(&D)"), this);
  list_label->setBuddy(lines_);
  grid->addWidget(list_label, 2, 0);
  grid->addWidget(lines_, 3, 0);
  grid->addWidget(remove_button, 3, 1, Qt::AlignTop);
  grid->setColumnStretch(0, 1);

  connect(add_, &QPushButton::clicked, this, &WordListPanel::add);
  connect(remove_button, &QPushButton::clicked, this, &WordListPanel::remove);
}

void WordListPanel::set_heading(const QString& heading, const QString& joiner) {
  heading_ = heading;
  joiner_ = joiner;
  rebuild();
}

void WordListPanel::set_ok_button(QPushButton* ok) { ok_ = ok; }

bool WordListPanel::eventFilter(QObject* watched, QEvent* event) {
  // Enter in the input adds the word; elsewhere it presses OK.
  if (watched == input_ && (event->type() == QEvent::FocusIn || event->type() == QEvent::FocusOut)) {
    const bool in = event->type() == QEvent::FocusIn;
    add_->setDefault(in);
    if (ok_) ok_->setDefault(!in);
  }
  return QWidget::eventFilter(watched, event);
}

void WordListPanel::add() {
  EntryAdd result = add_entry(list_, input_->text(), needs_address_);
  if (result.added) {
    input_->clear();
    rebuild();
    return;
  }
  if (result.message.isEmpty()) return;
  boxes_.show(this, MessageKind::input_error, result.message);
  if (result.select_input) {
    input_->setFocus();
    input_->selectAll();
  }
}

void WordListPanel::append(std::string_view picked) {
  if (!append_picked(list_, picked)) boxes_.show(this, MessageKind::input_error, sid::kListFull);
  rebuild();
}

void WordListPanel::remove() {
  // The heading is no word: the first selected line below it is removed.
  int row = -1;
  for (int i = 1; i < lines_->count(); ++i) {
    if (lines_->item(i)->isSelected()) {
      row = i;
      break;
    }
  }
  if (row < 0 || !remove_word(list_, static_cast<size_t>(row - 1))) return;
  rebuild(row);
}

void WordListPanel::rebuild(int select_row) {
  lines_->clear();
  lines_->addItems(description_lines(heading_, list_, joiner_));
  if (select_row >= 0 && lines_->count() > 0) {
    lines_->setCurrentRow(std::min(select_row, lines_->count() - 1));
  }
}

}  // namespace pw::ui
