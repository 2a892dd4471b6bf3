#include "ui/rules/number_dialog.h"

#include <QGridLayout>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QToolButton>
#include <QVBoxLayout>

#include <limits>

#include "ui/message_boxes.h"
#include "ui/dialog_parts.h"
#include "ui/ui_text.h"

namespace pw::ui {
namespace {

struct NumberTexts {
  int caption;
  int prompt;
  QString unit;
};

NumberTexts texts(NumberDialog::Use use) {
  switch (use) {
    case NumberDialog::Use::hours: return {sid::kSetHoursTitle, sid::kHoursPrompt, text(sid::kHoursWord)};
    case NumberDialog::Use::size: return {sid::kSetSizeTitle, sid::kSizePrompt, QStringLiteral("KB")};
    case NumberDialog::Use::seconds: break;
  }
  return {sid::kSetWaitTitle, sid::kWaitPrompt, text(sid::kSecondsUnit)};
}

QToolButton* arrow(QWidget* parent, Qt::ArrowType type, const char* name) {
  auto* button = new QToolButton(parent);
  button->setObjectName(QString::fromLatin1(name));
  button->setArrowType(type);
  button->setAutoRepeat(true);
  button->setFixedSize(18, 12);
  return button;
}

}  // namespace

NumberDialog::NumberDialog(Use use, int32_t value, bool greater, MessageBoxes& boxes, QWidget* parent)
    : QDialog(parent), boxes_(boxes), value_(value) {
  const NumberTexts t = texts(use);
  setObjectName(QStringLiteral("NumberDialog"));
  setWindowTitle(text(t.caption));
  greater_ = make_radio(this, ui::text("大于(&A)"), "greater");
  auto* less = make_radio(this, ui::text("小于(&L)"), "less");
  group_radios(this, greater_, less, greater ? 0 : 1);
  if (use == Use::seconds) {
    greater_->hide();
    less->hide();
  }
  number_ = new QLineEdit(QString::number(std::max(value, 0)), this);
  number_->setObjectName(QStringLiteral("number"));
  number_->setValidator(new QIntValidator(0, std::numeric_limits<int32_t>::max(), number_));
  auto* up = arrow(this, Qt::UpArrow, "up");
  auto* down = arrow(this, Qt::DownArrow, "down");
  auto* unit = new QLabel(t.unit, this);
  unit->setObjectName(QStringLiteral("unit"));

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(make_label(this, text(t.prompt), number_));
  layout->addWidget(greater_);
  layout->addWidget(less);
  auto* row = new QGridLayout;
  row->setHorizontalSpacing(2);
  row->addWidget(number_, 0, 0, 2, 1);
  row->addWidget(up, 0, 1);
  row->addWidget(down, 1, 1);
  row->addWidget(unit, 0, 2, 2, 1);
  row->setColumnStretch(0, 1);
  row->setColumnMinimumWidth(2, 40);
  layout->addLayout(row);
  add_ok_cancel(this, layout);

  connect(up, &QToolButton::clicked, this, [this] { step(1); });
  connect(down, &QToolButton::clicked, this, [this] { step(-1); });
}

bool NumberDialog::greater() const { return greater_->isChecked(); }

void NumberDialog::step(int delta) {
  const qint64 now = number_->text().toLongLong();
  const qint64 next = std::clamp<qint64>(now + delta, 0, std::numeric_limits<int32_t>::max());
  number_->setText(QString::number(next));
  number_->setFocus();
  number_->selectAll();
}

void NumberDialog::accept() {
  bool ok = false;
  const int number = number_->text().toInt(&ok);
  if (!ok || number < 0) {
    boxes_.show(this, MessageKind::input_error, sid::kNotANumber);
    number_->setFocus();
    number_->selectAll();
    return;
  }
  value_ = number;
  QDialog::accept();
}

}  // namespace pw::ui
