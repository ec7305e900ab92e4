#include "archive/commands/OperationState.h"

namespace quarva::archive {

namespace {
class SilentBusyDialog : public IBusyDialog {
public:
    void setText(const std::string&) override {}
    void hideCancel() override {}
};
}  // namespace

std::unique_ptr<IBusyDialog> CSilentBusyDialogFactory::create(std::function<void()>) {
    return std::make_unique<SilentBusyDialog>();
}

CBusyScope::CBusyScope(IBusyDialogFactory* factory, COperationState& state, std::function<void()> onCancel,
                       const std::string& phase)
    : state_(state), previous_(state.busy) {
    if (!factory) return;
    dialog_ = factory->create(std::move(onCancel));
    if (!dialog_) return;
    state_.busy = dialog_.get();
    if (!phase.empty()) dialog_->setText(phase);
}

CBusyScope::~CBusyScope() {
    if (!dialog_) return;
    state_.busy = previous_;
    dialog_.reset();
}

}  // namespace quarva::archive
