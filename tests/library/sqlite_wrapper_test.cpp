// The SQLite wrapper on a real database file: rows, and the exact code and message of every error.
#include <functional>

#include "DbTestSupport.h"
#include "player/library/CppSQLite3.h"

using namespace dbtest;

namespace {

// Runs action and returns the message of the wrapper exception it raised ("" when none).
std::string RaisedMessage(const std::function<void()>& action, int* code = nullptr) {
  try {
    action();
  } catch (const CppSQLite3Exception& e) {
    if (code) *code = e.ErrorCode();
    return e.ErrorMessage();
  }
  return "";
}

struct WrapperFile {
  TempFolder folder;
  std::string path = WideToUtf8(folder.Path() + L"\\wrapper.db");
  CppSQLite3DB db;
  WrapperFile() {
    db.Open(path.c_str());
    db.Exec("create table t(a int unique, b varchar, c varchar);"
            "insert into t values(1, 'one', null); insert into t values(2, 'two', 'zwei');"
            "insert into t values(null, 'none', '');");
  }
};

}  // namespace

TEST_CASE("code names of the wrapper's messages") {
  struct Case { int code; const char* name; };
  const Case cases[] = {
      {0, "SQLITE_OK"},         {1, "SQLITE_ERROR"},      {2, "SQLITE_INTERNAL"},  {3, "SQLITE_PERM"},
      {4, "SQLITE_ABORT"},      {5, "SQLITE_BUSY"},       {6, "SQLITE_LOCKED"},    {7, "SQLITE_NOMEM"},
      {8, "SQLITE_READONLY"},   {9, "SQLITE_INTERRUPT"},  {10, "SQLITE_IOERR"},    {11, "SQLITE_CORRUPT"},
      {12, "SQLITE_NOTFOUND"},  {13, "SQLITE_FULL"},      {14, "SQLITE_CANTOPEN"}, {15, "SQLITE_PROTOCOL"},
      {16, "SQLITE_EMPTY"},     {17, "SQLITE_SCHEMA"},    {18, "SQLITE_TOOBIG"},   {19, "SQLITE_CONSTRAINT"},
      {20, "SQLITE_MISMATCH"},  {21, "SQLITE_MISUSE"},    {22, "SQLITE_NOLFS"},    {23, "SQLITE_AUTH"},
      {24, "SQLITE_FORMAT"},    {25, "SQLITE_RANGE"},     {100, "SQLITE_ROW"},     {101, "SQLITE_DONE"},
      {1000, "CPPSQLITE_ERROR"}, {26, "UNKNOWN_ERROR"},   {-1, "UNKNOWN_ERROR"},   {99, "UNKNOWN_ERROR"},
      {2067, "UNKNOWN_ERROR"},  // an extended code is not one of the names
  };
  for (const Case& c : cases) {
    CAPTURE(c.code);
    CHECK(std::string(CppSQLite3Exception::ErrorCodeAsString(c.code)) == c.name);
  }
}

TEST_CASE("exception message format, copies and a message SQLite allocated") {
  CppSQLite3Exception e(1000, "Database not open", false);
  CHECK(e.ErrorCode() == 1000);
  CHECK(std::string(e.ErrorMessage()) == "CPPSQLITE_ERROR[1000]: Database not open");

  CppSQLite3Exception noText(5, nullptr, false);
  CHECK(std::string(noText.ErrorMessage()) == "SQLITE_BUSY[5]: ");

  CppSQLite3Exception owned(1, sqlite3_mprintf("near \"%s\": syntax error", "selec"), true);
  CHECK(std::string(owned.ErrorMessage()) == "SQLITE_ERROR[1]: near \"selec\": syntax error");

  CppSQLite3Exception copy(owned);
  CHECK(copy.ErrorCode() == 1);
  CHECK(std::string(copy.ErrorMessage()) == owned.ErrorMessage());
  CHECK(copy.ErrorMessage() != owned.ErrorMessage());  // its own copy, freed on its own
  copy = e;
  CHECK(copy.ErrorCode() == 1000);
  CHECK(std::string(copy.ErrorMessage()) == "CPPSQLITE_ERROR[1000]: Database not open");
}

