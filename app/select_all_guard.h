#pragma once
// Ctrl+A in a focused list that allows several selected rows selects them
// all, as everywhere else, instead of firing the window's "check all
// mailboxes" accelerator. An event filter on the application: it claims the
// key before shortcuts are looked up.
#include <QObject>

namespace pw::app {

class SelectAllGuard : public QObject {
  Q_OBJECT

 public:
  using QObject::QObject;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
};

}  // namespace pw::app
