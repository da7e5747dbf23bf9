#include "platform/system/ini_profile.h"

#include <QFile>
#include <QFileInfo>
#include <cstring>

#include "platform/system/file_replace.h"
#include "platform/system/text_encoding.h"

namespace {

// The bytes Windows skips around names and values (its isspace, plus the DOS end-of-file mark).
bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f' || c == '\x1a'; }

// Bytes taken by the character that starts at text[i] of a text of n bytes.
qsizetype characterLength(const char* text, qsizetype i, qsizetype n) {
    return isShiftJisLeadByte(static_cast<unsigned char>(text[i])) && i + 1 < n ? 2 : 1;
}

// Calls visit with each byte of name, ASCII letters in lower case; the trail bytes of double-byte
// characters pass unchanged.
template <typename Visit>
void forEachFoldedByte(const char* name, qsizetype n, Visit visit) {
    for (qsizetype i = 0; i < n;) {
        const qsizetype length = characterLength(name, i, n);
        const char c = name[i];
        visit(length == 1 && c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c);
        if (length == 2) visit(name[i + 1]);
        i += length;
    }
}

std::string foldName(const QByteArray& name) {
    std::string folded;
    folded.reserve(static_cast<std::size_t>(name.size()));
    forEachFoldedByte(name.constData(), name.size(), [&](char c) { folded += c; });
    return folded;
}

std::uint32_t foldedHash(const char* name, qsizetype n) {
    std::uint32_t hash = 2166136261u;  // FNV-1a
    forEachFoldedByte(name, n, [&](char c) { hash = (hash ^ static_cast<unsigned char>(c)) * 16777619u; });
    return hash;
}

bool hasFoldedName(const char* name, qsizetype n, const std::string& folded) {
    if (static_cast<std::size_t>(n) != folded.size()) return false;
    std::size_t i = 0;
    bool same = true;
    forEachFoldedByte(name, n, [&](char c) { same = same && c == folded[i++]; });
    return same;
}

void trim(const char* data, qsizetype& begin, qsizetype& end) {
    while (begin < end && isBlank(data[begin])) ++begin;
    while (end > begin && isBlank(data[end - 1])) --end;
}

// Length of the longest prefix of text[0, n) that holds at most maxBytes and ends on a character boundary.
qsizetype boundedPrefixLength(const char* text, qsizetype n, qsizetype maxBytes) {
    if (n <= maxBytes) return n;
    qsizetype i = 0;
    while (i + characterLength(text, i, n) <= maxBytes) i += characterLength(text, i, n);
    return i;
}

// One line of the file, classified. Positions are absolute; the value of a key ends at contentEnd.
struct Line {
    enum Kind { Other, Header, Key } kind = Other;
    qsizetype nameBegin = 0;  // section or key name, without outer blanks
    qsizetype nameEnd = 0;
    qsizetype valueBegin = 0;  // after '=' and the blanks that follow it
    qsizetype contentEnd = 0;  // end of the line before its line break
    qsizetype next = 0;        // start of the following line
};

// Where the line that starts at lineBegin ends: at a CR LF, a lone LF or a lone CR, as Windows
// reads them, or at the end of the data.
qsizetype lineEnd(const char* data, qsizetype size, qsizetype lineBegin) {
    const auto find = [&](char c, qsizetype end) {
        const void* at = std::memchr(data + lineBegin, c, static_cast<std::size_t>(end - lineBegin));
        return at ? static_cast<const char*>(at) - data : end;
    };
    return find('\r', find('\n', size));
}

Line parseLine(const char* data, qsizetype size, qsizetype lineBegin) {
    Line line;
    line.contentEnd = lineEnd(data, size, lineBegin);
    line.next = line.contentEnd;
    if (line.next < size)
        line.next += data[line.next] == '\r' && line.next + 1 < size && data[line.next + 1] == '\n' ? 2 : 1;
    qsizetype begin = lineBegin;
    qsizetype end = line.contentEnd;
    trim(data, begin, end);
    if (begin == end || data[begin] == ';') return line;  // blank or comment

    if (data[begin] == '[') {
        // The name runs to the last ']' that is not the trail byte of a double-byte character.
        qsizetype close = -1;
        for (qsizetype i = begin + 1; i < end;) {
            const qsizetype length = characterLength(data, i, end);
            if (length == 1 && data[i] == ']') close = i;
            i += length;
        }
        if (close >= 0) {
            line.kind = Line::Header;
            line.nameBegin = begin + 1;
            line.nameEnd = close;
            trim(data, line.nameBegin, line.nameEnd);
            return line;
        }
    }
    // '=' is below every trail byte, so the first one found is a real one.
    const void* equals = std::memchr(data + begin, '=', static_cast<std::size_t>(end - begin));
    if (!equals) return line;
    line.nameBegin = begin;
    line.nameEnd = static_cast<const char*>(equals) - data;
    line.valueBegin = line.nameEnd + 1;
    trim(data, line.nameBegin, line.nameEnd);
    while (line.valueBegin < line.contentEnd && isBlank(data[line.valueBegin])) ++line.valueBegin;
    if (line.nameEnd > line.nameBegin) line.kind = Line::Key;
    return line;
}

bool needsQuotes(const QByteArray& value) {
    if (value.isEmpty()) return false;
    const char first = value.front();
    const bool quoted = value.size() >= 2 && (first == '"' || first == '\'') && value.back() == first;
    return quoted || isBlank(first) || isBlank(value.back());
}

bool hasLineBreak(const QString& text) {
    return text.contains(QLatin1Char('\n')) || text.contains(QLatin1Char('\r'));
}

// A name that reads back as itself: not empty, without outer blanks.
bool isStorableName(const QByteArray& name) {
    return !name.isEmpty() && !isBlank(name.front()) && !isBlank(name.back());
}

}  // namespace

