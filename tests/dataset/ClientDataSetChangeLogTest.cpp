#include "dataset/ClientDataSet.h"
#include "platform/ZurError.h"

#include <gtest/gtest.h>

namespace {

// IFISRIGO, IAFIID, SVALORE with three unmodified records 1..3.
void MakeStore(TClientDataSet& cds) {
  cds.AddFieldDef("IFISRIGO", TFieldType::Integer);
  cds.AddFieldDef("IAFIID", TFieldType::Integer);
  cds.AddFieldDef("SVALORE", TFieldType::String, 10);
  cds.CreateDataSet();
  for (int i = 1; i <= 3; ++i) {
    cds.Append();
    cds.FieldByName("IFISRIGO").SetAsInteger(i);
    cds.FieldByName("IAFIID").SetAsInteger(100);
    cds.FieldByName("SVALORE").SetAsString(QStringLiteral("v%1").arg(i));
    cds.Post();
  }
  cds.MergeChangeLog();
  cds.First();
}

QString Kind(TUpdateStatus s) {
  switch (s) {
  case TUpdateStatus::usUnmodified:
    return "U";
  case TUpdateStatus::usModified:
    return "M";
  case TUpdateStatus::usInserted:
    return "I";
  case TUpdateStatus::usDeleted:
    return "D";
  }
  return "?";
}

} // namespace

TEST(ClientDataSetChangeLog, RecordsCarryTheirUpdateKind) {
  TClientDataSet cds;
  MakeStore(cds);
  EXPECT_EQ(cds.ChangeCount(), 0);
  EXPECT_EQ(cds.UpdateStatus(), TUpdateStatus::usUnmodified);
  cds.Edit();
  cds.FieldByName("SVALORE").SetAsString("nuovo");
  cds.Post();
  EXPECT_EQ(cds.UpdateStatus(), TUpdateStatus::usModified);
  cds.Edit(); // a second edit of the same record stays one change
  cds.FieldByName("IAFIID").SetAsInteger(7);
  cds.Post();
  EXPECT_EQ(cds.ChangeCount(), 1);
  cds.Append();
  EXPECT_EQ(cds.UpdateStatus(), TUpdateStatus::usInserted);
  cds.FieldByName("SVALORE").SetAsString("x");
  cds.Post();
  EXPECT_EQ(cds.UpdateStatus(), TUpdateStatus::usInserted);
  EXPECT_EQ(cds.ChangeCount(), 2);
  cds.Delete(); // inserted then deleted: nothing left to apply
  EXPECT_EQ(cds.ChangeCount(), 1);
  // edited back to the original: nothing left either
  cds.First();
  cds.Edit();
  cds.FieldByName("SVALORE").SetAsString("v1");
  cds.FieldByName("IAFIID").SetAsInteger(100);
  cds.Post();
  EXPECT_EQ(cds.UpdateStatus(), TUpdateStatus::usUnmodified);
  EXPECT_EQ(cds.ChangeCount(), 0);
  // an edit that assigned nothing logs nothing
  cds.Edit();
  cds.Post();
  EXPECT_EQ(cds.ChangeCount(), 0);
}

TEST(ClientDataSetChangeLog, OldAndNewValuesOfTheCurrentRecord) {
  TClientDataSet cds;
  MakeStore(cds);
  TField& valore = cds.FieldByName("SVALORE");
  TField& afi = cds.FieldByName("IAFIID");
  EXPECT_EQ(valore.OldValue(), QVariant("v1"));
  EXPECT_FALSE(valore.NewValue().isValid());
  cds.Edit();
  valore.SetAsString("nuovo");
  EXPECT_EQ(valore.NewValue(), QVariant("nuovo")); // already while editing
  cds.Post();
  EXPECT_EQ(valore.OldValue(), QVariant("v1"));
  EXPECT_EQ(valore.NewValue(), QVariant("nuovo"));
  EXPECT_FALSE(afi.NewValue().isValid()); // unchanged field: unassigned
  cds.Append();
  afi.SetAsInteger(5);
  cds.Post();
  EXPECT_TRUE(afi.OldValue().isNull());
  EXPECT_EQ(afi.NewValue(), QVariant(5));
  EXPECT_TRUE(valore.NewValue().isValid()); // every field of an inserted record counts
  EXPECT_TRUE(valore.NewValue().isNull());
}

TEST(ClientDataSetChangeLog, ChangesAreWalkedInOrderWithDeletedRecords) {
  TClientDataSet cds;
  MakeStore(cds);
  cds.SetRecNo(3);
  cds.Delete();
  cds.First();
  cds.Edit();
  cds.FieldByName("SVALORE").SetAsString("m1");
  cds.Post();
  cds.Append();
  cds.FieldByName("SVALORE").SetAsString("i1");
  cds.Post();
  cds.SetRecNo(2);
  cds.Edit();
  cds.FieldByName("SVALORE").SetAsString("m2");
  cds.Post();
  cds.Delete(); // modified, then deleted: the original values go to the store

  QStringList walked;
  cds.ForEachChange([&](TChange& c) {
    walked << Kind(c.UpdateKind()) + ":" + c.Value("svalore").toString() + ":" +
                  c.OldValue("SVALORE").toString();
    if (c.UpdateKind() == TUpdateStatus::usDeleted) {
      EXPECT_FALSE(c.NewValue("SVALORE").isValid());
    }
    EXPECT_THROW(c.Value("NOPE"), EZurError);
  });
  EXPECT_EQ(walked, QStringList({"D:v3:v3", "M:m1:v1", "I:i1:", "D:v2:v2"}));
}

