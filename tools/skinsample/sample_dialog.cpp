#include "tools/skinsample/sample_dialog.h"

#include <algorithm>
#include <cmath>
#include <string>

namespace {

constexpr int kWidth = 560;
constexpr int kHeight = 330;
constexpr unsigned long kWhite = 0xFFFFFF;
constexpr unsigned long kDarkGrey = 0x404040;

unsigned char Mix(unsigned char a, unsigned char b, double t) {
  return static_cast<unsigned char>(std::lround(a + (b - a) * t));
}

}  // namespace

wxImage MakeButtonFace(int width, int height, const wxColour& top, const wxColour& bottom, int radius) {
  wxImage face(width, height);
  for (int y = 0; y < height; ++y) {
    const double t = height > 1 ? static_cast<double>(y) / (height - 1) : 0.0;
    for (int x = 0; x < width; ++x) {
      // Distance past the rounded corner's arc, if the pixel is in a corner.
      const int cx = x < radius ? radius - x : (x >= width - radius ? x - (width - radius - 1) : 0);
      const int cy = y < radius ? radius - y : (y >= height - radius ? y - (height - radius - 1) : 0);
      if (cx && cy && cx * cx + cy * cy > radius * radius) {
        face.SetRGB(x, y, 255, 255, 255);
        continue;
      }
      face.SetRGB(x, y, Mix(top.Red(), bottom.Red(), t), Mix(top.Green(), bottom.Green(), t),
                  Mix(top.Blue(), bottom.Blue(), t));
    }
  }
  return face;
}

bool SkinSampleDlg::Create(wxWindow* parent) {
  if (!wxDialog::Create(parent, wxID_ANY, "Skinned windows", wxDefaultPosition, wxDefaultSize,
                        wxBORDER_NONE))
    return false;
  SetClientSize(kWidth, kHeight);
  m_bTitleFrame = 1;  // black frame with a title band; a click drags the window
  RouteSkinEvents();

  const wxImage blue = MakeButtonFace(130, 40, wxColour(92, 146, 222), wxColour(34, 84, 160), 9);
  const wxImage green = MakeButtonFace(130, 56, wxColour(110, 190, 110), wxColour(40, 120, 50), 9);
  const wxImage icon = MakeButtonFace(36, 36, wxColour(250, 190, 80), wxColour(210, 120, 30), 18);
  const wxImage photo = MakeButtonFace(150, 96, wxColour(120, 170, 210), wxColour(60, 90, 60), 0);

  auto add = [this](int slot, int l, int t, int r, int b, unsigned id, unsigned long colour) {
    m_pButtonRect[slot] = new CButtonRect(l, t, r, b, this, id, colour);
    return m_pButtonRect[slot];
  };

  CButtonRect* title = add(kTitle, 8, 4, kWidth - 8, 24, 0, kWhite);
  title->SetChangeBk(0);
  title->DrawNewText("Lumora skin sample", 0);

  const int row1 = 52;
  const int row2 = 122;
  add(kSearch, 24, row1, 154, row1 + 40, kIdSearch, kWhite)->DrawBkTips(blue, "Search", 1, 1);
  add(kHighlighted, 164, row1, 294, row1 + 40, kIdHighlighted, kWhite)->DrawBkTips(blue, "Highlighted", 1, 1);
  Item(kHighlighted)->SetFocus(1);
  add(kDisabled, 304, row1, 434, row1 + 40, kIdDisabled, kWhite)->DrawBkTips(blue, "Disabled", 1, 1);
  Item(kDisabled)->EnableButton(false);
  add(kHidden, 444, row1, 544, row1 + 40, kIdHidden, kDarkGrey)->DrawBkTips(blue, "Hidden", 1, 1);
  Item(kHidden)->DrawNewText("(hidden button)", 0);
  Item(kHidden)->ShowEnable(false);

  add(kSettings, 24, row2, 154, row2 + 56, kIdSettings, kWhite)
      ->DrawBkTips(green, "Change the camera's network settings", 1, 0);
  Item(kSettings)->DrawNewText("Settings", 0);
  add(kLanguage, 24, row2 + 72, 60, row2 + 108, kIdLanguage, kDarkGrey)->DrawBkTips(icon, "", 1, 1);
  Item(kLanguage)->SetWindowTextO("Language", 0);

  add(kPicture, 380, row2, 530, row2 + 96, 0, kWhite)->DrawBkTips(photo, "Passive picture", 0, 1);
  Item(kPicture)->SetChangeBk(0);
  Item(kPicture)->SetAlignment(2);

  CButtonRect* status = add(kStatus, 24, kHeight - 66, kWidth - 24, kHeight - 46, 0, kDarkGrey);
  status->SetChangeBk(0);
  status->DrawNewText("Point at a button; the green one has a tip.", 0);

  add(kClose, kWidth - 124, kHeight - 40, kWidth - 24, kHeight - 10, kIdClose, kWhite)
      ->DrawBkTips(MakeButtonFace(100, 30, wxColour(200, 90, 80), wxColour(150, 40, 40), 7), "Close", 1, 1);
  return true;
}

void SkinSampleDlg::DoMsgId(unsigned id) {
  m_clicks.push_back(id);
  if (id == kIdClose) {
    OnOK();
    return;
  }
  if (CButtonRect* status = Item(kStatus))
    status->DrawNewText(("Clicked item " + std::to_string(id)).c_str(), 0);
}