IniProfile::IniProfile() : m_lineBreak("\r\n") {}

IniProfile IniProfile::read(const QString& path) { return readForUpdate(path).value_or(IniProfile()); }

std::optional<IniProfile> IniProfile::readForUpdate(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        if (!QFileInfo::exists(path)) return IniProfile();
        return std::nullopt;
    }
    return fromBytes(file.readAll());
}

IniProfile IniProfile::fromBytes(QByteArray bytes) {
    IniProfile profile;
    profile.m_bytes = std::move(bytes);
    // New lines follow the file's own line breaks, as its first line ends; CRLF, as Windows
    // writes, for a file without any.
    const Line first = parseLine(profile.m_bytes.constData(), profile.m_bytes.size(), 0);
    if (first.contentEnd < profile.m_bytes.size())
        profile.m_lineBreak = profile.m_bytes.sliced(first.contentEnd, first.next - first.contentEnd);
    return profile;
}

std::optional<IniProfile::Section>& IniProfile::section(const std::string& foldedName) const {
    const auto [slot, added] = m_sections.try_emplace(foldedName);
    if (!added) return slot->second;
    const char* data = m_bytes.constData();
    for (qsizetype pos = 0; pos < m_bytes.size();) {
        const Line line = parseLine(data, m_bytes.size(), pos);
        if (line.kind == Line::Header &&
            hasFoldedName(data + line.nameBegin, line.nameEnd - line.nameBegin, foldedName)) {
            slot->second = indexSection(pos, line.next);
            break;
        }
        pos = line.next;
    }
    return slot->second;
}

IniProfile::Section IniProfile::indexSection(qsizetype headerBegin, qsizetype bodyBegin) const {
    Section indexed{headerBegin, bodyBegin, {}};
    const char* data = m_bytes.constData();
    for (qsizetype pos = bodyBegin; pos < m_bytes.size();) {
        const Line line = parseLine(data, m_bytes.size(), pos);
        if (line.kind == Line::Header) break;
        if (line.kind == Line::Key) {
            indexed.keys.push_back(
                Entry{foldedHash(data + line.nameBegin, line.nameEnd - line.nameBegin), pos - headerBegin});
            indexed.insertAt = line.next;
        }
        pos = line.next;
    }
    return indexed;
}

qsizetype IniProfile::findKey(const Section& owner, const QByteArray& key) const {
    const std::string folded = foldName(key);
    const std::uint32_t hash = foldedHash(key.constData(), key.size());
    const char* data = m_bytes.constData();
    for (std::size_t i = 0; i < owner.keys.size(); ++i) {
        if (owner.keys[i].hash != hash) continue;
        const Line line = parseLine(data, m_bytes.size(), owner.begin + owner.keys[i].line);
        if (hasFoldedName(data + line.nameBegin, line.nameEnd - line.nameBegin, folded)) return qsizetype(i);
    }
    return -1;
}

