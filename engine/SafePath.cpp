#include "engine/SafePath.h"

#include "platform/SafePath.h"

namespace quarva::engine {

bool safeComponents(const std::string& name, bool usePaths, std::vector<std::string>& out) {
    auto parts = platform::safePathComponents(name);
    out = parts ? std::move(*parts) : std::vector<std::string>{};
    if (!parts) return false;
    if (!usePaths) {
        std::string last = out.back();
        out.assign(1, last);
    }
    return true;
}

}  // namespace quarva::engine
