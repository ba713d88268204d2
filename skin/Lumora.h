// The skinned windows of the kit: image buttons, skinned dialog and view, tip window.
#pragma once

#include "skin/button_rect.h"
#include "skin/new_dialog.h"
#include "skin/new_view.h"
#include "skin/skin_pixels.h"
#include "skin/tip_dlg.h"
