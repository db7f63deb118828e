#include "db/fb.h"

#include "db/fb_detail.h"

#include <QStringList>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace fb {

using namespace detail;

// ---------------------------------------------------------------- Statement

Statement::Statement(Database& db, const QString& sql) : db_(db), sql_(sql) {}

Statement::~Statement() {
    if (cursorOpen_)
        --gOpenCursors;
    if (handle_ && db_.isOpen()) {
        ISC_STATUS_ARRAY st;
        isc_dsql_free_statement(st, &handle_, DSQL_drop);
    }
}

int Statement::paramCount() const {
    return inDa_.empty() ? 0 : da(inDa_)->sqld;
}
int Statement::columnCount() const {
    return outDa_.empty() ? 0 : da(outDa_)->sqld;
}

QString Statement::columnName(int c) const {
    const XSQLVAR& v = outVar(c);
    if (v.aliasname_length > 0)
        return QString::fromUtf8(v.aliasname, v.aliasname_length);
    return QString::fromUtf8(v.sqlname, v.sqlname_length);
}

int Statement::columnIndex(const QString& name) const {
    return colIndex_.value(name.toUpper(), -1);
}

int Statement::col(const QString& name) const {
    int i = columnIndex(name);
    if (i < 0)
        throw Error(QStringLiteral("Spalte %1 nicht gefunden").arg(name), -206, isc_dsql_field_err, {});
    return i;
}

XSQLVAR& Statement::outVar(int c) const {
    if (c < 0 || c >= columnCount())
        throw Error(QStringLiteral("Spaltenindex %1 außerhalb des Bereichs").arg(c), -206, isc_dsql_field_err, {});
    return const_cast<XSQLDA*>(da(outDa_))->sqlvar[c];
}

