#pragma once
// The HTML view of the mail viewer. It shows files of one directory (the
// MailTemp directory) and nothing else: every resource the page names,
// pictures and style sheets alike, is loaded only when it is a regular file
// directly inside that directory (never through a symbolic link, a FIFO or
// a device), or from a small data: address; a refused one is an empty value
// of its type, so Qt's own loader never sees it. Nothing comes from the
// network and no script runs. Links are not followed in the
// view: "app:" links go to the application-command hook, web and mail links
// to the system.
#include <QTextBrowser>

#include <filesystem>
#include <functional>
#include <optional>

namespace pw::ui {

// Leaves every <img> element of `html` after the first `keep` out; returns
// how many there were in all.
int limit_pictures(QString& html, int keep);

class CHtmlCtrl : public QTextBrowser {
  Q_OBJECT

 public:
  // The most pictures a page shows; the mail viewer writes as many of a
  // mail's embedded pictures.
  static constexpr int kMaxPictures = 256;

  explicit CHtmlCtrl(std::filesystem::path root, QWidget* parent = nullptr);

  // Shows the file `name` of the directory.
  void navigate(const QString& name);

  // Gets the rest of an "app:" address; does nothing unless set.
  std::function<void(const QString&)> app_command;
  // Opens a web or mail link with the system.
  std::function<void(const QUrl&)> open_external;

  // The bytes of `url` when it is a file the view may load.
  [[nodiscard]] std::optional<QByteArray> local_resource(const QUrl& url) const;

 protected:
  QVariant loadResource(int type, const QUrl& name) override;

 private:
  void follow(const QUrl& url);

  std::filesystem::path root_;
};

}  // namespace pw::ui
