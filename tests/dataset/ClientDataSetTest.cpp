#include "dataset/ClientDataSet.h"
#include "platform/ZurError.h"

#include <gtest/gtest.h>

namespace {

// IAFIID, SCODICE, FIMPORTO; rows appended in the order given.
void MakeRows(TClientDataSet& cds, const std::vector<std::tuple<int, const char*, const char*>>& rows) {
  cds.AddFieldDef("IAFIID", TFieldType::Integer);
  cds.AddFieldDef("SCODICE", TFieldType::String, 10);
  cds.AddFieldDef("FIMPORTO", TFieldType::Amount, 2);
  cds.CreateDataSet();
  for (const auto& [id, code, amount] : rows) {
    cds.Append();
    cds.FieldByName("IAFIID").SetAsInteger(id);
    if (code) cds.FieldByName("SCODICE").SetAsString(code);
    if (amount) cds.FieldByName("FIMPORTO").SetAsString(amount);
    cds.Post();
  }
  cds.MergeChangeLog();
  cds.First();
}

QStringList Codes(TClientDataSet& cds) {
  QStringList out;
  const TBookmark keep = cds.GetBookmark();
  for (cds.First(); !cds.Eof(); cds.Next())
    out << cds.FieldByName("SCODICE").AsString();
  if (cds.BookmarkValid(keep)) cds.GotoBookmark(keep);
  return out;
}

struct RecordingLink : TDataLink {
  QStringList seen;
  void ActiveChanged() override { seen << "active"; }
  void DataSetChanged() override { seen << "data"; }
  void DataSetScrolled() override { seen << "scroll"; }
  void EditingChanged() override { seen << "editing"; }
  void RecordChanged(TField* f) override { seen << "record:" + (f ? f->FieldName() : QString()); }
};

} // namespace

TEST(ClientDataSet, FieldsAreFoundWithoutRegardToCase) {
  TClientDataSet cds;
  TField& f = cds.AddFieldDef("SIRAPCODFIS", TFieldType::String, 16);
  EXPECT_EQ(&cds.FieldByName("sirapcodfis"), &f);
  EXPECT_EQ(cds.FindField("SIRAPCODFIX"), nullptr);
  try {
    cds.FieldByName("XYZ");
    FAIL();
  } catch (const EZurError& e) {
    EXPECT_EQ(e.kind(), EZurError::Kind::Field);
    EXPECT_EQ(e.message(), "Campo 'XYZ' non trovato.");
  }
  EXPECT_THROW(cds.AddFieldDef("SirapCodFis", TFieldType::Integer), EZurError);
  EXPECT_THROW(cds.AddFieldDef("A B", TFieldType::Integer), EZurError);
  EXPECT_THROW(cds.AddFieldDef("F", TFieldType::Amount, 5), EZurError);
  EXPECT_THROW(cds.AddFieldDef("S", TFieldType::String, 0), EZurError);
  cds.CreateDataSet();
  EXPECT_THROW(cds.AddFieldDef("LATER", TFieldType::Integer), EZurError);
}

TEST(ClientDataSet, ClosedDatasetRefusesValuesAndEditing) {
  TClientDataSet cds;
  cds.AddFieldDef("IAFIID", TFieldType::Integer);
  EXPECT_FALSE(cds.Active());
  EXPECT_TRUE(cds.IsEmpty());
  EXPECT_THROW(cds.FieldByName("IAFIID").AsInteger(), EZurError);
  EXPECT_THROW(cds.Append(), EZurError);
  cds.CreateDataSet();
  EXPECT_EQ(cds.State(), TDataSetState::Browse);
  // a browsing record is not writable
  EXPECT_THROW(cds.FieldByName("IAFIID").SetAsInteger(1), EZurError);
}

