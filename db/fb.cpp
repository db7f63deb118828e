#include "db/fb.h"

#include "db/fb_detail.h"

#include <atomic>

#include <QLoggingCategory>
#include <QStringEncoder>
#include <QStringList>

#include <algorithm>
#include <iterator>
#include <cmath>
#include <cstring>

namespace fb {

namespace detail {

std::atomic<int> gOpenCursors{0};

XSQLDA* da(std::vector<char>& storage) {
    return reinterpret_cast<XSQLDA*>(storage.data());
}
const XSQLDA* da(const std::vector<char>& storage) {
    return reinterpret_cast<const XSQLDA*>(storage.data());
}

void allocDa(std::vector<char>& storage, int n) {
    n = std::max(n, 1);
    storage.assign(XSQLDA_LENGTH(n), 0);
    da(storage)->version = SQLDA_VERSION1;
    da(storage)->sqln = static_cast<short>(n);
}

} // namespace detail

using namespace detail;

namespace {

int gLockTimeout = 3;
std::atomic<bool> gStatementLog{true};

QString statusText(const ISC_STATUS* status) {
    QStringList parts;
    const ISC_STATUS* pv = status;
    char buf[1024];
    while (fb_interpret(buf, sizeof buf, &pv) > 0)
        parts << QString::fromUtf8(buf);
    return parts.join(QStringLiteral("\n"));
}

std::vector<ISC_STATUS> statusCodes(const ISC_STATUS* s) {
    std::vector<ISC_STATUS> codes;
    for (int i = 0; i < ISC_STATUS_LENGTH && s[i] != isc_arg_end;) {
        switch (s[i]) {
        case isc_arg_gds:
            codes.push_back(s[i + 1]);
            i += 2;
            break;
        case isc_arg_cstring:
            i += 3;
            break;
        default: // string, number, interpreted, sql state, warning: one value each
            i += 2;
            break;
        }
    }
    return codes;
}

// The characters Windows-1252 puts at 0x80 to 0x9F (0 where it has none).
const char32_t kWin1252High[32] = {0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                   0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
                                   0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                   0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

Q_LOGGING_CATEGORY(lcDb, "brenvik.db")

} // namespace

namespace detail {

// Characters of a text as the database counts them (code points, not UTF-16 units).
qsizetype codePoints(const QString& s) {
    qsizetype n = s.size();
    for (const QChar c : s)
        if (c.isLowSurrogate())
            --n;
    return n;
}

// A failure of the client library as fb::Error. A failing statement is logged with its operation, text and codes,
// so that a support case can follow what the database refused (setStatementLog(false) or
// QT_LOGGING_RULES="brenvik.db=false" silences it).
// The engine's texts are English: the failures a user meets are said in German, with the engine's own words only
// where the statement log is on (the program's log and brenvik-cli --verbose).
QString germanText(const std::vector<ISC_STATUS>& codes) {
    static const struct {
        ISC_STATUS code;
        const char* text;
    } known[] = {
        {isc_bad_db_format, "Die Datei ist keine gültige Firebird-Datenbank."},
        {isc_io_error, "Die Datenbankdatei kann nicht geöffnet, gelesen oder geschrieben werden (Ein-/Ausgabefehler)."},
        {isc_login, "Die Anmeldung an der Datenbank ist fehlgeschlagen (Benutzername oder Kennwort falsch)."},
        {isc_network_error, "Der Datenbankserver ist nicht erreichbar."},
        {isc_shutdown, "Die Datenbank ist heruntergefahren."},
        {isc_unavailable, "Die Datenbank ist nicht verfügbar."},
        {isc_no_priv, "Für diese Datenbankoperation fehlt die Berechtigung."},
        {isc_unique_key_violation, "Ein Datensatz mit diesem Schlüssel ist bereits vorhanden."},
        {isc_deadlock, "Der Datensatz wird gerade von einer anderen Sitzung geändert."},
        {isc_lock_conflict, "Der Datensatz wird gerade von einer anderen Sitzung geändert."},
    };
    for (const auto& k : known)
        if (std::find(codes.begin(), codes.end(), k.code) != codes.end())
            return QString::fromUtf8(k.text);
    return {};
}

[[noreturn]] void raise(const ISC_STATUS* status, const char* what, const QString* sql) {
    QString msg = statusText(status);
    if (msg.isEmpty())
        msg = QString::fromLatin1(what);
    const int sqlcode = static_cast<int>(isc_sqlcode(status));
    std::vector<ISC_STATUS> codes = statusCodes(status);
    if (const QString german = germanText(codes); !german.isEmpty())
        msg = gStatementLog ? german + QStringLiteral(" (") + msg.simplified() + QLatin1Char(')') : german;
    if (sql && gStatementLog) {
        QStringList numbers;
        for (ISC_STATUS c : codes)
            numbers << QString::number(c);
        qCWarning(lcDb).noquote() << what << "fehlgeschlagen, SQLCODE" << sqlcode << "Codes"
                                  << numbers.join(QLatin1Char(',')) << "|"
                                  << QString(msg).replace(QLatin1Char('\n'), QLatin1Char(' ')) << "| SQL:" << *sql;
    }
    throw Error(msg, sqlcode, status[1], std::move(codes));
}

} // namespace detail

bool Error::hasCode(ISC_STATUS code) const {
    return std::find(codes_.begin(), codes_.end(), code) != codes_.end();
}

bool Error::isUpdateConflict() const {
    return hasCode(isc_update_conflict) || hasCode(isc_deadlock) || hasCode(isc_lock_conflict) ||
           hasCode(isc_lock_timeout);
}

void check(const ISC_STATUS* status, const char* what) {
    if (status[0] == 1 && status[1] != 0)
        raise(status, what);
}

TDateTime fromIscTimestamp(const ISC_TIMESTAMP& ts) {
    return double(ts.timestamp_date - 15018) + double(ts.timestamp_time) / (86400.0 * ISC_TIME_SECONDS_PRECISION);
}

ISC_TIMESTAMP toIscTimestamp(TDateTime dt) {
    double days = std::floor(dt);
    // Rounded to the tenth of a millisecond the engine keeps; a fraction that rounds up to a whole day moves on.
    auto ticks = static_cast<qint64>(std::llround((dt - days) * 86400.0 * ISC_TIME_SECONDS_PRECISION));
    const qint64 perDay = qint64(86400) * ISC_TIME_SECONDS_PRECISION;
    if (ticks >= perDay) {
        ticks -= perDay;
        days += 1;
    }
    ISC_TIMESTAMP ts;
    ts.timestamp_date = static_cast<ISC_DATE>(static_cast<qint64>(days) + 15018);
    ts.timestamp_time = static_cast<ISC_TIME>(ticks);
    return ts;
}

// ---------------------------------------------------------------- Database

Database::~Database() {
    try {
        close();
    } catch (...) {
    }
}

void Database::open(const QString& name, const QString& user, const QString& password) {
    attach(name, user, password, false);
    // A database of an older release keeps its texts in columns of the character set NONE, as Windows-1252 bytes.
    // Through a UTF8 attachment those bytes would be read as UTF-8 (garbled umlauts) and ours written as UTF-8; such
    // a database is attached without transliteration and its texts are converted here.
    bool legacy = false;
    {
        Transaction tr(*this);
        tr.start();
        {
            Statement q(
                *this,
                QStringLiteral(
                    "SELECT FIRST 1 COALESCE(F.RDB$CHARACTER_SET_ID, 0) FROM RDB$RELATION_FIELDS RF JOIN RDB$FIELDS F "
                    "ON F.RDB$FIELD_NAME = RF.RDB$FIELD_SOURCE JOIN RDB$RELATIONS R ON R.RDB$RELATION_NAME = "
                    "RF.RDB$RELATION_NAME WHERE COALESCE(R.RDB$SYSTEM_FLAG, 0) = 0 AND F.RDB$FIELD_TYPE IN (14, 37) "
                    "ORDER BY R.RDB$RELATION_ID, RF.RDB$FIELD_POSITION"));
            q.execute(tr);
            if (q.fetch()) {
                legacy = q.asInt(0) == 0;
                q.closeCursor();
            } else {
                Statement d(*this,
                            QStringLiteral("SELECT COALESCE(TRIM(RDB$CHARACTER_SET_NAME), 'NONE') FROM RDB$DATABASE"));
                d.execute(tr);
                legacy = d.fetch() && d.asText(0) == QLatin1String("NONE");
                d.closeCursor();
            }
        }
        tr.commit();
    }
    if (legacy)
        attach(name, user, password, true);
}

QByteArray Database::encode(const QString& text) const {
    if (!win1252_)
        return text.toUtf8();
    QByteArray out;
    out.reserve(text.size());
    for (const char32_t c : text.toUcs4()) {
        if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) {
            out.append(char(c));
            continue;
        }
        const auto it = std::find(std::begin(kWin1252High), std::end(kWin1252High), c);
        out.append(it != std::end(kWin1252High) ? char(0x80 + (it - std::begin(kWin1252High))) : '?');
    }
    return out;
}

void Database::encodeInto(const QString& text, QByteArray& out) const {
    if (win1252_) {
        out = encode(text);
        return;
    }
    QStringEncoder utf8(QStringEncoder::Utf8);
    out.resize(utf8.requiredSpace(text.size()));
    char* end = utf8.appendToBuffer(out.data(), text);
    out.truncate(end - out.constData());
}

QString Database::decode(const char* bytes, qsizetype size) const {
    if (!win1252_)
        return QString::fromUtf8(bytes, size);
    QString out;
    out.reserve(size);
    for (qsizetype i = 0; i < size; ++i) {
        const auto b = static_cast<unsigned char>(bytes[i]);
        const char32_t c = b >= 0x80 && b < 0xA0 && kWin1252High[b - 0x80] ? kWin1252High[b - 0x80] : char32_t(b);
        out += QString::fromUcs4(&c, 1);
    }
    return out;
}

void Database::attach(const QString& name, const QString& user, const QString& password, bool win1252) {
    close();
    QByteArray dpb;
    auto add = [&dpb](char tag, const QByteArray& v) {
        dpb.append(tag);
        dpb.append(static_cast<char>(std::min<qsizetype>(v.size(), 255)));
        dpb.append(v.left(255));
    };
    dpb.append(static_cast<char>(isc_dpb_version1));
    add(isc_dpb_user_name, user.toUtf8());
    add(isc_dpb_password, password.toUtf8());
    add(isc_dpb_lc_ctype, win1252 ? QByteArrayLiteral("NONE") : QByteArrayLiteral("UTF8"));
    const QByteArray path = name.toUtf8();
    ISC_STATUS_ARRAY st;
    isc_db_handle h = 0;
    if (isc_attach_database(st, 0, path.constData(), &h, static_cast<short>(dpb.size()), dpb.constData()))
        raise(st, "attach");
    handle_ = h;
    name_ = name;
    win1252_ = win1252;
}

void Database::close() {
    dropStatementCache();
    if (!handle_)
        return;
    ISC_STATUS_ARRAY st;
    if (isc_detach_database(st, &handle_)) {
        handle_ = 0; // the attachment is gone for us either way
        raise(st, "detach");
    }
    handle_ = 0;
}

void Database::create(const QString& path, const QString& user, const QString& password, const char* charset) {
    auto quoted = [](QString s) {
        return QLatin1Char('\'') + s.replace('\'', QLatin1String("''")) + QLatin1Char('\'');
    };
    const QString sql = QStringLiteral("CREATE DATABASE %1 USER %2 PASSWORD %3 PAGE_SIZE 16384 "
                                       "DEFAULT CHARACTER SET %4")
                            .arg(quoted(path), quoted(user), quoted(password), QString::fromLatin1(charset));
    const QByteArray s = sql.toUtf8();
    ISC_STATUS_ARRAY st;
    isc_db_handle db = 0;
    isc_tr_handle tr = 0;
    if (isc_dsql_execute_immediate(st, &db, &tr, 0, s.constData(), kDialect, nullptr))
        raise(st, "create database");
    ISC_STATUS_ARRAY st2;
    isc_detach_database(st2, &db);
}

std::shared_ptr<Statement> Database::cachedStatement(const QString& sql) {
    auto it = cache_.find(sql);
    if (it != cache_.end())
        return it.value();
    auto st = std::make_shared<Statement>(*this, sql);
    if (cache_.size() > 500) // a bound on texts built at run time; the steady set is far smaller
        cache_.clear();
    cache_.insert(sql, st);
    return st;
}

void Database::dropStatementCache() {
    cache_.clear();
}

// ---------------------------------------------------------------- Transaction

Transaction::~Transaction() {
    if (handle_) {
        ISC_STATUS_ARRAY st;
        isc_rollback_transaction(st, &handle_);
    }
}

int Transaction::lockTimeoutSeconds() {
    return gLockTimeout;
}
void Transaction::setLockTimeoutSeconds(int seconds) {
    gLockTimeout = std::max(1, seconds);
}

void setStatementLog(bool on) {
    gStatementLog = on;
}
bool statementLog() {
    return gStatementLog;
}

int openCursorCount() {
    return gOpenCursors;
}

void Transaction::start() {
    if (handle_)
        return;
    if (!db_.isOpen())
        throw Error(QStringLiteral("Die Datenbankverbindung ist nicht geöffnet."), -901, 0, {});
    const qint32 t = gLockTimeout;
    const char tpb[] = {isc_tpb_version3,
                        isc_tpb_write,
                        isc_tpb_read_committed,
                        isc_tpb_rec_version,
                        isc_tpb_wait,
                        isc_tpb_lock_timeout,
                        4,
                        static_cast<char>(t & 0xff),
                        static_cast<char>((t >> 8) & 0xff),
                        static_cast<char>((t >> 16) & 0xff),
                        static_cast<char>((t >> 24) & 0xff)};
    ISC_STATUS_ARRAY st;
    if (isc_start_transaction(st, &handle_, 1, db_.handle(), static_cast<unsigned short>(sizeof tpb), tpb))
        raise(st, "start transaction");
}

void Transaction::commit() {
    if (!handle_)
        return;
    ISC_STATUS_ARRAY st;
    if (isc_commit_transaction(st, &handle_))
        raise(st, "commit");
    handle_ = 0;
}

void Transaction::rollback() {
    if (!handle_)
        return;
    ISC_STATUS_ARRAY st;
    if (isc_rollback_transaction(st, &handle_))
        raise(st, "rollback");
    handle_ = 0;
}

void executeImmediate(Database& db, Transaction& tr, const QString& sql) {
    tr.start();
    const QByteArray s = sql.toUtf8();
    ISC_STATUS_ARRAY st;
    if (isc_dsql_execute_immediate(st, db.handle(), tr.handle(), 0, s.constData(), kDialect, nullptr))
        raise(st, "execute immediate");
}

} // namespace fb

namespace fb {
void shutdownClient() {
    fb_shutdown(5000, fb_shutrsn_app_stopped);
}
} // namespace fb
