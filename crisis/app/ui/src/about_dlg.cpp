#include "tavrin_ui/about_dlg.h"

#include <wx/artprov.h>
#include <wx/button.h>
#include <wx/statbmp.h>
#include <wx/stattext.h>

namespace tavrin_ui {

AboutDialog::AboutDialog(wxWindow* parent) : wxDialog(parent, wxID_ANY, "About Tavrin") {
  SetClientSize(ConvertDialogToPixels(wxSize(217, 55)));
  new wxStaticBitmap(this, wxID_ANY, wxArtProvider::GetBitmap(wxART_HARDDISK, wxART_MESSAGE_BOX),
                     ConvertDialogToPixels(wxPoint(11, 17)));
  new wxStaticText(this, wxID_ANY, "Tavrin Version 1.0", ConvertDialogToPixels(wxPoint(40, 10)));
  new wxStaticText(this, wxID_ANY, "Crisis recovery disk builder",
                   ConvertDialogToPixels(wxPoint(40, 22)));
  new wxStaticText(this, wxID_ANY, "Floppy and USB key, MINIDOS and FULLDOS",
                   ConvertDialogToPixels(wxPoint(40, 34)));
  auto* ok = new wxButton(this, wxID_OK, "OK", ConvertDialogToPixels(wxPoint(178, 7)),
                          ConvertDialogToPixels(wxSize(32, 14)));
  ok->SetDefault();
  CentreOnParent();
}

}  // namespace tavrin_ui