TEST(ClientDataSet, CursorMovesWithBofAndEof) {
  TClientDataSet cds;
  MakeRows(cds, {{1, "A", nullptr}, {2, "B", nullptr}, {3, "C", nullptr}});
  EXPECT_TRUE(cds.Bof());
  EXPECT_FALSE(cds.Eof());
  EXPECT_EQ(cds.RecNo(), 1);
  cds.Next();
  cds.Next();
  EXPECT_EQ(cds.RecNo(), 3);
  EXPECT_FALSE(cds.Eof());
  cds.Next();
  EXPECT_TRUE(cds.Eof());
  EXPECT_EQ(cds.FieldByName("SCODICE").AsString(), "C");
  cds.Prior();
  EXPECT_FALSE(cds.Eof());
  EXPECT_EQ(cds.MoveBy(-5), -1);
  EXPECT_TRUE(cds.Bof());
  cds.Last();
  EXPECT_TRUE(cds.Eof());
  cds.SetRecNo(2);
  EXPECT_EQ(cds.FieldByName("IAFIID").AsInteger(), 2);
  EXPECT_EQ(Codes(cds), QStringList({"A", "B", "C"}));

  TClientDataSet empty;
  empty.AddFieldDef("X", TFieldType::Integer);
  empty.CreateDataSet();
  EXPECT_TRUE(empty.Bof() && empty.Eof() && empty.IsEmpty());
  EXPECT_EQ(empty.RecNo(), 0);
  EXPECT_TRUE(empty.FieldByName("X").IsNull());
  EXPECT_THROW(empty.Delete(), EZurError);
}

TEST(ClientDataSet, InsertGoesBeforeTheCurrentRecordAppendAtTheEnd) {
  TClientDataSet cds;
  MakeRows(cds, {{1, "A", nullptr}, {3, "C", nullptr}});
  cds.Last();
  cds.Insert();
  EXPECT_EQ(cds.State(), TDataSetState::Insert);
  EXPECT_EQ(cds.RecNo(), 2);
  cds.FieldByName("SCODICE").SetAsString("B");
  cds.Post();
  EXPECT_EQ(cds.RecNo(), 2);
  cds.Append();
  cds.FieldByName("SCODICE").SetAsString("D");
  cds.Post();
  EXPECT_EQ(cds.RecNo(), 4);
  // repeated inserts at one place keep their order
  cds.First();
  for (const char* code : {"a3", "a2", "a1"}) {
    cds.Insert();
    cds.FieldByName("SCODICE").SetAsString(code);
    cds.Post();
  }
  EXPECT_EQ(Codes(cds), QStringList({"a1", "a2", "a3", "A", "B", "C", "D"}));
}

TEST(ClientDataSet, CancelOfAnInsertLeavesNoRecord) {
  TClientDataSet cds;
  MakeRows(cds, {{1, "A", nullptr}, {2, "B", nullptr}});
  cds.Last();
  cds.Append();
  cds.FieldByName("SCODICE").SetAsString("X");
  cds.Cancel();
  EXPECT_EQ(cds.RecordCount(), 2);
  EXPECT_EQ(cds.FieldByName("SCODICE").AsString(), "B");
  // an append nobody wrote into is dropped when the cursor moves
  cds.Append();
  cds.First();
  EXPECT_EQ(cds.RecordCount(), 2);
  // one that was written into is posted
  cds.Append();
  cds.FieldByName("SCODICE").SetAsString("C");
  cds.First();
  EXPECT_EQ(Codes(cds), QStringList({"A", "B", "C"}));
}

TEST(ClientDataSet, DeleteMovesToTheNextRecord) {
  TClientDataSet cds;
  MakeRows(cds, {{1, "A", nullptr}, {2, "B", nullptr}, {3, "C", nullptr}});
  cds.SetRecNo(2);
  cds.Delete();
  EXPECT_EQ(cds.FieldByName("SCODICE").AsString(), "C");
  EXPECT_FALSE(cds.Eof());
  cds.Delete(); // the last one: back on the new last, at the end
  EXPECT_EQ(cds.FieldByName("SCODICE").AsString(), "A");
  EXPECT_TRUE(cds.Eof());
  // the usual loop that deletes some rows visits each once
  TClientDataSet loop;
  MakeRows(loop, {{1, "A", nullptr}, {2, "B", nullptr}, {3, "C", nullptr}, {4, "D", nullptr}});
  int visits = 0;
  for (loop.First(); !loop.Eof();) {
    ++visits;
    if (loop.FieldByName("IAFIID").AsInteger() % 2 == 0)
      loop.Delete();
    else
      loop.Next();
  }
  EXPECT_EQ(visits, 4);
  EXPECT_EQ(Codes(loop), QStringList({"A", "C"}));
}

