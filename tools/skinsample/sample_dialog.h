// The skin sample: one skinned dialog with buttons in every state (normal,
// highlighted, disabled, hidden, passive picture, label, caption, image text
// drawn and image text as tip). Shared by the sample program and the tests.
#pragma once

#include <vector>

#include <wx/image.h>

#include "skin/Lumora.h"

// A rounded button face `width` x `height`: a vertical gradient from `top` to
// `bottom`; the corners outside the rounding are white, which the colour key
// leaves transparent.
wxImage MakeButtonFace(int width, int height, const wxColour& top, const wxColour& bottom, int radius);

class SkinSampleDlg : public CNewDialog {
 public:
  // Slots and click ids of the sample's items.
  enum Slot { kTitle, kSearch, kHighlighted, kDisabled, kHidden, kSettings, kLanguage, kPicture,
              kStatus, kClose, kSlotCount };
  enum ClickId : unsigned { kIdSearch = 101, kIdHighlighted, kIdDisabled, kIdHidden, kIdSettings,
                            kIdLanguage, kIdClose = 110 };

  SkinSampleDlg() = default;
  bool Create(wxWindow* parent);

  void DoMsgId(unsigned id) override;
  CButtonRect* Item(int slot) const { return m_pButtonRect[slot]; }
  const std::vector<unsigned>& Clicks() const { return m_clicks; }

 private:
  std::vector<unsigned> m_clicks;
};
