// The database wrapper on real files in a temporary folder.
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <windows.h>

#include <string>
#include <vector>

#include "core/Database.h"
#include "core/WideString.h"
#include "tests/common/FileText.h"
#include "tests/common/TempFolder.h"

namespace {

typedef std::vector<unsigned char> Bytes;

const wchar_t* const CreateSleeping =
    L"CREATE TABLE IF NOT EXISTS `sleeping` (  `id` INTEGER PRIMARY KEY AUTOINCREMENT,  "
    L"`mac` varchar(20) NOT NULL,  `start` INTEGER,  `pattern` BLOB NOT NULL);";

struct Buffer : ByteBuffer {
  explicit Buffer(const Bytes& bytes = Bytes()) { BufferAppend(*this, bytes.data(), bytes.size()); }
  ~Buffer() { BufferClear(*this); }
  Bytes Get() const { return data ? Bytes(data, data + size) : Bytes(); }
};

class DatabaseTest : public ::testing::Test {
protected:
  void SetUp() override {
    ASSERT_TRUE(folder_.Made());
    path_ = folder_.File(L"Pellton.sql");
  }
  void TearDown() override { db_.Close(); }

  // Opened the way the activity store opens its file.
  int OpenStore(Database& db) { return db.Open(path_.c_str(), 0, 1, 1); }
  void Run(const wchar_t* sql) { ASSERT_EQ(1, db_.Execute(sql)) << sql; }
  int Insert(const wchar_t* sql, const ByteBuffer& first) {
    BlobParameters parameters;
    parameters.parameters[0] = &first;
    return db_.Execute(sql, nullptr, &parameters);
  }
  // The first column of the first row as text; "<none>" without a row.
  std::wstring Text(const wchar_t* sql) {
    QueryResult rows = db_.Query(sql);
    WideString text(L"<none>");
    if (rows) rows->GetText(-1, 0, text);
    db_.ReleaseResult(rows);
    return text.CStr();
  }

  TempFolder folder_{L"db"};
  std::wstring path_;
  Database db_;
};

// Three runs starting at 10, 20 and 30.
class ThreeRows : public DatabaseTest {
protected:
  void SetUp() override {
    DatabaseTest::SetUp();
    ASSERT_EQ(1, OpenStore(db_));
    Run(CreateSleeping);
    for (int i = 1; i <= 3; ++i) {
      Buffer pattern(Bytes(i, static_cast<unsigned char>(i)));
      WideString sql;
      sql.Format(L"INSERT OR REPLACE INTO `sleeping` (`mac`,`start`,`pattern`) "
                 L"VALUES ('AA:BB:CC:DD:EE:FF','%u',@001);", 10 * i);
      ASSERT_EQ(1, Insert(sql.CStr(), pattern));
    }
  }
};

}  // namespace

// --- opening and closing

TEST_F(DatabaseTest, AFreshFileIsCreatedAndTheProbeFailsUntilTheTableExists) {
  ASSERT_FALSE(PathExists(path_));
  ASSERT_EQ(1, OpenStore(db_));
  EXPECT_TRUE(PathExists(path_));
  EXPECT_EQ(0, db_.Execute(L"SELECT * FROM sleeping LIMIT 1;"));
  Run(CreateSleeping);
  EXPECT_EQ(1, db_.Execute(L"SELECT * FROM sleeping LIMIT 1;"));
  EXPECT_EQ(L"wal", Text(L"PRAGMA journal_mode;"));
  EXPECT_EQ(L"0", Text(L"PRAGMA synchronous;"));
  EXPECT_EQ(L"exclusive", Text(L"PRAGMA locking_mode;"));
}

TEST_F(DatabaseTest, ThePathReachesTheFileSystemAsUnicode) {
  path_ = folder_.Path() + L"\\Schlaf-\u00c4\u00df-\u6d3b\u52d5.sql";
  ASSERT_EQ(1, OpenStore(db_));
  Run(CreateSleeping);
  EXPECT_TRUE(PathExists(path_));
}