TEST_CASE("a cursor walks the rows; SQL NULL reads as null text or the default number") {
  WrapperFile f;
  CppSQLite3Query q = f.db.Query("select a, b, c from t order by rowid");
  CHECK(q.ColumnCount() == 3);
  CHECK(q.ColumnIndex("c") == 2);
  std::vector<std::string> seen;
  for (; !q.IsEnd(); q.Next()) {
    const char* c = q.Text("c");
    seen.push_back(std::to_string(q.Int(0, -5)) + "/" + q.Text("b") + "/" + (c ? c : "<null>"));
  }
  CHECK(seen == std::vector<std::string>{"1/one/<null>", "2/two/zwei", "-5/none/"});
  CHECK(q.IsEnd());

  CHECK(f.db.QueryInt("select count(*) from t") == 3);
  CHECK(f.db.QueryInt("select a from t where b = 'none'", 42) == 42);
  CHECK(f.db.HasTable("t"));
  CHECK_FALSE(f.db.HasTable("missing"));
  CHECK_FALSE(f.db.HasTable("t' or '1'='1"));  // the name is a value, never statement text
  CHECK(f.db.Exec("update t set c = 'x' where a >= 1") == 2);
  CHECK(f.db.Query("select * from t where a = 99").IsEnd());
}

TEST_CASE("wrapper errors carry their exact code and text") {
  WrapperFile f;
  struct Case {
    const char* what;
    std::function<void(WrapperFile&)> action;
    int code;
    const char* message;
  };
  auto finished = [](WrapperFile& w) {
    CppSQLite3Query q = w.db.Query("select * from t");
    q.Finish();
    return q;
  };
  auto handedOver = [](WrapperFile& w) {
    CppSQLite3Query q = w.db.Query("select * from t");
    CppSQLite3Query taker(std::move(q));
    return q;  // the source of the move: no statement any more
  };
  const Case cases[] = {
      {"syntax error", [](WrapperFile& w) { w.db.Exec("selec 1"); }, 1,
       "SQLITE_ERROR[1]: near \"selec\": syntax error"},
      {"query on a missing table", [](WrapperFile& w) { w.db.Query("select * from missing"); }, 1,
       "SQLITE_ERROR[1]: no such table: missing"},
      {"constraint", [](WrapperFile& w) { w.db.Exec("insert into t values(1, 'again', '')"); }, 19,
       "SQLITE_CONSTRAINT[19]: UNIQUE constraint failed: t.a"},
      {"invalid field name", [](WrapperFile& w) { w.db.Query("select * from t").Text("nope"); }, 1000,
       "CPPSQLITE_ERROR[1000]: Invalid field name requested"},
      {"null field name", [](WrapperFile& w) { w.db.Query("select * from t").ColumnIndex(nullptr); }, 1000,
       "CPPSQLITE_ERROR[1000]: Invalid field name requested"},
      {"field name differs in case", [](WrapperFile& w) { w.db.Query("select * from t").Text("B"); }, 1000,
       "CPPSQLITE_ERROR[1000]: Invalid field name requested"},
      {"negative field index", [](WrapperFile& w) { w.db.Query("select * from t").ColumnType(-1); }, 1000,
       "CPPSQLITE_ERROR[1000]: Invalid field index requested"},
      {"field index past the last", [](WrapperFile& w) { w.db.Query("select * from t").Int(3); }, 1000,
       "CPPSQLITE_ERROR[1000]: Invalid field index requested"},
      {"scalar query without a row", [](WrapperFile& w) { w.db.QueryInt("select a from t where 0"); }, 1000,
       "CPPSQLITE_ERROR[1000]: Invalid scalar query"},
      {"scalar query of a statement without rows", [](WrapperFile& w) { w.db.QueryInt("create table u(x)"); }, 1000,
       "CPPSQLITE_ERROR[1000]: Invalid scalar query"},
      {"empty statement", [](WrapperFile& w) { w.db.Query(""); }, 21, "SQLITE_MISUSE[21]: no SQL statement"},
      {"Next after Finish", [&](WrapperFile& w) { finished(w).Next(); }, 1000,
       "CPPSQLITE_ERROR[1000]: Null Virtual Machine pointer"},
      {"Text after Finish", [&](WrapperFile& w) { finished(w).Text("a"); }, 1000,
       "CPPSQLITE_ERROR[1000]: Null Virtual Machine pointer"},
      {"ColumnCount after Finish", [&](WrapperFile& w) { finished(w).ColumnCount(); }, 1000,
       "CPPSQLITE_ERROR[1000]: Null Virtual Machine pointer"},
      {"Int on a handed-over cursor", [&](WrapperFile& w) { handedOver(w).Int(0); }, 1000,
       "CPPSQLITE_ERROR[1000]: Null Virtual Machine pointer"},
      {"Next on an empty cursor", [](WrapperFile&) { CppSQLite3Query().Next(); }, 1000,
       "CPPSQLITE_ERROR[1000]: Null Virtual Machine pointer"},
  };
  for (const Case& c : cases) {
    INFO(std::string(c.what));
    int code = 0;
    CHECK(RaisedMessage([&] { c.action(f); }, &code) == c.message);
    CHECK(code == c.code);
  }
  // Nothing of the above broke the connection or the data.
  CHECK(f.db.QueryInt("select count(*) from t") == 3);
}