namespace {

// The SQL text in the pieces that tell which column a "?" stands for: names (upper case unless quoted), "?",
// literals and single punctuation marks (two-character comparisons kept whole). Comments are left out.
struct SqlToken {
    enum Kind { Name, Param, Literal, Mark } kind;
    QString text;
};

std::vector<SqlToken> sqlTokens(const QString& sql) {
    std::vector<SqlToken> out;
    const qsizetype n = sql.size();
    qsizetype i = 0;
    const auto isNameChar = [](QChar c) {
        return c.isLetterOrNumber() || c == QLatin1Char('_') || c == QLatin1Char('$');
    };
    while (i < n) {
        const QChar c = sql[i];
        if (c.isSpace()) {
            ++i;
        } else if (sql.mid(i, 2) == QLatin1String("--")) {
            while (i < n && sql[i] != QLatin1Char('\n'))
                ++i;
        } else if (sql.mid(i, 2) == QLatin1String("/*")) {
            const qsizetype end = sql.indexOf(QLatin1String("*/"), i + 2);
            i = end < 0 ? n : end + 2;
        } else if (c == QLatin1Char('\'') || c == QLatin1Char('"')) {
            // A doubled quote inside stands for the quote itself.
            qsizetype j = i + 1;
            QString text;
            while (j < n) {
                if (sql[j] == c && (j + 1 >= n || sql[j + 1] != c))
                    break;
                if (sql[j] == c)
                    ++j;
                text += sql[j++];
            }
            out.push_back({c == QLatin1Char('"') ? SqlToken::Name : SqlToken::Literal, text});
            i = j + 1;
        } else if (isNameChar(c)) {
            qsizetype j = i;
            while (j < n && isNameChar(sql[j]))
                ++j;
            out.push_back({c.isDigit() ? SqlToken::Literal : SqlToken::Name, sql.mid(i, j - i).toUpper()});
            i = j;
        } else if (c == QLatin1Char('?')) {
            out.push_back({SqlToken::Param, QStringLiteral("?")});
            ++i;
        } else {
            const QString two = sql.mid(i, 2);
            const bool pair = two == QLatin1String("<>") || two == QLatin1String("!=") || two == QLatin1String("<=") ||
                              two == QLatin1String(">=") || two == QLatin1String("||");
            out.push_back({SqlToken::Mark, pair ? two : QString(c)});
            i += pair ? 2 : 1;
        }
    }
    return out;
}

bool isMark(const std::vector<SqlToken>& t, size_t k, const char* mark) {
    return k < t.size() && t[k].kind == SqlToken::Mark && t[k].text == QLatin1String(mark);
}
bool isWord(const std::vector<SqlToken>& t, size_t k, const char* word) {
    return k < t.size() && t[k].kind == SqlToken::Name && t[k].text == QLatin1String(word);
}

// The column each "?" of the statement is bound for, by position: the n-th entry of the column list of
// INSERT INTO T (A, B, ...) VALUES (...) for the parameters in the n-th value, the column assigned in
// UPDATE T SET A = ..., and elsewhere the column a parameter is compared with (WHERE A = ?). The client library's
// parameter description carries no column names, so the text is all there is. Empty where nothing tells.
QStringList parameterColumns(const QString& sql) {
    const std::vector<SqlToken> t = sqlTokens(sql);
    std::vector<size_t> params;
    for (size_t k = 0; k < t.size(); ++k)
        if (t[k].kind == SqlToken::Param)
            params.push_back(k);
    std::vector<QString> byToken(t.size());

    const auto into = std::find_if(t.begin(), t.end(), [](const SqlToken& x) {
        return x.kind == SqlToken::Name && x.text == QLatin1String("INTO");
    });
    const bool insert = !t.empty() && (isWord(t, 0, "INSERT") || (isWord(t, 0, "UPDATE") && isWord(t, 1, "OR")));
    if (insert && into != t.end()) {
        size_t k = size_t(into - t.begin()) + 2; // past the table's name
        QStringList columns;
        if (isMark(t, k, "(")) {
            for (++k; k < t.size() && !isMark(t, k, ")"); ++k)
                if (t[k].kind == SqlToken::Name && !isMark(t, k + 1, "."))
                    columns << t[k].text;
            while (k < t.size() && !isWord(t, k, "VALUES"))
                ++k;
            if (isMark(t, k + 1, "(")) {
                int depth = 0, value = 0;
                for (k += 1; k < t.size(); ++k) {
                    if (isMark(t, k, "("))
                        ++depth;
                    else if (isMark(t, k, ")") && --depth == 0)
                        break;
                    else if (isMark(t, k, ",") && depth == 1)
                        ++value;
                    else if (t[k].kind == SqlToken::Param && value < columns.size())
                        byToken[k] = columns[value];
                }
            }
        }
    } else if (isWord(t, 0, "UPDATE")) {
        size_t k = 1;
        while (k < t.size() && !isWord(t, k, "SET"))
            ++k;
        int depth = 0;
        QString column;
        bool expectColumn = true;
        for (++k; k < t.size(); ++k) {
            if (depth == 0 && t[k].kind == SqlToken::Name &&
                (t[k].text == QLatin1String("WHERE") || t[k].text == QLatin1String("RETURNING") ||
                 t[k].text == QLatin1String("PLAN") || t[k].text == QLatin1String("ORDER") ||
                 t[k].text == QLatin1String("ROWS")))
                break;
            if (isMark(t, k, "("))
                ++depth;
            else if (isMark(t, k, ")"))
                --depth;
            else if (isMark(t, k, ",") && depth == 0)
                expectColumn = true;
            else if (expectColumn && t[k].kind == SqlToken::Name && !isMark(t, k + 1, ".")) {
                column = t[k].text;
                expectColumn = false;
            } else if (t[k].kind == SqlToken::Param)
                byToken[k] = column;
        }
    }
    // What is left: a parameter compared with a column, the column on the left.
    static const QStringList comparisons = {QStringLiteral("="),  QStringLiteral("<>"),   QStringLiteral("!="),
                                            QStringLiteral("<"),  QStringLiteral(">"),    QStringLiteral("<="),
                                            QStringLiteral(">="), QStringLiteral("LIKE"), QStringLiteral("CONTAINING")};
    for (const size_t k : params)
        if (byToken[k].isEmpty() && k >= 2 && t[k - 1].kind != SqlToken::Literal &&
            comparisons.contains(t[k - 1].text) && t[k - 2].kind == SqlToken::Name)
            byToken[k] = t[k - 2].text;

    QStringList columns;
    for (const size_t k : params)
        columns << byToken[k];
    return columns;
}

// How the windows name a column; the column's own name where no window shows it.
QString columnLabel(const QString& column) {
    static const QHash<QString, QString> labels = {
        {QStringLiteral("KONTO_NR"), QStringLiteral("Kontonummer")},
        {QStringLiteral("ANLAGEBEZEICHNUNG"), QStringLiteral("Anlagebezeichnung")},
        {QStringLiteral("GRUPPE"), QStringLiteral("Gruppe")},
        {QStringLiteral("ZUSAETZE"), QStringLiteral("Notiz")},
        {QStringLiteral("NOTIZTEXT"), QStringLiteral("Notiz")},
        {QStringLiteral("FIRMA"), QStringLiteral("Firma")},
        {QStringLiteral("ADRESSBEZEICHNUNG"), QStringLiteral("Adressbezeichnung")},
        {QStringLiteral("STRASSE"), QStringLiteral("Straße")},
        {QStringLiteral("HAUSNUMMER"), QStringLiteral("Hausnummer")},
        {QStringLiteral("PLZ"), QStringLiteral("PLZ")},
        {QStringLiteral("ORT"), QStringLiteral("Ort")},
        {QStringLiteral("ANSPRECHPARTNER"), QStringLiteral("Ansprechpartner")},
        {QStringLiteral("INDEX_TEXT"), QStringLiteral("Bezeichnung")},
    };
    return labels.value(column, column);
}

} // namespace

