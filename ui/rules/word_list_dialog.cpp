#include "ui/rules/word_list_dialog.h"

#include <QButtonGroup>
#include <QLabel>
#include <QRadioButton>
#include <QVBoxLayout>

#include "ui/dialog_parts.h"
#include "ui/rules/word_list_panel.h"
#include "ui/ui_text.h"

namespace pw::ui {

WordListDialog::WordListDialog(ConditionKind kind, std::string list, bool contains, bool all_words,
                               MessageBoxes& boxes, QWidget* parent)
    : QDialog(parent), kind_(kind) {
  setObjectName(QStringLiteral("WordListDialog"));
  setWindowTitle(ui::text("键入信息"));
  contains_ = make_radio(this, ui::text("当前项含有以下文字(&C)"), "contains");
  auto* not_contains = make_radio(this, ui::text("当前项不含有以下文字(&N)"), "notContains");
  group_radios(this, contains_, not_contains, contains ? 0 : 1);
  all_ = make_radio(this, ui::text("当前项符合以下所有文字(&A)"), "allWords");
  auto* any = make_radio(this, ui::text("当前项符合以下任一文字(&O)"), "anyWord");
  group_radios(this, all_, any, all_words ? 0 : 1);
  words_ = new WordListPanel(ui::text("键入添加的内容，单击\"添加\"按钮添加(&T)"), std::move(list), false,
                             boxes, this);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(new QLabel(ui::text("执行规则的操作，当"), this));
  layout->addWidget(contains_);
  layout->addWidget(not_contains);
  layout->addWidget(all_);
  layout->addWidget(any);
  layout->addWidget(words_);
  words_->set_ok_button(add_ok_cancel(this, layout));

  connect(contains_, &QRadioButton::toggled, this, &WordListDialog::rebuild);
  connect(all_, &QRadioButton::toggled, this, &WordListDialog::rebuild);
  rebuild();
  resize(420, sizeHint().height());
}

const std::string& WordListDialog::list() const { return words_->list(); }
bool WordListDialog::contains() const { return contains_->isChecked(); }
bool WordListDialog::all_words() const { return all_->isChecked(); }

void WordListDialog::rebuild() {
  const QString label = text(label_id(kind_));
  const QString heading =
      label.left(label.indexOf(text(sid::kContains))) + text(contains() ? sid::kContains : sid::kNotContains);
  words_->set_heading(heading, text(all_words() ? sid::kAnd : sid::kOr));
}

}  // namespace pw::ui
