#include "run/odbc_source.h"

#include <sql.h>
#include <sqlext.h>

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "base/number_text.h"
#include "base/text.h"
#include "run/cursor_row_set.h"
#include "run/date_text.h"

namespace run {
using namespace base;
namespace {

std::string trimmed(const std::string& s) { return Trim(s, " \t\r\n"); }

std::string attributeValue(const std::string& v) {
  const bool edgeBlank = !v.empty() && (std::isspace(static_cast<unsigned char>(v.front())) ||
                                        std::isspace(static_cast<unsigned char>(v.back())));
  if (!edgeBlank && v.find_first_of(";{}") == std::string::npos) return v;
  std::string braced = "{";
  for (char c : v) {
    braced += c;
    if (c == '}') braced += '}';
  }
  return braced + "}";
}

std::string utf8Of(const SQLWCHAR* w, size_t n) {
  std::string out;
  out.reserve(n);
  for (size_t i = 0; i < n; ++i) {
    uint32_t c = w[i];
    if (c >= 0xD800 && c < 0xDC00 && i + 1 < n && w[i + 1] >= 0xDC00 && w[i + 1] < 0xE000) {
      c = 0x10000 + ((c - 0xD800) << 10) + (w[i + 1] - 0xDC00);
      ++i;
    }
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else if (c < 0x800) {
      out += static_cast<char>(0xC0 | (c >> 6));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
      out += static_cast<char>(0xE0 | (c >> 12));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | (c >> 18));
      out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return out;
}

// The driver's diagnostics, with every occurrence of the password blanked.
std::string diagnostics(SQLSMALLINT type, SQLHANDLE h, const std::string& password) {
  std::string all;
  SQLCHAR state[6], text[1024];
  SQLINTEGER native = 0;
  SQLSMALLINT len = 0;
  for (SQLSMALLINT i = 1; SQLGetDiagRec(type, h, i, state, &native, text, sizeof text, &len) == SQL_SUCCESS; ++i) {
    if (!all.empty()) all += " ";
    all += reinterpret_cast<char*>(text);
  }
  // A password of blanks only cannot be told apart from the blanks of the text.
  if (!trimmed(password).empty())
    for (size_t at; (at = all.find(password)) != std::string::npos;) all.replace(at, password.size(), "****");
  while (!all.empty() && (all.back() == '\n' || all.back() == ' ')) all.pop_back();
  return all.empty() ? "?" : all;
}

struct Connection {
  SQLHENV env = SQL_NULL_HENV;
  SQLHDBC dbc = SQL_NULL_HDBC;
  std::string password;
  ~Connection() {
    if (dbc) {
      SQLDisconnect(dbc);
      SQLFreeHandle(SQL_HANDLE_DBC, dbc);
    }
    if (env) SQLFreeHandle(SQL_HANDLE_ENV, env);
  }
};

// Reads the whole result at execution, as a client-side cursor does.
class OdbcCursor : public Cursor {
 public:
  OdbcCursor(std::shared_ptr<Connection> conn, const std::string& sql, const std::vector<Value>& params) {
    SQLHSTMT st = SQL_NULL_HSTMT;
    if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_STMT, conn->dbc, &st))) {
      const std::string why = diagnostics(SQL_HANDLE_DBC, conn->dbc, conn->password);
      throw SourceError("Connexion perdue : " + why, "Verbinding verbroken: " + why);
    }
    struct Guard {
      SQLHSTMT h;
      ~Guard() { SQLFreeHandle(SQL_HANDLE_STMT, h); }
    } guard{st};
    std::vector<std::string> texts(params.size());
    std::vector<SQLLEN> lens(params.size());
    for (size_t i = 0; i < params.size(); ++i) {
      const Value& v = params[i];
      texts[i] = v.kind == Value::Kind::DateTime ? isoText(v.date) : v.kind == Value::Kind::Decimal ? v.text : v.asText();
      lens[i] = v.isNull() ? SQL_NULL_DATA : static_cast<SQLLEN>(texts[i].size());
      SQLBindParameter(st, static_cast<SQLUSMALLINT>(i + 1), SQL_PARAM_INPUT, SQL_C_CHAR, SQL_VARCHAR,
                       texts[i].size() + 1, 0, texts[i].data(), static_cast<SQLLEN>(texts[i].size()), &lens[i]);
    }
    SQLRETURN rc = SQLExecDirect(st, reinterpret_cast<SQLCHAR*>(const_cast<char*>(sql.c_str())), SQL_NTS);
    if (!SQL_SUCCEEDED(rc) && rc != SQL_NO_DATA) {
      const std::string why = diagnostics(SQL_HANDLE_STMT, st, conn->password);
      throw SourceError("Requête refusée (" + why + ") : " + sql, "Query geweigerd (" + why + "): " + sql);
    }
    SQLSMALLINT ncols = 0;
    SQLNumResultCols(st, &ncols);
    std::vector<SQLSMALLINT> types(static_cast<size_t>(ncols));
    for (SQLSMALLINT c = 1; c <= ncols; ++c) {
      SQLCHAR name[256];
      SQLSMALLINT nameLen = 0, type = 0, digits = 0, nullable = 0;
      SQLULEN size = 0;
      SQLDescribeCol(st, c, name, sizeof name, &nameLen, &type, &size, &digits, &nullable);
      columns_.emplace_back(reinterpret_cast<char*>(name));
      types[static_cast<size_t>(c - 1)] = type;
    }
    while (ncols > 0) {
      rc = SQLFetch(st);
      if (rc == SQL_NO_DATA) break;
      if (!SQL_SUCCEEDED(rc)) {
        const std::string why = diagnostics(SQL_HANDLE_STMT, st, conn->password);
        throw SourceError("Erreur de lecture (" + why + ")", "Leesfout (" + why + ")");
      }
      std::vector<Value> row;
      for (SQLSMALLINT c = 1; c <= ncols; ++c) row.push_back(read(st, c, types[static_cast<size_t>(c - 1)]));
      rows_.push_back(std::move(row));
    }
  }

