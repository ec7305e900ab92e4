#pragma once
// The names to process: lines ended by "\r\n"; lines beginning with ">" filter the
// files found under the folder lines before them.

#include <string>
#include <vector>

namespace quarva::engine {

// "*" any run (also across separators), "?" one character; letters compare without
// regard to case (ASCII); "/" and "\" are the same character.
bool wildcardMatch(const std::string& pattern, const std::string& text);

struct NameGroup {
    std::vector<std::string> lines;    // folder or name lines
    std::vector<std::string> filters;  // ">" lines (without ">")
};

class NameList {
public:
    explicit NameList(const std::string& text);
    bool empty() const { return groups_.empty(); }
    const std::vector<NameGroup>& groups() const { return groups_; }
    // Archive side: does `name` ("/" or "\" separators) belong to the selection?
    // A line selects the names it matches and everything below a folder it matches;
    // with filters, the file-name part must also match one of them.
    bool matches(const std::string& name) const;

private:
    std::vector<NameGroup> groups_;
};

}  // namespace quarva::engine
