#pragma once
// The archive manager's command line: at most one switch (a word after "/" or "-")
// and at most one path, in that order - "QuarvaZip /switch path". The word after a
// switch is the path whatever it looks like, so a path that starts with "-" or "/"
// cannot pass for a switch. Anything more (a second switch, a second path, a
// switch after the path) is refused as a whole: nothing of it is acted on.
// Switches keep their case; the actions compare them case-sensitively.

#include <string>
#include <vector>

namespace quarva::archive {

class CCommandLine {
public:
    // False when the parameters hold more than one switch and one path; switch and
    // argument are then empty.
    bool parse(const std::vector<std::string>& params);

    const std::string& switchName() const { return switch_; }
    const std::string& argument() const { return argument_; }

private:
    std::string switch_;
    std::string argument_;
};

}  // namespace quarva::archive
