#include <iconv.h>

#include <QSysInfo>
#include <algorithm>
#include <cerrno>

#include "platform/text_encoding.h"

namespace {

constexpr const char* kCp932 = "CP932";
// QString's storage order, so that no byte-order mark is read or written.
constexpr const char* kUtf16 = QSysInfo::ByteOrder == QSysInfo::LittleEndian ? "UTF-16LE" : "UTF-16BE";

// Owns one iconv conversion descriptor for its lifetime.
class IconvConverter {
public:
    IconvConverter(const char* to, const char* from) : m_cd(iconv_open(to, from)) {}
    ~IconvConverter() {
        if (isOpen()) iconv_close(m_cd);
    }
    IconvConverter(const IconvConverter&) = delete;
    IconvConverter& operator=(const IconvConverter&) = delete;

    // Converts all of input into output. False when the input is invalid or incomplete,
    // or holds a character the target encoding cannot represent.
    bool convert(QByteArrayView input, QByteArray& output) {
        if (!isOpen()) return false;
        iconv(m_cd, nullptr, nullptr, nullptr, nullptr);
        // iconv never writes through the input pointer; its signature predates const.
        char* in = const_cast<char*>(input.data());
        size_t inLeft = static_cast<size_t>(input.size());
        output.resize(std::max<qsizetype>(16, input.size() * 2));
        qsizetype used = 0;
        for (;;) {
            char* out = output.data() + used;
            size_t outLeft = static_cast<size_t>(output.size() - used);
            const size_t result = iconv(m_cd, &in, &inLeft, &out, &outLeft);
            used = out - output.data();
            if (result != static_cast<size_t>(-1)) break;
            if (errno != E2BIG) return false;
            output.resize(output.size() * 2);
        }
        output.resize(used);
        return true;
    }

private:
    bool isOpen() const { return m_cd != reinterpret_cast<iconv_t>(-1); }

    iconv_t m_cd;
};

QByteArrayView utf16Bytes(QStringView text) {
    return {reinterpret_cast<const char*>(text.utf16()), text.size() * qsizetype(sizeof(char16_t))};
}

// Calls visit(position, units, bytes) for each character of text in order, with its place in
// UTF-16 units and its CP932 byte count (1 when it has no CP932 form), until visit returns false.
template <typename Visit>
void visitCharacters(QStringView text, Visit visit) {
    IconvConverter converter(kCp932, kUtf16);
    QByteArray encoded;
    for (qsizetype pos = 0; pos < text.size();) {
        const qsizetype units =
            text[pos].isHighSurrogate() && pos + 1 < text.size() && text[pos + 1].isLowSurrogate() ? 2 : 1;
        const int bytes =
            converter.convert(utf16Bytes(text.sliced(pos, units)), encoded) ? int(encoded.size()) : 1;
        if (!visit(pos, units, bytes)) return;
        pos += units;
    }
}

}  // namespace

std::optional<QByteArray> toShiftJis(QStringView text) {
    IconvConverter converter(kCp932, kUtf16);
    QByteArray bytes;
    if (!converter.convert(utf16Bytes(text), bytes)) return std::nullopt;
    return bytes;
}

std::optional<QString> fromShiftJis(QByteArrayView bytes) {
    IconvConverter converter(kUtf16, kCp932);
    QByteArray utf16;
    if (!converter.convert(bytes, utf16)) return std::nullopt;
    return QString(reinterpret_cast<const QChar*>(utf16.constData()), utf16.size() / 2);
}

int shiftJisLength(QStringView text) {
    if (const auto bytes = toShiftJis(text)) return int(bytes->size());
    int length = 0;
    visitCharacters(text, [&](qsizetype, qsizetype, int bytes) {
        length += bytes;
        return true;
    });
    return length;
}

QString shiftJisLeft(const QString& text, int maxBytes) {
    int length = 0;
    qsizetype end = 0;
    visitCharacters(text, [&](qsizetype pos, qsizetype units, int bytes) {
        if (length + bytes > maxBytes) return false;
        length += bytes;
        end = pos + units;
        return true;
    });
    return text.left(end);
}
