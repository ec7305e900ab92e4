#pragma once
// Interface and class identifiers, and their text form ("{XXXXXXXX-XXXX-...}").

#include <cstdio>
#include <optional>
#include <string>
#include <string_view>

#include "shellext/com/ComTypes.h"

namespace quarva::com {

namespace detail {
constexpr unsigned hexDigit(char c) {
    return c >= '0' && c <= '9'   ? unsigned(c - '0')
           : c >= 'a' && c <= 'f' ? unsigned(c - 'a' + 10)
           : c >= 'A' && c <= 'F' ? unsigned(c - 'A' + 10)
                                  : 0x100;
}
constexpr std::uint64_t hexAt(std::string_view s, std::size_t pos, std::size_t count, bool& ok) {
    std::uint64_t v = 0;
    for (std::size_t i = 0; i < count; ++i) {
        unsigned d = pos + i < s.size() ? hexDigit(s[pos + i]) : 0x100;
        if (d > 15) ok = false;
        v = (v << 4) | (d & 15);
    }
    return v;
}
}  // namespace detail

// "xxxxxxxx-xxxx-xxxx-xxxx-xxxxxxxxxxxx", with or without braces.
constexpr std::optional<GUID> parseGuid(std::string_view s) {
    if (s.size() == 38 && s.front() == '{' && s.back() == '}') s = s.substr(1, 36);
    if (s.size() != 36 || s[8] != '-' || s[13] != '-' || s[18] != '-' || s[23] != '-') return std::nullopt;
    bool ok = true;
    GUID g{};
    g.Data1 = static_cast<std::uint32_t>(detail::hexAt(s, 0, 8, ok));
    g.Data2 = static_cast<std::uint16_t>(detail::hexAt(s, 9, 4, ok));
    g.Data3 = static_cast<std::uint16_t>(detail::hexAt(s, 14, 4, ok));
    g.Data4[0] = static_cast<std::uint8_t>(detail::hexAt(s, 19, 2, ok));
    g.Data4[1] = static_cast<std::uint8_t>(detail::hexAt(s, 21, 2, ok));
    for (int i = 0; i < 6; ++i) g.Data4[2 + i] = static_cast<std::uint8_t>(detail::hexAt(s, 24 + 2 * i, 2, ok));
    if (!ok) return std::nullopt;
    return g;
}

constexpr GUID guid(std::string_view s) { return *parseGuid(s); }

// "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}", upper case, as the registry carries it.
inline std::string guidToString(const GUID& g) {
    char buf[40];
    std::snprintf(buf, sizeof buf, "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}", g.Data1, g.Data2, g.Data3,
                  g.Data4[0], g.Data4[1], g.Data4[2], g.Data4[3], g.Data4[4], g.Data4[5], g.Data4[6], g.Data4[7]);
    return buf;
}

// The platform's interfaces.
inline constexpr IID IID_IUnknown = guid("00000000-0000-0000-C000-000000000046");
inline constexpr IID IID_IClassFactory = guid("00000001-0000-0000-C000-000000000046");
inline constexpr IID IID_IDispatch = guid("00020400-0000-0000-C000-000000000046");
inline constexpr IID IID_IDataObject = guid("0000010E-0000-0000-C000-000000000046");
inline constexpr IID IID_IPersist = guid("0000010C-0000-0000-C000-000000000046");
inline constexpr IID IID_IPersistFile = guid("0000010B-0000-0000-C000-000000000046");
inline constexpr IID IID_IDropTarget = guid("00000122-0000-0000-C000-000000000046");
inline constexpr IID IID_IShellExtInit = guid("000214E8-0000-0000-C000-000000000046");
inline constexpr IID IID_IContextMenu = guid("000214E4-0000-0000-C000-000000000046");
inline constexpr IID IID_IQueryInfo = guid("00021500-0000-0000-C000-000000000046");
// The proxy/stub class of dual interfaces (written when a type library is registered).
inline constexpr CLSID CLSID_PSOAInterface = guid("00020424-0000-0000-C000-000000000046");
// Menus of this binary contract.
inline constexpr IID IID_IMenu = guid("7C0F2B5E-3D71-4A8E-9B52-6E1D0A4C9F13");

// The suite's classes, interfaces and type library. Never change them: the
// registry and the type library carry them.
inline constexpr CLSID CLSID_ZipContext = guid("E101E204-A9FB-4CF8-BE33-BA03FAF0B393");
inline constexpr CLSID CLSID_ZipDrag = guid("B65B1A9F-96FB-4516-8F57-8012DEDA08FF");
inline constexpr CLSID CLSID_ZipDrop = guid("6F73E9D6-C073-4D60-AD94-CDC1CE9317BD");
inline constexpr CLSID CLSID_ZipSearch = guid("D191437D-DF2A-416C-AF08-95C06EB0C5A7");
inline constexpr CLSID CLSID_ZipInfo = guid("E22D9CE2-193B-485B-9B9E-A8BDC5559890");
inline constexpr CLSID CLSID_ZipProp = guid("8D472798-B485-4329-803F-DCA69219602D");
inline constexpr IID IID_IZipContext = guid("137593BD-F3F7-4009-88BC-AEB1FAE523F4");
inline constexpr IID IID_IZipDrag = guid("FDF3344F-CAFB-431D-A803-A64F5B9830DA");
inline constexpr IID IID_IZipDrop = guid("A70395D7-D0D3-4561-8C3E-FDDCE85E8D35");
inline constexpr IID IID_IZipSearch = guid("9E793D32-F97C-4608-A957-9507DE6EF5AF");
inline constexpr IID IID_IZipInfo = guid("655FCAE9-B23A-41E7-B699-F7E79725FFF6");
inline constexpr IID IID_IZipProp = guid("C312309D-4150-4C0E-B175-2973093F5508");
inline constexpr GUID LIBID_ZIPLib = guid("BE6BAB04-0757-4BCF-BB6E-BAF23FD15973");

}  // namespace quarva::com