// A text longer than its column is refused here with a German message naming the column, before the client
// library could cut it or the buffer length (a 16-bit field) could overflow.
void Statement::checkTextFits(const Param& p, const XSQLVAR& described, int i) const {
    const int type = described.sqltype & ~1;
    const qsizetype chars = codePoints(p.blobText);
    qsizetype limit = 32765; // the longest text a parameter can carry at all
    if (type == SQL_TEXT || type == SQL_VARYING) {
        const int charset = described.sqlsubtype & 0xFF;
        const int bytesPerChar = charset == 4 ? 4 : charset == 3 ? 3 : 1; // UTF8, UNICODE_FSS, single-byte sets
        limit = std::min<qsizetype>(limit, described.sqllen / bytesPerChar);
    }
    if (chars <= limit && p.buf.size() <= 32765)
        return;
    const QStringList columns = parameterColumns(sql_);
    const QString column = i < columns.size() ? columns[i] : QString();
    QString message;
    if (!column.isEmpty()) {
        message = QStringLiteral("Der Text für \"%1\" ist zu lang (%2 Zeichen, höchstens %3 erlaubt).")
                      .arg(columnLabel(column))
                      .arg(chars)
                      .arg(limit);
    } else {
        // Without a column the text's beginning is what lets the user find the value.
        QString head = p.blobText.left(40);
        if (p.blobText.size() > 40)
            head += QStringLiteral("…");
        message = QStringLiteral("Der Text für den Wert %1 ist zu lang (%2 Zeichen, höchstens %3 erlaubt). "
                                 "Textanfang: \"%4\"")
                      .arg(i + 1)
                      .arg(chars)
                      .arg(limit)
                      .arg(head);
    }
    throw Error(message, -802, isc_arith_except, {isc_arith_except, isc_string_truncation});
}

Statement::Param* Statement::slot(int i, short type) {
    if (i < 0)
        return nullptr;
    if (size_t(i) >= params_.size())
        params_.resize(i + 1);
    Param& p = params_[i];
    p.type = type;
    p.ind = 0;
    p.isBlob = false;
    return &p;
}

void Statement::setParam(int i, short type, const void* data, int len) {
    Param* p = slot(i, type);
    if (!p)
        return;
    // The buffer of the last row is reused: a statement run for every row of an import binds the same slots again.
    p->buf.resize(len);
    if (len > 0)
        std::memcpy(p->buf.data(), data, size_t(len));
}

