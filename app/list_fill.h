// Filling the main dialog's list boxes: the whole content replaced in one go,
// and the horizontal scroll extent fitted to the widest line.
#pragma once
#include <string>
#include <vector>

#include "app/dialog.h"

namespace quillet {

// Redraw off, empty, add every line in order, redraw on, fit_list_extent.
// Does nothing when the box has no window.
void fill_list(const list_box& box, const std::vector<std::wstring>& lines);

// Sets the horizontal extent to the widest item (trailing white space not
// counted), measured in the box's font, plus two edges and a scroll bar.
void fit_list_extent(const list_box& box);

// The pixel width fit_list_extent gives a box holding these lines (used by
// tests to check the extent against the font's own measurement).
int list_extent_for(const list_box& box, const std::vector<std::wstring>& lines);

}  // namespace quillet

namespace quillet {

// While the box holds no line, a grey hint is drawn in it (not an item): what
// to do to fill it. The hint follows the box's font.
void show_hint_when_empty(const list_box& box, const std::wstring& hint);

}  // namespace quillet
