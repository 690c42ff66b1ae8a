#pragma once

// What went wrong, as the core knows it: a kind the faces and records can
// act on, the system's own text (English, as shown in the message box and
// kept in records) and the platform's account of the failed request (an
// HRESULT, a device name) for whoever files a bug. The kind decides the
// operator's line below the text: what happened and what to do, in the
// operator's language, without offsets or error codes. Advice about opening
// a device (permissions, privacy settings, cables) is the platform's and is
// not worded here.

#include <string>
#include <string_view>

#include "core/workflows/strings.h"

namespace emberline::workflows {

enum class FailureKind {
  None,
  NoImage,               // no image loaded
  BadImage,              // not an image of the family, wrong size, unreadable
  NoCamera,              // nothing of the family answers
  CameraBusy,            // another program drives the camera
  UnpluggedDuringBurn,   // the camera left after its flash was changed by a burn
  UnpluggedDuringErase,  // ... by an erase
  Unplugged,             // the camera left before anything on it changed
  Refused,               // the camera refused or did not answer a request
  Protected,             // write protection could not be lifted
  Unprotected,           // the work succeeded, write protection could not be put back
  NotErased,             // the flash does not read blank after the erase
  FlashBusy,             // the flash never reported ready
  VerifyMismatch,        // the flash does not hold what was written
  FlashTooSmall,         // the flash wraps inside the image
  UnknownChip,           // no version block is known for this chip
  FileNotWritten,        // an export or backup file could not be written
  Interrupted,           // a stop request ended the work early
};

struct Failure {
  FailureKind kind = FailureKind::None;
  std::string text;    // the system's text, e.g. "Write Flash Failed at 0x04F88! ..."
  std::string detail;  // the platform's account; empty when it gave none
};

// The operator's line for `kind` in `language`; empty for None.
std::string_view operatorAdvice(FailureKind kind, Language language);

}  // namespace emberline::workflows
