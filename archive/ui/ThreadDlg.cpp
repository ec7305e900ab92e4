#include "archive/ui/ThreadDlg.h"

#include <algorithm>
#include <cmath>

#include <wx/button.h>
#include <wx/dcmemory.h>
#include <wx/animate.h>
#include <wx/generic/animate.h>
#include <wx/image.h>
#include <wx/anidecod.h>
#include <wx/imaggif.h>
#include <wx/mstream.h>
#include <wx/quantize.h>
#include <wx/sizer.h>
#include <wx/stattext.h>
#include <wx/wfstream.h>

#include "archive/commands/Texts.h"

namespace quarva::archive::ui {

namespace {

constexpr char kBusyCaption[] = "Quarva.Zip Suite is busy";

// Our animation: papers falling into an archive box, drawn once and kept as a GIF
// in memory so that the generic animation control plays it.
wxAnimation busyAnimation() {
    static wxAnimation animation = [] {
        constexpr int kFrames = 12, kSize = 48;
        wxImageArray frames;
        for (int f = 0; f < kFrames; ++f) {
            wxBitmap bitmap(kSize, kSize, 24);
            {
                wxMemoryDC dc(bitmap);
                dc.SetBackground(wxBrush(wxColour(240, 240, 240)));
                dc.Clear();
                // The box.
                dc.SetPen(wxPen(wxColour(120, 80, 30), 2));
                dc.SetBrush(wxBrush(wxColour(205, 160, 90)));
                dc.DrawRectangle(8, 28, 32, 16);
                dc.SetBrush(wxBrush(wxColour(180, 130, 60)));
                dc.DrawRectangle(6, 24, 36, 6);
                // A zipper along the lid.
                dc.SetPen(wxPen(wxColour(90, 90, 90), 1));
                for (int x = 10; x < 40; x += 4) dc.DrawLine(x, 26, x + 2, 28);
                // A sheet drops into the box, the next starts above.
                for (int k = 0; k < 2; ++k) {
                    int phase = (f + k * kFrames / 2) % kFrames;
                    int y = -4 + phase * 2;
                    if (y > 16) continue;
                    int x = 16 + static_cast<int>(4 * std::sin(phase * 0.8));
                    dc.SetPen(wxPen(wxColour(60, 90, 160), 1));
                    dc.SetBrush(*wxWHITE_BRUSH);
                    dc.DrawRectangle(x, y, 14, 12);
                    dc.DrawLine(x + 3, y + 4, x + 11, y + 4);
                    dc.DrawLine(x + 3, y + 7, x + 9, y + 7);
                }
            }
            wxImage image = bitmap.ConvertToImage();
            wxImage paletted;
            wxQuantize::Quantize(image, paletted, 64);
            frames.Add(paletted);
        }
        wxMemoryOutputStream out;
        wxGIFHandler gif;
        // The generic control plays only animations it made itself.
        wxAnimation result = wxGenericAnimationCtrl::CreateCompatibleAnimation();
        if (gif.SaveAnimation(frames, &out, false, 90)) {
            wxMemoryInputStream in(out);
            result.Load(in, wxANIMATION_TYPE_GIF);
        }
        return result;
    }();
    return animation;
}

class CThreadDlgHandle : public IBusyDialog {
public:
    explicit CThreadDlgHandle(CThreadDlg* dialog) : dialog_(dialog) {}
    ~CThreadDlgHandle() override {
        dialog_->Hide();
        dialog_->Destroy();
    }
    void setText(const std::string& text) override { dialog_->setText(text); }
    void hideCancel() override { dialog_->hideCancel(); }

private:
    CThreadDlg* dialog_;
    // The main window takes no input while the operation runs.
    wxWindowDisabler disabler_{dialog_};
};

}  // namespace

CThreadDlg::CThreadDlg(wxWindow* parent, std::function<void()> onCancel)
    : wxDialog(parent, wxID_ANY, kBusyCaption, wxDefaultPosition, wxDefaultSize, wxCAPTION),
      cancel_(std::move(onCancel)) {
    animation_ = new wxGenericAnimationCtrl(this, wxID_ANY, busyAnimation());
    text_ = new wxStaticText(this, wxID_ANY, text::kBusyInitial, wxDefaultPosition, wxSize(300, -1),
                             wxST_NO_AUTORESIZE | wxST_ELLIPSIZE_MIDDLE);
    cancelButton_ = new wxButton(this, wxID_CANCEL, "Cancel");

    auto* row = new wxBoxSizer(wxHORIZONTAL);
    row->Add(animation_, 0, wxALL | wxALIGN_CENTER_VERTICAL, 10);
    row->Add(text_, 1, wxALL | wxALIGN_CENTER_VERTICAL, 10);
    auto* top = new wxBoxSizer(wxVERTICAL);
    top->Add(row, 1, wxEXPAND);
    top->Add(cancelButton_, 0, wxALL | wxALIGN_RIGHT, 10);
    SetSizerAndFit(top);
    CentreOnParent();

    Bind(wxEVT_BUTTON, &CThreadDlg::onCancel, this, wxID_CANCEL);
    Bind(wxEVT_CLOSE_WINDOW, &CThreadDlg::onClose, this);
    if (animation_->GetAnimation().IsOk()) animation_->Play();
}

CThreadDlg::~CThreadDlg() {
    if (animation_) animation_->Stop();
}

void CThreadDlg::setText(const std::string& text) {
    // A file name arrives after "Adding file\n": paths show as Linux users write them.
    std::string shown = text;
    std::replace(shown.begin(), shown.end(), '\\', '/');
    text_->SetLabel(wxString::FromUTF8(shown.c_str()));
    text_->Update();
}

void CThreadDlg::hideCancel() {
    cancelButton_->Hide();
    Layout();
}

void CThreadDlg::onCancel(wxCommandEvent&) {
    if (cancel_) cancel_();
}

void CThreadDlg::onClose(wxCloseEvent& event) {
    // The window goes when its operation returns, not before.
    if (event.CanVeto()) event.Veto();
}

std::unique_ptr<IBusyDialog> CThreadDlgFactory::create(std::function<void()> onCancel) {
    auto* dialog = new CThreadDlg(parent_, std::move(onCancel));
    dialog->Show();
    dialog->Update();
    return std::make_unique<CThreadDlgHandle>(dialog);
}

}  // namespace quarva::archive::ui
