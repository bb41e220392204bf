#pragma once
// The node's control panel, built from what its layout_controls places: one
// tab per page label (the labels in the label column at each page's first
// row), and within a page each widget in a 4-column table at its row within
// the page and its column. Edits assign the widget as the host does and are
// then handed to the viewer's edit function.
#include <array>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "app/view/view_geometry.h"
#include "assim/fx_node.h"

namespace brumel {

struct PanelPage {
  std::string name;  // the page label's text
  // Widget indexes at [row within the page][column]; a cell may hold none.
  std::array<std::array<std::vector<int>, 4>, 7> cells;
};

// The pages of the node's layout in page order. A page without a label is
// named "Page N" (from 1); widgets placed beyond column 3 (other than the
// labels) have no cell and are left out.
std::vector<PanelPage> panel_pages(FXNode& node);

class ControlPanel {
 public:
  // Called after a widget's value was assigned from the panel, or when a
  // button was pressed: the edit function that reports the change to the node.
  using EditFunction = std::function<void(CWidget&)>;

  // Rebuilds the pages from the node's layout (a new node, another layout).
  void rebuild(FXNode& node);

  // Draws the tabs and the current page into the current ImGui window.
  void draw(FXNode& node, const EditFunction& edited);

  const std::vector<PanelPage>& pages() const { return pages_; }
  // The tab shown at the last draw (from 0).
  int current_page() const { return current_page_; }
  // Shows page `page` at the next draw.
  void show_page(int page) { requested_page_ = page; }
  // The page named `name` (exactly, then ignoring case), or -1.
  int find_page(const std::string& name) const;
  // Where the first widget named `name` (exactly, then ignoring case) of the
  // page shown at the last draw was drawn, in window coordinates; nothing
  // when the page has none.
  std::optional<WindowRect> drawn_at(const FXNode& node, const std::string& name) const;

 private:
  std::vector<PanelPage> pages_;
  int current_page_ = 0;
  int requested_page_ = -1;
  std::map<int, WindowRect> drawn_;  // widget index -> its rectangle at the last draw
};

}  // namespace brumel
