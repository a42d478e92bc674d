#pragma once
// Rules of the overlay's input behaviour that do not depend on any toolkit: the
// extended window style bits of both modes, and how native pixels and logical
// units meet. Shared by the window logic and the Win32 code, which is built
// without Qt as well.

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>

namespace zrn::overlay {

// Extended window style bits (Windows values; other systems emulate them).
inline constexpr std::uint64_t kExTransparent = 0x00000020; // WS_EX_TRANSPARENT
inline constexpr std::uint64_t kExToolWindow = 0x00000080;  // WS_EX_TOOLWINDOW
inline constexpr std::uint64_t kExNoActivate = 0x08000000;  // WS_EX_NOACTIVATE
inline constexpr std::uint64_t kExLayered = 0x00080000;     // WS_EX_LAYERED

// Answer of a hit-test query that lets the input pass to the window below (HTTRANSPARENT).
inline constexpr std::intptr_t kHitTransparent = -1;

// The extended styles for a mode: every bit other than the three above keeps its value.
constexpr std::uint64_t inputStylesFor(std::uint64_t current, bool passThrough)
{
    if (passThrough)
        return current | kExNoActivate | kExToolWindow | kExTransparent;
    return (current & ~kExTransparent) | kExNoActivate | kExToolWindow;
}

// The extended styles on a system whose hit test hands input to another program's
// window only past a top-level window that is both layered and transparent
// (Windows): the window is layered always, and transparent wherever the pointer
// is not over a part that takes the mouse, as well as in pass-through mode.
constexpr std::uint64_t pointerFollowingStylesFor(std::uint64_t current, bool passThrough,
                                                  bool pointerOverInteractive)
{
    return inputStylesFor(current, passThrough || !pointerOverInteractive) | kExLayered;
}

// Inclusive range of whole logical pixels.
struct LogicalSpan
{
    int first = 0;
    int last = -1;
};

// Half-open range of native pixels.
struct NativeSpan
{
    int begin = 0;
    int end = 0;
};

// A device pixel ratio that can scale coordinates; anything else counts as 1.
inline double usableRatio(double ratio)
{
    return (std::isfinite(ratio) && ratio > 0.0) ? ratio : 1.0;
}

// A coordinate as int, held inside the range of int so that huge inputs cannot overflow.
inline int clampedCoordinate(double value)
{
    constexpr double lo = std::numeric_limits<int>::min();
    constexpr double hi = std::numeric_limits<int>::max();
    return static_cast<int>(std::clamp(value, lo, hi));
}

// The logical pixels that native pixel `native` overlaps at `ratio` native pixels per
// logical one. At ratio 1 this is the pixel itself; at 1.5 a native pixel may touch two.
inline LogicalSpan logicalPixelsUnder(int native, double ratio)
{
    const double r = usableRatio(ratio);
    const double first = std::floor(native / r);
    const double last = std::ceil((static_cast<double>(native) + 1.0) / r) - 1.0;
    return {clampedCoordinate(first), clampedCoordinate(std::max(first, last))};
}

// The native pixels covered, even partly, by the logical pixels [begin, begin + length).
// Rounding outwards keeps every native pixel that shows a part of an interactive
// rectangle able to take the mouse, which is what logicalPixelsUnder answers as well.
inline NativeSpan nativePixelsOver(int begin, int length, double ratio)
{
    const double r = usableRatio(ratio);
    const double from = std::floor(begin * r);
    const double to = std::ceil((static_cast<double>(begin) + length) * r);
    return {clampedCoordinate(from), clampedCoordinate(to)};
}

} // namespace zrn::overlay