  const std::vector<std::string>& columns() const override { return columns_; }
  bool next() override {
    if (next_ >= rows_.size()) return false;
    current_ = next_++;
    return true;
  }
  Value value(size_t column) const override { return rows_[current_][column]; }
  void restart() override { next_ = 0; }

 private:
  static Value read(SQLHSTMT st, SQLSMALLINT c, SQLSMALLINT type) {
    SQLLEN ind = 0;
    switch (type) {
      case SQL_BIT: {
        SQLCHAR b = 0;
        SQLGetData(st, static_cast<SQLUSMALLINT>(c), SQL_C_BIT, &b, sizeof b, &ind);
        if (ind == SQL_NULL_DATA) return {};
        Value v;
        v.kind = Value::Kind::Boolean;
        v.integer = b ? 1 : 0;
        return v;
      }
      case SQL_TINYINT: case SQL_SMALLINT: case SQL_INTEGER: case SQL_BIGINT: {
        SQLBIGINT i = 0;
        SQLGetData(st, static_cast<SQLUSMALLINT>(c), SQL_C_SBIGINT, &i, sizeof i, &ind);
        return ind == SQL_NULL_DATA ? Value{} : Value::ofInt(i);
      }
      case SQL_DECIMAL: case SQL_NUMERIC: case SQL_REAL: case SQL_FLOAT: case SQL_DOUBLE: {
        char buf[128];
        Value v;
        if (type == SQL_DECIMAL || type == SQL_NUMERIC) {
          SQLGetData(st, static_cast<SQLUSMALLINT>(c), SQL_C_CHAR, buf, sizeof buf, &ind);
          if (ind == SQL_NULL_DATA) return {};
          v.text = buf;
        } else {
          double d = 0;
          SQLGetData(st, static_cast<SQLUSMALLINT>(c), SQL_C_DOUBLE, &d, sizeof d, &ind);
          if (ind == SQL_NULL_DATA) return {};
          v.text = base::generalText(d, 15);
        }
        v.kind = Value::Kind::Decimal;
        v.number = base::readNumber(v.text);
        return v;
      }
      case SQL_TYPE_DATE: case SQL_TYPE_TIME: case SQL_TYPE_TIMESTAMP: case SQL_DATETIME: {
        SQL_TIMESTAMP_STRUCT ts{};
        SQLGetData(st, static_cast<SQLUSMALLINT>(c), SQL_C_TYPE_TIMESTAMP, &ts, sizeof ts, &ind);
        if (ind == SQL_NULL_DATA) return {};
        Value v;
        v.kind = Value::Kind::DateTime;
        v.date = DateTime{ts.year, ts.month, ts.day, ts.hour, ts.minute, ts.second};
        return v;
      }
      case SQL_BINARY: case SQL_VARBINARY: case SQL_LONGVARBINARY: {
        std::string out;
        char buf[4096];
        for (;;) {
          SQLRETURN rc = SQLGetData(st, static_cast<SQLUSMALLINT>(c), SQL_C_BINARY, buf, sizeof buf, &ind);
          if (rc == SQL_NO_DATA || ind == SQL_NULL_DATA || !SQL_SUCCEEDED(rc)) break;
          size_t got = (ind == SQL_NO_TOTAL || ind > static_cast<SQLLEN>(sizeof buf)) ? sizeof buf : static_cast<size_t>(ind);
          out.append(buf, got);
          if (rc == SQL_SUCCESS) break;
        }
        return ind == SQL_NULL_DATA ? Value{} : Value::ofText(out);
      }
      default: {  // text of every kind, read as UTF-16 whatever the driver's own character set
        std::vector<SQLWCHAR> all;
        SQLWCHAR buf[2048];
        for (;;) {
          SQLRETURN rc = SQLGetData(st, static_cast<SQLUSMALLINT>(c), SQL_C_WCHAR, buf, sizeof buf, &ind);
          if (rc == SQL_NO_DATA || !SQL_SUCCEEDED(rc) || ind == SQL_NULL_DATA) break;
          size_t bytes = (ind == SQL_NO_TOTAL || ind >= static_cast<SQLLEN>(sizeof buf)) ? sizeof buf - sizeof(SQLWCHAR)
                                                                                           : static_cast<size_t>(ind);
          all.insert(all.end(), buf, buf + bytes / sizeof(SQLWCHAR));
          if (rc == SQL_SUCCESS) break;
        }
        if (ind == SQL_NULL_DATA) return {};
        return Value::ofText(utf8Of(all.data(), all.size()));
      }
    }
  }

