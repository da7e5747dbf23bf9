#include "settings/logic/integer_text.h"

namespace {

int digitValue(QChar c, int base) {
    const char16_t u = c.unicode();
    int value = base;
    if (u >= u'0' && u <= u'9') value = u - u'0';
    if (u >= u'a' && u <= u'f') value = u - u'a' + 10;
    if (u >= u'A' && u <= u'F') value = u - u'A' + 10;
    return value < base ? value : -1;
}

}  // namespace

std::optional<std::int32_t> parseIntegerText(QStringView text) {
    qsizetype i = 0;
    while (i < text.size() && (text[i] == u' ' || text[i] == u'\t')) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == u'-' || text[i] == u'+')) negative = text[i++] == u'-';

    int base = 10;
    if (text.sliced(i).startsWith(u'$') || text.sliced(i).startsWith(u'x', Qt::CaseInsensitive)) {
        base = 16;
        i += 1;
    } else if (text.sliced(i).startsWith(u"0x", Qt::CaseInsensitive)) {
        base = 16;
        i += 2;
    }
    if (i == text.size()) return std::nullopt;

    // Decimal may reach 2^31 for the most negative value; hexadecimal may fill 32 bits.
    const std::uint64_t limit = base == 16 ? 0xFFFFFFFFu : (negative ? 0x80000000u : 0x7FFFFFFFu);
    std::uint64_t magnitude = 0;
    for (; i < text.size(); ++i) {
        const int digit = digitValue(text[i], base);
        if (digit < 0) return std::nullopt;
        magnitude = magnitude * base + std::uint64_t(digit);
        if (magnitude > limit) return std::nullopt;
    }
    const auto pattern = static_cast<std::uint32_t>(negative ? 0u - magnitude : magnitude);
    return static_cast<std::int32_t>(pattern);
}
