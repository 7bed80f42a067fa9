// Writes a language file from its UTF-8 source: UTF-16 little-endian with a
// byte-order mark and CRLF line ends, the form the program reads.
//   mklangfile <source.utf8.txt> <Zor_LgNN.txt>

#include <QFile>
#include <QSaveFile>
#include <QString>
#include <QtEndian>

#include <cstdio>

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: mklangfile <source> <target>\n");
        return 2;
    }
    QFile source(QString::fromLocal8Bit(argv[1]));
    if (!source.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "mklangfile: cannot read %s\n", argv[1]);
        return 1;
    }
    QString text = QString::fromUtf8(source.readAll());
    if (text.startsWith(QChar(0xFEFF)))
        text.remove(0, 1);
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(u'\r', u'\n');
    text.replace(QStringLiteral("\n"), QStringLiteral("\r\n"));
    text.prepend(QChar(0xFEFF));

    QByteArray bytes(text.size() * 2, Qt::Uninitialized);
    qToLittleEndian<char16_t>(text.utf16(), text.size(), bytes.data());

    QSaveFile target(QString::fromLocal8Bit(argv[2]));
    if (!target.open(QIODevice::WriteOnly) || target.write(bytes) != bytes.size() ||
        !target.commit()) {
        std::fprintf(stderr, "mklangfile: cannot write %s\n", argv[2]);
        return 1;
    }
    return 0;
}
