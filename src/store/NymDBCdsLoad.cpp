#include "store/NymDBCds.h"

#include "store/NymDBCdsPrivate.h"
#include "db/VxSQLConnection.h"
#include "db/ZurQuery.h"
#include "db/nymUUtil.h"
#include "platform/Platform.h"
#include "platform/ZurError.h"

#include <QHash>
#include <functional>
#include <QLocale>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <cmath>
#include <limits>
#include <optional>

using namespace zurstore;

namespace {

// --- values read from the database ----------------------------------------------------

bool IsIntegerType(int typeId) {
  switch (typeId) {
  case QMetaType::Int:
  case QMetaType::UInt:
  case QMetaType::LongLong:
  case QMetaType::ULongLong:
  case QMetaType::Short:
  case QMetaType::UShort:
    return true;
  default:
    return false;
  }
}

bool IsFloatType(int typeId) {
  return typeId == QMetaType::Double || typeId == QMetaType::Float;
}

std::optional<qint64> WholeNumberOf(const QVariant& v) {
  const int type = v.typeId();
  if (IsIntegerType(type)) {
    if (type == QMetaType::ULongLong && v.toULongLong() > quint64(std::numeric_limits<qint64>::max()))
      return std::nullopt;
    return v.toLongLong();
  }
  if (IsFloatType(type)) {
    const double d = v.toDouble();
    if (!std::isfinite(d) || d != std::trunc(d) || std::fabs(d) > 9.0e15) return std::nullopt;
    return qint64(d);
  }
  if (type == QMetaType::QString) {
    bool ok = false;
    const qint64 n = v.toString().trimmed().toLongLong(&ok);
    if (ok) return n;
  }
  return std::nullopt;
}

std::optional<qint32> IntegerOf(const QVariant& v) {
  const auto n = WholeNumberOf(v);
  if (!n || *n < std::numeric_limits<qint32>::min() || *n > std::numeric_limits<qint32>::max())
    return std::nullopt;
  return qint32(*n);
}

std::optional<double> DoubleOf(const QVariant& v) {
  const int type = v.typeId();
  double d = 0;
  if (IsFloatType(type) || IsIntegerType(type)) {
    d = v.toDouble();
  } else if (type == QMetaType::QString) {
    bool ok = false;
    d = v.toString().trimmed().toDouble(&ok);
    if (!ok) return std::nullopt;
  } else {
    return std::nullopt;
  }
  if (!std::isfinite(d)) return std::nullopt;
  return d;
}

std::optional<Currency> CurrencyOf(const QVariant& v) {
  if (v.typeId() == QMetaType::QString) {
    if (auto c = Currency::Parse(v.toString())) return c;
  }
  const auto d = DoubleOf(v);
  if (!d) return std::nullopt;
  try {
    return Currency::FromDouble(*d);
  } catch (const EZurError&) {
    return std::nullopt;
  }
}

std::optional<QDate> DateOf(const QVariant& v) {
  switch (v.typeId()) {
  case QMetaType::QDate:
    if (v.toDate().isValid()) return v.toDate();
    return std::nullopt;
  case QMetaType::QDateTime:
    if (v.toDateTime().isValid()) return v.toDateTime().date();
    return std::nullopt;
  case QMetaType::QString: {
    // SQLite keeps dates as ISO text; anything else in the column is no date,
    // however a lenient parser might read it.
    const QString text = v.toString().trimmed();
    if (text.size() < 10) return std::nullopt;
    const bool tail = text.size() == 10 || text[10] == QLatin1Char('T') || text[10] == QLatin1Char(' ');
    const QDate d = QDate::fromString(text.left(10), Qt::ISODate);
    if (!tail || !d.isValid()) return std::nullopt;
    return d;
  }
  default:
    return std::nullopt;
  }
}

QString TextOf(const QVariant& v) {
  switch (v.typeId()) {
  case QMetaType::QString:
    return v.toString();
  case QMetaType::Double:
  case QMetaType::Float:
    return QString::number(v.toDouble(), 'g', QLocale::FloatingPointShortest);
  case QMetaType::QDate:
    return v.toDate().toString(Qt::ISODate);
  case QMetaType::QByteArray:
    return QString::fromUtf8(v.toByteArray());
  default:
    return v.toString();
  }
}

// Sets a field from a non-null column value; false when the value is not of
// the field's kind.
bool AssignColumn(TField& field, const QVariant& v) {
  switch (field.DataType()) {
  case TFieldType::String:
  case TFieldType::Memo:
  case TFieldType::Blob:
    field.SetAsString(TextOf(v));
    return true;
  case TFieldType::Integer:
    if (const auto i = IntegerOf(v)) {
      field.SetAsInteger(*i);
      return true;
    }
    return false;
  case TFieldType::Amount:
    if (const auto c = CurrencyOf(v)) {
      field.SetAsCurrency(*c);
      return true;
    }
    return false;
  case TFieldType::Float:
    if (const auto d = DoubleOf(v)) {
      field.SetAsFloat(*d);
      return true;
    }
    return false;
  case TFieldType::Date:
    if (const auto d = DateOf(v)) {
      field.SetAsDate(*d);
      return true;
    }
    return false;
  }
  return false;
}

QString KindText(TFieldType type) {
  switch (type) {
  case TFieldType::Integer:
    return QStringLiteral("un numero intero");
  case TFieldType::Amount:
    return QStringLiteral("un importo");
  case TFieldType::Float:
    return QStringLiteral("un numero");
  case TFieldType::Date:
    return QStringLiteral("una data");
  default:
    return QStringLiteral("un testo");
  }
}

[[noreturn]] void ThrowBadValue(const QString& tableName, qint64 row, const TField& field,
                                const QVariant& v) {
  throw EZurError(QStringLiteral("Impossibile caricare %1: il valore \"%2\" del campo %3 (riga %4) non è %5.")
                      .arg(tableName, TextOf(v), field.FieldName())
                      .arg(row)
                      .arg(KindText(field.DataType())),
                  EZurError::Kind::Field);
}

int ColumnIndex(const QSqlRecord& record, const QString& name) {
  for (int i = 0; i < record.count(); ++i)
    if (record.fieldName(i).compare(name, Qt::CaseInsensitive) == 0) return i;
  return -1;
}

// --- load ----------------------------------------------------------------------------

// Wait window and cursor, shown only on request and put back in every case.
class TLoadWait {
public:
  explicit TLoadWait(bool show) : m_show(show) {
    if (!m_show) return;
    Platform().ShowWaitWindow(true);
    Platform().SetWaitCursor(true);
    Platform().ProcessMessages();
  }
  ~TLoadWait() {
    if (!m_show) return;
    try {
      Platform().SetWaitCursor(false);
      Platform().ShowWaitWindow(false);
    } catch (...) {
      // A window that cannot close must not replace the load's own outcome.
    }
  }
  TLoadWait(const TLoadWait&) = delete;
  TLoadWait& operator=(const TLoadWait&) = delete;

private:
  bool m_show;
};

class TControlsOff {
public:
  explicit TControlsOff(TClientDataSet& dataSet) : m_dataSet(dataSet) { m_dataSet.DisableControls(); }
  ~TControlsOff() { m_dataSet.EnableControls(); }
  TControlsOff(const TControlsOff&) = delete;
  TControlsOff& operator=(const TControlsOff&) = delete;

private:
  TClientDataSet& m_dataSet;
};

// The load statement runs on a bare forward-only QSqlQuery: it is the one hot
// path of the store (half a million rows for a school's declarations), and
// reading only the columns a row needs, by index, keeps it close to the cost
// of fetching the rows at all.
void ReadRows(TVxSQLConnection& connection, TClientDataSet& dataSet, const QString& tableName,
              const TCdsParams& params, const QString& program, int year, int month,
              const std::function<void(qint64)>& observer) {
  const TParsedSql parsed = ParseNamedParameters(Sql(kLoadRows));
  QSqlQuery q(connection.Database());
  q.setForwardOnly(true);
  if (!q.prepare(parsed.driverText)) throw EZurError(DriverMessage(q.lastError()), EZurError::Kind::Database);
  const QHash<QString, QVariant> values = {
      {Q("ICDSID"), QVariant::fromValue<qlonglong>(params.id)},
      {Q("IAFIID"), QVariant::fromValue<qlonglong>(-1)},
      {Q("ICRFANNO"), QVariant::fromValue<qlonglong>(year)},
      {Q("ICRFMESE"), QVariant::fromValue<qlonglong>(month)},
      {Q("SCRFPROGRAMMA"), program.toLower()},
  };
  for (int i = 0; i < parsed.positions.size(); ++i)
    q.bindValue(i, values.value(parsed.positions[i].toUpper()));
  if (!q.exec()) throw EZurError(DriverMessage(q.lastError()), EZurError::Kind::Database);

  const QSqlRecord record = q.record();
  const int cName = ColumnIndex(record, Q("sfisfieldname"));
  const int cRow = ColumnIndex(record, Q("ifisrigo"));
  const int cAfi = ColumnIndex(record, Q("iafiid"));
  const int cValue[4] = {ColumnIndex(record, Q("sfisvalue")), ColumnIndex(record, Q("ifisvalue")),
                         ColumnIndex(record, Q("ffisvalue")), ColumnIndex(record, Q("dfisvalue"))};

  TField* afiField = dataSet.FindField(Q("IAFIID"));
  TField* rowField = dataSet.FindField(Q("IFISRIGO"));
  struct TMapped {
    TField* field;
    int column;
  };
  std::vector<TMapped> mapped;
  for (const TMapEntry& e : params.map) {
    if (e.group) continue;
    TField* f = dataSet.FindField(e.fieldPart);
    if (!f || f->Calculated()) continue;
    const int column = ColumnIndex(record, e.column);
    if (column < 0)
      throw EZurError(QStringLiteral("Mappa dei campi di %1 non valida: la colonna %2 non esiste.")
                          .arg(tableName, e.column));
    mapped.push_back({f, column});
  }
  // Resolved once per structure: the column each field reads its value from.
  std::vector<int> valueColumn(size_t(dataSet.FieldCount()));
  for (const TField* f : dataSet.Fields())
    valueColumn[size_t(f->Index())] = cValue[ValueSlot(f->DataType())];

  const auto assign = [&](TField& f, const QVariant& v, qint64 row) {
    if (!v.isNull() && !AssignColumn(f, v)) ThrowBadValue(tableName, row, f, v);
  };

  qint64 rowsRead = 0;
  bool more = q.next();
  qint64 row = more ? q.value(cRow).toLongLong() : 0;
  while (more) {
    const qint64 recordRow = row;
    dataSet.Append();
    if (afiField) assign(*afiField, q.value(cAfi), recordRow);
    if (rowField) assign(*rowField, q.value(cRow), recordRow);
    for (const TMapped& m : mapped)
      assign(*m.field, q.value(m.column), recordRow);
    do {
      TField* f = dataSet.FindField(q.value(cName).toString());
      if (f && !f->Calculated()) {
        const int column = valueColumn[size_t(f->Index())];
        const QVariant v = q.value(column);
        if (!v.isNull()) {
          if (!AssignColumn(*f, v)) ThrowBadValue(tableName, recordRow, *f, v);
        } else {
          // A value kept in another type's column (the field changed type in a
          // newer structure) would load as empty and vanish with the next save
          // of the record: refuse it instead.
          for (const int other : cValue) {
            if (other == column) continue;
            const QVariant w = q.value(other);
            if (!w.isNull()) ThrowBadValue(tableName, recordRow, *f, w);
          }
        }
      }
      more = q.next();
      if (observer && (++rowsRead & 4095) == 0) observer(rowsRead);
      if (more) row = q.value(cRow).toLongLong();
    } while (more && row == recordRow);
    dataSet.Post();
  }
  // A fetch that broke off must not pass for the end of the rows.
  const QSqlError error = q.lastError();
  if (error.isValid() && error.type() != QSqlError::NoError)
    throw EZurError(DriverMessage(error), EZurError::Kind::Database);
}

// A half-built dataset must never reach a save: its appended records would be
// stored a second time as new ones.
void DiscardLoaded(TClientDataSet& dataSet) noexcept {
  try {
    if (dataSet.Active()) {
      dataSet.EmptyDataSet();
      dataSet.Close();
    }
  } catch (...) {
    // Nothing more can be done; the load's own error is what the caller needs.
  }
}

} // namespace