TEST(ClientDataSet, EditOnAnEmptyViewInserts) {
  TClientDataSet cds;
  MakeRows(cds, {{1, "A", nullptr}});
  cds.SetFilter("IAFIID = 2");
  cds.SetFiltered(true);
  EXPECT_TRUE(cds.IsEmpty());
  cds.Edit();
  EXPECT_EQ(cds.State(), TDataSetState::Insert);
  cds.FieldByName("IAFIID").SetAsInteger(2);
  cds.FieldByName("SCODICE").SetAsString("NEW");
  cds.Post();
  EXPECT_EQ(cds.RecordCount(), 1);
  EXPECT_EQ(cds.FieldByName("SCODICE").AsString(), "NEW");
}

TEST(ClientDataSet, RefusedOperationsLeaveTheStateAsItWas) {
  TClientDataSet cds;
  MakeRows(cds, {{1, "A", nullptr}});
  cds.Events().BeforePost = [](TClientDataSet& ds) {
    if (ds.FieldByName("SCODICE").AsString().isEmpty()) throw EZurError("Codice obbligatorio.");
  };
  cds.Edit();
  cds.FieldByName("SCODICE").SetAsString("");
  cds.FieldByName("IAFIID").SetAsInteger(9);
  EXPECT_THROW(cds.Post(), EZurError);
  EXPECT_EQ(cds.State(), TDataSetState::Edit);
  EXPECT_EQ(cds.FieldByName("IAFIID").AsInteger(), 9);
  // moving would post: refused too, the cursor stays
  EXPECT_THROW(cds.Next(), EZurError);
  EXPECT_EQ(cds.State(), TDataSetState::Edit);
  cds.FieldByName("SCODICE").SetAsString("OK");
  cds.Post();
  EXPECT_EQ(cds.State(), TDataSetState::Browse);

  cds.Events().BeforeEdit = [](TClientDataSet&) { throw EZurError("Dichiarazione in sola lettura."); };
  EXPECT_THROW(cds.Edit(), EZurError);
  EXPECT_EQ(cds.State(), TDataSetState::Browse);
  cds.Events().BeforeInsert = cds.Events().BeforeEdit;
  EXPECT_THROW(cds.Append(), EZurError);
  EXPECT_EQ(cds.State(), TDataSetState::Browse);
  cds.Events().BeforeInsert = nullptr;
  cds.Events().OnNewRecord = [](TClientDataSet&) { throw EZurError("no"); };
  EXPECT_THROW(cds.Append(), EZurError);
  EXPECT_EQ(cds.State(), TDataSetState::Browse);
  EXPECT_EQ(cds.RecordCount(), 1);
}

TEST(ClientDataSet, EventsRunInOrderAndNewRecordValuesAreNotModifications) {
  TClientDataSet cds;
  MakeRows(cds, {{1, "A", nullptr}});
  QStringList log;
  auto& e = cds.Events();
  e.BeforeInsert = [&](TClientDataSet&) { log << "BeforeInsert"; };
  e.OnNewRecord = [&](TClientDataSet& ds) {
    log << "OnNewRecord";
    ds.FieldByName("SCODICE").SetAsString("0");
  };
  e.AfterInsert = [&](TClientDataSet&) { log << "AfterInsert"; };
  e.BeforePost = [&](TClientDataSet&) { log << "BeforePost"; };
  e.AfterPost = [&](TClientDataSet&) { log << "AfterPost"; };
  e.BeforeScroll = [&](TClientDataSet&) { log << "BeforeScroll"; };
  e.AfterScroll = [&](TClientDataSet&) { log << "AfterScroll"; };
  cds.Append();
  EXPECT_FALSE(cds.Modified());
  EXPECT_EQ(cds.FieldByName("SCODICE").AsString(), "0");
  cds.FieldByName("IAFIID").SetAsInteger(2);
  cds.Post();
  EXPECT_EQ(log, QStringList({"BeforeInsert", "BeforeScroll", "OnNewRecord", "AfterInsert", "AfterScroll",
                              "BeforePost", "AfterPost"}));
}

