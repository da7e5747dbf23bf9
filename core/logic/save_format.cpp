#include "core/logic/save_format.h"

const SaveFormatRow* findSaveFormat(int code) {
    for (const SaveFormatRow& row : kSaveFormats)
        if (saveTypeCode(row.format) == code) return &row;
    return nullptr;
}

const SaveFormatRow& numberedSaveFormat(int code) {
    const SaveFormatRow* row = findSaveFormat(code);
    return row ? *row : *findSaveFormat(saveTypeCode(SaveFormat::Png));
}