void Statement::bindNull(int i) {
    setParam(i, SQL_NULL, nullptr, 0);
    params_[i].ind = -1;
}
void Statement::bindInt(int i, qint32 v) {
    setParam(i, SQL_LONG, &v, sizeof v);
}
void Statement::bindSmallInt(int i, qint16 v) {
    setParam(i, SQL_SHORT, &v, sizeof v);
}
void Statement::bindBigInt(int i, qint64 v) {
    setParam(i, SQL_INT64, &v, sizeof v);
}
void Statement::bindDouble(int i, double v) {
    setParam(i, SQL_DOUBLE, &v, sizeof v);
}
void Statement::bindText(int i, const QString& v) {
    Param* p = slot(i, SQL_TEXT);
    if (!p)
        return;
    db_.encodeInto(v, p->buf);
    p->blobText = v; // kept in case the parameter turns out to be a BLOB
}
void Statement::bindDateTime(int i, TDateTime v) {
    ISC_TIMESTAMP ts = toIscTimestamp(v);
    setParam(i, SQL_TIMESTAMP, &ts, sizeof ts);
}
void Statement::bindDate(int i, TDateTime v) {
    ISC_DATE d = static_cast<ISC_DATE>(static_cast<qint64>(std::floor(v)) + 15018);
    setParam(i, SQL_TYPE_DATE, &d, sizeof d);
}
void Statement::bindBlobText(int i, const QString& v) {
    setParam(i, SQL_BLOB, nullptr, 0);
    params_[i].isBlob = true;
    params_[i].blobText = v;
}
void Statement::clearBinds() {
    params_.clear();
}

void Statement::describeOutput() {
    XSQLDA* o = da(outDa_);
    int n = o->sqld;
    outBufs_.assign(n, {});
    outInd_.assign(n, 0);
    colIndex_.clear();
    for (int c = 0; c < n; ++c) {
        XSQLVAR& v = o->sqlvar[c];
        int type = v.sqltype & ~1;
        size_t size = 0;
        switch (type) {
        case SQL_VARYING:
            size = v.sqllen + 2;
            break;
        case SQL_TEXT:
            size = v.sqllen;
            break;
        case SQL_SHORT:
            size = 2;
            break;
        case SQL_LONG:
        case SQL_FLOAT:
        case SQL_TYPE_DATE:
        case SQL_TYPE_TIME:
            size = 4;
            break;
        case SQL_BOOLEAN:
            size = 1;
            break;
        default: // INT64, DOUBLE, D_FLOAT, TIMESTAMP, BLOB, QUAD
            size = std::max<size_t>(8, v.sqllen);
            break;
        }
        outBufs_[c].assign(size + 1, 0);
        v.sqldata = outBufs_[c].data();
        v.sqlind = &outInd_[c];
        v.sqltype |= 1; // always deliver the null indicator
        const QString name = columnName(c).toUpper();
        if (!colIndex_.contains(name))
            colIndex_.insert(name, c);
    }
}

