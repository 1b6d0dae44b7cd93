#pragma once

namespace orvela::PageZoom {

inline constexpr double step = 0.1;
inline constexpr double minimum = 0.6;
inline constexpr double maximum = 2.0;
inline constexpr double actualSize = 1.0;

// One step up or down from the current zoom, kept within minimum…maximum. The
// steps add up in plain double arithmetic, so nine steps up from 1.0 give
// 1.9000000000000008, not 1.9.
double zoomedIn(double current);
double zoomedOut(double current);

}  // namespace orvela::PageZoom