TEST_F(DatabaseTest, AFailedOpenHoldsAConnectionOnWhichEverythingFails) {
  EXPECT_EQ(0, db_.Open(folder_.File(L"missing\\Pellton.sql").c_str(), 0, 1, 1));
  EXPECT_TRUE(db_.IsOpen());
  EXPECT_EQ(0, db_.Execute(L"SELECT 1;"));
  EXPECT_FALSE(db_.Query(L"SELECT 1;"));
  db_.Close();
  EXPECT_FALSE(db_.IsOpen());
  SqliteResultSet* rows = reinterpret_cast<SqliteResultSet*>(1);
  EXPECT_EQ(0, db_.Execute(L"SELECT 1;", &rows));
  EXPECT_EQ(nullptr, rows);
  // The same object opens again; text without a statement fails.
  ASSERT_EQ(1, OpenStore(db_));
  EXPECT_EQ(L"1", Text(L"SELECT 1;"));
  for (const wchar_t* sql : {static_cast<const wchar_t*>(nullptr), L"", L"-- a comment", L"SELEKT 1;"})
    EXPECT_EQ(0, db_.Execute(sql));
}

TEST_F(DatabaseTest, ExclusiveLockingKeepsASecondConnectionOutUntilClose) {
  ASSERT_EQ(1, OpenStore(db_));
  Run(CreateSleeping);
  Run(L"INSERT INTO sleeping (mac, start, pattern) VALUES ('A', 5, x'07');");
  Database second;
  EXPECT_EQ(1, OpenStore(second));
  EXPECT_EQ(0, second.Execute(L"SELECT * FROM sleeping LIMIT 1;"));
  db_.Close();
  EXPECT_FALSE(PathExists(path_ + L"-wal"));  // the journal went back into the file
  QueryResult rows = second.Query(L"SELECT start FROM sleeping;");
  ASSERT_TRUE(rows);
  int start = 0;
  EXPECT_EQ(1, rows->GetInt(-1, 0, start));
  EXPECT_EQ(5, start);
  second.ReleaseResult(rows);
}

TEST_F(DatabaseTest, AResultSetStillOutAtCloseHoldsTheFileUntilGivenBack) {
  ASSERT_EQ(1, OpenStore(db_));
  Run(CreateSleeping);
  SqliteResultSet* rows = nullptr;
  ASSERT_EQ(1, db_.Execute(L"SELECT start FROM sleeping;", &rows));
  db_.Close();
  EXPECT_FALSE(db_.IsOpen());
  Database second;
  EXPECT_EQ(1, OpenStore(second));
  EXPECT_EQ(0, second.Execute(L"SELECT start FROM sleeping;"));
  db_.ReleaseResult(rows);  // its statement was the last: the connection goes
  EXPECT_EQ(1, second.Execute(L"SELECT start FROM sleeping;"));
}

TEST_F(DatabaseTest, AHeldResultIsGivenBackWhenItsHolderGoes) {
  ASSERT_EQ(1, OpenStore(db_));
  Run(CreateSleeping);
  Database second;
  {
    QueryResult rows;
    ASSERT_EQ(1, db_.Execute(L"SELECT start FROM sleeping;", rows));
    db_.Close();
    EXPECT_EQ(1, OpenStore(second));
    EXPECT_EQ(0, second.Execute(L"SELECT start FROM sleeping;"));
  }
  EXPECT_EQ(1, second.Execute(L"SELECT start FROM sleeping;"));
}

// --- BLOB parameters

TEST_F(DatabaseTest, ABlobParameterIsStoredExactly) {
  ASSERT_EQ(1, OpenStore(db_));
  Run(CreateSleeping);
  Buffer pattern({0x00, 0xFF, 0x7F});
  ASSERT_EQ(1, Insert(L"INSERT OR REPLACE INTO `sleeping` (`mac`,`start`,`pattern`) "
                      L"VALUES ('AA:BB:CC:DD:EE:FF','1401580800',@001);", pattern));
  EXPECT_EQ(L"blob 3 00FF7F", Text(L"SELECT typeof(pattern) || ' ' || length(pattern) || ' ' "
                                   L"|| hex(pattern) FROM sleeping;"));
}

