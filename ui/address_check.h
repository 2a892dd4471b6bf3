#pragma once
// The form check of a mail address typed into a dialog.
#include <QString>

namespace pw::ui {

// An address needs an '@' and a '.' after it. Tested on the characters, not
// the stored bytes, where a trail byte of a Chinese character may equal '@'.
[[nodiscard]] inline bool address_well_formed(const QString& address) {
  const qsizetype at = address.indexOf(u'@');
  const qsizetype dot = address.lastIndexOf(u'.');
  return at >= 0 && dot > at;
}

}  // namespace pw::ui