TEST(ClientDataSetChangeLog, StoreWritesKeysBackWithoutNewChanges) {
  TClientDataSet cds;
  MakeStore(cds);
  cds.SetIndexFieldNames("IFISRIGO");
  cds.Append();
  cds.FieldByName("SVALORE").SetAsString("nuovo");
  cds.Post();
  ASSERT_TRUE(cds.Locate("IFISRIGO", 1));
  cds.Edit();
  cds.FieldByName("SVALORE").SetAsString("mod");
  cds.Post();
  int next = 10;
  cds.ForEachChange([&](TChange& c) {
    if (c.Value("IFISRIGO").toInt() == 0) c.SetValue("IFISRIGO", next++);
    c.SetValue("IAFIID", 555);
    EXPECT_EQ(c.Value("IAFIID"), QVariant(555));
  });
  EXPECT_EQ(cds.ChangeCount(), 2);
  cds.MergeChangeLog();
  EXPECT_EQ(cds.ChangeCount(), 0);
  // the new key moved the record to its place in the index
  cds.Last();
  EXPECT_EQ(cds.FieldByName("IFISRIGO").AsInteger(), 10);
  EXPECT_EQ(cds.FieldByName("IAFIID").AsInteger(), 555);
  EXPECT_EQ(cds.UpdateStatus(), TUpdateStatus::usUnmodified);
  // deleted records take no values
  cds.Delete();
  cds.ForEachChange([](TChange& c) { EXPECT_THROW(c.SetValue("IAFIID", 1), EZurError); });
  // nor is the log walked while a record is being edited
  cds.Edit();
  EXPECT_THROW(cds.ForEachChange([](TChange&) {}), EZurError);
  EXPECT_THROW(cds.MergeChangeLog(), EZurError);
}

TEST(ClientDataSetChangeLog, CancelUpdatesRestoresEverything) {
  TClientDataSet cds;
  MakeStore(cds);
  cds.SetRecNo(2);
  cds.Delete();
  cds.First();
  cds.Edit();
  cds.FieldByName("SVALORE").SetAsString("m1");
  cds.Post();
  cds.Append();
  cds.FieldByName("SVALORE").SetAsString("i1");
  cds.Post();
  cds.Edit();
  cds.FieldByName("SVALORE").SetAsString("pending");
  cds.CancelUpdates();
  EXPECT_EQ(cds.State(), TDataSetState::Browse);
  EXPECT_EQ(cds.ChangeCount(), 0);
  QStringList values;
  for (cds.First(); !cds.Eof(); cds.Next()) {
    values << cds.FieldByName("SVALORE").AsString();
    EXPECT_EQ(cds.UpdateStatus(), TUpdateStatus::usUnmodified);
  }
  EXPECT_EQ(values, QStringList({"v1", "v2", "v3"}));
}

TEST(ClientDataSetChangeLog, MergeDropsDeletedRecordsForGood) {
  TClientDataSet cds;
  MakeStore(cds);
  cds.Delete();
  cds.MergeChangeLog();
  cds.CancelUpdates();
  EXPECT_EQ(cds.RecordCount(), 2);
  int changes = 0;
  cds.ForEachChange([&](TChange&) { ++changes; });
  EXPECT_EQ(changes, 0);
}

TEST(ClientDataSetChangeLog, FieldsShowEachChangeWhileTheLogIsWalked) {
  TClientDataSet cds;
  MakeStore(cds);
  cds.Edit();
  cds.FieldByName("SVALORE").SetAsString("m1");
  cds.Post();
  cds.Delete(); // modified, then deleted
  cds.Append();
  cds.FieldByName("SVALORE").SetAsString("i1");
  cds.Post();
  TField& valore = cds.FieldByName("SVALORE");
  TField& rigo = cds.FieldByName("IFISRIGO");
  QStringList seen;
  cds.ForEachChange([&](TChange& c) {
    EXPECT_EQ(cds.UpdateStatus(), c.UpdateKind());
    seen << valore.AsString() + "|" + valore.OldValue().toString() + "|" +
                (valore.NewValue().isValid() ? valore.NewValue().toString() : QString("-"));
    EXPECT_THROW(cds.Next(), EZurError);
    EXPECT_THROW(cds.Edit(), EZurError);
    if (c.UpdateKind() == TUpdateStatus::usInserted) {
      rigo.SetAsInteger(42);
      EXPECT_EQ(c.Value("IFISRIGO"), QVariant(42));
    } else {
      EXPECT_THROW(rigo.SetAsInteger(42), EZurError);
    }
  });
  EXPECT_EQ(seen, QStringList({"v1|v1|-", "i1||i1"}));
  cds.Last();
  EXPECT_EQ(rigo.AsInteger(), 42);
  EXPECT_EQ(cds.UpdateStatus(), TUpdateStatus::usInserted);
}
