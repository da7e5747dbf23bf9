#include <iconv.h>

#include <QSysInfo>
#include <algorithm>
#include <array>
#include <cerrno>

#include "platform/system/text_encoding.h"

namespace {

constexpr const char* kCp932 = "CP932";
// QString's storage order, so that no byte-order mark is read or written.
constexpr const char* kUtf16 = QSysInfo::ByteOrder == QSysInfo::LittleEndian ? "UTF-16LE" : "UTF-16BE";

// The characters that the system's CP932 converter writes but reads back as others, in the order
// of the user-defined codes that stand for them; those codes read as U+E000 onwards.
constexpr std::array<char16_t, 9> kFoldedCharacters{u'\u00A2', u'\u00A3', u'\u00A5', u'\u00AC', u'\u2014',
                                                    u'\u2016', u'\u203E', u'\u2212', u'\u301C'};
constexpr char16_t kStandIns = u'\uE000';

bool isStandIn(QChar c) {
    return c.unicode() >= kStandIns && c.unicode() < kStandIns + kFoldedCharacters.size();
}

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

// Both directions, with the stand-ins; one instance serves many conversions.
class Cp932Codec {
public:
    std::optional<QString> decode(QByteArrayView bytes) {
        QByteArray utf16;
        if (!m_decoder.convert(bytes, utf16)) return std::nullopt;
        QString text(reinterpret_cast<const QChar*>(utf16.constData()), utf16.size() / 2);
        for (QChar& c : text) {
            if (isStandIn(c)) c = QChar(kFoldedCharacters[c.unicode() - kStandIns]);
        }
        return text;
    }

    // The bytes, only when they decode to text again: this also refuses whatever else the
    // converter would fold or drop silently.
    std::optional<QByteArray> encode(QStringView text) {
        QString mapped = text.toString();
        for (QChar& c : mapped) {
            if (isStandIn(c)) return std::nullopt;
            const auto* folded = std::find(kFoldedCharacters.begin(), kFoldedCharacters.end(), c.unicode());
            if (folded != kFoldedCharacters.end())
                c = QChar(char16_t(kStandIns + (folded - kFoldedCharacters.begin())));
        }
        QByteArray bytes;
        if (!m_encoder.convert(utf16Bytes(mapped), bytes)) return std::nullopt;
        if (decode(bytes) != text) return std::nullopt;
        return bytes;
    }

private:
    IconvConverter m_encoder{kCp932, kUtf16};
    IconvConverter m_decoder{kUtf16, kCp932};
};

// Calls visit(position, units, bytes) for each character of text in order, with its place in
// UTF-16 units and its CP932 byte count (1 when it has no CP932 form), until visit returns false.
template <typename Visit>
void visitCharacters(QStringView text, Visit visit) {
    Cp932Codec codec;
    for (qsizetype pos = 0; pos < text.size();) {
        const qsizetype units =
            text[pos].isHighSurrogate() && pos + 1 < text.size() && text[pos + 1].isLowSurrogate() ? 2 : 1;
        const auto encoded = codec.encode(text.sliced(pos, units));
        if (!visit(pos, units, encoded ? int(encoded->size()) : 1)) return;
        pos += units;
    }
}

}  // namespace

std::optional<QByteArray> toShiftJis(QStringView text) { return Cp932Codec().encode(text); }

std::optional<QString> fromShiftJis(QByteArrayView bytes) { return Cp932Codec().decode(bytes); }

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
