#include "searchui/devicelistview.h"

namespace searchui {

CDeviceListView::CDeviceListView(wxWindow* parent, int id, const wxPoint& position, const wxSize& size,
                                 bool single_selection)
    : wxListCtrl(parent, id, position, size,
                 wxLC_REPORT | wxLC_VIRTUAL | (single_selection ? wxLC_SINGLE_SEL : 0) | wxBORDER_THEME) {}

wxString CDeviceListView::OnGetItemText(long item, long column) const {
    return m_rowText ? m_rowText(item, column) : wxString();
}

}  // namespace searchui
