#include "app/PageZoom.h"

#include <algorithm>

namespace orvela::PageZoom {
namespace {

// The lower bound first, then the upper one.
double clamped(double zoom) { return std::min(std::max(zoom, minimum), maximum); }

}  // namespace

double zoomedIn(double current) { return clamped(current + step); }
double zoomedOut(double current) { return clamped(current - step); }

}  // namespace orvela::PageZoom
