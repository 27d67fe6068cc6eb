#include "dataset/ClientDataSet.h"
#include "platform/ZurError.h"

#include <gtest/gtest.h>

namespace {

// IAFIID, IIRAPID, SNOME, FIMPORTO, DDATA
struct Sample {
  TClientDataSet cds;
  Sample() {
    cds.AddFieldDef("IAFIID", TFieldType::Integer);
    cds.AddFieldDef("IIRAPID", TFieldType::Integer);
    cds.AddFieldDef("SNOME", TFieldType::String, 20);
    cds.AddFieldDef("FIMPORTO", TFieldType::Amount, 2);
    cds.AddFieldDef("DDATA", TFieldType::Date);
    cds.CreateDataSet();
    Add(123, 1000001, "Rossi", "10,50", "2024-01-31");
    Add(124, 1000002, "O'Neill", "-1", nullptr);
    Add(-1, 1000003, "rossi", nullptr, "2023-12-31");
    Add(123, 1000004, nullptr, "0,005", "2024-06-01");
  }
  void Add(int afi, int irap, const char* nome, const char* importo, const char* data) {
    cds.Append();
    cds.FieldByName("IAFIID").SetAsInteger(afi);
    cds.FieldByName("IIRAPID").SetAsInteger(irap);
    if (nome) cds.FieldByName("SNOME").SetAsString(nome);
    if (importo) cds.FieldByName("FIMPORTO").SetAsString(importo);
    if (data) cds.FieldByName("DDATA").SetAsString(data);
    cds.Post();
  }
  // IIRAPID - 1000000 of each visible record
  std::vector<int> Match(const QString& filter) {
    cds.SetFilter(filter);
    cds.SetFiltered(true);
    std::vector<int> ids;
    for (cds.First(); !cds.Eof(); cds.Next())
      ids.push_back(cds.FieldByName("IIRAPID").AsInteger() - 1000000);
    return ids;
  }
};

using V = std::vector<int>;

} // namespace

TEST(ClientDataSetFilter, FormsTheProgramUses) {
  Sample s;
  EXPECT_EQ(s.Match("IAFIID = 123"), V({1, 4}));
  EXPECT_EQ(s.Match("IIRAPID ='1000001'"), V({1}));
  EXPECT_EQ(s.Match("IAFIID = -1"), V({3}));
  EXPECT_EQ(s.Match("iafiid=124"), V({2}));
  EXPECT_EQ(s.cds.RecordCount(), 1);
  EXPECT_EQ(s.cds.RecNo(), 1);
}

TEST(ClientDataSetFilter, ComparisonsAndLogic) {
  Sample s;
  EXPECT_EQ(s.Match("IAFIID <> 123"), V({2, 3}));
  EXPECT_EQ(s.Match("IAFIID != 123"), V({2, 3}));
  EXPECT_EQ(s.Match("FIMPORTO > 0"), V({1, 4}));
  // 0,005 was rounded to 0,01 when assigned; a literal is never rounded
  EXPECT_EQ(s.Match("FIMPORTO <= 0.005"), V({2}));
  EXPECT_EQ(s.Match("FIMPORTO = 0.01"), V({4}));
  EXPECT_EQ(s.Match("FIMPORTO = 10.5"), V({1}));
  EXPECT_EQ(s.Match("DDATA >= '01/01/2024'"), V({1, 4}));
  EXPECT_EQ(s.Match("DDATA < '2024-01-01'"), V({3}));
  EXPECT_EQ(s.Match("SNOME = 'Rossi'"), V({1})); // case matters
  EXPECT_EQ(s.Match("SNOME = 'O''Neill'"), V({2}));
  EXPECT_EQ(s.Match("IAFIID = 123 AND FIMPORTO > 1 OR IAFIID = -1"), V({1, 3}));
  EXPECT_EQ(s.Match("IAFIID = 123 and (FIMPORTO > 1 or IAFIID = -1)"), V({1}));
  EXPECT_EQ(s.Match("NOT (IAFIID = 123)"), V({2, 3}));
  EXPECT_EQ(s.Match("not not IAFIID = 124"), V({2}));
  EXPECT_EQ(s.Match("SNOME IS NULL"), V({4}));
  EXPECT_EQ(s.Match("DDATA IS NOT NULL AND FIMPORTO = NULL"), V({3}));
  EXPECT_EQ(s.Match("FIMPORTO <> NULL"), V({1, 2, 4}));
  // a null value fails every plain comparison
  EXPECT_EQ(s.Match("FIMPORTO < 100"), V({1, 2, 4}));
  EXPECT_EQ(s.Match("[IAFIID] = 124"), V({2}));
  EXPECT_EQ(s.Match("IAFIID = IAFIID"), V({1, 2, 3, 4}));
  EXPECT_EQ(s.Match("   "), V({1, 2, 3, 4}));
}

