#include "core/rect_region.h"

#include <algorithm>

namespace skorva {
namespace {

bool isEmpty(const Rect& rect) {
    return rect.right <= rect.left || rect.bottom <= rect.top;
}

Rect intersection(const Rect& a, const Rect& b) {
    return {std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
            std::min(a.bottom, b.bottom)};
}

}  // namespace

void RectRegion::add(const Rect& rect) {
    if (isEmpty(rect)) {
        return;
    }
    // Kept disjoint: what the new rectangle covers is taken out of the others first.
    subtract(rect);
    rects_.push_back(rect);
}

void RectRegion::subtract(const Rect& cut) {
    if (isEmpty(cut)) {
        return;
    }
    std::vector<Rect> kept;
    kept.reserve(rects_.size());
    for (const Rect& rect : rects_) {
        const Rect overlap = intersection(rect, cut);
        if (isEmpty(overlap)) {
            kept.push_back(rect);
            continue;
        }
        // What is left around the overlap: the bands above and below it, and the pieces beside it.
        for (const Rect& piece : {Rect{rect.left, rect.top, rect.right, overlap.top},
                                  Rect{rect.left, overlap.bottom, rect.right, rect.bottom},
                                  Rect{rect.left, overlap.top, overlap.left, overlap.bottom},
                                  Rect{overlap.right, overlap.top, rect.right, overlap.bottom}}) {
            if (!isEmpty(piece)) {
                kept.push_back(piece);
            }
        }
    }
    rects_ = std::move(kept);
}

RectRegion RectRegion::within(const Rect& bounds) const {
    RectRegion inside;
    for (const Rect& rect : rects_) {
        const Rect overlap = intersection(rect, bounds);
        if (!isEmpty(overlap)) {
            inside.rects_.push_back(overlap);
        }
    }
    return inside;
}

}  // namespace skorva
