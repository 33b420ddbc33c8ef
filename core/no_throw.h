// Keeps C++ exceptions inside TalLib. An export or a WinHTTP callback that
// builds strings or vectors can meet an allocation failure; nothing may leave
// it as an exception (the caller may not even be C++), so the export's body
// runs inside NoThrow and an exception becomes the export's failure result.
#pragma once

#include <utility>

template <typename Result, typename Body> Result NoThrow(Result failure, Body &&body) noexcept
{
    try {
        return std::forward<Body>(body)();
    } catch (...) {
        return failure;
    }
}

// The same for a body without a result.
template <typename Body> void NoThrowVoid(Body &&body) noexcept
{
    try {
        std::forward<Body>(body)();
    } catch (...) {
    }
}
