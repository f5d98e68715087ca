#pragma once
// A set of pixels kept as disjoint rectangles: the parts of a window that it has still to repaint. Meant
// for the few rectangles of a window's exposures; every operation walks them all.

#include <vector>

#include "core/types.h"

namespace skorva {

class RectRegion {
  public:
    void add(const Rect& rect);
    void subtract(const Rect& rect);
    // The part that lies inside `rect`.
    RectRegion within(const Rect& rect) const;

    bool empty() const { return rects_.empty(); }
    const std::vector<Rect>& rects() const { return rects_; }

  private:
    std::vector<Rect> rects_;
};

}  // namespace skorva
