#include "core/memorykeystore.h"
#include "platform/sqlitekeystore.h"
#include "support/testutil.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace {

// The same contract for the store in memory and the one in SQLite (reopened from disk
// before every check, so what is checked is what reached the file).
class StoreFactory {
 public:
  virtual ~StoreFactory() = default;
  virtual KeyStore& store() = 0;
  virtual KeyStore& reopened() = 0;
};

class MemoryFactory : public StoreFactory {
 public:
  KeyStore& store() override { return store_; }
  KeyStore& reopened() override { return store_; }

 private:
  MemoryKeyStore store_;
};

class SqliteFactory : public StoreFactory {
 public:
  SqliteFactory() { store_ = SqliteKeyStore::Open(path()).store; }
  KeyStore& store() override { return *store_; }
  KeyStore& reopened() override {
    store_.reset();
    store_ = SqliteKeyStore::Open(path()).store;
    return *store_;
  }
  QString path() const { return dir_.path() + QStringLiteral("/orvane.db"); }

 private:
  QTemporaryDir dir_;
  std::unique_ptr<SqliteKeyStore> store_;
};

class KeyStoreContract : public ::testing::TestWithParam<const char*> {
 protected:
  void SetUp() override {
    if (QString::fromUtf8(GetParam()) == QLatin1String("Sqlite")) {
      factory_ = std::make_unique<SqliteFactory>();
    } else {
      factory_ = std::make_unique<MemoryFactory>();
    }
  }
  KeyStore& store() { return factory_->store(); }
  KeyStore& reopened() { return factory_->reopened(); }
  std::unique_ptr<StoreFactory> factory_;
};

TEST_P(KeyStoreContract, SubkeysEnumerateSortedWithoutRegardToCase) {
  ASSERT_TRUE(store().OpenKey(QStringLiteral("\\Software\\Orvane"), true));
  for (const char* name : {"b", "10", "A", "2", "c", "1"}) {
    ASSERT_TRUE(store().OpenKey(QStringLiteral("\\Software\\Orvane\\") + QLatin1String(name), true));
  }
  KeyStore& s = reopened();
  ASSERT_TRUE(s.OpenKeyReadOnly(QStringLiteral("\\software\\ORVANE")));
  EXPECT_EQ(s.GetKeyNames(), QStringList({"1", "10", "2", "A", "b", "c"}));
}

TEST_P(KeyStoreContract, ValuesKeepCreationOrderAndType) {
  ASSERT_TRUE(store().OpenKey(QStringLiteral("\\K"), true));
  EXPECT_TRUE(store().WriteString(QStringLiteral("zeta"), QStringLiteral("text é")));
  EXPECT_TRUE(store().WriteInteger(QStringLiteral("alpha"), -7));
  EXPECT_TRUE(store().WriteDate(QStringLiteral("mid"), 45292.5));
  EXPECT_TRUE(store().WriteString(QStringLiteral("ZETA"), QStringLiteral("replaced")));  // same value
  KeyStore& s = reopened();
  ASSERT_TRUE(s.OpenKeyReadOnly(QStringLiteral("\\K")));
  EXPECT_EQ(s.GetValueNames(), QStringList({"zeta", "alpha", "mid"}));
  EXPECT_EQ(s.ReadString(QStringLiteral("zeta")), QStringLiteral("replaced"));
  EXPECT_EQ(s.ReadInteger(QStringLiteral("alpha")), -7);
  EXPECT_EQ(s.ReadDate(QStringLiteral("mid")), 45292.5);
  EXPECT_EQ(s.ReadBool(QStringLiteral("alpha")), true);
  // Another type or a missing value reads as nothing.
  EXPECT_EQ(s.ReadInteger(QStringLiteral("zeta")), std::nullopt);
  EXPECT_EQ(s.ReadString(QStringLiteral("missing")), std::nullopt);
  EXPECT_FALSE(s.WriteString(QStringLiteral("x"), QStringLiteral("read-only key")));
}

TEST_P(KeyStoreContract, DeletingAKeyTakesItsSubkeys) {
  ASSERT_TRUE(store().OpenKey(QStringLiteral("\\A\\B\\C"), true));
  store().WriteInteger(QStringLiteral("v"), 1);
  ASSERT_TRUE(store().OpenKey(QStringLiteral("\\A\\Keep"), true));
  ASSERT_TRUE(store().DeleteKey(QStringLiteral("\\A\\B")));
  EXPECT_FALSE(store().DeleteKey(QStringLiteral("\\A\\B")));
  KeyStore& s = reopened();
  EXPECT_FALSE(s.KeyExists(QStringLiteral("\\A\\B\\C")));
  EXPECT_FALSE(s.KeyExists(QStringLiteral("\\A\\B")));
  EXPECT_TRUE(s.KeyExists(QStringLiteral("\\A\\Keep")));
}

