#include "import/text_lines.h"

#include <QIODevice>
#include <QLocale>

#include <cstring>
#include <string_view>

namespace {

constexpr qint64 kChunk = 65536;

// Whether the bytes from the device's position on are valid UTF-8 that is not plain ASCII; reads to the end.
bool isUtf8BeyondAscii(QIODevice& in) {
    int need = 0;
    quint8 lo = 0x80, hi = 0xBF;
    bool beyondAscii = false;
    QByteArray buf(kChunk, Qt::Uninitialized);
    for (;;) {
        const qint64 got = in.read(buf.data(), kChunk);
        if (got < 0)
            throw ETextFileError(QStringLiteral("Die Datei kann nicht gelesen werden: ") + in.errorString());
        if (got == 0)
            break;
        const auto* p = reinterpret_cast<const quint8*>(buf.constData());
        for (qint64 i = 0; i < got; ++i) {
            const quint8 b = p[i];
            if (need == 0) {
                if (b < 0x80)
                    continue;
                beyondAscii = true;
                lo = 0x80;
                hi = 0xBF;
                if (b >= 0xC2 && b <= 0xDF)
                    need = 1;
                else if (b == 0xE0)
                    need = 2, lo = 0xA0;
                else if ((b >= 0xE1 && b <= 0xEC) || b == 0xEE || b == 0xEF)
                    need = 2;
                else if (b == 0xED)
                    need = 2, hi = 0x9F; // no surrogates
                else if (b == 0xF0)
                    need = 3, lo = 0x90;
                else if (b >= 0xF1 && b <= 0xF3)
                    need = 3;
                else if (b == 0xF4)
                    need = 3, hi = 0x8F; // nothing beyond U+10FFFF
                else
                    return false;
            } else {
                if (b < lo || b > hi)
                    return false;
                lo = 0x80;
                hi = 0xBF;
                --need;
            }
        }
    }
    return need == 0 && beyondAscii;
}

// Windows-1252 in 0x80..0x9F; the five bytes it leaves free stand for the C1 controls, as Latin-1 has them.
constexpr char16_t kCp1252High[32] = {0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                      0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
                                      0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                      0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

} // namespace

TextLineReader::TextLineReader(QIODevice& device) : in_(device) {
    if (!in_.isSequential())
        in_.seek(0);
    const QByteArray head = in_.peek(4);
    auto starts = [&head](std::string_view bom) {
        return head.size() >= qsizetype(bom.size()) && std::memcmp(head.data(), bom.data(), bom.size()) == 0;
    };
    int bom = 0;
    if (starts("\xEF\xBB\xBF")) {
        encoding_ = Encoding::Utf8WithBom;
        bom = 3;
    } else if (starts(std::string_view("\xFF\xFE\x00\x00", 4))) {
        encoding_ = Encoding::Utf32LE;
        bom = 4;
    } else if (starts(std::string_view("\x00\x00\xFE\xFF", 4))) {
        encoding_ = Encoding::Utf32BE;
        bom = 4;
    } else if (starts("\xFF\xFE")) {
        encoding_ = Encoding::Utf16LE;
        bom = 2;
    } else if (starts("\xFE\xFF")) {
        encoding_ = Encoding::Utf16BE;
        bom = 2;
    } else {
        const qint64 start = in_.pos();
        const bool utf8 = isUtf8BeyondAscii(in_);
        if (!in_.seek(start))
            throw ETextFileError(QStringLiteral("Die Datei kann nicht gelesen werden: ") + in_.errorString());
        encoding_ = utf8 ? Encoding::Utf8 : Encoding::Windows1252;
    }
    in_.read(bom);
    switch (encoding_) {
    case Encoding::Utf8WithBom:
    case Encoding::Utf8:
        decoder_ = QStringDecoder(QStringConverter::Utf8);
        break;
    case Encoding::Utf16LE:
        decoder_ = QStringDecoder(QStringConverter::Utf16LE);
        break;
    case Encoding::Utf16BE:
        decoder_ = QStringDecoder(QStringConverter::Utf16BE);
        break;
    case Encoding::Utf32LE:
        decoder_ = QStringDecoder(QStringConverter::Utf32LE);
        break;
    case Encoding::Utf32BE:
        decoder_ = QStringDecoder(QStringConverter::Utf32BE);
        break;
    case Encoding::Windows1252:
        break;
    }
}

QString TextLineReader::encodingName() const {
    switch (encoding_) {
    case Encoding::Utf8WithBom:
    case Encoding::Utf8:
        return QStringLiteral("UTF-8");
    case Encoding::Utf16LE:
    case Encoding::Utf16BE:
        return QStringLiteral("UTF-16");
    case Encoding::Utf32LE:
    case Encoding::Utf32BE:
        return QStringLiteral("UTF-32");
    case Encoding::Windows1252:
        break;
    }
    return QStringLiteral("Windows-1252");
}

QString TextLineReader::encodingNotice() const {
    if (encoding_ == Encoding::Utf8 || encoding_ == Encoding::Windows1252)
        return QStringLiteral("Die Datei wurde als %1 gelesen.").arg(encodingName());
    return {};
}

QString TextLineReader::decode(const QByteArray& bytes) {
    if (encoding_ != Encoding::Windows1252)
        return decoder_.decode(bytes);
    QString out(bytes.size(), Qt::Uninitialized);
    QChar* to = out.data();
    for (const char c : bytes) {
        const auto b = quint8(c);
        *to++ = QChar(b >= 0x80 && b < 0xA0 ? kCp1252High[b - 0x80] : char16_t(b));
    }
    return out;
}

bool TextLineReader::readMore() {
    if (atEnd_)
        return false;
    const QByteArray bytes = in_.read(kChunk);
    if (bytes.isEmpty()) {
        if (in_.isOpen() && in_.atEnd()) {
            atEnd_ = true;
            return false;
        }
        throw ETextFileError(QStringLiteral("Die Datei kann nicht gelesen werden: ") + in_.errorString());
    }
    // What was given out already goes before the new characters are added.
    if (head_ > 0) {
        pending_.remove(0, head_);
        head_ = 0;
    }
    pending_ += decode(bytes);
    return true;
}

void TextLineReader::tooLong() const {
    throw ETextFileError(QStringLiteral("Zeile %1 ist länger als %2 Zeichen; die Datei ist keine Anlagenliste.")
                             .arg(lineNumber_ + 1)
                             .arg(QLocale(QLocale::German).toString(qint64(kMaxLineLength))));
}

bool TextLineReader::next(QString& line) {
    for (;;) {
        if (skipLf_ && head_ < pending_.size()) {
            skipLf_ = false;
            if (pending_[head_] == QLatin1Char('\n'))
                ++head_;
        }
        const QChar* b = pending_.constData() + head_;
        const qsizetype n = pending_.size() - head_;
        qsizetype i = scanned_;
        while (i < n && b[i] != QLatin1Char('\n') && b[i] != QLatin1Char('\r'))
            ++i;
        if (i < n) {
            if (i > kMaxLineLength)
                tooLong();
            line = QString(b, i);
            skipLf_ = b[i] == QLatin1Char('\r');
            head_ += i + 1;
            scanned_ = 0;
            ++lineNumber_;
            return true;
        }
        scanned_ = n;
        if (n > kMaxLineLength)
            tooLong();
        if (!readMore()) {
            if (n == 0)
                return false;
            line = QString(b, n);
            head_ = pending_.size();
            scanned_ = 0;
            ++lineNumber_;
            return true;
        }
    }
}
