#include "archive/core/CommandLine.h"

#include <filesystem>

namespace quarva::archive {

void CCommandLine::parseParam(const std::string& param)
{
    if (param.size() > 1 && (param[0] == '/' || param[0] == '-')) {
        // Linux paths start with "/" too: a parameter with a second "/" ("/home/a.zip"),
        // or one that names an existing file ("/a.zip"), is a path, not a switch.
        std::error_code ec;
        if (param[0] == '/' && (param.find('/', 1) != std::string::npos || std::filesystem::exists(param, ec))) {
            argument_ = param;
            return;
        }
        switch_ = param.substr(1);
    } else {
        argument_ = param;
    }
}

void CCommandLine::parse(const std::vector<std::string>& params)
{
    for (const auto& p : params) parseParam(p);
}

void CCommandLine::parse(int argc, char** argv)
{
    for (int i = 1; i < argc; ++i) parseParam(argv[i]);
}

}  // namespace quarva::archive
