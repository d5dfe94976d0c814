// Database access layer: column kinds, NULL reading, exception texts, transactions, bound values
// and the serialisation of one connection shared by several threads.
#include "core/SQLiteDb.h"

#include "core/ProgramLogSink.h"

#include "tests/support/TestSupport.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <thread>

using ::testing::HasSubstr;
using ::testing::StartsWith;

namespace {

QString Q(const std::string& s) {
    return QString::fromStdString(s);
}

// Runs Work and returns the ESQLiteException text it raised (empty when it raised none).
template <class TWork> std::string RaisedText(TWork&& Work) {
    try {
        Work();
    } catch (const ESQLiteException& e) {
        return e.what();
    }
    return {};
}

class SQLiteTest : public ::testing::Test {
protected:
    zt::test::TempDir Dir;
    TSQLiteDatabase Db{Q(Dir.file("t.db"))};
};

} // namespace

TEST_F(SQLiteTest, EmptyResultHasNoColumnsAndEveryReaderRaises) {
    Db.ExecuteStatement("create table t (id INTEGER PRIMARY KEY, name TEXT)");
    auto table = Db.OpenResultTable("select * from t");
    EXPECT_EQ(table->RowCount(), 0);
    EXPECT_TRUE(table->AtEnd());
    EXPECT_FALSE(table->FirstRow());
    EXPECT_FALSE(table->NextRow());
    EXPECT_EQ(RaisedText([&] { table->FieldText(0); }), "Table is at End of File");
    EXPECT_EQ(RaisedText([&] { table->FieldTextOrEmpty(0); }), "Table is at End of File");
    EXPECT_EQ(RaisedText([&] { table->FieldInt64(0); }), "Table is at End of File");
    EXPECT_EQ(RaisedText([&] { table->FieldFloat(0); }), "Table is at End of File");
    EXPECT_EQ(RaisedText([&] { table->FieldStream(0); }), "Table is at End of File");
    EXPECT_EQ(RaisedText([&] { table->FieldIndexOf("name"); }), "Field name Not found. Empty dataset");
}

TEST_F(SQLiteTest, ColumnKindsFollowDeclaredTypesExactly) {
    Db.ExecuteStatement("create table k (a INTEGER, b BOOLEAN, c NUMERIC, d FLOAT, e DOUBLE, f REAL, g BLOB, "
                        "h TEXT, i boolean, j VARCHAR(10))");
    Db.ExecuteStatement("insert into k values (?,?,?,?,?,?,?,?,?,?)",
                        {7, 1, 2.5, 3.25, 4.5, 5.75, QByteArray("xy"), "t", 9, "v"});
    auto table = Db.OpenResultTable("select * from k");
    const TSQLiteColumnKind expected[] = {sckInteger, sckInteger, sckFloat, sckFloat, sckFloat,
                                          sckFloat,   sckBlob,    sckText,  sckText,  sckText};
    for (int i = 0; i < 10; ++i)
        EXPECT_EQ(table->ColumnKind(i), expected[i]) << i;
    EXPECT_EQ(table->FieldInt64(0), 7);
    EXPECT_EQ(table->FieldText(2), "2.5");
    EXPECT_EQ(table->FieldStreamText(6), "xy");
    ASSERT_NE(table->FieldStream(6), nullptr);
    EXPECT_EQ(table->FieldStream(6)->data(), QByteArray("xy"));
    // Declared types compare case-sensitively: "boolean" in lower case is a text column. (The engine
    // reports its own standard names such as "integer" in upper case, so those stay numeric.)
    EXPECT_EQ(table->FieldTextOrEmpty(8), "9");
    EXPECT_EQ(RaisedText([&] { table->FieldInt64(8); }), "Not an integer or numeric field");
    EXPECT_EQ(RaisedText([&] { table->FieldFloat(7); }), "Not an integer or numeric field");
    EXPECT_EQ(RaisedText([&] { table->FieldStream(0); }), "Not a Blob field");
    EXPECT_EQ(table->ColumnNames(), QStringList({"A", "B", "C", "D", "E", "F", "G", "H", "I", "J"}));
}

