#pragma once
// libarchive converts names between an archive's character set and the current
// locale's. The programs that load this library do not choose a locale, so every
// call into libarchive runs with a UTF-8 locale on its thread: names then come out
// (and go in) as UTF-8 whatever LANG says.

#include <locale.h>

namespace quarva::formatlib {

class Utf8Locale {
public:
    Utf8Locale() {
        for (const char* name : {"C.UTF-8", "C.utf8", "en_US.UTF-8"}) {
            locale_ = newlocale(LC_ALL_MASK, name, static_cast<locale_t>(0));
            if (locale_) break;
        }
    }
    ~Utf8Locale() {
        if (locale_) freelocale(locale_);
    }
    Utf8Locale(const Utf8Locale&) = delete;
    Utf8Locale& operator=(const Utf8Locale&) = delete;

    // Switches the calling thread to the UTF-8 locale until the end of the scope.
    class Scope {
    public:
        explicit Scope(const Utf8Locale& l) : old_(l.locale_ ? uselocale(l.locale_) : static_cast<locale_t>(0)) {}
        ~Scope() {
            if (old_) uselocale(old_);
        }
        Scope(const Scope&) = delete;
        Scope& operator=(const Scope&) = delete;

    private:
        locale_t old_;
    };

private:
    locale_t locale_ = static_cast<locale_t>(0);
};

}  // namespace quarva::formatlib
