#pragma once
// The first failure of a dialog's form check: the field that takes the focus
// and the message shown. The checks are plain functions without Qt, so tests
// reach their order without showing a window.
namespace pw::ui {

template <class Field>
struct FormFailure {
  Field field{};
  int message_id = 0;

  friend bool operator==(const FormFailure&, const FormFailure&) = default;
};

}  // namespace pw::ui
