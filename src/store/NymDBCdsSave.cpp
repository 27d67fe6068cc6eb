#include "store/NymDBCds.h"

#include "db/GenerateID.h"
#include "db/VxSQLConnection.h"
#include "db/VxTransaction.h"
#include "db/ZurQuery.h"
#include "db/nymUUtil.h"
#include "platform/ZurError.h"
#include "store/NymDBCdsPrivate.h"

#include <map>
#include <memory>
#include <optional>

using namespace zurstore;

namespace {

// Whether a float column gives the amount back to the ten-thousandth: always
// for amounts of up to fifteen digits, far beyond any amount of a declaration.
bool FloatColumnHolds(Currency amount) {
  try {
    return Currency::FromDouble(amount.toDouble()) == amount;
  } catch (const EZurError&) {
    return false;
  }
}

// --- save ------------------------------------------------------------------------------

// The save's transaction: its own when the connection has none, otherwise a
// savepoint inside the caller's, so that a failure takes back exactly this
// save. Rolled back unless committed; the destructor never throws.
class TStoreTransaction {
public:
  explicit TStoreTransaction(TVxSQLConnection& connection) : m_connection(connection) {
    if (!m_connection.InTransaction()) {
      m_own.emplace(m_connection);
      m_own->StartTransaction();
    } else {
      Exec(kSavepoint);
      m_savepoint = true;
    }
  }
  ~TStoreTransaction() { Rollback(); }
  TStoreTransaction(const TStoreTransaction&) = delete;
  TStoreTransaction& operator=(const TStoreTransaction&) = delete;

  void Commit() {
    if (m_own) {
      m_own->Commit();
    } else if (m_savepoint) {
      Exec(kReleaseSavepoint);
      m_savepoint = false;
    }
  }

  void Rollback() noexcept {
    try {
      if (m_own && m_own->Active()) m_own->Rollback();
      if (m_savepoint) {
        m_savepoint = false;
        Exec(kRollbackToSavepoint);
        Exec(kReleaseSavepoint);
      }
    } catch (...) {
      // A connection that cannot roll back has lost the transaction anyway.
    }
  }

private:
  void Exec(const char* sql) {
    TZurQuery q(m_connection);
    q.SetSQL(Q(sql));
    q.ExecSQL();
  }

  TVxSQLConnection& m_connection;
  std::optional<TVxTransaction> m_own;
  bool m_savepoint = false;
};

// The text of a value the way group texts join it: null strings empty, null
// numbers 0, amounts and dates in their Italian form.
QString GroupValueText(const QVariant& v) {
  if (!v.isValid() || v.isNull()) return {};
  if (v.metaType() == QMetaType::fromType<Currency>()) return v.value<Currency>().ToString();
  switch (v.typeId()) {
  case QMetaType::QDate:
    return FormatItalianDate(v.toDate());
  case QMetaType::Double:
    return FormatItalianFloat(v.toDouble());
  case QMetaType::QByteArray:
    return QString::fromLatin1(v.toByteArray());
  default:
    return v.toString();
  }
}

void SetParam(TZurParam& param, const QVariant& v, TFieldType type) {
  switch (type) {
  case TFieldType::String:
  case TFieldType::Memo:
    param.SetString(v.toString());
    break;
  case TFieldType::Integer:
    param.SetInteger(v.toLongLong());
    break;
  case TFieldType::Amount:
    param.SetCurrency(v.value<Currency>());
    break;
  case TFieldType::Float:
    param.SetFloat(v.toDouble());
    break;
  case TFieldType::Date:
    param.SetDate(v.toDate());
    break;
  case TFieldType::Blob:
    param.SetString(GroupValueText(v));
    break;
  }
}

// Applies a dataset's change log, one change at a time, within the save's
// transaction.
class TSaveRun {
public:
  TSaveRun(TVxSQLConnection& connection, TClientDataSet& dataSet, const TCdsParams& params,
           const QString& program, int year, int month, qint64 counter)
      : m_connection(connection), m_dataSet(dataSet), m_params(params), m_program(program.toLower()),
        m_year(year), m_month(month), m_counter(counter) {
    m_afiField = dataSet.FindField(Q("IAFIID"));
    m_rowField = dataSet.FindField(Q("IFISRIGO"));
    m_groupEntry = params.Entry("safigruppoana");
    if (const TMapEntry* e = params.Entry("saficodfiscale")) m_codFisField = dataSet.FindField(e->fieldPart);

    QStringList excluded = {Q("iafiid"), Q("ifisrigo")};
    for (const TMapEntry& e : params.map)
      excluded << e.column << e.fieldPart.toLower();
    for (TField* f : dataSet.Fields()) {
      if (f->Calculated() || excluded.contains(f->FieldName().toLower())) continue;
      m_stored.push_back({f, ValueSlot(f->DataType())});
    }
    for (int slot = 0; slot < 4; ++slot) {
      TZurQuery& q = m_insert[slot];
      q.SetConnection(&connection);
      q.SetSQL(QString::fromLatin1(kInsertValue.text).arg(QLatin1Char(kSlotLetter[slot])));
      TInsertParams& p = m_insertParams[slot];
      p.icdsid = &q.ParamByName(Q("ICDSID"));
      p.icrfid = &q.ParamByName(Q("ICRFID"));
      p.iafiid = &q.ParamByName(Q("IAFIID"));
      p.ifisrigo = &q.ParamByName(Q("IFISRIGO"));
      p.name = &q.ParamByName(Q("SFISFIELDNAME"));
      p.value = &q.ParamByName(QStringLiteral("%1FISVALUE").arg(QLatin1Char(kSlotLetter[slot])));
    }
  }