void Statement::execute(Transaction& tr) {
    ISC_STATUS_ARRAY st;
    tr.start();
    tr_ = &tr;
    if (!handle_) {
        if (isc_dsql_allocate_statement(st, tr.database().handle(), &handle_))
            raise(st, "allocate statement", &sql_);
        allocDa(outDa_, 20);
        const QByteArray s = db_.encode(sql_);
        if (isc_dsql_prepare(st, tr.handle(), &handle_, 0, s.constData(), kDialect, da(outDa_))) {
            ISC_STATUS_ARRAY st2;
            isc_dsql_free_statement(st2, &handle_, DSQL_drop);
            handle_ = 0;
            raise(st, "prepare", &sql_);
        }
        if (da(outDa_)->sqld > da(outDa_)->sqln) {
            int n = da(outDa_)->sqld;
            allocDa(outDa_, n);
            if (isc_dsql_describe(st, &handle_, kDialect, da(outDa_)))
                raise(st, "describe", &sql_);
        }
        describeOutput();
        allocDa(inDa_, 10);
        if (isc_dsql_describe_bind(st, &handle_, kDialect, da(inDa_)))
            raise(st, "describe bind", &sql_);
        if (da(inDa_)->sqld > da(inDa_)->sqln) {
            int n = da(inDa_)->sqld;
            allocDa(inDa_, n);
            if (isc_dsql_describe_bind(st, &handle_, kDialect, da(inDa_)))
                raise(st, "describe bind", &sql_);
        }
        char item = isc_info_sql_stmt_type;
        char res[16] = {};
        if (isc_dsql_sql_info(st, &handle_, 1, &item, sizeof res, res))
            raise(st, "statement info", &sql_);
        if (res[0] == isc_info_sql_stmt_type) {
            short len = static_cast<short>(isc_vax_integer(res + 1, 2));
            stmtType_ = static_cast<int>(isc_vax_integer(res + 3, len));
        }
        inDaDescribed_ = inDa_;
    }
    closeCursor();
    inDa_ = inDaDescribed_; // a fresh copy of the described parameters; the loop below overwrites the slots

    // Input: the described parameter list, each slot pointed at what was bound (converted by the engine).
    XSQLDA* in = da(inDa_);
    const int n = in->sqld;
    if (int(params_.size()) < n)
        params_.resize(n); // unbound parameters are NULL
    blobIds_.resize(size_t(n));
    static char dummy[8] = {};
    for (int i = 0; i < n; ++i) {
        XSQLVAR& v = in->sqlvar[i];
        Param& p = params_[i];
        short described = v.sqltype & ~1;
        if (p.type == SQL_NULL && p.ind == 0)
            p.ind = -1; // never bound
        const bool blobParam = (described == SQL_BLOB) || p.isBlob;
        if (p.ind == -1) {
            v.sqltype = static_cast<short>(described | 1);
            v.sqldata = dummy;
            v.sqlind = &p.ind;
            continue;
        }
        if (blobParam && (p.type == SQL_TEXT || p.isBlob)) {
            isc_blob_handle bh = 0;
            ISC_QUAD id{};
            if (isc_create_blob2(st, tr.database().handle(), tr.handle(), &bh, &id, 0, nullptr))
                raise(st, "create blob", &sql_);
            const QByteArray bytes = db_.encode(p.blobText);
            for (qsizetype off = 0; off < bytes.size(); off += 32768) {
                const auto len = static_cast<unsigned short>(std::min<qsizetype>(32768, bytes.size() - off));
                if (isc_put_segment(st, &bh, len, bytes.constData() + off)) {
                    ISC_STATUS_ARRAY st2;
                    isc_cancel_blob(st2, &bh);
                    raise(st, "put segment", &sql_);
                }
            }
            if (isc_close_blob(st, &bh))
                raise(st, "close blob", &sql_);
            blobIds_[i] = id;
            v.sqltype = SQL_BLOB | 1;
            v.sqlsubtype = 1;
            v.sqllen = sizeof(ISC_QUAD);
            v.sqldata = reinterpret_cast<char*>(&blobIds_[i]);
            v.sqlind = &p.ind;
            continue;
        }
        if (p.type == SQL_TEXT)
            checkTextFits(p, v, i);
        v.sqltype = static_cast<short>(p.type | 1);
        v.sqlscale = 0;
        v.sqllen = static_cast<short>(p.buf.size());
        if (p.type == SQL_TEXT)
            v.sqlsubtype = 0;
        v.sqldata = p.buf.isEmpty() ? dummy : p.buf.data();
        v.sqlind = &p.ind;
    }

    const bool isSelect = stmtType_ == isc_info_sql_stmt_select || stmtType_ == isc_info_sql_stmt_select_for_upd;
    if (isSelect) {
        if (isc_dsql_execute(st, tr.handle(), &handle_, kDialect, n ? in : nullptr))
            raise(st, "execute", &sql_);
        cursorOpen_ = true;
        ++gOpenCursors;
        singletonPending_ = false;
    } else if (columnCount() > 0) {
        if (isc_dsql_execute2(st, tr.handle(), &handle_, kDialect, n ? in : nullptr, da(outDa_)))
            raise(st, "execute", &sql_);
        singletonPending_ = true;
    } else {
        if (isc_dsql_execute(st, tr.handle(), &handle_, kDialect, n ? in : nullptr))
            raise(st, "execute", &sql_);
        singletonPending_ = false;
    }
}

bool Statement::fetch() {
    if (singletonPending_) {
        singletonPending_ = false;
        return true;
    }
    if (!cursorOpen_)
        return false;
    ISC_STATUS_ARRAY st;
    ISC_STATUS r = isc_dsql_fetch(st, &handle_, kDialect, da(outDa_));
    if (r == 100) {
        closeCursor();
        return false;
    }
    if (r)
        raise(st, "fetch", &sql_);
    return true;
}