void TNymDBCds::Load(TClientDataSet& dataSet, const QString& tableName) {
  Load(dataSet, tableName, m_year, m_month);
}

void TNymDBCds::Load(TClientDataSet& dataSet, const QString& tableName, int year, int month) {
  TVxSQLConnection& connection = RequireConnection();
  TLoadWait wait(m_showWait);
  TControlsOff controls(dataSet);
  TDetachedEvents detached(dataSet);

  const TCdsParams params = ChooseStructure(connection, m_program, tableName, year, month);
  dataSet.Close();
  dataSet.SetIndexFieldNames(QString());
  try {
    try {
      TNymUtil::LoadDataSetFromBlob(params.schema, dataSet);
    } catch (const EZurError& e) {
      throw EZurError(QStringLiteral("Struttura di %1 non valida: %2").arg(tableName, e.message()),
                      EZurError::Kind::File);
    }
    // The structure is a saved empty dataset; rows a blob might carry are
    // no stored records.
    dataSet.EmptyDataSet();
    ReadRows(connection, dataSet, tableName, params, m_program, year, month, m_rowObserver);
    dataSet.MergeChangeLog();
    dataSet.First();
  } catch (...) {
    DiscardLoaded(dataSet);
    throw;
  }
}


qint64 TNymDBCds::CountStoredRows(const QString& tableName) {
  TVxSQLConnection& connection = RequireConnection();
  TZurQuery structure(connection);
  structure.SetSQL(Sql(kChooseStructure));
  structure.ParamByName(Q("ICDSANNO")).SetInteger(m_year);
  structure.ParamByName(Q("ICDSMESE")).SetInteger(m_month);
  structure.ParamByName(Q("SCDSPROGRAMMA")).SetString(m_program);
  structure.ParamByName(Q("SCDSNOME")).SetString(tableName.toLower());
  structure.Open();
  if (structure.Eof()) return 0;
  TZurQuery q(connection);
  q.SetSQL(Q(kCountRows));
  q.ParamByName(Q("ICDSID")).SetInteger(structure.FieldByName(Q("icdsid")).AsInteger());
  q.ParamByName(Q("ICRFANNO")).SetInteger(m_year);
  q.ParamByName(Q("ICRFMESE")).SetInteger(m_month);
  q.ParamByName(Q("SCRFPROGRAMMA")).SetString(m_program);
  q.Open();
  return q.Eof() ? 0 : q.Fields(0).AsInteger();
}