  // Written once every change is applied; until then a failed save has
  // given out no number.
  void StoreCounter() {
    TZurQuery& q = Prepared(m_storeCounter, Sql(kStoreCounter));
    q.ParamByName(Q("ICDSRIGO")).SetInteger(m_counter);
    q.ParamByName(Q("ICDSID")).SetInteger(m_params.id);
    q.ExecSQL();
  }

  void Apply(TChange& change) {
    const TUpdateStatus kind = change.UpdateKind();
    qint64 row = m_rowField ? m_rowField->AsInteger() : 0;
    if (kind == TUpdateStatus::usModified || kind == TUpdateStatus::usDeleted) {
      if (kind == TUpdateStatus::usDeleted && m_afiField && m_params.anagrafica) {
        TZurQuery& q = Prepared(m_deleteTaxpayer, Sql(kDeleteTaxpayer));
        q.ParamByName(Q("IAFIID")).SetInteger(m_afiField->AsInteger());
        q.ExecSQL();
      }
      TZurQuery& q = Prepared(m_deleteRows, Sql(kDeleteRows));
      q.ParamByName(Q("ICDSID")).SetInteger(m_params.id);
      q.ParamByName(Q("IFISRIGO")).SetInteger(row);
      q.ExecSQL();
    }
    if (kind == TUpdateStatus::usInserted || kind == TUpdateStatus::usModified) {
      if (row == 0) row = ++m_counter;
      WriteRecord(row);
    }
  }

private:
  struct TInsertParams {
    TZurParam* icdsid = nullptr;
    TZurParam* icrfid = nullptr;
    TZurParam* iafiid = nullptr;
    TZurParam* ifisrigo = nullptr;
    TZurParam* name = nullptr;
    TZurParam* value = nullptr;
  };
  struct TStoredField {
    TField* field;
    int slot;
  };

  TZurQuery& Prepared(std::unique_ptr<TZurQuery>& query, const QString& sql) {
    if (!query) {
      query = std::make_unique<TZurQuery>(m_connection);
      query->SetSQL(sql);
    }
    return *query;
  }

  // The same for every record of the save, so asked for once.
  qint64 PeriodId() {
    if (m_periodId) return *m_periodId;
    TZurQuery& q = Prepared(m_period, Sql(kPeriod));
    q.ParamByName(Q("sProgramma")).SetString(m_program);
    if (m_year > 0)
      q.ParamByName(Q("iAnno")).SetInteger(m_year);
    else
      q.ParamByName(Q("iAnno")).SetNull(TZurFieldType::Integer);
    if (m_month > 0)
      q.ParamByName(Q("iMese")).SetInteger(m_month);
    else
      q.ParamByName(Q("iMese")).SetNull(TZurFieldType::Integer);
    q.Open();
    if (q.Eof() || q.Fields(0).IsNull())
      throw EZurError(QStringLiteral("Periodo fiscale non disponibile per %1 %2.").arg(m_program).arg(m_year),
                      EZurError::Kind::Database);
    m_periodId = q.Fields(0).AsInteger();
    q.Close();
    return *m_periodId;
  }