void Statement::closeCursor() {
    singletonPending_ = false;
    if (!cursorOpen_)
        return;
    cursorOpen_ = false;
    --gOpenCursors;
    // After a commit the engine has closed the cursor already; the error of a second close means nothing.
    ISC_STATUS_ARRAY st;
    isc_dsql_free_statement(st, &handle_, DSQL_close);
}

long Statement::rowsAffected() {
    if (!handle_)
        return 0;
    char item = isc_info_sql_records;
    char res[64] = {};
    ISC_STATUS_ARRAY st;
    if (isc_dsql_sql_info(st, &handle_, 1, &item, sizeof res, res))
        raise(st, "records info", &sql_);
    if (res[0] != isc_info_sql_records)
        return 0;
    long count = 0;
    const char* p = res + 3;
    const char* end = res + sizeof res;
    while (p < end && *p != isc_info_end) {
        const char tag = *p++;
        const short len = static_cast<short>(isc_vax_integer(p, 2));
        p += 2;
        const long v = isc_vax_integer(p, len);
        p += len;
        if (tag == isc_info_req_update_count || tag == isc_info_req_delete_count || tag == isc_info_req_insert_count)
            count += v;
    }
    return count;
}

bool Statement::isNull(int c) const {
    const XSQLVAR& v = outVar(c);
    return *v.sqlind == -1;
}

namespace {
double scaled(qint64 raw, short scale) {
    double d = double(raw);
    for (short s = scale; s < 0; ++s)
        d /= 10.0;
    for (short s = scale; s > 0; --s)
        d *= 10.0;
    return d;
}
} // namespace

double Statement::asDouble(int c) const {
    const XSQLVAR& v = outVar(c);
    if (*v.sqlind == -1)
        return 0;
    const char* d = v.sqldata;
    switch (v.sqltype & ~1) {
    case SQL_SHORT: {
        qint16 x;
        std::memcpy(&x, d, 2);
        return scaled(x, v.sqlscale);
    }
    case SQL_LONG: {
        qint32 x;
        std::memcpy(&x, d, 4);
        return scaled(x, v.sqlscale);
    }
    case SQL_INT64: {
        qint64 x;
        std::memcpy(&x, d, 8);
        return scaled(x, v.sqlscale);
    }
    case SQL_FLOAT: {
        float x;
        std::memcpy(&x, d, 4);
        return x;
    }
    case SQL_DOUBLE:
    case SQL_D_FLOAT: {
        double x;
        std::memcpy(&x, d, 8);
        return x;
    }
    case SQL_TIMESTAMP:
    case SQL_TYPE_DATE:
        return asDateTime(c);
    case SQL_BOOLEAN:
        return *d ? 1 : 0;
    default: {
        bool ok = false;
        double x = asText(c).trimmed().toDouble(&ok);
        if (!ok)
            throw Error(QStringLiteral("Der Wert der Spalte %1 ist keine Zahl.").arg(columnName(c)), -413,
                        isc_convert_error, {});
        return x;
    }
    }
}

qint64 Statement::asBigInt(int c) const {
    const XSQLVAR& v = outVar(c);
    if (*v.sqlind == -1)
        return 0;
    const int t = v.sqltype & ~1;
    if ((t == SQL_SHORT || t == SQL_LONG || t == SQL_INT64) && v.sqlscale == 0) {
        qint64 x = 0;
        if (t == SQL_SHORT) {
            qint16 s;
            std::memcpy(&s, v.sqldata, 2);
            x = s;
        } else if (t == SQL_LONG) {
            qint32 l;
            std::memcpy(&l, v.sqldata, 4);
            x = l;
        } else {
            std::memcpy(&x, v.sqldata, 8);
        }
        return x;
    }
    return static_cast<qint64>(std::llround(asDouble(c)));
}

qint32 Statement::asInt(int c) const {
    return static_cast<qint32>(asBigInt(c));
}

