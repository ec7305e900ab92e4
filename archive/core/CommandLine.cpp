#include "archive/core/CommandLine.h"

#include <filesystem>

namespace quarva::archive {

namespace {

bool looksLikeSwitch(const std::string& param) {
    if (param.size() < 2 || (param[0] != '/' && param[0] != '-')) return false;
    // Linux paths start with "/" too: a parameter with a second "/" ("/home/a.zip"),
    // or one that names an existing file ("/a.zip"), is a path, not a switch.
    std::error_code ec;
    return param[0] == '-' || (param.find('/', 1) == std::string::npos && !std::filesystem::exists(param, ec));
}

}  // namespace

bool CCommandLine::parse(const std::vector<std::string>& params) {
    switch_.clear();
    argument_.clear();
    if (params.empty()) return true;
    std::size_t next = 0;
    std::string sw;
    if (looksLikeSwitch(params[0])) sw = params[next++].substr(1);
    if (params.size() - next > 1) return false;
    switch_ = std::move(sw);
    if (next < params.size()) argument_ = params[next];
    return true;
}

}  // namespace quarva::archive
