#pragma once

#include <QByteArray>
#include <QString>
#include <QStringView>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

// A Windows-style INI file, held as its bytes (Shift-JIS on disk) and read and written with the
// rules of GetPrivateProfileString / WritePrivateProfileString:
// - lines end at CR LF, LF or a lone CR; new lines take the file's own line break;
// - "[name]" opens a section, "key=value" holds a value, a line whose first non-blank byte is ';'
//   is a comment; names compare without regard to ASCII case (the bytes of double-byte characters
//   are never folded nor taken for '[', ']' or '=');
// - blanks around names and values are ignored; a value loses one pair of enclosing quotes and is
//   read up to kMaxValueBytes bytes;
// - only the first section of a name and the first key of a name in it count;
// - a write changes the value where it stands, or adds the key at the end of its section, or the
//   section at the end of the file; every other line keeps its bytes.
// A section is found and indexed once, on first use; writes keep that index up to date. Reads
// fill that index, so a profile is not for use from several threads at once.
class IniProfile {
public:
    static constexpr qsizetype kMaxValueBytes = 2047;

    // An empty profile, as for a missing file.
    IniProfile();

    // The profile of the file at path; empty when the file is missing or cannot be read.
    static IniProfile read(const QString& path);
    // As read(), for a file about to be rewritten: nullopt when the file exists but cannot be
    // read, so that a save never replaces content it could not see.
    static std::optional<IniProfile> readForUpdate(const QString& path);
    static IniProfile fromBytes(QByteArray bytes);

    // The value of key in section; nullopt when the section or key is missing, or when the
    // stored bytes are not valid Shift-JIS. An empty value reads as an empty text.
    std::optional<QString> readString(QStringView section, QStringView key) const;

    // Sets key in section to value. False, with nothing changed, when a text has no Shift-JIS
    // form or would not read back as itself: a line break, an empty name or one with outer
    // blanks, a key with '=' or starting with '[' or ';'. A value with outer blanks, or enclosed
    // in quotes, is written in double quotes so that it reads back whole.
    bool writeString(const QString& section, const QString& key, const QString& value);

    QByteArray toBytes() const { return m_bytes; }

    // Writes the bytes to path, creating the file (see replaceFile). False when the system refuses
    // or the disk is full, or when the file exists without any write permission bit; the old
    // content then stays as it was, byte for byte.
    bool save(const QString& path) const;

private:
    // A key line, by the hash of its folded name and the offset of the line from the start of its
    // section (so that edits elsewhere leave it valid); the line itself is parsed again on a match.
    struct Entry {
        std::uint32_t hash;
        qsizetype line;
    };
    // The first section of a name: its header line and its key lines in file order.
    struct Section {
        qsizetype begin;     // first byte of the header line
        qsizetype insertAt;  // where a new key line goes: after the last key line, or the header
        std::vector<Entry> keys;
    };

    // The cached entry for the section of the folded name, found and indexed on first use.
    std::optional<Section>& section(const std::string& foldedName) const;
    Section indexSection(qsizetype headerBegin, qsizetype bodyBegin) const;
    // Index in owner.keys of the first key named key (Shift-JIS), or -1.
    qsizetype findKey(const Section& owner, const QByteArray& key) const;
    void shiftSections(qsizetype from, qsizetype delta, const Section* except);
    void endLastLine();

    QByteArray m_bytes;
    QByteArray m_lineBreak;
    // Sections asked for so far, by folded name (nullopt: not in the file). Filled by the const
    // readers, so that a large file costs one pass per section asked for rather than a full index.
    mutable std::unordered_map<std::string, std::optional<Section>> m_sections;
};
