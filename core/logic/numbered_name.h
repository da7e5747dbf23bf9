#pragma once

#include <QString>
#include <cstdint>

// folder + separator + prefix + number (decimal, no leading zeros) + extension.
QString numberedPath(const QString& folder, const QString& prefix, std::int32_t number,
                     const QString& extension);

// The first number from start on for which no file of any of the four image formats exists,
// whatever the current format: a number is used once by any of them.
std::int32_t firstFreeNumber(const QString& folder, const QString& prefix, std::int32_t start);
