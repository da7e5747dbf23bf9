// The integer-text parser against a plain reading of its rule: optional blanks, an optional
// sign, then decimal digits, or hexadecimal digits after $, x, X, 0x or 0X, and nothing else;
// decimal within the signed 32-bit range, hexadecimal up to FFFFFFFF taken as a 32-bit pattern.
#include <QString>
#include <cstdint>
#include <optional>
#include <string>

#include "fuzz/fuzz_input.h"
#include "settings/logic/integer_text.h"

namespace {

std::optional<std::int32_t> reference(const std::u16string& s) {
    std::size_t i = s.find_first_not_of(u" \t");
    if (i == std::u16string::npos) return std::nullopt;
    bool negative = false;
    if (s[i] == u'+' || s[i] == u'-') negative = s[i++] == u'-';
    std::u16string rest = s.substr(i);
    int base = 10;
    for (const std::u16string prefix : {u"0x", u"0X", u"$", u"x", u"X"}) {
        if (rest.rfind(prefix, 0) == 0) {
            base = 16;
            rest = rest.substr(prefix.size());
            break;
        }
    }
    if (rest.empty()) return std::nullopt;
    long long magnitude = 0;
    for (const char16_t c : rest) {
        int digit = -1;
        if (c >= u'0' && c <= u'9') digit = c - u'0';
        if (base == 16 && c >= u'a' && c <= u'f') digit = c - u'a' + 10;
        if (base == 16 && c >= u'A' && c <= u'F') digit = c - u'A' + 10;
        if (digit < 0) return std::nullopt;
        magnitude = magnitude * base + digit;
        if (magnitude > 0xFFFFFFFFLL) return std::nullopt;  // beyond every limit
    }
    if (base == 16) {
        if (magnitude > 0xFFFFFFFFLL) return std::nullopt;
        const auto pattern = static_cast<std::uint32_t>(magnitude);
        return static_cast<std::int32_t>(negative ? 0u - pattern : pattern);
    }
    const long long value = negative ? -magnitude : magnitude;
    if (value < INT32_MIN || value > INT32_MAX) return std::nullopt;
    return static_cast<std::int32_t>(value);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));
    check(parseIntegerText(text) == reference(text.toStdU16String()));
    return 0;
}