TEST_CASE("a finished, handed-over or empty cursor is at its end") {
  WrapperFile f;
  CppSQLite3Query q = f.db.Query("select * from t");
  CHECK_FALSE(q.IsEnd());
  CppSQLite3Query taker = std::move(q);
  CHECK(q.IsEnd());
  CHECK_FALSE(taker.IsEnd());
  taker.Finish();
  CHECK(taker.IsEnd());
  taker.Finish();  // twice is harmless
  CHECK(CppSQLite3Query().IsEnd());
}

TEST_CASE("every connection operation on a closed database says so") {
  CppSQLite3DB db;
  const std::pair<const char*, std::function<void()>> cases[] = {
      {"Exec", [&] { db.Exec("select 1"); }},
      {"Query", [&] { db.Query("select 1"); }},
      {"QueryInt", [&] { db.QueryInt("select 1"); }},
      {"HasTable", [&] { db.HasTable("t"); }},
      {"Prepare", [&] { db.Prepare("select 1"); }},
      {"SetBusyTimeout", [&] { db.SetBusyTimeout(10); }},
  };
  for (const auto& c : cases) {
    INFO(std::string(c.first));
    int code = 0;
    CHECK(RaisedMessage(c.second, &code) == "CPPSQLITE_ERROR[1000]: Database not open");
    CHECK(code == CPPSQLITE_ERROR);
  }
  CHECK_NOTHROW(db.Close());  // closing what is closed is nothing

  TempFolder folder;
  std::string path = WideToUtf8(folder.Path() + L"\\later.db");
  db.Open(path.c_str());
  db.Close();
  CHECK(RaisedMessage([&] { db.Exec("select 1"); }) == "CPPSQLITE_ERROR[1000]: Database not open");
}

TEST_CASE("open failures and closing with a cursor still open") {
  TempFolder folder;
  CppSQLite3DB db;
  std::string missing = WideToUtf8(folder.Path() + L"\\no such folder\\x.db");
  int code = 0;
  CHECK(RaisedMessage([&] { db.Open(missing.c_str()); }, &code) == "SQLITE_CANTOPEN[14]: unable to open database file");
  CHECK(code == 14);
  CHECK_FALSE(db.IsOpen());

  std::string path = WideToUtf8(folder.Path() + L"\\open.db");
  db.Open(path.c_str());
  CppSQLite3Query q = db.Query("select 1 union all select 2");
  CHECK(RaisedMessage([&] { db.Close(); }) == "CPPSQLITE_ERROR[1000]: Unable to close database");
  CHECK_FALSE(db.IsOpen());
  // The cursor outlived its connection; finishing it releases both without a fault.
  CHECK_NOTHROW(q.Finish());
}
