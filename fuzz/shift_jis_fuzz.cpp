// The Shift-JIS conversion both ways: bytes that decode give a text that encodes and decodes to
// itself again; a text (the input as UTF-16) that encodes reads back as itself, in as many bytes
// as its counted length, and its byte-bounded prefixes never split a character.
#include <QString>

#include "fuzz/fuzz_input.h"
#include "platform/system/text_encoding.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArrayView bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    if (const std::optional<QString> text = fromShiftJis(bytes)) {
        const std::optional<QByteArray> again = toShiftJis(*text);
        check(again.has_value() && fromShiftJis(*again) == *text);
    }

    const QString text(reinterpret_cast<const QChar*>(data), qsizetype(size / 2));
    if (const std::optional<QByteArray> encoded = toShiftJis(text)) {
        check(fromShiftJis(*encoded) == text);
        check(shiftJisLength(text) == encoded->size());
    }
    const int limit = size > 0 ? data[0] % 40 : 0;
    const QString left = shiftJisLeft(text, limit);
    check(text.startsWith(left) && shiftJisLength(left) <= limit);
    return 0;
}
