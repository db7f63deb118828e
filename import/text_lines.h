#pragma once
// The lines of a text file one by one, for files of any size: what is held is a small multiple of the longest line.
//
// Encoding: a byte order mark (UTF-8, UTF-16, UTF-32) is followed. Without one, a file that is valid UTF-8 and holds
// bytes beyond ASCII is read as UTF-8 (decided by one pass over the whole file before the first line), any other as
// Windows-1252.
// Lines: CR LF, a bare LF and a bare CR each end a line; a last line without an end is a line, the empty rest
// after the last line end is none.
// Errors: a line longer than kMaxLineLength characters, or a device that fails to read, raise ETextFileError with a
// German message naming the cause (and the line); the reader is not to be used after that.

#include "core/exceptions.h"

#include <QByteArray>
#include <QString>
#include <QStringDecoder>

class QIODevice;

class ETextFileError : public Exception {
public:
    using Exception::Exception;
};

class TextLineReader {
public:
    enum class Encoding { Utf8WithBom, Utf16LE, Utf16BE, Utf32LE, Utf32BE, Utf8, Windows1252 };
    static constexpr qsizetype kMaxLineLength = 1048576;

    // The device is open for reading and can seek (a file or a buffer); it is read from its start.
    explicit TextLineReader(QIODevice& device);

    // The next line without its end; false when there is none left.
    bool next(QString& line);
    // The number of the line next() gave last, counted from 1.
    int lineNumber() const { return lineNumber_; }

    Encoding encoding() const { return encoding_; }
    // "UTF-8", "UTF-16", "UTF-32" or "Windows-1252".
    QString encodingName() const;
    // German, for the user: which encoding a file without byte order mark was read in; empty with a mark.
    QString encodingNotice() const;

private:
    bool readMore();
    [[noreturn]] void tooLong() const;
    QString decode(const QByteArray& bytes);

    QIODevice& in_;
    Encoding encoding_ = Encoding::Windows1252;
    QStringDecoder decoder_;
    QString pending_; // decoded, not yet given out from head_ on
    qsizetype head_ = 0;
    qsizetype scanned_ = 0; // of pending_ from head_: holds no line end
    bool skipLf_ = false;   // the last line ended with CR: an LF right after it belongs to it
    bool atEnd_ = false;
    int lineNumber_ = 0;
};