TEST_F(SQLiteTest, AggregatesTakeTheFirstRowsStorageClass) {
    Db.ExecuteStatement("create table n (v INTEGER)");
    for (int v : {1, 2, 4})
        Db.ExecuteStatement("insert into n values (?)", {v});
    auto table = Db.OpenResultTable("select avg(v), count(*), max(v) || 'x', null from n");
    EXPECT_EQ(table->ColumnKind(0), sckFloat);
    EXPECT_EQ(table->FieldInt64(0), 2); // 2.333 truncated toward zero
    EXPECT_EQ(table->ColumnKind(1), sckInteger);
    EXPECT_EQ(table->ColumnKind(2), sckText);
    EXPECT_EQ(table->ColumnKind(3), sckNull);
    EXPECT_EQ(table->FieldText(3), "");
    auto negative = Db.OpenResultTable("select -7.9");
    EXPECT_EQ(negative->FieldInt64(0), -7);
}

TEST_F(SQLiteTest, NullReadsByReaderAndKind) {
    Db.ExecuteStatement("create table z (i INTEGER, f REAL, t TEXT, b BLOB)");
    Db.ExecuteStatement("insert into z values (null, null, null, null)");
    Db.ExecuteStatement("insert into z values (1, 1.5, '', ?)", {QByteArray()});
    auto table = Db.OpenResultTable("select * from z");
    EXPECT_EQ(table->FieldTextOrEmpty(0), "");
    EXPECT_EQ(table->FieldText(0), "0");
    EXPECT_EQ(table->FieldInt64(0), 0);
    EXPECT_EQ(table->FieldText(1), "0");
    EXPECT_EQ(table->FieldFloat(1), 0.0);
    EXPECT_EQ(table->FieldText(2), "");
    EXPECT_EQ(table->FieldStream(3), nullptr);
    EXPECT_TRUE(table->FieldIsNull(0));
    ASSERT_TRUE(table->NextRow());
    EXPECT_EQ(table->FieldStream(3), nullptr); // a zero-byte blob is an empty entry
    EXPECT_EQ(table->FieldStreamText(3), "");
    EXPECT_EQ(table->FieldText(1), "1.5");
}

TEST_F(SQLiteTest, CursorWalksPastTheLastRowOnce) {
    Db.ExecuteStatement("create table c (v TEXT)");
    Db.ExecuteStatement("insert into c values ('a')");
    Db.ExecuteStatement("insert into c values ('b')");
    auto table = Db.OpenResultTable("select v from c order by v");
    EXPECT_EQ(table->FieldText(0), "a");
    EXPECT_TRUE(table->NextRow());
    EXPECT_EQ(table->FieldTextByName("V"), "b");
    EXPECT_TRUE(table->NextRow());
    EXPECT_TRUE(table->AtEnd());
    EXPECT_FALSE(table->NextRow());
    EXPECT_TRUE(table->FirstRow());
    EXPECT_EQ(table->FieldText(0), "a");
    EXPECT_EQ(table->FieldIndexOf("v"), 0);
    EXPECT_EQ(RaisedText([&] { table->FieldIndexOf("w"); }), "Field not found in dataset: w");
}

TEST_F(SQLiteTest, ExceptionTextsOfStatements) {
    EXPECT_EQ(RaisedText([&] { Db.ExecuteStatement(""); }), "Could not prepare SQL statement");
    EXPECT_EQ(RaisedText([&] { Db.ExecuteStatement("-- only a comment"); }),
              "Could not prepare SQL statement");
    EXPECT_EQ(RaisedText([&] { Db.OpenResultTable(""); }), "Could not prepare SQL statement");
    EXPECT_EQ(RaisedText([&] { Db.ExecuteStatement("select 1"); }),
              "Error executing SQL statement \"select 1\" : another row available");
    EXPECT_EQ(RaisedText([&] { Db.ExecuteStatement("selec 1"); }),
              "Error executing SQL \"selec 1\" : near \"selec\": syntax error");
    EXPECT_EQ(RaisedText([&] { Db.OpenResultTable("select * from missing"); }),
              "Error executing SQL \"select * from missing\" : no such table: missing");
    Db.ExecuteStatement("create table u (v INTEGER UNIQUE)");
    Db.ExecuteStatement("insert into u values (1)");
    EXPECT_EQ(RaisedText([&] { Db.ExecuteStatement("insert into u values (1)"); }),
              "Error executing SQL statement \"insert into u values (1)\" : UNIQUE constraint failed: u.v");
    // A failing step inside a query finalizes the statement and names the context.
    EXPECT_THAT(RaisedText([&] { Db.OpenResultTable("select abs(-9223372036854775807 - 1)"); }),
                StartsWith("Could not retrieve data \"select abs("));
}

