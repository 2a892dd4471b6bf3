#pragma once
// Connects the three panes of the main window: the tree's selection filters
// the information view, binding changes in the tree redraw the rule
// pictures, and watch changes from the rule list redraw the tree's marks.
namespace pw::ui {

class CRulerListView;
class CUserInfoView;
class CUserTreeView;

void connect_views(CUserTreeView& tree, CRulerListView& rules, CUserInfoView& info);

}  // namespace pw::ui
