// Looks up a section and key in a fuzzed language text, by scanning and
// through the index, and through the loaded-language path; all must agree.
//
// Input: one byte with the section's length (low nibble) and the key's length
// (high nibble), the section and the key as Latin-1, then the language text as
// UTF-16 little-endian bytes, as read from a file.

#include "LangLookup.h"
#include "Languages.h"
#include "Variables.h"

#include <QString>
#include <QtEndian>

#include <cstdint>
#include <cstdlib>

namespace {

void expectSame(const QString& a, const QString& b)
{
    if (a != b)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1)
        return 0;
    const QByteArrayView input(reinterpret_cast<const char*>(data + 1), qsizetype(size - 1));
    const QString section =
        QString::fromLatin1(input.first(std::min<qsizetype>(data[0] & 0x0F, input.size())));
    const QByteArrayView rest = input.sliced(section.size());
    const QString key =
        QString::fromLatin1(rest.first(std::min<qsizetype>(data[0] >> 4, rest.size())));
    const QByteArrayView bytes = rest.sliced(key.size());

    QString text(bytes.size() / 2, Qt::Uninitialized);
    qFromLittleEndian<char16_t>(bytes.data(), text.size(), text.data());
    const QString upper = LangLookup::upperSameLength(text);
    const QString fallback = QStringLiteral("<default>");
    const QString scanned = LangLookup::scan(section, key, fallback, text, upper);
    expectSame(LangLookup::Index(text, upper).lookup(section, key, fallback), scanned);

    // The loaded-language path, with its cached index.
    LanguageText = text;
    LanguageTextUpper = upper;
    expectSame(Languages::GetLangString(section, key, fallback, LanguageText, LanguageTextUpper),
               scanned);
    const int number = key.toInt();
    if (key == QString::number(number) && number >= -1999 && number <= 1999)
        expectSame(Languages::GetMessageText(static_cast<qint16>(number)),
                   LangLookup::scan(u"ZORCFG", key, QStringLiteral("*"), text, upper));

    // An upper-case copy of another length takes the scan's positions.
    const QString other = text.toUpper();
    expectSame(LangLookup::Index(text, other).lookup(section, key, fallback),
               LangLookup::scan(section, key, fallback, text, other));
    return 0;
}
