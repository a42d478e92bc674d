#pragma once
// An xcb reply, freed with the C library's free() when it goes out of scope.

#include <cstdlib>
#include <memory>

template <typename T> using XcbReply = std::unique_ptr<T, decltype(&std::free)>;

template <typename T> XcbReply<T> xcbReply(T *reply)
{
    return XcbReply<T>(reply, &std::free);
}