TEST(ClientDataSet, DetachedEventsComeBackAfterAnError) {
  TClientDataSet cds;
  MakeRows(cds, {});
  int posts = 0;
  cds.Events().BeforePost = [&](TClientDataSet&) { ++posts; };
  try {
    TDetachedEvents detached(cds);
    cds.Append();
    cds.FieldByName("IAFIID").SetAsInteger(1);
    cds.Post();
    throw EZurError("interrotto");
  } catch (const EZurError&) {
  }
  EXPECT_EQ(posts, 0);
  cds.Append();
  cds.FieldByName("IAFIID").SetAsInteger(2);
  cds.Post();
  EXPECT_EQ(posts, 1);
}

TEST(ClientDataSet, IndexOrdersStablyWithNullsFirstAndFollowsEdits) {
  TClientDataSet cds;
  MakeRows(cds, {{3, "c", nullptr}, {1, "b", nullptr}, {2, nullptr, nullptr}, {1, "a", nullptr}});
  cds.SetIndexFieldNames("IAFIID");
  EXPECT_EQ(Codes(cds), QStringList({"b", "a", "", "c"}));
  cds.SetIndexFieldNames("SCODICE");
  EXPECT_EQ(Codes(cds), QStringList({"", "a", "b", "c"}));
  EXPECT_THROW(cds.SetIndexFieldNames("NOPE"), EZurError);
  EXPECT_EQ(cds.IndexFieldNames(), "SCODICE");
  // an edited key moves the record and the cursor with it
  cds.First();
  cds.Edit();
  cds.FieldByName("SCODICE").SetAsString("z");
  cds.Post();
  EXPECT_EQ(cds.RecNo(), 4);
  cds.SetIndexFieldNames("");
  EXPECT_EQ(Codes(cds), QStringList({"c", "b", "z", "a"}));
}

TEST(ClientDataSet, BookmarksSurviveOrderAndFilterChanges) {
  TClientDataSet cds;
  MakeRows(cds, {{1, "A", nullptr}, {2, "B", nullptr}, {3, "C", nullptr}});
  cds.SetRecNo(2);
  TBookmark b = cds.GetBookmark();
  cds.SetIndexFieldNames("SCODICE");
  cds.SetFilter("IAFIID >= 2");
  cds.SetFiltered(true);
  cds.Last();
  ASSERT_TRUE(cds.BookmarkValid(b));
  cds.GotoBookmark(b);
  EXPECT_EQ(cds.FieldByName("SCODICE").AsString(), "B");
  EXPECT_EQ(cds.RecNo(), 1);
  cds.SetFilter("IAFIID = 3");
  EXPECT_FALSE(cds.BookmarkValid(b));
  EXPECT_THROW(cds.GotoBookmark(b), EZurError);
  cds.SetFiltered(false);
  cds.GotoBookmark(b);
  cds.Delete();
  EXPECT_FALSE(cds.BookmarkValid(b));
  cds.FreeBookmark(b);
  EXPECT_TRUE(b.IsNull());
  TClientDataSet other;
  MakeRows(other, {{1, "A", nullptr}});
  EXPECT_FALSE(cds.BookmarkValid(other.GetBookmark()));
}

TEST(ClientDataSet, LocateHonoursItsOptions) {
  TClientDataSet cds;
  MakeRows(cds, {{1, "Roma", "10"}, {2, "ROMANIA", "20,5"}, {3, nullptr, "30"}});
  EXPECT_TRUE(cds.Locate("FIMPORTO", QVariant("20,5")));
  EXPECT_EQ(cds.RecNo(), 2);
  EXPECT_FALSE(cds.Locate("SCODICE", QVariant("roma")));
  EXPECT_EQ(cds.RecNo(), 2); // not found: the cursor stays
  EXPECT_TRUE(cds.Locate("scodice", QVariant("roma"), {.caseInsensitive = true}));
  EXPECT_EQ(cds.RecNo(), 1);
  EXPECT_TRUE(cds.Locate("SCODICE", QVariant("ROMA"), {.partialKey = true}));
  EXPECT_EQ(cds.RecNo(), 2);
  EXPECT_TRUE(cds.Locate("IAFIID;SCODICE", QVariantList{3, QVariant()}));
  EXPECT_EQ(cds.RecNo(), 3);
  EXPECT_TRUE(cds.Locate("IAFIID", QVariant("2")));
  EXPECT_THROW(cds.Locate("IAFIID", QVariant("due")), EZurError);
  EXPECT_THROW(cds.Locate("IAFIID;SCODICE", QVariantList{1}), EZurError);
  EXPECT_THROW(cds.Locate("NOPE", QVariant(1)), EZurError);
}

