#pragma once

// Negative errno values the Linux transport returns beyond the driver's own.
//
// Two of the driver's answers to an extension-unit query would read like a
// failed open(): ENOENT (no such unit or control) and EACCES (the camera's
// "wrong state" request error; the query itself needs no permission). They are
// renamed on their way up so that each code has one meaning for describeError.

#include <cerrno>

namespace emberline::platform::linux_uvc {

inline constexpr int kErrNoSuchControl = -ENOPROTOOPT;  // the driver's ENOENT
inline constexpr int kErrWrongState = -EBADFD;          // the driver's EACCES
inline constexpr int kErrBadAnswer = -EBADMSG;          // an answer outside the protocol
inline constexpr int kErrPayloadTooLong = -EMSGSIZE;    // SET refused: it would cut data

}  // namespace emberline::platform::linux_uvc
