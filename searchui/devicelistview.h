// The device list: a report list that asks for a row's texts only when it
// draws the row, so that thousands of cameras are listed at once and the
// window keeps no second copy of them.
#pragma once

#include <wx/listctrl.h>

#include <functional>

namespace searchui {

class CDeviceListView : public wxListCtrl {
public:
    using RowText = std::function<wxString(long row, long column)>;

    CDeviceListView(wxWindow* parent, int id, const wxPoint& position, const wxSize& size, bool single_selection);

    // Where the texts come from; rows beyond what it knows show empty texts.
    void SetRowText(RowText text) { m_rowText = std::move(text); }

protected:
    wxString OnGetItemText(long item, long column) const override;

private:
    RowText m_rowText;
};

}  // namespace searchui
