// The INI reader and writer against a fresh parse: the input is a file, a NUL, then writes
// "section\x01key\x01value\x02". After every write, each value written reads back, both from the
// profile that made the change and from a parse of its bytes; a refused write changes nothing.
#include <map>
#include <utility>

#include "fuzz/fuzz_input.h"
#include "platform/system/ini_profile.h"
#include "platform/system/text_encoding.h"

namespace {

// Names compare without regard to ASCII case, and only that.
QString folded(QString name) {
    for (QChar& c : name) {
        if (c >= u'A' && c <= u'Z') c = QChar(c.unicode() + (u'a' - u'A'));
    }
    return name;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzInput input(data, size);
    IniProfile profile = IniProfile::fromBytes(input.piece('\0'));
    std::map<std::pair<QString, QString>, QString> written;
    while (!input.atEnd()) {
        const QString section = input.text('\x01');
        const QString key = input.text('\x01');
        const QString value = input.text('\x02');
        const QByteArray before = profile.toBytes();
        if (!profile.writeString(section, key, value)) {
            check(profile.toBytes() == before);
            continue;
        }
        // A read gives at most the first 2047 bytes of a value.
        written[{folded(section), folded(key)}] = shiftJisLeft(value, int(IniProfile::kMaxValueBytes));
        const IniProfile fresh = IniProfile::fromBytes(profile.toBytes());
        for (const auto& [name, stored] : written) {
            check(profile.readString(name.first, name.second) == stored);
            check(fresh.readString(name.first, name.second) == stored);
        }
    }
    return 0;
}