TEST_F(DatabaseTest, AnEmptyBufferBindsNullWhichANotNullColumnRefuses) {
  ASSERT_EQ(1, OpenStore(db_));
  Run(CreateSleeping);
  Run(L"CREATE TABLE loose (value BLOB);");
  Buffer empty;
  ASSERT_EQ(1, Insert(L"INSERT INTO loose VALUES (@001);", empty));
  EXPECT_EQ(L"1", Text(L"SELECT value IS NULL FROM loose;"));
  EXPECT_EQ(0, Insert(L"INSERT INTO sleeping (mac, start, pattern) VALUES ('A', 1, @001);", empty));
  EXPECT_EQ(L"0", Text(L"SELECT count(*) FROM sleeping;"));
}

TEST_F(DatabaseTest, ParametersAreBoundByPositionAndMustAllFit) {
  ASSERT_EQ(1, OpenStore(db_));
  Run(L"CREATE TABLE four (a BLOB, b BLOB, c BLOB, d BLOB);");
  Buffer second({2, 2}), fourth({4, 4, 4, 4});
  BlobParameters parameters;
  parameters.parameters[1] = &second;
  parameters.parameters[3] = &fourth;
  ASSERT_EQ(1, db_.Execute(L"INSERT INTO four VALUES (?1, ?2, ?3, ?4);", nullptr, &parameters));
  EXPECT_EQ(L"null 0202 null 04040404",
            Text(L"SELECT typeof(a) || ' ' || hex(b) || ' ' || typeof(c) || ' ' || hex(d) FROM four;"));
  // Parameter 4 has no place in a statement with three: nothing is inserted.
  EXPECT_EQ(0, db_.Execute(L"INSERT INTO four VALUES (?1, ?2, ?3, NULL);", nullptr, &parameters));
  EXPECT_EQ(L"1", Text(L"SELECT count(*) FROM four;"));
}

TEST_F(DatabaseTest, ABufferLongerThanSqliteTakesIsRefusedNotCut) {
  ASSERT_EQ(1, OpenStore(db_));
  Run(L"CREATE TABLE one (a BLOB);");
  unsigned char bytes[3] = {1, 2, 3};
  ByteBuffer huge;  // claims 4 GiB + 3 bytes; never read
  huge.data = bytes;
  huge.size = 0x100000003ULL;
  EXPECT_EQ(0, Insert(L"INSERT INTO one VALUES (@001);", huge));
  huge.data = nullptr;  // the bytes are borrowed: not the buffer's to free
  huge.size = 0;
  EXPECT_EQ(L"0", Text(L"SELECT count(*) FROM one;"));
}

// --- reading rows

TEST_F(ThreeRows, GetRowCountCountsAndGoesBackToTheFirstRow) {
  SqliteResultSet* rows = nullptr;
  ASSERT_EQ(1, db_.Execute(L"SELECT start FROM sleeping ORDER BY start;", &rows));
  EXPECT_EQ(1, rows->MoveNext());
  EXPECT_EQ(1, rows->MoveNext());  // on the third row
  int count = 0, start = 0;
  EXPECT_EQ(1, rows->GetRowCount(count));
  EXPECT_EQ(3, count);
  EXPECT_EQ(1, rows->GetInt(-1, 0, start));
  EXPECT_EQ(10, start);
  db_.ReleaseResult(rows);
}

