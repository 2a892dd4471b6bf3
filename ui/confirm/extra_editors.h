#pragma once
// The editors behind the links of the extra-operation description: forward
// opens the forward dialog, reply the reply dialog (without the capture
// pattern button, as one-off texts expand no markers), backup the folder
// chooser. Behind an interface so that tests answer without a modal loop.
#include <cstdint>

class QWidget;

namespace pw {
struct ExtraOperations;
}

namespace pw::ui {

class ExtraEditors {
 public:
  virtual ~ExtraEditors() = default;
  // Edits the parameters of extra operation `operation` (an ExtraOperations
  // bit) in `extra`; true when the user confirmed the change.
  virtual bool edit(QWidget* parent, uint8_t operation, ExtraOperations& extra) = 0;
};

class QtExtraEditors final : public ExtraEditors {
 public:
  bool edit(QWidget* parent, uint8_t operation, ExtraOperations& extra) override;
};

}  // namespace pw::ui