TEST(SQLiteOpen, FailuresAndClosedObjects) {
    EXPECT_EQ(RaisedText([] { TSQLiteDatabase db("/nonexistent-folder/x.db"); }),
              "Failed to open database \"/nonexistent-folder/x.db\" : unable to open database file");
    TSQLiteDatabase closed;
    EXPECT_FALSE(closed.IsOpen());
    EXPECT_EQ(RaisedText([&] { closed.ExecuteStatement("select 1"); }), "Database is not open");
    EXPECT_EQ(RaisedText([&] { closed.OpenResultTable("select 1"); }), "Database is not open");
    EXPECT_EQ(RaisedText([&] { closed.StartTransaction(); }), "Database is not open");
    EXPECT_EQ(RaisedText([&] { closed.HasTable("hosts"); }), "Database is not open");
    EXPECT_FALSE(closed.TakeEngineRollback());
}

TEST_F(SQLiteTest, PragmasOfOpeningAndHasTable) {
    EXPECT_EQ(Db.OpenResultTable("PRAGMA synchronous")->FieldInt64(0), 1); // NORMAL
    EXPECT_EQ(Db.OpenResultTable("PRAGMA temp_store")->FieldInt64(0), 2);  // MEMORY
    Db.ExecuteStatement("CREATE TABLE hosts (id INTEGER PRIMARY KEY)");
    EXPECT_TRUE(Db.HasTable("HOSTS"));
    EXPECT_TRUE(Db.HasTable("hosts"));
    EXPECT_FALSE(Db.HasTable("host"));
    EXPECT_FALSE(Db.HasTable("hosts' or '1'='1"));
}

TEST_F(SQLiteTest, TransactionsFlagAndRollbackOnClose) {
    Db.ExecuteStatement("create table t (v TEXT)");
    Db.StartTransaction();
    EXPECT_TRUE(Db.InTransaction());
    EXPECT_EQ(RaisedText([&] { Db.StartTransaction(); }), "Transaction already open");
    Db.ExecuteStatement("insert into t values ('kept')");
    Db.CommitTransaction();
    EXPECT_FALSE(Db.InTransaction());
    // A failing COMMIT raises and leaves the flag set.
    EXPECT_THAT(RaisedText([&] { Db.CommitTransaction(); }), HasSubstr("no transaction is active"));
    Db.StartTransaction();
    Db.ExecuteStatement("insert into t values ('lost')");
    Db.Close();
    Db.Open(Q(Dir.file("t.db")));
    auto table = Db.OpenResultTable("select v from t");
    ASSERT_EQ(table->RowCount(), 1);
    EXPECT_EQ(table->FieldText(0), "kept");
}

TEST_F(SQLiteTest, EngineRollbackIsNoticedOnce) {
    Db.ExecuteStatement("create table t (v TEXT)");
    Db.StartTransaction();
    Db.ExecuteStatement("insert into t values ('a')");
    EXPECT_FALSE(Db.TakeEngineRollback());
    // Stands in for the engine abandoning the transaction after an I/O error.
    Db.ExecuteStatement("ROLLBACK");
    EXPECT_TRUE(Db.InTransaction());
    EXPECT_TRUE(Db.TakeEngineRollback());
    EXPECT_FALSE(Db.InTransaction());
    EXPECT_FALSE(Db.TakeEngineRollback());
    Db.StartTransaction();
    Db.CommitTransaction();
}

