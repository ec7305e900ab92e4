#include <cctype>
#include <string>

#include "platform/testing/TestSupport.h"

namespace quarva::testing {

namespace {

// A recursive-descent reader of RFC 8259 JSON that only says whether the text is well formed.
class JsonReader {
public:
    explicit JsonReader(const std::string& text) : s_(text) {}
    bool document() { return value(0) && (space(), at_ == s_.size()); }

private:
    void space() {
        while (at_ < s_.size() && (s_[at_] == ' ' || s_[at_] == '\t' || s_[at_] == '\n' || s_[at_] == '\r')) ++at_;
    }
    bool take(char c) {
        space();
        if (at_ < s_.size() && s_[at_] == c) return ++at_, true;
        return false;
    }
    bool word(const char* w) {
        const std::string text(w);
        if (s_.compare(at_, text.size(), text) != 0) return false;
        at_ += text.size();
        return true;
    }
    bool digits() {
        const std::size_t start = at_;
        while (at_ < s_.size() && std::isdigit(static_cast<unsigned char>(s_[at_]))) ++at_;
        return at_ > start;
    }
    bool number() {
        if (at_ < s_.size() && s_[at_] == '-') ++at_;
        if (at_ < s_.size() && s_[at_] == '0') ++at_;
        else if (!digits()) return false;
        if (at_ < s_.size() && s_[at_] == '.' && (++at_, !digits())) return false;
        if (at_ < s_.size() && (s_[at_] == 'e' || s_[at_] == 'E')) {
            ++at_;
            if (at_ < s_.size() && (s_[at_] == '+' || s_[at_] == '-')) ++at_;
            return digits();
        }
        return true;
    }
    bool string() {
        if (!take('"')) return false;
        while (at_ < s_.size()) {
            const unsigned char c = static_cast<unsigned char>(s_[at_++]);
            if (c == '"') return true;
            if (c < 0x20) return false;
            if (c != '\\') continue;
            if (at_ >= s_.size()) return false;
            const char e = s_[at_++];
            if (e == 'u') {
                for (int k = 0; k < 4; ++k)
                    if (at_ >= s_.size() || !std::isxdigit(static_cast<unsigned char>(s_[at_++]))) return false;
            } else if (std::string("\"\\/bfnrt").find(e) == std::string::npos) {
                return false;
            }
        }
        return false;
    }
    template <class Item>
    bool sequence(char close, Item item) {
        if (take(close)) return true;
        do {
            if (!item()) return false;
        } while (take(','));
        return take(close);
    }
    bool value(int depth) {
        space();
        if (at_ >= s_.size() || depth > 200) return false;
        const char c = s_[at_];
        if (c == '{') return ++at_, sequence('}', [&] { return (space(), string()) && take(':') && value(depth + 1); });
        if (c == '[') return ++at_, sequence(']', [&] { return value(depth + 1); });
        if (c == '"') return string();
        if (c == '-' || std::isdigit(static_cast<unsigned char>(c))) return number();
        return word("true") || word("false") || word("null");
    }

    const std::string& s_;
    std::size_t at_ = 0;
};

}  // namespace

bool isJson(const std::string& text) { return JsonReader(text).document(); }

}  // namespace quarva::testing
