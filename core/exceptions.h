#pragma once
// The day-count date-time and the exception classes that every layer of the program uses; Qt Core only.

#include <QString>

#include <exception>

// Date-times are day counts from 30.12.1899 with the time of day as fraction; 0 also stands for "no value".
using TDateTime = double;

// The general exception of the program: carries a message text and nothing else.
class Exception : public std::exception {
public:
    explicit Exception(QString message = {}) : message_(std::move(message)), utf8_(message_.toUtf8()) {}
    const QString& message() const { return message_; }
    const char* what() const noexcept override { return utf8_.constData(); }

private:
    QString message_;
    QByteArray utf8_;
};

#define BRV_EXCEPTION(Name)                                                                                            \
    class Name : public Exception {                                                                                    \
    public:                                                                                                            \
        using Exception::Exception;                                                                                    \
    }

BRV_EXCEPTION(EBrvCommonException);
BRV_EXCEPTION(EBrvTreeViewLoad);
BRV_EXCEPTION(EBrvException_NODATA);
BRV_EXCEPTION(EBrvException_DBERROR);
BRV_EXCEPTION(EBrvTypeConversionError);
BRV_EXCEPTION(EBrvErrorOnGetMaxIndexYear);
BRV_EXCEPTION(EBrvCalcVWError);
BRV_EXCEPTION(EBrvCalcZWError);
BRV_EXCEPTION(EBrvUnknownReport);
BRV_EXCEPTION(EBrvExportFileExists_NoRewrite);
BRV_EXCEPTION(EBrvExitException);

#undef BRV_EXCEPTION