  QString GroupText(const TMapEntry& entry) const {
    QString text;
    for (const QString& name : entry.fields) {
      const TField* f = m_dataSet.FindField(name);
      if (!f)
        throw EZurError(QStringLiteral("Il campo %1 della mappa dei campi (%2) non esiste nel dataset.")
                            .arg(name, entry.column),
                        EZurError::Kind::Assertion);
      text += GroupValueText(TNymUtil::FieldValue(f));
    }
    return text;
  }

  qint64 FindTaxpayer(const QString& fiscalCode, const QString& group) {
    TZurQuery& q = Prepared(m_findTaxpayer, Sql(kFindTaxpayer));
    q.Close();
    q.ParamByName(Q("ICRFANNO")).SetInteger(m_year);
    q.ParamByName(Q("ICRFMESE")).SetInteger(m_month);
    q.ParamByName(Q("SCRFPROGRAMMA")).SetString(m_program);
    q.ParamByName(Q("SAFICODFISCALE")).SetString(fiscalCode.toLower());
    q.ParamByName(Q("SAFIGRUPPOANA")).SetString(group);
    q.Open();
    const qint64 id = q.Eof() ? 0 : q.FieldByName(Q("iafiid")).AsInteger();
    q.Close();
    return id;
  }

  qint64 Taxpayer(qint64 periodId) {
    qint64 id = m_afiField->AsInteger();
    if (id != 0) return id;
    const QString group = m_groupEntry ? GroupText(*m_groupEntry) : QString();
    if (!m_params.anagrafica && m_codFisField)
      id = FindTaxpayer(GroupValueText(TNymUtil::FieldValue(m_codFisField)), group);
    if (id != 0) return id;
    id = GenerateID(m_connection, Q("TAFI_ANAFISCALE"));
    TZurQuery& q = Prepared(m_insertTaxpayer, Sql(kInsertTaxpayer));
    q.ParamByName(Q("IAFIID")).SetInteger(id);
    q.ParamByName(Q("ICRFID")).SetInteger(periodId);
    q.ExecSQL();
    return id;
  }

  void UpdateTaxpayer(qint64 id) {
    if (m_params.map.empty() || m_params.mapReadOnly) return;
    struct TValue {
      QString column;
      QVariant value;
      TFieldType type;
    };
    std::vector<TValue> values;
    for (const TMapEntry& e : m_params.map) {
      if (e.group) {
        values.push_back({e.column, GroupText(e), TFieldType::String});
        continue;
      }
      const TField* f = m_dataSet.FindField(e.fieldPart);
      if (!f || f->Calculated() || !f->NewValue().isValid()) continue;
      values.push_back({e.column, TNymUtil::FieldValue(f), f->DataType()});
    }
    if (values.empty()) return;
    QStringList sets;
    for (const TValue& v : values)
      sets << QStringLiteral(" %1 = :%1 ").arg(v.column);
    const QString sql = QString::fromLatin1(kUpdateTaxpayer.text).arg(sets.join(QLatin1Char(',')));
    std::unique_ptr<TZurQuery>& cached = m_updateTaxpayer[sql];
    TZurQuery& q = Prepared(cached, sql);
    for (const TValue& v : values)
      SetParam(q.ParamByName(v.column), v.value, v.type);
    q.ParamByName(Q("IAFIID")).SetInteger(id);
    q.ExecSQL();
  }

