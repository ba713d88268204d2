// The wizard's own resources beyond its bitmaps: the application icon (icon
// 128) in the sizes the desktop asks for.
#pragma once

#include <wx/iconbndl.h>

namespace wizard {

// Icon 128; an empty bundle when the pictures cannot be decoded.
wxIconBundle ApplicationIcon();

}  // namespace wizard
