#pragma once
// What the parts of the Firebird layer share inside it: the dialect, the descriptor areas, the count of open
// cursors, and the one way a failure of the client library becomes fb::Error (logged with its statement).

#include <ibase.h>

#include <QString>

#include <atomic>
#include <vector>

namespace fb::detail {

constexpr int kDialect = SQL_DIALECT_V6;
extern std::atomic<int> gOpenCursors;

XSQLDA* da(std::vector<char>& storage);
const XSQLDA* da(const std::vector<char>& storage);
void allocDa(std::vector<char>& storage, int n);
// Characters of a text as the database counts them (code points, not UTF-16 units).
qsizetype codePoints(const QString& s);
[[noreturn]] void raise(const ISC_STATUS* status, const char* what, const QString* sql = nullptr);

} // namespace fb::detail