TEST(ClientDataSet, CalculatedFieldsSeeTheirRecordsPositionInTheView) {
  TClientDataSet cds;
  cds.AddFieldDef("IAFIID", TFieldType::Integer);
  cds.AddFieldDef("RIGO", TFieldType::String, 4, true);
  int calls = 0;
  cds.Events().OnCalcFields = [&](TClientDataSet& ds) {
    ++calls;
    ds.FieldByName("RIGO").SetAsString(QStringLiteral("IR%1").arg(ds.RecNo() + 31));
    EXPECT_THROW(ds.FieldByName("IAFIID").SetAsInteger(0), EZurError);
    EXPECT_THROW(ds.Next(), EZurError);
  };
  cds.CreateDataSet();
  for (int id : {7, 8, 7, 8, 7}) {
    cds.Append();
    cds.FieldByName("IAFIID").SetAsInteger(id);
    cds.Post();
  }
  cds.SetFilter("IAFIID = 8");
  cds.SetFiltered(true);
  QStringList labels;
  for (cds.First(); !cds.Eof(); cds.Next())
    labels << cds.FieldByName("RIGO").AsString();
  EXPECT_EQ(labels, QStringList({"IR32", "IR33"}));
  EXPECT_GT(calls, 0);
  cds.SetFilter("IAFIID = 7");
  cds.Last();
  EXPECT_EQ(cds.FieldByName("RIGO").AsString(), "IR34");
  cds.Append();
  cds.FieldByName("IAFIID").SetAsInteger(7);
  EXPECT_EQ(cds.FieldByName("RIGO").AsString(), "IR35");
  cds.Post();
  // never part of the change log or of the file
  EXPECT_FALSE(cds.FieldByName("RIGO").NewValue().isValid());
  cds.ForEachChange([](TChange& c) { EXPECT_THROW(c.NewValue("RIGO"), EZurError); });
  EXPECT_FALSE(cds.SaveToBytes().contains("IR3"));
  EXPECT_THROW(cds.SetIndexFieldNames("RIGO"), EZurError);
}

TEST(ClientDataSet, LinksHearChangesUnlessControlsAreDisabled) {
  TClientDataSet cds;
  RecordingLink link;
  link.SetDataSet(&cds);
  MakeRows(cds, {{1, "A", nullptr}, {2, "B", nullptr}});
  link.seen.clear();
  cds.Next();
  cds.Edit();
  cds.FieldByName("SCODICE").SetAsString("b");
  cds.Post();
  EXPECT_EQ(link.seen, QStringList({"scroll", "editing", "record:SCODICE", "editing", "data"}));
  link.seen.clear();
  cds.DisableControls();
  cds.DisableControls();
  cds.First();
  cds.Append();
  cds.FieldByName("SCODICE").SetAsString("C");
  cds.Post();
  cds.EnableControls();
  EXPECT_TRUE(cds.ControlsDisabled());
  EXPECT_TRUE(link.seen.isEmpty());
  cds.EnableControls();
  EXPECT_FALSE(cds.ControlsDisabled());
  EXPECT_EQ(link.seen, QStringList({"data"}));
  {
    RecordingLink shortLived;
    shortLived.SetDataSet(&cds);
  }
  cds.First(); // the destroyed link is no longer called
  auto owned = std::make_unique<TClientDataSet>();
  link.SetDataSet(owned.get());
  owned.reset();
  EXPECT_EQ(link.DataSet(), nullptr);
}

TEST(ClientDataSet, CloseKeepsRowsAndCreateDataSetEmpties) {
  TClientDataSet cds;
  MakeRows(cds, {{1, "A", nullptr}, {2, "B", nullptr}});
  cds.Edit();
  cds.FieldByName("SCODICE").SetAsString("pending");
  cds.Close();
  cds.Open();
  EXPECT_EQ(Codes(cds), QStringList({"A", "B"}));
  cds.CreateDataSet();
  EXPECT_TRUE(cds.IsEmpty());
  EXPECT_EQ(cds.ChangeCount(), 0);
}