TDateTime Statement::asDateTime(int c) const {
    const XSQLVAR& v = outVar(c);
    if (*v.sqlind == -1)
        return 0;
    switch (v.sqltype & ~1) {
    case SQL_TIMESTAMP: {
        ISC_TIMESTAMP ts;
        std::memcpy(&ts, v.sqldata, sizeof ts);
        return fromIscTimestamp(ts);
    }
    case SQL_TYPE_DATE: {
        ISC_DATE d;
        std::memcpy(&d, v.sqldata, sizeof d);
        return double(d - 15018);
    }
    case SQL_TYPE_TIME: {
        ISC_TIME t;
        std::memcpy(&t, v.sqldata, sizeof t);
        return double(t) / (86400.0 * ISC_TIME_SECONDS_PRECISION);
    }
    default:
        return asDouble(c);
    }
}

QString Statement::readBlob(ISC_QUAD id) const {
    ISC_STATUS_ARRAY st;
    isc_blob_handle bh = 0;
    if (!tr_)
        return {};
    if (isc_open_blob2(st, db_.handle(), tr_->handle(), &bh, &id, 0, nullptr))
        raise(st, "open blob", &sql_);
    QByteArray bytes;
    char buf[32768];
    for (;;) {
        unsigned short got = 0;
        ISC_STATUS r = isc_get_segment(st, &bh, &got, sizeof buf, buf);
        if (r == 0 || r == isc_segment) {
            bytes.append(buf, got);
            continue;
        }
        if (r == isc_segstr_eof)
            break;
        ISC_STATUS_ARRAY st2;
        isc_close_blob(st2, &bh);
        raise(st, "get segment", &sql_);
    }
    isc_close_blob(st, &bh);
    return db_.decode(bytes.constData(), bytes.size());
}

QString Statement::asText(int c) const {
    const XSQLVAR& v = outVar(c);
    if (*v.sqlind == -1)
        return {};
    const char* d = v.sqldata;
    switch (v.sqltype & ~1) {
    case SQL_VARYING: {
        short len;
        std::memcpy(&len, d, 2);
        return db_.decode(d + 2, len);
    }
    case SQL_TEXT: {
        int len = v.sqllen;
        while (len > 0 && d[len - 1] == ' ')
            --len;
        // The one-character flags of every register row: shared texts instead of an allocation each.
        if (len == 1 && (d[0] == '0' || d[0] == '1')) {
            static const QString zero = QStringLiteral("0"), one = QStringLiteral("1");
            return d[0] == '0' ? zero : one;
        }
        return db_.decode(d, len);
    }
    case SQL_BLOB: {
        ISC_QUAD id;
        std::memcpy(&id, d, sizeof id);
        return readBlob(id);
    }
    case SQL_SHORT:
    case SQL_LONG:
    case SQL_INT64:
        if (v.sqlscale == 0)
            return QString::number(asBigInt(c));
        return QString::number(asDouble(c));
    case SQL_TIMESTAMP:
    case SQL_TYPE_DATE:
    case SQL_TYPE_TIME:
        return QString::number(asDateTime(c), 'g', 17);
    case SQL_BOOLEAN:
        return *d ? QStringLiteral("1") : QStringLiteral("0");
    default:
        return QString::number(asDouble(c), 'g', 17);
    }
}

QVariant Statement::value(int c) const {
    const XSQLVAR& v = outVar(c);
    if (*v.sqlind == -1)
        return {};
    switch (v.sqltype & ~1) {
    case SQL_SHORT:
    case SQL_LONG:
    case SQL_INT64:
        return v.sqlscale == 0 ? QVariant(asBigInt(c)) : QVariant(asDouble(c));
    case SQL_FLOAT:
    case SQL_DOUBLE:
    case SQL_D_FLOAT:
    case SQL_TIMESTAMP:
    case SQL_TYPE_DATE:
        return asDouble(c);
    default:
        return asText(c);
    }
}

// ---------------------------------------------------------------- Query

Query::Query(Database& db, const QString& sql) {
    auto cached = db.cachedStatement(sql);
    st_ = cached->inUse() ? std::make_shared<Statement>(db, sql) : cached;
    st_->setInUse(true);
    st_->clearBinds();
}

Query::~Query() {
    try {
        st_->closeCursor();
    } catch (...) {
    }
    st_->setInUse(false);
}

} // namespace fb