  void WriteRecord(qint64 row) {
    const qint64 periodId = PeriodId();
    std::optional<qint64> afi;
    if (m_afiField) {
      afi = Taxpayer(periodId);
      m_afiField->SetAsVariant(QVariant::fromValue<qlonglong>(*afi));
      UpdateTaxpayer(*afi);
    }
    m_rowField->SetAsVariant(QVariant::fromValue<qlonglong>(row));

    for (const TStoredField& s : m_stored) {
      TField& f = *s.field;
      if (f.IsNull()) continue;
      TInsertParams& p = m_insertParams[s.slot];
      switch (f.DataType()) {
      case TFieldType::Integer: {
        const qint32 v = f.AsInteger();
        if (v == 0) continue;
        p.value->SetInteger(v);
        break;
      }
      case TFieldType::Amount: {
        const Currency v = f.AsCurrency();
        if (v.IsZero()) continue;
        // fFisValue is a float column: an amount it cannot give back to the
        // ten-thousandth would come back as another amount.
        if (!FloatColumnHolds(v))
          throw EZurError(QStringLiteral("L'importo %1 del campo %2 è troppo grande per essere registrato.")
                              .arg(v.ToString(), f.FieldName()),
                          EZurError::Kind::Field);
        p.value->SetCurrency(v);
        break;
      }
      case TFieldType::Float: {
        const double v = f.AsFloat();
        if (v == 0) continue;
        p.value->SetFloat(v);
        break;
      }
      case TFieldType::Date: {
        const QDate v = f.AsDate();
        if (!v.isValid()) continue;
        p.value->SetDate(v);
        break;
      }
      default: {
        const QString v = f.AsString();
        if (v.isEmpty()) continue;
        p.value->SetString(v);
        break;
      }
      }
      p.icdsid->SetInteger(m_params.id);
      p.icrfid->SetInteger(periodId);
      if (afi)
        p.iafiid->SetInteger(*afi);
      else
        p.iafiid->SetNull(TZurFieldType::Integer);
      p.ifisrigo->SetInteger(row);
      p.name->SetString(f.FieldName());
      m_insert[s.slot].ExecSQL();
    }
  }

  TVxSQLConnection& m_connection;
  TClientDataSet& m_dataSet;
  const TCdsParams& m_params;
  QString m_program;
  int m_year;
  int m_month;
  qint64 m_counter;
  std::optional<qint64> m_periodId;

  TField* m_afiField = nullptr;
  TField* m_rowField = nullptr;
  TField* m_codFisField = nullptr;
  const TMapEntry* m_groupEntry = nullptr;
  std::vector<TStoredField> m_stored;

  TZurQuery m_insert[4];
  TInsertParams m_insertParams[4];
  // Every statement of the save belongs to the run, which outlives the
  // rollback of a failed save: PostgreSQL refuses to release a prepared
  // statement inside an aborted transaction.
  std::unique_ptr<TZurQuery> m_period, m_deleteTaxpayer, m_deleteRows, m_findTaxpayer, m_insertTaxpayer,
      m_storeCounter;
  std::map<QString, std::unique_ptr<TZurQuery>> m_updateTaxpayer;
};

qint64 LockCounter(TVxSQLConnection& connection, qint64 structureId) {
  TZurQuery q(connection);
  q.SetSQL(Q(connection.Dialect().IsSQLite() ? kLockCounterSqlite : kLockCounterPg));
  q.ParamByName(Q("ICDSID")).SetInteger(structureId);
  q.Open();
  if (q.Eof())
    throw EZurError(QStringLiteral("Riga di struttura %1 scomparsa durante il salvataggio.").arg(structureId),
                    EZurError::Kind::Database);
  const qint64 counter = q.Fields(0).AsInteger();
  q.Close();
  return counter;
}

} // namespace

// --- TNymDBCds::TBatch ----------------------------------------------------------------

// The keys the store writes back into a change, as they were before the
// batch: put back when the batch does not commit, so that a record whose
// row number or taxpayer entry was rolled back asks for new ones next time.
struct TKeysBefore {
  QVariant afi;
  QVariant row;
};

struct TNymDBCds::TBatch::TState {
  struct TWritten {
    TClientDataSet* dataSet;
    bool hasAfi;
    std::vector<TKeysBefore> keys; // one per change, in the log's order
  };
  std::optional<TStoreTransaction> transaction;
  // The statements outlive the rollback: PostgreSQL refuses to release a
  // prepared statement inside an aborted transaction.
  std::vector<std::unique_ptr<TSaveRun>> runs;
  std::vector<TWritten> written;
  bool committed = false;
  bool failed = false;
};

