#include "wizard/wizard_resources.h"

#include <wx/image.h>
#include <wx/mstream.h>

#include "wizard/wizard_icons.h"

namespace wizard {

wxIconBundle ApplicationIcon() {
  wxIconBundle bundle;
  wxPNGHandler png;
  for (const IconPicture& picture : kIconPictures) {
    wxMemoryInputStream stream(picture.data, picture.size);
    wxImage image;
    if (!png.LoadFile(&image, stream, false) || !image.IsOk()) continue;
    wxIcon icon;
    icon.CopyFromBitmap(wxBitmap(image));
    bundle.AddIcon(icon);
  }
  return bundle;
}

}  // namespace wizard
