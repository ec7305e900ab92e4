#pragma once
// The busy dialog that stands while an archive operation runs: one text line and
// "Cancel". The window program shows a real dialog; runs without a display use the
// silent one; tests record the texts.

#include <functional>
#include <memory>
#include <string>

namespace quarva::archive {

class IBusyDialog {
public:
    virtual ~IBusyDialog() = default;
    virtual void setText(const std::string& text) = 0;
    virtual void hideCancel() = 0;
};

class IBusyDialogFactory {
public:
    virtual ~IBusyDialogFactory() = default;
    // Creates and shows the dialog with the text "Processing..."; `onCancel` runs
    // when the user presses "Cancel" (the dialog stays open).
    virtual std::unique_ptr<IBusyDialog> create(std::function<void()> onCancel) = 0;
};

// For runs without a display: shows nothing.
class CSilentBusyDialogFactory : public IBusyDialogFactory {
public:
    std::unique_ptr<IBusyDialog> create(std::function<void()> onCancel) override;
};

}  // namespace quarva::archive