TEST_F(ThreeRows, AQueryStartsOnTheFirstRowAndStopsAtTheEnd) {
  QueryResult rows =
      db_.Query(L"SELECT start FROM `sleeping` WHERE mac='AA:BB:CC:DD:EE:FF' ORDER BY start ASC;");
  ASSERT_TRUE(rows);
  std::vector<int> starts;
  int start = 0;
  do {
    ASSERT_EQ(1, rows->GetInt(-1, 0, start));
    starts.push_back(start);
  } while (rows->MoveNext());
  EXPECT_EQ(std::vector<int>({10, 20, 30}), starts);
  // Past the end it stays there (SQLite alone would run the statement again).
  EXPECT_EQ(0, rows->MoveNext());
  EXPECT_EQ(0, rows->GetInt(-1, 0, start));
  EXPECT_EQ(1, rows->MoveFirst());
  EXPECT_EQ(1, rows->GetInt(-1, 0, start));
  EXPECT_EQ(10, start);
  db_.ReleaseResult(rows);
}

TEST_F(ThreeRows, NoRowsMeansNoQueryResult) {
  const wchar_t* none = L"SELECT start FROM sleeping WHERE mac='00:00:00:00:00:00';";
  EXPECT_FALSE(db_.Query(none));
  EXPECT_FALSE(db_.Query(L"SELECT start FROM nowhere;"));
  EXPECT_FALSE(db_.Query(L"SELECT start FROM sleeping;", 0));
  // Execute hands out an empty set instead.
  SqliteResultSet* rows = nullptr;
  ASSERT_EQ(1, db_.Execute(none, &rows));
  int value = -1;
  EXPECT_EQ(0, rows->GetInt(-1, 0, value));
  EXPECT_EQ(0, rows->MoveNext());
  EXPECT_EQ(1, rows->GetRowCount(value));
  EXPECT_EQ(0, value);
  db_.ReleaseResult(rows);
}

TEST_F(ThreeRows, AnErrorPartWayThroughTheRowsFailsTheCount) {
  Run(L"CREATE TABLE numbers (v INTEGER);");
  Run(L"INSERT INTO numbers VALUES (1), (-9223372036854775808);");
  // abs() of the smallest integer is an error, met on the second row.
  const wchar_t* sql = L"SELECT abs(v) FROM numbers ORDER BY rowid;";
  SqliteResultSet* rows = nullptr;
  ASSERT_EQ(1, db_.Execute(sql, &rows));
  int count = -1;
  EXPECT_EQ(0, rows->GetRowCount(count));
  EXPECT_EQ(-1, count);
  db_.ReleaseResult(rows);
  EXPECT_FALSE(db_.Query(sql));
}

TEST_F(ThreeRows, GettersAnswerOnlyForTheCurrentRowAndExistingColumns) {
  QueryResult rows = db_.Query(L"SELECT start, mac, pattern FROM sleeping ORDER BY start;");
  ASSERT_TRUE(rows);
  int value = 12345;
  WideString text(L"unchanged");
  Buffer buffer;
  VARIANT variant;
  VariantInit(&variant);
  for (int row : {0, 1, -2}) {
    EXPECT_EQ(0, rows->GetInt(row, 0, value)) << row;
    EXPECT_EQ(0, rows->GetText(row, 1, text)) << row;
    EXPECT_EQ(0, rows->GetValue(row, 1, variant)) << row;
    EXPECT_EQ(0, rows->GetBlob(row, 2, buffer)) << row;
    EXPECT_EQ(0, rows->GetIntByName(row, L"start", value)) << row;
  }
  EXPECT_EQ(0, rows->GetInt(-1, 3, value));
  EXPECT_EQ(0, rows->GetInt(-1, -1, value));
  EXPECT_EQ(0, rows->GetColumnName(3, text));
  EXPECT_EQ(12345, value);
  EXPECT_STREQ(L"unchanged", text.CStr());
  EXPECT_EQ(VT_EMPTY, variant.vt);
  EXPECT_EQ(0u, buffer.size);
  EXPECT_EQ(1, rows->GetInt(-1, 0, value));
  EXPECT_EQ(10, value);
  db_.ReleaseResult(rows);
}