TEST_P(KeyStoreContract, RelativePathsStartAtTheCurrentKey) {
  ASSERT_TRUE(store().OpenKey(QStringLiteral("\\Software\\Orvane\\Notes\\0"), true));
  ASSERT_TRUE(store().OpenKey(QStringLiteral("Notes"), true));
  EXPECT_TRUE(store().KeyExists(QStringLiteral("\\Software\\Orvane\\Notes\\0\\Notes")));
  EXPECT_FALSE(store().OpenKeyReadOnly(QStringLiteral("\\Nowhere")));
}

TEST_P(KeyStoreContract, RollbackReturnsToTheStateAtBegin) {
  ASSERT_TRUE(store().OpenKey(QStringLiteral("\\T"), true));
  store().WriteString(QStringLiteral("v"), QStringLiteral("before"));
  ASSERT_TRUE(store().BeginTransaction());
  store().OpenKey(QStringLiteral("\\T"), true);
  store().WriteString(QStringLiteral("v"), QStringLiteral("during"));
  store().OpenKey(QStringLiteral("\\T\\New"), true);
  store().DeleteKey(QStringLiteral("\\T"));
  store().Rollback();
  KeyStore& s = reopened();
  ASSERT_TRUE(s.OpenKeyReadOnly(QStringLiteral("\\T")));
  EXPECT_EQ(s.ReadString(QStringLiteral("v")), QStringLiteral("before"));
  EXPECT_FALSE(s.KeyExists(QStringLiteral("\\T\\New")));
}

TEST_P(KeyStoreContract, CommitKeepsEverything) {
  ASSERT_TRUE(store().BeginTransaction());
  store().OpenKey(QStringLiteral("\\T\\X"), true);
  store().WriteDate(QStringLiteral("d"), 1.25);
  store().DeleteKey(QStringLiteral("\\T\\X"));
  store().OpenKey(QStringLiteral("\\T\\X"), true);
  store().WriteDate(QStringLiteral("d"), 2.5);
  ASSERT_TRUE(store().Commit()) << store().LastError().toStdString();
  KeyStore& s = reopened();
  ASSERT_TRUE(s.OpenKeyReadOnly(QStringLiteral("\\T\\X")));
  EXPECT_EQ(s.ReadDate(QStringLiteral("d")), 2.5);
}

INSTANTIATE_TEST_SUITE_P(Stores, KeyStoreContract, ::testing::Values("Memory", "Sqlite"),
                         [](const auto& info) { return std::string(info.param); });

TEST(SqliteStore, DatabaseIsReadableByItsOwnerOnly) {
  QTemporaryDir dir;
  const QString path = dir.path() + QStringLiteral("/sub/orvane.db");
  auto opened = SqliteKeyStore::Open(path);
  ASSERT_TRUE(opened.store);
  struct stat info {};
  ASSERT_EQ(stat(QFile::encodeName(path).constData(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0600u);
}

TEST(SqliteStore, ADamagedFileIsMovedAsideAndNeverOverwritten) {
  QTemporaryDir dir;
  const QString path = dir.path() + QStringLiteral("/orvane.db");
  const QByteArray junk(8192, 'x');
  {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(junk);
  }
  auto opened = SqliteKeyStore::Open(path);
  ASSERT_TRUE(opened.store);
  ASSERT_FALSE(opened.movedAside.isEmpty());
  QFile aside(opened.movedAside);
  ASSERT_TRUE(aside.open(QIODevice::ReadOnly));
  EXPECT_EQ(aside.readAll(), junk);
  EXPECT_TRUE(opened.store->OpenKey(QStringLiteral("\\Software\\Orvane"), true));
  EXPECT_TRUE(opened.store->WriteString(QStringLiteral("x"), QStringLiteral("y")));
}

TEST(SqliteStore, MalformedValueBlobsAreRejected) {
  std::vector<MemoryKeyStore::Value> values(2);
  values[0].name = QStringLiteral("n");
  values[0].type = KeyStore::ValueType::Integer;
  values[0].integer = 5;
  values[1].name = QStringLiteral("t");
  values[1].text = QStringLiteral("hello");
  const QByteArray blob = SqliteKeyStore::PackValues(values);
  std::vector<MemoryKeyStore::Value> back;
  ASSERT_TRUE(SqliteKeyStore::UnpackValues(blob, back));
  EXPECT_EQ(back, values);
  const qsizetype firstValue = SqliteKeyStore::PackValues({values[0]}).size();
  for (qsizetype cut = 1; cut < blob.size(); ++cut) {
    if (cut == firstValue) continue;  // one whole value: a valid blob
    EXPECT_FALSE(SqliteKeyStore::UnpackValues(blob.left(cut), back)) << "cut at " << cut;
  }
  QByteArray badType = blob;
  badType[0] = 9;
  EXPECT_FALSE(SqliteKeyStore::UnpackValues(badType, back));
}

}  // namespace
