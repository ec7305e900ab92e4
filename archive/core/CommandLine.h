#pragma once
// The archive manager's command line: at most one switch (a word after "/" or "-")
// and one path. Every parameter replaces the previous one of its kind, so the last
// switch and the last path win. Switches keep their case; the actions compare
// them case-sensitively.

#include <string>
#include <vector>

namespace quarva::archive {

class CCommandLine {
public:
    // One parameter as the program received it.
    void parseParam(const std::string& param);
    void parse(const std::vector<std::string>& params);
    void parse(int argc, char** argv);  // argv[0] is the program

    const std::string& switchName() const { return switch_; }
    const std::string& argument() const { return argument_; }

private:
    std::string switch_;
    std::string argument_;
};

}  // namespace quarva::archive