TEST_F(SQLiteTest, BoundValuesRoundTripExactly) {
    Db.ExecuteStatement("create table h (host TEXT, note TEXT, n INTEGER, f REAL, b BLOB, flag TEXT)");
    const QString quoted = QString::fromUtf8("He said \"hi\"");
    const QString cyrillic = QString::fromUtf8("Группа №1 — сервера");
    Db.ExecuteStatement("insert into h values (?, ?, ?, ?, ?, ?)",
                        {quoted, "IP", qint64(-9000000000LL), 0.125, QByteArray("\0\1", 2), true});
    Db.ExecuteStatement("insert into h values (?, ?, ?, ?, ?, ?)",
                        {cyrillic, "Host", QVariant(), 1.0, QVariant(), false});
    auto table =
        Db.OpenResultTable("select * from h where note = ? or note = ? order by rowid", {"IP", "Host"});
    ASSERT_EQ(table->RowCount(), 2);
    EXPECT_EQ(table->FieldText(0), quoted);
    EXPECT_EQ(table->FieldText(1), "IP");
    EXPECT_EQ(table->FieldInt64(2), -9000000000LL);
    EXPECT_EQ(table->FieldFloat(3), 0.125);
    EXPECT_EQ(table->FieldStream(4)->data(), QByteArray("\0\1", 2));
    EXPECT_EQ(table->FieldText(5), "-1");
    table->NextRow();
    EXPECT_EQ(table->FieldText(0), cyrillic);
    EXPECT_EQ(table->FieldText(1), "Host");
    EXPECT_TRUE(table->FieldIsNull(2));
    EXPECT_EQ(table->FieldText(5), "0");
    // The bytes in the file are UTF-8.
    auto raw = Db.OpenResultTable("select hex(host) from h where note = 'Host'");
    EXPECT_EQ(raw->FieldText(0), QString::fromLatin1(cyrillic.toUtf8().toHex().toUpper()));
    EXPECT_THAT(RaisedText([&] {
                    Db.ExecuteStatement("insert into h (host) values (?)", {1, 2});
                }),
                StartsWith("Error executing SQL"));
}

TEST_F(SQLiteTest, ThreeThreadsInsertInsideOneTransaction) {
    Db.ExecuteStatement(
        "create table log (ID INTEGER PRIMARY KEY, Date_time TEXT, L_Status TEXT, Stat_D TEXT, "
        "ID_h_d INTEGER)");
    Db.StartTransaction();
    std::atomic<int> errors{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 3; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < 10000; ++i) {
                try {
                    Db.ExecuteStatement(
                        "insert into log (Date_time, L_Status, Stat_D, ID_h_d) values (?,?,?,?)",
                        {QString::number(i), "x", "ID", t});
                    if (i % 1000 == 0)
                        Db.OpenResultTable("select count(*) from log where ID_h_d = ?", {t});
                } catch (const ESQLiteException&) {
                    ++errors;
                }
            }
        });
    }
    for (auto& thread : threads)
        thread.join();
    Db.CommitTransaction();
    EXPECT_EQ(errors.load(), 0);
    EXPECT_EQ(Db.OpenResultTable("select count(*) from log")->FieldInt64(0), 30000);
    for (int t = 0; t < 3; ++t)
        EXPECT_EQ(Db.OpenResultTable("select count(*) from log where ID_h_d = ?", {t})->FieldInt64(0), 10000);
}

TEST_F(SQLiteTest, StandardTypeNamesAreReportedInUpperCase) {
    Db.ExecuteStatement("create table s (a integer, b real, c Integer(8))");
    Db.ExecuteStatement("insert into s values (1, 2, 3)");
    auto table = Db.OpenResultTable("select * from s");
    EXPECT_EQ(table->ColumnKind(0), sckInteger);
    EXPECT_EQ(table->ColumnKind(1), sckFloat);
    EXPECT_EQ(table->ColumnKind(2), sckText);
}

