#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>
#include <optional>

// Conversions between the program's Unicode texts and Shift-JIS (Windows code page 932),
// the encoding of the settings file and of every byte count the program shows.
//
// Every text that converts reads back as itself. CP932 gives nine characters no code of their
// own (¢ £ ¥ ¬ — ‖ ‾ − and the wave dash 〜, which Japanese input methods type); the system's
// converter folds them into other characters (〜 into ～, ¥ into '\'). They are stored in the
// first nine codes of the user-defined area (F0 40 .. F0 48) instead, whose own characters
// (U+E000 .. U+E008) therefore have no form.

// The CP932 bytes of text; nullopt when some character has no CP932 form.
std::optional<QByteArray> toShiftJis(QStringView text);

// The text of CP932 bytes; nullopt when the bytes are not valid CP932.
std::optional<QString> fromShiftJis(QByteArrayView bytes);

// Bytes the text takes in CP932. A character without a CP932 form counts as one byte,
// the '?' that an ANSI conversion puts in its place.
int shiftJisLength(QStringView text);

// The longest prefix of text whose CP932 form fits in maxBytes, never splitting a character.
QString shiftJisLeft(const QString& text, int maxBytes);

// True for a byte that opens a double-byte CP932 character.
constexpr bool isShiftJisLeadByte(unsigned char byte) {
    return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
}