TNymDBCds::TBatch::TBatch(TNymDBCds& store) : m_store(store), m_state(std::make_unique<TState>()) {
  m_state->transaction.emplace(store.RequireConnection());
}

TNymDBCds::TBatch::~TBatch() {
  if (m_state->committed) return;
  m_state->transaction->Rollback();
  m_state->runs.clear();
  for (TState::TWritten& w : m_state->written) {
    size_t i = 0;
    try {
      w.dataSet->ForEachChange([&](TChange& change) {
        const TKeysBefore& before = w.keys.at(i++);
        if (change.UpdateKind() == TUpdateStatus::usDeleted) return;
        if (w.hasAfi) change.SetValue(Q("IAFIID"), before.afi);
        change.SetValue(Q("IFISRIGO"), before.row);
      });
    } catch (...) {
      // The log is the one the batch found (nothing merges it before the
      // commit), so this cannot fail short of memory; the save's own error
      // is what the caller needs.
    }
  }
}

TVxSQLConnection& TNymDBCds::TBatch::Connection() const {
  return m_store.RequireConnection();
}

void TNymDBCds::TBatch::Save(TClientDataSet& dataSet, const QString& tableName) {
  Save(dataSet, tableName, m_store.m_year, m_store.m_month);
}

void TNymDBCds::TBatch::Save(TClientDataSet& dataSet, const QString& tableName, int year, int month) {
  if (m_state->committed || m_state->failed)
    throw EZurError(QStringLiteral("Salvataggio già concluso: impossibile salvare %1.").arg(tableName),
                    EZurError::Kind::Assertion);
  TVxSQLConnection& connection = m_store.RequireConnection();
  if (!dataSet.Active())
    throw EZurError(QStringLiteral("Impossibile salvare %1: il dataset non è aperto.").arg(tableName));
  dataSet.CheckBrowseMode();
  try {
    const TCdsParams params = ChooseStructure(connection, m_store.m_program, tableName, year, month);
    if (dataSet.ChangeCount() == 0) return;
    if (!dataSet.FindField(Q("IFISRIGO")))
      throw EZurError(
          QStringLiteral("Impossibile salvare %1: il dataset non ha il campo IFISRIGO.").arg(tableName),
          EZurError::Kind::Assertion);
    const qint64 counter = LockCounter(connection, params.id);

    TState::TWritten written{&dataSet, dataSet.FindField(Q("IAFIID")) != nullptr, {}};
    dataSet.ForEachChange([&](TChange& change) {
      written.keys.push_back(
          {written.hasAfi ? change.Value(Q("IAFIID")) : QVariant(), change.Value(Q("IFISRIGO"))});
    });
    m_state->written.push_back(std::move(written));

    auto run =
        std::make_unique<TSaveRun>(connection, dataSet, params, m_store.m_program, year, month, counter);
    TSaveRun& r = *run;
    m_state->runs.push_back(std::move(run));
    dataSet.ForEachChange([&r](TChange& change) { r.Apply(change); });
    r.StoreCounter();
  } catch (...) {
    m_state->failed = true;
    throw;
  }
}

void TNymDBCds::TBatch::Commit() {
  if (m_state->committed) return;
  if (m_state->failed)
    throw EZurError(QStringLiteral("Salvataggio non riuscito: impossibile confermarlo."),
                    EZurError::Kind::Assertion);
  // Committed before the logs are merged: a refused commit must leave the
  // changes pending rather than shown as saved.
  m_state->transaction->Commit();
  m_state->committed = true;
  m_state->runs.clear();
  for (TState::TWritten& w : m_state->written)
    w.dataSet->MergeChangeLog();
}

// --- TNymDBCds ------------------------------------------------------------------------

void TNymDBCds::Save(TClientDataSet& dataSet, const QString& tableName) {
  Save(dataSet, tableName, m_year, m_month);
}

void TNymDBCds::Save(TClientDataSet& dataSet, const QString& tableName, int year, int month) {
  TBatch batch(*this);
  batch.Save(dataSet, tableName, year, month);
  batch.Commit();
}
