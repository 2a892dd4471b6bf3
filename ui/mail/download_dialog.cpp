#include "ui/mail/download_dialog.h"

#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

#include "engine/direct_download.h"
#include "ui/ui_text.h"

namespace pw::ui {

// Hands the worker's steps to the dialog's thread; queued calls die with the
// dialog, and the dialog outlives the worker anyway.
class CDownloadDialog::Watcher final : public DownloadWatcher {
 public:
  explicit Watcher(CDownloadDialog& dialog) : d_(dialog) {}
  void step(int text_id) override {
    QMetaObject::invokeMethod(&d_, [d = &d_, text_id] { d->status_->setText(text(text_id)); }, Qt::QueuedConnection);
  }
  void sized(uint32_t block, uint32_t scale, int top) override {
    d_.block_ = block;
    d_.scale_ = scale;
    QMetaObject::invokeMethod(&d_, [d = &d_, top] { d->bar_->setRange(0, top); }, Qt::QueuedConnection);
  }
  void progress(int position) override {
    QMetaObject::invokeMethod(&d_, [d = &d_, position] { d->bar_->setValue(position); }, Qt::QueuedConnection);
  }
  bool cancelled() const override { return d_.cancel_.load(); }

 private:
  CDownloadDialog& d_;
};

CDownloadDialog::CDownloadDialog(DownloadRequest request, Pop3Options pop3, QWidget* parent)
    : QDialog(parent), request_(std::move(request)), pop3_(std::move(pop3)) {
  setObjectName(QStringLiteral("DownloadDialog"));
  setWindowTitle(ui::text("正在接收邮件内容"));
  setModal(true);
  status_ = new QLabel(this);
  status_->setObjectName(QStringLiteral("statusLabel"));
  status_->setMinimumWidth(280);
  bar_ = new QProgressBar(this);
  bar_->setObjectName(QStringLiteral("progressBar"));
  bar_->setRange(0, 100);
  bar_->setValue(0);
  bar_->setTextVisible(false);
  auto* cancel = new QPushButton(ui::text("取消"), this);
  cancel->setObjectName(QStringLiteral("cancelButton"));
  connect(cancel, &QPushButton::clicked, this, &CDownloadDialog::cancel);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(status_);
  layout->addWidget(bar_);
  layout->addWidget(cancel, 0, Qt::AlignRight);
}

CDownloadDialog::~CDownloadDialog() {
  cancel_ = true;
  if (worker_.joinable()) worker_.join();
}

DownloadResult CDownloadDialog::download(const DownloadRequest& request, const Pop3Options& pop3, QWidget* parent) {
  CDownloadDialog dialog(request, pop3, parent);
  dialog.exec();
  if (dialog.worker_.joinable()) dialog.worker_.join();
  return dialog.result_;
}

void CDownloadDialog::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (!worker_.joinable()) worker_ = std::thread([this] { work(); });
}

void CDownloadDialog::work() {
  Watcher watcher(*this);
  DownloadResult result = download_directly(request_, pop3_, &watcher);
  result_ = std::move(result);
  finished_ = true;
  QMetaObject::invokeMethod(this, [this] { done(static_cast<int>(result_.outcome)); }, Qt::QueuedConnection);
}

void CDownloadDialog::cancel() {
  cancel_ = true;
  if (!worker_.joinable()) {
    result_.outcome = DownloadResult::Outcome::cancelled;
    done(static_cast<int>(result_.outcome));
  } else if (finished_.load()) {
    done(static_cast<int>(result_.outcome));
  }
}

}  // namespace pw::ui
