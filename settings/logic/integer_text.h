#pragma once

#include <QStringView>
#include <cstdint>
#include <optional>

// The value of an integer text: optional leading blanks (space, tab), an optional sign, then
// decimal digits, or hexadecimal digits after one of $, x, X, 0x, 0X, and nothing after them.
// Decimal values must lie in the signed 32-bit range; hexadecimal ones may reach FFFFFFFF and are
// taken as a 32-bit pattern ($FFFFFFFF is -1) before the sign applies. nullopt for anything else.
std::optional<std::int32_t> parseIntegerText(QStringView text);
