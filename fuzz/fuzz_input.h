#pragma once

#include <QByteArray>
#include <QString>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

// Splits a fuzzer's bytes into the pieces a target needs: a leading blob, then texts, each piece
// ending at a separator byte (or at the end of the input).
class FuzzInput {
public:
    FuzzInput(const std::uint8_t* data, std::size_t size)
        : m_data(reinterpret_cast<const char*>(data)), m_size(qsizetype(size)) {}

    bool atEnd() const { return m_pos >= m_size; }

    // The bytes up to the next separator, which is skipped.
    QByteArray piece(char separator) {
        qsizetype end = m_pos;
        while (end < m_size && m_data[end] != separator) ++end;
        const QByteArray bytes(m_data + m_pos, end - m_pos);
        m_pos = end < m_size ? end + 1 : end;
        return bytes;
    }
    QString text(char separator) { return QString::fromUtf8(piece(separator)); }

private:
    const char* m_data;
    qsizetype m_size;
    qsizetype m_pos = 0;
};

// A fault: stops the run so that the fuzzer keeps the input.
inline void check(bool condition) {
    if (!condition) std::abort();
}