TEST_F(SQLiteTest, FirstFailedWriteAndTheFirstWriteAfterItAreReportedOnceEach) {
    Db.ExecuteStatement("create table t (x INTEGER)");
    std::vector<std::pair<std::string, bool>> hooked;
    Db.SetWriteStateHook(
        [&](const QString& Line, bool Failing) { hooked.emplace_back(Line.toStdString(), Failing); });
    const std::string file = Dir.file("t.db");
    const std::string failed =
        "Error! The database \"" + file + "\" cannot be written: attempt to write a readonly database";
    const std::string again = "The database \"" + file + "\" can be written again.";
    zt::test::StderrCapture capture;
    Db.ExecuteStatement("PRAGMA query_only = 1");
    for (int i = 0; i < 3; ++i)
        EXPECT_THAT(RaisedText([&] { Db.ExecuteStatement("insert into t values (?)", {i}); }),
                    HasSubstr("attempt to write a readonly database"));
    Db.StartTransaction();
    EXPECT_FALSE(RaisedText([&] { Db.ExecuteStatement("insert into t values (9)"); }).empty());
    Db.CommitTransaction();
    // Reads and statements that write nothing neither fail nor count as writing again.
    EXPECT_EQ(Db.OpenResultTable("select count(*) from t")->FieldInt64(0), 0);
    Db.ExecuteStatement("PRAGMA query_only = 0");
    EXPECT_EQ(hooked.size(), 1u);
    Db.ExecuteStatement("insert into t values (10)");
    Db.ExecuteStatement("insert into t values (11)");
    // A statement that is merely wrong says nothing about the file.
    EXPECT_FALSE(RaisedText([&] { Db.ExecuteStatement("insert into missing values (1)"); }).empty());
    const std::string written = capture.Take();
    EXPECT_EQ(hooked, (std::vector<std::pair<std::string, bool>>{{failed, true}, {again, false}}));
    EXPECT_EQ(written, failed + "\n" + again + "\n");
    EXPECT_EQ(Db.OpenResultTable("select count(*) from t")->FieldInt64(0), 2);
}

TEST(SQLiteSteps, FailedStepWritesOneProgramLogLineAndReturnsFalse) {
    QStringList lines;
    SetProgramLogSink([&](const QString& Line) { lines.append(Line); });
    TSQLiteDatabase closed;
    EXPECT_FALSE(RunDatabaseStep("storing a sample", [&] { closed.ExecuteStatement("select 1"); }));
    EXPECT_FALSE(RunDatabaseStep("reading the log", [] { throw std::runtime_error("bad row"); }));
    EXPECT_TRUE(RunDatabaseStep("nothing wrong", [] {}));
    SetProgramLogSink({});
    EXPECT_EQ(lines, (QStringList{"Error! storing a sample failed: Database is not open",
                                  "Error! reading the log failed: bad row"}));
}

// Statements are kept prepared by their text; a kept statement starts every call reset and
// unbound, a failure drops them all, and closing finalizes them before the connection goes.
TEST_F(SQLiteTest, PreparedStatementsAreKeptByTextResetOnCloseAndAfterAFailure) {
    Db.ExecuteStatement(Q("create table t (a INTEGER, b TEXT)"));
    const QString insert = Q("insert into t (a,b) values(?,?)");
    const QString select = Q("select a,b from t where a>=? order by a");
    const int before = Db.CachedStatementCount();
    Db.ExecuteStatement(insert, {1, Q("one")});
    Db.ExecuteStatement(insert, {2, Q("two")});
    // Fewer values than parameters: the missing one is NULL, not the last call's value.
    Db.ExecuteStatement(insert, {3});
    EXPECT_EQ(Db.CachedStatementCount(), before + 1);
    auto table = Db.OpenResultTable(select, {2});
    ASSERT_EQ(table->RowCount(), 2);
    EXPECT_EQ(table->FieldText(1), "two");
    table->NextRow();
    EXPECT_TRUE(table->FieldIsNull(1));
    // The kept query starts from its first row again, with the new value bound.
    table = Db.OpenResultTable(select, {1});
    EXPECT_EQ(table->RowCount(), 3);
    EXPECT_EQ(Db.CachedStatementCount(), before + 2);

    // A failing step drops every kept statement; the same texts work again afterwards.
    Db.ExecuteStatement(Q("create unique index t_a on t (a)"));
    EXPECT_THAT(RaisedText([&] {
                    Db.ExecuteStatement(insert, {1, Q("again")});
                }),
                StartsWith("Error executing SQL statement \"insert into t (a,b) values(?,?)\" : "));
    EXPECT_EQ(Db.CachedStatementCount(), 0);
    Db.ExecuteStatement(insert, {4, Q("four")});
    EXPECT_EQ(Db.OpenResultTable(select, {4})->FieldText(1), "four");
    EXPECT_EQ(Db.CachedStatementCount(), 2);
    // A statement kept while its table changes is prepared again by the engine, not misread.
    const QString all = Q("select * from t where a=?");
    EXPECT_EQ(Db.OpenResultTable(all, {4})->ColumnCount(), 2);
    Db.ExecuteStatement(Q("alter table t add column c TEXT"));
    EXPECT_EQ(Db.OpenResultTable(all, {4})->ColumnCount(), 3);

    // Closing inside a transaction with kept statements rolls back and closes for real.
    Db.StartTransaction();
    Db.ExecuteStatement(insert, {5, Q("five")});
    Db.Close();
    EXPECT_EQ(Db.CachedStatementCount(), 0);
    EXPECT_FALSE(Db.IsOpen());
    Db.Open(Q(Dir.file("t.db")));
    EXPECT_EQ(Db.OpenResultTable(Q("select count(*) from t"))->FieldText(0), "4");
}

