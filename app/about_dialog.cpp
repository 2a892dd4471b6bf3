#include "app/about_dialog.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>

#include "app/frame_icons.h"
#include "ui/ui_text.h"

namespace pw::app {

CAboutDialog::CAboutDialog(const std::filesystem::path& data_dir, QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("AboutDialog"));
  setWindowTitle(ui::text("关于 Pelliwick"));
  auto* icon = new QLabel(this);
  icon->setPixmap(program_icon().pixmap(32, 32));
  auto* version = new QLabel(version_line(), this);
  version->setObjectName(QStringLiteral("VersionLine"));
  auto* maker = new QLabel(ui::text("%1 出品").arg(ui::text(sid::kStudioName)), this);
  maker->setObjectName(QStringLiteral("MakerLine"));
  auto* data = new QLabel(ui::text(sid::kDataDirLine).arg(QString::fromStdString(data_dir.string())), this);
  data->setObjectName(QStringLiteral("DataDirLine"));
  data->setTextInteractionFlags(Qt::TextSelectableByMouse);
  auto* buttons = new QDialogButtonBox(this);
  buttons->addButton(ui::text("确定"), QDialogButtonBox::AcceptRole)->setDefault(true);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  auto* layout = new QGridLayout(this);
  layout->addWidget(icon, 0, 0, 2, 1, Qt::AlignTop);
  layout->addWidget(version, 0, 1);
  layout->addWidget(maker, 1, 1);
  layout->addWidget(data, 2, 1);
  layout->addWidget(buttons, 3, 0, 1, 2);
  layout->setColumnStretch(1, 1);
}

QString CAboutDialog::version_line() {
  return ui::text(sid::kProgramTitle) + QStringLiteral(" v") + ui::text(sid::kVersion);
}

}  // namespace pw::app
