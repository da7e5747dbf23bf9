#include "still/logic/save_filter.h"

#include "core/logic/numbered_name.h"

std::optional<SaveFilter> saveFilterFor(std::uint8_t saveType) {
    static constexpr int kFilterOfType[] = {0, 3, 5, 6, 2};
    if (saveType < 1 || saveType > 4) return std::nullopt;
    return SaveFilter{kFilterOfType[saveType], extensionForSaveType(saveType).mid(1)};
}