TEST_F(ThreeRows, GetBlobAppendsAndRefusesEmptyValues) {
  Run(L"CREATE TABLE blobs (ten BLOB, zero BLOB, absent BLOB);");
  Run(L"INSERT INTO blobs VALUES (x'00010203040506070809', zeroblob(0), NULL);");
  QueryResult rows = db_.Query(L"SELECT ten, zero, absent FROM blobs;");
  ASSERT_TRUE(rows);
  Buffer buffer({0xA0, 0xA1, 0xA2, 0xA3});
  EXPECT_EQ(0, rows->GetBlob(-1, 1, buffer));
  EXPECT_EQ(0, rows->GetBlob(-1, 2, buffer));
  EXPECT_EQ(Bytes({0xA0, 0xA1, 0xA2, 0xA3}), buffer.Get());
  EXPECT_EQ(1, rows->GetBlob(-1, 0, buffer));
  EXPECT_EQ(Bytes({0xA0, 0xA1, 0xA2, 0xA3, 0, 1, 2, 3, 4, 5, 6, 7, 8, 9}), buffer.Get());
  db_.ReleaseResult(rows);
}

TEST_F(ThreeRows, NamesAreTheTableColumnsNotTheAliases) {
  QueryResult rows =
      db_.Query(L"SELECT mac AS address, start AS s, length(pattern) AS n FROM sleeping;");
  ASSERT_TRUE(rows);
  WideString name;
  EXPECT_EQ(1, rows->GetColumnName(0, name));
  EXPECT_STREQ(L"mac", name.CStr());
  EXPECT_EQ(1, rows->GetColumnName(2, name));  // an expression has none
  EXPECT_STREQ(L"", name.CStr());
  int start = 0;
  EXPECT_EQ(1, rows->GetIntByName(-1, L"START", start));
  EXPECT_EQ(10, start);
  EXPECT_EQ(0, rows->GetIntByName(-1, L"s", start));
  EXPECT_EQ(0, rows->GetIntByName(-1, L"n", start));
  EXPECT_EQ(1, rows->GetTextByName(-1, L"Mac", name));
  EXPECT_STREQ(L"AA:BB:CC:DD:EE:FF", name.CStr());
  db_.ReleaseResult(rows);
}

TEST_F(DatabaseTest, ValuesComeAsTextAndIntegersAsTheirLow32Bits) {
  ASSERT_EQ(1, OpenStore(db_));
  QueryResult rows = db_.Query(L"SELECT 4294967301, -1, NULL, 'Gr\u00fc\u00dfe \u6b69';");
  ASSERT_TRUE(rows);
  int value = 7;
  EXPECT_EQ(1, rows->GetInt(-1, 0, value));
  EXPECT_EQ(5, value);  // 0x1_0000_0005
  EXPECT_EQ(1, rows->GetInt(-1, 1, value));
  EXPECT_EQ(-1, value);
  EXPECT_EQ(1, rows->GetInt(-1, 2, value));
  EXPECT_EQ(0, value);
  WideString text(L"before");
  EXPECT_EQ(1, rows->GetText(-1, 2, text));
  EXPECT_STREQ(L"", text.CStr());
  EXPECT_EQ(1, rows->GetText(-1, 3, text));
  EXPECT_STREQ(L"Gr\u00fc\u00dfe \u6b69", text.CStr());
  VARIANT variant;
  VariantInit(&variant);
  EXPECT_EQ(1, rows->GetValue(-1, 0, variant));
  EXPECT_EQ(VT_BSTR, variant.vt);
  EXPECT_STREQ(L"4294967301", variant.bstrVal);
  EXPECT_EQ(1, rows->GetValue(-1, 2, variant));  // NULL: a BSTR variant without a string
  EXPECT_EQ(VT_BSTR, variant.vt);
  EXPECT_EQ(nullptr, variant.bstrVal);
  VariantClear(&variant);
  db_.ReleaseResult(rows);
}

// --- the library as built

TEST(SqliteBuild, IsSerializedAndHasColumnMetadata) {
  EXPECT_EQ(1, sqlite3_threadsafe());
  EXPECT_EQ(1, sqlite3_compileoption_used("ENABLE_COLUMN_METADATA"));
}