  std::vector<std::string> columns_;
  std::vector<std::vector<Value>> rows_;
  size_t next_ = 0, current_ = 0;
};

class OdbcSource : public Source {
 public:
  OdbcSource(const std::string& text, const std::string& password) : conn_(std::make_shared<Connection>()) {
    conn_->password = password;
    SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &conn_->env);
    SQLSetEnvAttr(conn_->env, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
    SQLAllocHandle(SQL_HANDLE_DBC, conn_->env, &conn_->dbc);
    SQLSetConnectAttr(conn_->dbc, SQL_ATTR_LOGIN_TIMEOUT, reinterpret_cast<SQLPOINTER>(15), 0);
    SQLCHAR out[1024];
    SQLSMALLINT outLen = 0;
    SQLRETURN rc = SQLDriverConnect(conn_->dbc, nullptr, reinterpret_cast<SQLCHAR*>(const_cast<char*>(text.c_str())),
                                    SQL_NTS, out, sizeof out, &outLen, SQL_DRIVER_NOPROMPT);
    if (!SQL_SUCCEEDED(rc)) {
      std::string why = diagnostics(SQL_HANDLE_DBC, conn_->dbc, password);
      SQLFreeHandle(SQL_HANDLE_DBC, conn_->dbc);
      conn_->dbc = SQL_NULL_HDBC;
      throw SourceError(why);
    }
  }

  std::unique_ptr<RowSet> query(const std::string& sql, const std::vector<Value>& params) override {
    return std::make_unique<CursorRowSet>(std::make_unique<OdbcCursor>(conn_, sql, params));
  }
  std::unique_ptr<RowSet> openTable(const std::string& name) override { return query("SELECT * FROM " + name, {}); }
  // The presence test runs "SELECT * FROM name" but reads none of its rows.
  bool hasTable(const std::string& name) override {
    SQLHSTMT st = SQL_NULL_HSTMT;
    if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_STMT, conn_->dbc, &st))) return false;
    const std::string sql = "SELECT * FROM " + name;
    SQLRETURN rc = SQLExecDirect(st, reinterpret_cast<SQLCHAR*>(const_cast<char*>(sql.c_str())), SQL_NTS);
    SQLFreeHandle(SQL_HANDLE_STMT, st);
    return SQL_SUCCEEDED(rc) || rc == SQL_NO_DATA;
  }
  std::vector<std::string> tableNames() override {
    std::vector<std::string> names;
    auto rows = query("SELECT name, xtype FROM sys.sysobjects WHERE xtype = 'U' ORDER BY name", {});
    for (; !rows->eof(); rows->moveNext()) names.push_back(rows->field("name").asText());
    return names;
  }

 private:
  std::shared_ptr<Connection> conn_;
};

}  // namespace

std::string sqlServerConnectionText(const std::string& server, const std::string& login, const std::string& password,
                                    const std::string& database) {
  return "driver={SQL Server};server=" + attributeValue(trimmed(server)) + ";uid=" + attributeValue(trimmed(login)) +
         ";pwd=" + attributeValue(password) + ";database=" + attributeValue(trimmed(database));
}

// The pwd= value of a connection text, braces removed, so it can be kept out
// of messages even when the caller did not name it.
std::string passwordIn(const std::string& text) {
  const std::string low = LowerCase(text);
  size_t at = 0;
  while ((at = low.find("pwd=", at)) != std::string::npos && at > 0 && low[at - 1] != ';' && low[at - 1] != ' ') at += 4;
  if (at == std::string::npos) return {};
  at += 4;
  if (at < text.size() && text[at] == '{') {
    std::string v;
    for (size_t i = at + 1; i < text.size(); ++i) {
      if (text[i] == '}') {
        if (i + 1 < text.size() && text[i + 1] == '}') { v += '}'; ++i; continue; }
        break;
      }
      v += text[i];
    }
    return v;
  }
  return text.substr(at, text.find(';', at) == std::string::npos ? std::string::npos : text.find(';', at) - at);
}

std::unique_ptr<Source> openOdbcSource(const std::string& connectionText, const std::string& password) {
  return std::make_unique<OdbcSource>(connectionText, password.empty() ? passwordIn(connectionText) : password);
}

std::unique_ptr<Source> openSqlServerSource(const std::string& server, const std::string& login,
                                            const std::string& password, const std::string& database) {
  return openOdbcSource(sqlServerConnectionText(server, login, password, database), password);
}

}  // namespace run
