// Entry points of libKeplinLib.so: the device search dialog placed as a child
// window inside a window of the caller. Call on the user-interface thread of a
// running wxWidgets application.
#pragma once

#include <cstdint>

class wxWindow;

// Where the dialog goes, in the parent's client coordinates.
struct KeplinRect {
    int32_t left;
    int32_t top;
    int32_t right;
    int32_t bottom;
};

#define KEPLIN_EXPORT __attribute__((visibility("default")))

extern "C" {
// Creates the dialog (Chinese layout) as a child of `parent`, places it at
// `rect`, applies the language file `lang_file` (a name looked up beside the
// running program; null counts as empty) and shows it. Every call makes a new
// dialog with its own engine; it lives until `parent` is destroyed. Nothing
// happens when `parent` is null.
KEPLIN_EXPORT void ShowSearchDlg(wxWindow* parent, KeplinRect rect, const char* lang_file);
// The same with the English layout and built-in texts.
KEPLIN_EXPORT void ShowSearchEnDlg(wxWindow* parent, KeplinRect rect, const char* lang_file);
}
