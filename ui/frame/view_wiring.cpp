#include "ui/frame/view_wiring.h"

#include "ui/frame/ruler_list_view.h"
#include "ui/frame/user_info_view.h"
#include "ui/frame/user_tree_view.h"

namespace pw::ui {

void connect_views(CUserTreeView& tree, CRulerListView& rules, CUserInfoView& info) {
  QObject::connect(&tree, &CUserTreeView::account_selected, &info, &CUserInfoView::show_account);
  QObject::connect(&tree, &CUserTreeView::bindings_changed, &rules, &CRulerListView::refresh_images);
  QObject::connect(&rules, &CRulerListView::watch_marks_changed, &tree, &CUserTreeView::refresh_icons);
}

}  // namespace pw::ui