TEST(ClientDataSetFilter, InvalidTextsAreRefusedNamingThem) {
  Sample s;
  s.Match("IAFIID = 123");
  for (const char* bad :
       {"IAFIID =", "IAFIID = 'abc", "(IAFIID = 1", "IAFIID = 1)", "IAFIID 1", "= 1", "IAFIID = 1 AND",
        "IAFIID == 1", "IAFIID = 1x", "IAFIID ~ 1", "AND = 1", "IAFIID IS 1", "IAFIID = - 'a'"}) {
    try {
      s.cds.SetFilter(bad);
      ADD_FAILURE() << bad;
    } catch (const EZurError& e) {
      EXPECT_TRUE(e.message().contains(QString::fromLatin1(bad))) << e.message().toStdString();
    }
  }
  // the filter in force is untouched
  EXPECT_EQ(s.cds.Filter(), "IAFIID = 123");
  EXPECT_EQ(s.cds.RecordCount(), 2);
  EXPECT_THROW(s.cds.SetFilter(QString(500, '(') + "IAFIID = 1" + QString(500, ')')), EZurError);
}

TEST(ClientDataSetFilter, FieldsAndLiteralsMustFit) {
  Sample s;
  s.cds.SetFiltered(true);
  try {
    s.cds.SetFilter("NOPE = 1");
    FAIL();
  } catch (const EZurError& e) {
    EXPECT_EQ(e.kind(), EZurError::Kind::Field);
    EXPECT_TRUE(e.message().contains("NOPE"));
  }
  EXPECT_THROW(s.cds.SetFilter("IAFIID = 'uno'"), EZurError);
  EXPECT_THROW(s.cds.SetFilter("DDATA = 5"), EZurError);
  EXPECT_THROW(s.cds.SetFilter("DDATA = '31/02/2024'"), EZurError);
  // while the filter is off only the syntax is checked; applying it binds
  s.cds.SetFiltered(false);
  s.cds.SetFilter("NOPE = 1");
  EXPECT_THROW(s.cds.SetFiltered(true), EZurError);
  EXPECT_FALSE(s.cds.Filtered());
  s.cds.Close();
  s.cds.SetFiltered(true);
  EXPECT_THROW(s.cds.Open(), EZurError);
  EXPECT_FALSE(s.cds.Active());
}

TEST(ClientDataSetFilter, PostedRecordsJoinOrLeaveTheView) {
  Sample s;
  EXPECT_EQ(s.Match("IAFIID = 123"), V({1, 4}));
  s.cds.First();
  s.cds.Edit();
  s.cds.FieldByName("IAFIID").SetAsInteger(999);
  s.cds.Post();
  EXPECT_EQ(s.cds.RecordCount(), 1);
  EXPECT_EQ(s.cds.FieldByName("IIRAPID").AsInteger(), 1000004);
  s.cds.Append();
  s.cds.FieldByName("IAFIID").SetAsInteger(123);
  s.cds.FieldByName("IIRAPID").SetAsInteger(1000005);
  s.cds.Post();
  EXPECT_EQ(s.cds.RecordCount(), 2);
  EXPECT_EQ(s.cds.RecNo(), 2);
  s.cds.SetFiltered(false);
  EXPECT_EQ(s.cds.RecordCount(), 5);
}