std::optional<QString> IniProfile::readString(QStringView sectionName, QStringView key) const {
    const auto sectionBytes = toShiftJis(sectionName);
    const auto keyBytes = toShiftJis(key);
    if (!sectionBytes || !keyBytes) return std::nullopt;
    const std::optional<Section>& owner = section(foldName(*sectionBytes));
    if (!owner) return std::nullopt;
    const qsizetype index = findKey(*owner, *keyBytes);
    if (index < 0) return std::nullopt;

    const char* data = m_bytes.constData();
    const Line line = parseLine(data, m_bytes.size(), owner->begin + owner->keys[index].line);
    qsizetype begin = line.valueBegin;
    qsizetype end = line.contentEnd;
    trim(data, begin, end);
    if (end - begin >= 2 && (data[begin] == '"' || data[begin] == '\'') && data[end - 1] == data[begin]) {
        ++begin;
        --end;
    }
    end = begin + boundedPrefixLength(data + begin, end - begin, kMaxValueBytes);
    return fromShiftJis(QByteArrayView(data + begin, end - begin));
}

bool IniProfile::writeString(const QString& sectionName, const QString& key, const QString& value) {
    if (hasLineBreak(sectionName) || hasLineBreak(key) || hasLineBreak(value)) return false;
    const auto sectionBytes = toShiftJis(sectionName);
    const auto keyBytes = toShiftJis(key);
    auto valueBytes = toShiftJis(value);
    if (!sectionBytes || !keyBytes || !valueBytes) return false;
    if (!isStorableName(*sectionBytes) || !isStorableName(*keyBytes) || keyBytes->contains('=') ||
        keyBytes->startsWith('[') || keyBytes->startsWith(';')) {
        return false;
    }
    // Quotes keep a value's outer blanks and quotes, which a read would otherwise drop.
    if (needsQuotes(*valueBytes)) *valueBytes = '"' + *valueBytes + '"';
    const std::uint32_t hash = foldedHash(keyBytes->constData(), keyBytes->size());
    const QByteArray keyLine = *keyBytes + '=' + *valueBytes + m_lineBreak;

    std::optional<Section>& owner = section(foldName(*sectionBytes));
    if (!owner) {
        endLastLine();
        const qsizetype pos = m_bytes.size();
        const QByteArray header = '[' + *sectionBytes + ']' + m_lineBreak;
        m_bytes += header + keyLine;
        owner = Section{pos, m_bytes.size(), {Entry{hash, header.size()}}};
        return true;
    }

    const qsizetype index = findKey(*owner, *keyBytes);
    if (index < 0) {
        if (owner->insertAt == m_bytes.size()) endLastLine();
        const qsizetype pos = owner->insertAt;
        m_bytes.insert(pos, keyLine);
        owner->keys.push_back(Entry{hash, pos - owner->begin});
        owner->insertAt = pos + keyLine.size();
        shiftSections(pos, keyLine.size(), &*owner);
        return true;
    }

    const Entry changed = owner->keys[index];
    const Line line = parseLine(m_bytes.constData(), m_bytes.size(), owner->begin + changed.line);
    const qsizetype delta = valueBytes->size() - (line.contentEnd - line.valueBegin);
    m_bytes.replace(line.valueBegin, line.contentEnd - line.valueBegin, *valueBytes);
    for (Entry& other : owner->keys) {
        if (other.line > changed.line) other.line += delta;
    }
    // A value on the last line, without a line break, ends where new key lines go.
    if (owner->insertAt >= line.valueBegin) owner->insertAt += delta;
    shiftSections(line.valueBegin, delta, &*owner);
    return true;
}

// Moves the indexed sections that start at or after from, other than except, by delta bytes.
void IniProfile::shiftSections(qsizetype from, qsizetype delta, const Section* except) {
    for (auto& [name, other] : m_sections) {
        if (other && &*other != except && other->begin >= from) {
            other->begin += delta;
            other->insertAt += delta;
        }
    }
}

// Gives a last line without a line break its break, so that a line can follow. A section whose
// new keys went after that line now puts them after the break.
void IniProfile::endLastLine() {
    const qsizetype end = m_bytes.size();
    if (end == 0 || m_bytes.endsWith('\n') || m_bytes.endsWith('\r')) return;
    m_bytes += m_lineBreak;
    for (auto& [name, indexed] : m_sections) {
        if (indexed && indexed->insertAt == end) indexed->insertAt = m_bytes.size();
    }
}

bool IniProfile::save(const QString& path) const { return replaceFile(path, m_bytes); }
