#pragma once

// Shared ground of the fiscal store tests: a fresh family database per test,
// structures written through the store's own helper, and dumps that compare
// the four store tables before and after an operation.

#include "dataset/ClientDataSet.h"
#include "store/NymDBCds.h"
#include "db/ZurQuery.h"
#include "platform/ZurError.h"
#include "support/TestDatabase.h"

#include <QStringList>
#include <gtest/gtest.h>
#include <initializer_list>
#include <memory>

namespace storetest {

inline QString Q(const char* text) {
  return QString::fromUtf8(text);
}

struct TFieldSpec {
  const char* name;
  TFieldType type;
  int size = -1;
  bool calculated = false;
};

// A cover-page-like dataset whose records own their taxpayer entry, with
// every field type the store knows.
inline const std::initializer_list<TFieldSpec> kFrontFields = {
    {"IIRAPID", TFieldType::Integer},        {"SIRAPCODFIS", TFieldType::String, 16},
    {"SIRAPDENOM", TFieldType::String, 60},  {"SIRAPCOGNOME", TFieldType::String, 40},
    {"SIRAPNOME", TFieldType::String, 40},   {"DIRAPDATA", TFieldType::Date},
    {"FIRAPIMPORTO", TFieldType::Amount, 2}, {"RIRAPRAPPORTO", TFieldType::Float},
    {"MIRAPNOTE", TFieldType::Memo},         {"IAFIID", TFieldType::Integer},
    {"IFISRIGO", TFieldType::Integer}};
inline const char* const kFrontMap =
    "saficodfiscale=SIRAPCODFIS;safidenominazione=SIRAPDENOM;safigruppoana=SIRAPCOGNOME+SIRAPNOME";

// A section-like dataset that finds its taxpayer entry by fiscal code.
inline const std::initializer_list<TFieldSpec> kQuadroFields = {
    {"IIRAPID", TFieldType::Integer},    {"SIRAPCODFIS", TFieldType::String, 16},
    {"FIKVAL", TFieldType::Amount, 2},   {"IIKNUM", TFieldType::Integer},
    {"SIKNOTA", TFieldType::String, 40}, {"IAFIID", TFieldType::Integer},
    {"IFISRIGO", TFieldType::Integer}};
inline const char* const kQuadroMap = "saficodfiscale=SIRAPCODFIS";

inline void DefineFields(TClientDataSet& ds, std::initializer_list<TFieldSpec> fields) {
  for (const TFieldSpec& f : fields)
    ds.AddFieldDef(Q(f.name), f.type, f.size, f.calculated);
}

class TStoreFixture : public zurtest::TDatabaseTest {
protected:
  void SetUp() override {
    TDatabaseTest::SetUp();
    if (IsSkipped() || HasFatalFailure()) return;
    Db().CreateSchema(false);
    store = std::make_unique<TNymDBCds>(2024, Q("ZUR"), 0);
    store->SetConnection(&Conn());
    store->SetShowWait(false);
  }
  void TearDown() override {
    store.reset();
    TDatabaseTest::TearDown();
  }

  qint64 Structure(const char* table, std::initializer_list<TFieldSpec> fields, bool anagrafica = false,
                   bool mapReadOnly = false, const char* map = "", int year = 2024, int month = 0) {
    TClientDataSet structure;
    DefineFields(structure, fields);
    return TNymDBCds::WriteStructure(Conn(), Q("zur"), year, month, Q(table), structure, anagrafica,
                                     mapReadOnly, Q(map));
  }
  qint64 FrontStructure() { return Structure("TFRNT_FRONTESPIZIO", kFrontFields, true, false, kFrontMap); }
  qint64 QuadroStructure() { return Structure("TQIK_QUADROIK", kQuadroFields, false, true, kQuadroMap); }

  void Exec(const QString& sql) {
    TZurQuery q(Conn());
    q.SetSQL(sql);
    q.ExecSQL();
  }
  qint64 Scalar(const QString& sql) {
    TZurQuery q(Conn());
    q.SetSQL(sql);
    q.Open();
    return q.Fields(0).AsInteger();
  }

  // Every row of the four store tables, column by column, in a fixed order.
  QStringList Dump() {
    QStringList out;
    for (const char* table : {"tcds_struttura", "tcrf_crofiscale", "tafi_anafiscale", "tfis_datifiscali"}) {
      TZurQuery q(Conn());
      q.SetSQL(Q("SELECT * FROM ") + Q(table));
      q.Open();
      QStringList rows;
      for (; !q.Eof(); q.Next()) {
        QStringList columns;
        for (int i = 0; i < q.FieldCount(); ++i) {
          const TZurField f = q.Fields(i);
          columns << q.FieldName(i).toLower() + QLatin1Char('=') + (f.IsNull() ? Q("NULL") : f.AsString());
        }
        rows << columns.join(QLatin1Char('|'));
      }
      rows.sort();
      out << Q(table) + QLatin1Char(':');
      out += rows;
    }
    return out;
  }

  std::unique_ptr<TNymDBCds> store;
};

// The records of a dataset in view order, every field as text (an empty text
// and null read alike, as they do for the program).
inline QStringList Snapshot(TClientDataSet& ds) {
  QStringList out;
  if (!ds.Active()) return out;
  for (ds.First(); !ds.Eof(); ds.Next()) {
    QStringList values;
    for (const TField* f : ds.Fields())
      values << f->FieldName() + QLatin1Char('=') + f->AsString();
    out << values.join(QLatin1Char('|'));
  }
  ds.First();
  return out;
}

inline void AppendFront(TClientDataSet& ds, const char* codFis, const char* denom, int irapId) {
  ds.Append();
  ds.FieldByName(Q("IIRAPID")).SetAsInteger(irapId);
  ds.FieldByName(Q("SIRAPCODFIS")).SetAsString(Q(codFis));
  ds.FieldByName(Q("SIRAPDENOM")).SetAsString(Q(denom));
  ds.FieldByName(Q("SIRAPCOGNOME")).SetAsString(Q("Rossi"));
  ds.FieldByName(Q("SIRAPNOME")).SetAsString(Q("Mario"));
  ds.FieldByName(Q("FIRAPIMPORTO")).SetAsCurrency(Currency::FromCents(123456));
  ds.Post();
}

} // namespace storetest
