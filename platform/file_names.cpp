#include "file_names.h"

#include <QStringDecoder>

namespace sonivel {
namespace {

// Length of the valid UTF-8 sequence at s[i], or 0 when the byte there does
// not start one (overlong forms, surrogates and values past U+10FFFF are
// not valid).
qsizetype ValidSequence(const QByteArray& s, qsizetype i) {
    const auto byte = [&](qsizetype k) { return static_cast<unsigned char>(s[k]); };
    const unsigned char b0 = byte(i);
    if (b0 < 0x80) return 1;
    qsizetype length;
    unsigned char low = 0x80, high = 0xBF;
    if (b0 >= 0xC2 && b0 <= 0xDF) length = 2;
    else if (b0 == 0xE0) { length = 3; low = 0xA0; }
    else if (b0 == 0xED) { length = 3; high = 0x9F; }
    else if (b0 >= 0xE1 && b0 <= 0xEF) length = 3;
    else if (b0 == 0xF0) { length = 4; low = 0x90; }
    else if (b0 == 0xF4) { length = 4; high = 0x8F; }
    else if (b0 >= 0xF1 && b0 <= 0xF3) length = 4;
    else return 0;
    if (i + length > s.size()) return 0;
    if (byte(i + 1) < low || byte(i + 1) > high) return 0;
    for (qsizetype k = 2; k < length; ++k)
        if (byte(i + k) < 0x80 || byte(i + k) > 0xBF) return 0;
    return length;
}

}  // namespace

QString DecodeFileName(const QByteArray& bytes) {
    QString name;
    name.reserve(bytes.size());
    QStringDecoder utf8(QStringConverter::Utf8, QStringConverter::Flag::ConvertInitialBom);
    qsizetype i = 0;
    while (i < bytes.size()) {
        // Runs of valid UTF-8 are decoded at once; a stray byte is kept apart.
        qsizetype end = i;
        while (end < bytes.size()) {
            const qsizetype n = ValidSequence(bytes, end);
            if (n == 0) break;
            end += n;
        }
        // A byte order mark is a character of the name like any other:
        // QString::fromUtf8 would drop one that starts a run.
        if (end > i) name += utf8.decode(QByteArrayView(bytes.constData() + i, end - i));
        if (end < bytes.size()) {
            name += QChar(static_cast<char16_t>(0xDC00 + static_cast<unsigned char>(bytes[end])));
            ++end;
        }
        i = end;
    }
    return name;
}

QByteArray EncodeFileName(const QString& name) {
    QByteArray bytes;
    bytes.reserve(name.size());
    qsizetype start = 0;
    for (qsizetype i = 0; i <= name.size(); ++i) {
        const bool escaped = i < name.size() && name[i].isLowSurrogate() &&
                             (i == 0 || !name[i - 1].isHighSurrogate()) && name[i].unicode() >= 0xDC80 &&
                             name[i].unicode() <= 0xDCFF;
        if (i < name.size() && !escaped) continue;
        bytes += QStringView(name).mid(start, i - start).toUtf8();
        if (escaped) bytes += static_cast<char>(name[i].unicode() - 0xDC00);
        start = i + 1;
    }
    return bytes;
}

Qt::CaseSensitivity FileNameCase() {
#ifdef _WIN32
    return Qt::CaseInsensitive;
#else
    return Qt::CaseSensitive;
#endif
}

QString FileNameKey(const QString& name) {
    return FileNameCase() == Qt::CaseSensitive ? name : name.toCaseFolded();
}

bool SameFileName(const QString& a, const QString& b) { return QString::compare(a, b, FileNameCase()) == 0; }

bool FitsPlaylistLine(const QString& name) {
    return !name.contains(QLatin1Char('\n')) && !name.contains(QLatin1Char('\r')) && !name.contains(QChar(0));
}

}  // namespace sonivel
