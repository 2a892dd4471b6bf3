#pragma once
// The settings dialog "系统设置": edits the settings record in memory and the
// start-with-session entry. Its checks run in a fixed order on "确定" and
// only the first failure is shown, with the focus on its field.
#include <QDialog>

#include "ui/settings/settings_check.h"

class QCheckBox;
class QComboBox;
class QLineEdit;
class QSpinBox;

namespace pw {
class DialUp;
class RunAtStartup;
struct SystemSettings;
}  // namespace pw

namespace pw {
class OAuthStore;
}

namespace pw::ui {

class MessageBoxes;

class CSettingsDialog : public QDialog {
  Q_OBJECT

 public:
  // `dial_up` offers the connections to dial; `autostart` is read when the
  // dialog opens and written or removed on "确定".
  CSettingsDialog(SystemSettings& settings, DialUp& dial_up, const RunAtStartup& autostart, MessageBoxes& boxes,
                  QWidget* parent = nullptr);

  // Shows the fields for the user's own OAuth 2.0 clients, kept in `store`
  // (which must outlive the dialog) on "确定".
  void set_oauth_store(const OAuthStore* store);

  void accept() override;

 private:
  void fill();
  void update_enabling();
  [[nodiscard]] SettingsForm form() const;
  [[nodiscard]] bool validate();
  void store();

  SystemSettings& settings_;
  const RunAtStartup& autostart_;
  MessageBoxes& boxes_;

  QLineEdit* interval_;
  QComboBox* unit_;
  QCheckBox* auto_dial_;
  QComboBox* entry_;
  QLineEdit* phone_;
  QLineEdit* dial_user_;
  QLineEdit* dial_password_;
  QCheckBox* hang_up_;
  QCheckBox* run_at_startup_;
  QCheckBox* purge_logs_;
  QLineEdit* months_;
  QCheckBox* auto_shutdown_;
  QLineEdit* time_;
  QCheckBox* login_password_;
  QLineEdit* password_;
  QLineEdit* confirmation_;
  QCheckBox* check_at_start_;
  QCheckBox* notifications_;
  const OAuthStore* oauth_ = nullptr;
  QLineEdit* microsoft_client_;
  QLineEdit* google_client_;
  QLineEdit* google_secret_;
  QSpinBox* at_once_;
};

}  // namespace pw::ui
