// BlakHole (.bh): no public description of the format exists, so these archives
// can be neither read nor written; every call says so.

#include "formatlib/formats/HandlerBase.h"

namespace quarva::formatlib {
namespace {

class BlakHoleHandler : public HandlerBase {
public:
    BlakHoleHandler() : HandlerBase("bh", {"bh"}, 0) {}
    int bid(const std::uint8_t*, std::size_t, const std::filesystem::path&) const override { return 0; }
    std::string unsupportedReason() const override {
        return "BlakHole archives are not supported: no description of the format is available";
    }
    std::unique_ptr<ArchiveReader> openReader(const std::filesystem::path&, const std::string&,
                                              std::string* error) const override {
        *error = unsupportedReason();
        return nullptr;
    }
};

}  // namespace

const FormatHandler& blakHoleHandler() { return onlyInstance<BlakHoleHandler>(); }

}  // namespace quarva::formatlib
