#pragma once
// The download dialog "正在接收邮件内容": fetches one whole mail by its
// unique identifier on a worker thread, with a status line, a progress bar
// and a cancel button. The worker closes the dialog when it ends; cancel
// only asks it to stop (at once when it has ended already).
#include <QDialog>

#include <atomic>
#include <cstdint>
#include <thread>

#include "engine/action_host.h"

class QLabel;
class QProgressBar;

namespace pw::ui {

class CDownloadDialog : public QDialog {
  Q_OBJECT

 public:
  // The session is opened with `pop3` (its connection and protocol log).
  CDownloadDialog(DownloadRequest request, Pop3Options pop3 = {}, QWidget* parent = nullptr);
  ~CDownloadDialog() override;  // waits for the worker

  // Shows the dialog modally until the download ended; its result.
  [[nodiscard]] static DownloadResult download(const DownloadRequest& request, const Pop3Options& pop3,
                                               QWidget* parent);

  [[nodiscard]] const DownloadResult& result() const { return result_; }
  // The receive block and progress scale the worker chose (0 before).
  [[nodiscard]] uint32_t block_size() const { return block_.load(); }
  [[nodiscard]] uint32_t progress_scale() const { return scale_.load(); }

 public slots:
  void cancel();
  void reject() override { cancel(); }

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  class Watcher;

  void work();

  DownloadRequest request_;
  Pop3Options pop3_;
  QLabel* status_;
  QProgressBar* bar_;
  std::thread worker_;
  std::atomic<bool> cancel_{false};
  std::atomic<bool> finished_{false};
  std::atomic<uint32_t> block_{0};
  std::atomic<uint32_t> scale_{0};
  DownloadResult result_;  // written by the worker before `finished_`
};

}  // namespace pw::ui