// Texts built from changing parts never grow the cache past its bound; the statements in steady
// use still give their right answers.
// Bound texts are stored as given however they are held while the statement runs: plain ASCII
// ones side by side until their room is full, longer and non-ASCII ones apart; an empty text is an
// empty text, not NULL, and the next call sees none of them.
TEST_F(SQLiteTest, EveryBoundTextIsStoredAsGiven) {
    Db.ExecuteStatement(Q("create table t (a TEXT, b TEXT, c TEXT, d TEXT, e BLOB)"));
    const QString insert = Q("insert into t (a,b,c,d,e) values(?,?,?,?,?)");
    const QList<QVariantList> rows = {
        {Q("1700000000"), Q("Host down"), Q("ID"), Q(""), QByteArray("\0\1\2", 3)},
        {QString(300, QLatin1Char('x')), QString(300, QLatin1Char('y')), Q("Ausgefallen äöü"),
         QString::fromUtf8("Недоступен"), QByteArray()},
        {QString(600, QLatin1Char('z')), Q("ascii after a long one"),
         QString::fromUtf8("\xF0\x9F\x93\xA1 up"), Q("127.0.0.1"), QByteArray(2000, 'b')},
    };
    for (const QVariantList& row : rows)
        Db.ExecuteStatement(insert, row);
    Db.ExecuteStatement(Q("insert into t (a) values(?)"), {Q("only a")});
    const auto table =
        Db.OpenResultTable(Q("select a,b,c,d,length(e),hex(substr(e,1,3)) from t order by rowid"));
    ASSERT_EQ(table->RowCount(), 4);
    for (const QVariantList& row : rows) {
        for (int column = 0; column < 4; ++column)
            EXPECT_EQ(table->FieldText(column), row[column].toString()) << column;
        EXPECT_FALSE(table->FieldIsNull(3));
        EXPECT_EQ(table->FieldText(4).toInt(), row[4].toByteArray().size());
        table->NextRow();
    }
    EXPECT_EQ(table->FieldText(0), "only a");
    EXPECT_TRUE(table->FieldIsNull(1));
}

TEST_F(SQLiteTest, ManyDifferentTextsKeepTheCacheBounded) {
    Db.ExecuteStatement(Q("create table t (a INTEGER)"));
    for (int i = 0; i < 3 * TSQLiteDatabase::MaxCachedStatements; ++i) {
        Db.ExecuteStatement(Q("insert into t (a) values(%1)").arg(i));
        EXPECT_LE(Db.CachedStatementCount(), TSQLiteDatabase::MaxCachedStatements);
        EXPECT_EQ(Db.OpenResultTable(Q("select count(*) from t"))->FieldText(0), QString::number(i + 1));
    }
}
