#pragma once
// The viewer "显示邮件内容": one mail held by a MailProcessor (not owned),
// with its header block, its body as plain text with clickable links or as
// HTML (when it has an HTML body), and its attachments, which open from the
// MailTemp directory or are saved where the user says.
#include <QDialog>

#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "ui/mail/mail_links.h"
#include "ui/message_boxes.h"

class QLabel;
class QListWidget;
class QPushButton;
class QTextBrowser;
class QTextEdit;

namespace pw {
class MailProcessor;
}

namespace pw::ui {

class CHtmlCtrl;

struct ViewerServices {
  std::filesystem::path mail_temp;  // the MailTemp directory
  // Opens a link or a file with the system, false when nothing could; null:
  // QDesktopServices.
  std::function<bool(const QUrl&)> open_url;
  // The path to save an attachment to, proposing `name`; empty on cancel.
  // Null: the save-file dialog.
  std::function<QString(QWidget* parent, const QString& name)> save_path;
  // Tells where an attachment that nothing could open was written; null:
  // message boxes of the toolkit.
  MessageBoxes* boxes = nullptr;
};

// Writes `data` into `dir` as the file of attachment name `name` (made one
// safe path component), replacing what has that name without following a
// link there. The path written, or empty on failure.
[[nodiscard]] std::filesystem::path write_into(const std::filesystem::path& dir, std::string_view name,
                                               std::string_view data);

class CMailViewer : public QDialog {
  Q_OBJECT

 public:
  // The attachment list shows at most this many; a last line tells how many
  // more the mail has.
  static constexpr int kMaxListedAttachments = 200;

  CMailViewer(MailProcessor& mail, ViewerServices services, QWidget* parent = nullptr);
  ~CMailViewer() override;

  // The viewer for `mail`, modal.
  static void show_mail(MailProcessor& mail, const ViewerServices& services, QWidget* parent);


 public slots:
  void show_plain_text();
  void show_html();
  void open_attachment(int index);
  void save_attachment(int index);

 protected:
  void resizeEvent(QResizeEvent* event) override;

 private:
  void fill_header();
  void fill_body();
  void fill_attachments();
  void lay_out(int width, int height);
  bool open(const QUrl& url) const;

  MailProcessor& mail_;
  ViewerServices services_;
  std::unique_ptr<MessageBoxes> own_boxes_;
  bool has_html_ = false;
  bool has_attachments_ = false;
  int clicked_attachment_ = -1;
  int listed_attachments_ = 0;
  std::string body_;
  std::vector<MailLink> links_;

  QTextEdit* header_;
  QLabel* body_label_;
  QPushButton* text_button_;
  QPushButton* html_button_;
  QTextBrowser* plain_;
  CHtmlCtrl* html_;
  QLabel* attachment_label_;
  QListWidget* attachments_;
};

}  // namespace pw::ui
