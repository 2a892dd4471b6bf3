#pragma once
// The editors behind the links of the extra-operation description: forward
// opens the forward dialog, reply the reply dialog (without the capture
// pattern button, as one-off texts expand no markers), backup the folder
// chooser. Behind an interface so that tests answer without a modal loop.
#include <cstdint>
#include <functional>
#include <string>

class QWidget;

namespace pw {
struct ExtraOperations;
}

namespace pw::ui {

class FileDialogs;
class MessageBoxes;

// The forward and reply dialogs on the one-off parameters of `extra`; true
// when the user confirmed (the values are then stored in `extra`).
bool edit_extra_forward(QWidget* parent, ExtraOperations& extra, MessageBoxes& boxes,
                        const std::function<std::string(QWidget*)>& pick_recipients);
bool edit_extra_reply(QWidget* parent, ExtraOperations& extra, MessageBoxes& boxes, FileDialogs& files);

class ExtraEditors {
 public:
  virtual ~ExtraEditors() = default;
  // Edits the parameters of extra operation `operation` (an ExtraOperations
  // bit) in `extra`; true when the user confirmed the change.
  virtual bool edit(QWidget* parent, uint8_t operation, ExtraOperations& extra) = 0;
};

class QtExtraEditors final : public ExtraEditors {
 public:
  // `pick_recipients` is the forward dialog's address-book button.
  QtExtraEditors(MessageBoxes& boxes, FileDialogs& files, std::function<std::string(QWidget*)> pick_recipients)
      : boxes_(boxes), files_(files), pick_recipients_(std::move(pick_recipients)) {}
  bool edit(QWidget* parent, uint8_t operation, ExtraOperations& extra) override;

 private:
  MessageBoxes& boxes_;
  FileDialogs& files_;
  std::function<std::string(QWidget*)> pick_recipients_;
};

}  // namespace pw::ui
