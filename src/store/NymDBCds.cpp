#include "store/NymDBCds.h"

#include "dataset/ClientDataSet.h"
#include "dataset/DataPacket.h"
#include "db/GenerateID.h"
#include "db/VxSQLConnection.h"
#include "db/VxTransaction.h"
#include "db/ZurConnection.h"
#include "db/ZurQuery.h"
#include "db/nymUUtil.h"
#include "platform/Platform.h"
#include "platform/ZurError.h"

#include <QHash>
#include <QRegularExpression>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <cmath>
#include <limits>
#include <map>
#include <memory>
#include <optional>
#include <vector>

namespace {

// --- statements ------------------------------------------------------------------
//
// Each statement of the store with the text the family's program runs
// (original) and the text run here on both engines. They differ only where an
// engine refuses the original or would answer it differently; the reason
// stands beside each such pair.
struct TStoreSql {
  const char* original;
  const char* text;
};

constexpr TStoreSql kChooseStructure{
    "SELECT cds.* FROM tcds_struttura cds WHERE COALESCE(cds.icdsanno, 0) <= :ICDSANNO AND "
    "(COALESCE(cds.icdsmese, 0) <= :ICDSMESE OR :ICDSMESE = -1) AND Lower(cds.scdsprogramma) = "
    ":SCDSPROGRAMMA "
    "AND Lower(cds.scdsnome) = :SCDSNOME ORDER BY cds.icdsanno DESC",
    // PostgreSQL puts NULL first in a descending order and SQLite last, so a
    // row without a year (taken as year 0 by the condition) would win on one
    // engine only. Rows of the same year follow their month and then their
    // age, so that the choice is the same everywhere.
    "SELECT cds.* FROM tcds_struttura cds WHERE COALESCE(cds.icdsanno, 0) <= :ICDSANNO AND "
    "(COALESCE(cds.icdsmese, 0) <= :ICDSMESE OR :ICDSMESE = -1) AND Lower(cds.scdsprogramma) = "
    ":SCDSPROGRAMMA "
    "AND Lower(cds.scdsnome) = :SCDSNOME "
    "ORDER BY COALESCE(cds.icdsanno, 0) DESC, COALESCE(cds.icdsmese, 0) DESC, cds.icdsid DESC"};

constexpr const char* kLoadRowsText =
    "SELECT crf.*, afi.*, fis.sFisFieldName, fis.iFisRigo, fis.iFisValue, fis.fFisValue, fis.sFisValue, "
    "fis.dFisValue FROM tcrf_crofiscale crf LEFT JOIN tfis_datifiscali fis ON fis.icrfid = crf.icrfid "
    "LEFT JOIN tafi_anafiscale afi ON afi.iafiid = fis.iafiid WHERE COALESCE(crf.icrfanno, 0) = :ICRFANNO "
    "AND (COALESCE(crf.icrfmese, 0) = :ICRFMESE OR :ICRFMESE = -1) AND Lower(crf.scrfprogramma) = "
    ":SCRFPROGRAMMA AND fis.icdsid = :ICDSID AND (fis.iafiid = :IAFIID OR :IAFIID = -1) ORDER BY "
    "fis.ifisrigo";
constexpr TStoreSql kLoadRows{kLoadRowsText, kLoadRowsText};

constexpr const char* kPeriodText = "SELECT icrfid FROM pnym_getcrofiscale(:sProgramma, :iAnno, :iMese) ";
constexpr TStoreSql kPeriod{kPeriodText, kPeriodText};

constexpr const char* kFindTaxpayerText =
    "SELECT afi.iafiid FROM tcrf_crofiscale crf INNER JOIN tafi_anafiscale afi ON afi.icrfid = crf.icrfid "
    "WHERE crf.icrfanno = :ICRFANNO AND (COALESCE(crf.icrfmese, 0) = :ICRFMESE OR :ICRFMESE = -1) AND "
    "Lower(crf.scrfprogramma) = :SCRFPROGRAMMA AND Lower(afi.saficodfiscale) = :SAFICODFISCALE AND "
    "(COALESCE(afi.safigruppoana, '') = :SAFIGRUPPOANA OR :SAFIGRUPPOANA = '')";
constexpr TStoreSql kFindTaxpayer{kFindTaxpayerText, kFindTaxpayerText};

constexpr const char* kInsertTaxpayerText =
    "INSERT INTO TAFI_ANAFISCALE (IAFIID, ICRFID) VALUES (:IAFIID, :ICRFID)";
constexpr TStoreSql kInsertTaxpayer{kInsertTaxpayerText, kInsertTaxpayerText};

// SQLite takes a table alias in UPDATE and DELETE only after AS; PostgreSQL
// takes both spellings.
constexpr TStoreSql kUpdateTaxpayer{"UPDATE tafi_anafiscale afi SET %s WHERE afi.iafiid = :IAFIID",
                                    "UPDATE tafi_anafiscale AS afi SET %1 WHERE afi.iafiid = :IAFIID"};
constexpr TStoreSql kDeleteTaxpayer{"DELETE FROM tafi_anafiscale afi WHERE afi.iafiid = :IAFIID",
                                    "DELETE FROM tafi_anafiscale AS afi WHERE afi.iafiid = :IAFIID"};
constexpr TStoreSql kDeleteRows{
    "DELETE FROM tfis_datifiscali fis WHERE fis.icdsid = :ICDSID AND fis.ifisrigo = :IFISRIGO",
    "DELETE FROM tfis_datifiscali AS fis WHERE fis.icdsid = :ICDSID AND fis.ifisrigo = :IFISRIGO"};

constexpr TStoreSql kInsertValue{
    "INSERT INTO TFIS_DATIFISCALI (ICDSID, ICRFID, IAFIID, IFISRIGO, SFISFIELDNAME, %0:sFISVALUE) VALUES "
    "(:ICDSID, :ICRFID, :IAFIID, :IFISRIGO, :SFISFIELDNAME, :%0:sFISVALUE)",
    "INSERT INTO TFIS_DATIFISCALI (ICDSID, ICRFID, IAFIID, IFISRIGO, SFISFIELDNAME, %1FISVALUE) VALUES "
    "(:ICDSID, :ICRFID, :IAFIID, :IFISRIGO, :SFISFIELDNAME, :%1FISVALUE)"};

// Neither engine lets SET name its column through the table alias.
constexpr TStoreSql kStoreCounter{
    "UPDATE tcds_struttura cds SET cds.icdsrigo = :ICDSRIGO WHERE cds.icdsid = :ICDSID",
    "UPDATE tcds_struttura AS cds SET icdsrigo = :ICDSRIGO WHERE cds.icdsid = :ICDSID"};

constexpr const char* kAllocateIdText = "select CoalEsce(MAX(fis.ifisvalue),1000000) + 1 as NEW_IRAPID from "
                                        "tfis_datifiscali fis where fis.sfisfieldname = 'IIRAPID'";
constexpr TStoreSql kAllocateId{kAllocateIdText, kAllocateIdText};

// Our own: the counter read again under the guard that keeps a second saver
// of the structure waiting until this save has written it back. SQLite's
// writers hold the database's write lock from BEGIN IMMEDIATE on, so the
// plain read is enough there; PostgreSQL needs the row lock.
constexpr const char* kLockCounterPg =
    "SELECT cds.icdsrigo FROM tcds_struttura cds WHERE cds.icdsid = :ICDSID FOR UPDATE";
constexpr const char* kLockCounterSqlite =
    "SELECT cds.icdsrigo FROM tcds_struttura cds WHERE cds.icdsid = :ICDSID";

constexpr const char* kSavepoint = "SAVEPOINT zur_nymdbcds";
constexpr const char* kRollbackToSavepoint = "ROLLBACK TO SAVEPOINT zur_nymdbcds";
constexpr const char* kReleaseSavepoint = "RELEASE SAVEPOINT zur_nymdbcds";

constexpr const char* kFindStructureRow =
    "SELECT cds.icdsid FROM tcds_struttura cds WHERE Lower(cds.scdsprogramma) = :SCDSPROGRAMMA AND "
    "Lower(cds.scdsnome) = :SCDSNOME AND COALESCE(cds.icdsanno, 0) = :ICDSANNO AND "
    "COALESCE(cds.icdsmese, 0) = :ICDSMESE ORDER BY cds.icdsid";
constexpr const char* kInsertStructureRow =
    "INSERT INTO tcds_struttura (icdsid, icdsanno, icdsmese, scdsprogramma, scdsnome, bcdsschema, "
    "lcdsanagrafica, lcdsfmapreadonly, icdsrigo, scdsfieldmap) VALUES (:ICDSID, :ICDSANNO, :ICDSMESE, "
    ":SCDSPROGRAMMA, :SCDSNOME, :BCDSSCHEMA, :LCDSANAGRAFICA, :LCDSFMAPREADONLY, 0, :SCDSFIELDMAP)";
constexpr const char* kUpdateStructureRow =
    "UPDATE tcds_struttura SET bcdsschema = :BCDSSCHEMA, lcdsanagrafica = :LCDSANAGRAFICA, "
    "lcdsfmapreadonly = :LCDSFMAPREADONLY, scdsfieldmap = :SCDSFIELDMAP WHERE icdsid = :ICDSID";

QString Sql(const TStoreSql& statement) {
  return QString::fromLatin1(statement.text);
}

QString Q(const char* text) {
  return QString::fromLatin1(text);
}

// --- structure parameters ----------------------------------------------------------

// One entry column=field of a field map; field may join several fields with "+".
struct TMapEntry {
  QString column;     // lower case
  QString fieldPart;  // as written
  QStringList fields; // fieldPart split at "+"
  bool group = false; // fieldPart joins several fields
};

struct TCdsParams {
  qint64 id = 0;
  bool anagrafica = false;
  bool mapReadOnly = false;
  qint64 counter = 0;
  std::vector<TMapEntry> map;
  QByteArray schema;

  const TMapEntry* Entry(const char* column) const {
    for (const TMapEntry& e : map)
      if (e.column == QLatin1String(column)) return &e;
    return nullptr;
  }
};

bool IsPlainIdentifier(const QString& name) {
  static const QRegularExpression plain(QStringLiteral("^[A-Za-z_][A-Za-z0-9_]{0,62}$"));
  return plain.match(name).hasMatch();
}

// The column part of an entry becomes SQL text (a column and a parameter name
// of the taxpayer update), so only plain identifiers pass, whoever wrote the
// structure row.
std::vector<TMapEntry> ParseFieldMap(const QString& text, const QString& tableName) {
  std::vector<TMapEntry> entries;
  const auto refuse = [&](const QString& entry) {
    return EZurError(
        QStringLiteral("Mappa dei campi di %1 non valida: \"%2\" non è nella forma colonna=campo.")
            .arg(tableName, entry));
  };
  for (const QString& raw : text.split(QLatin1Char(';'))) {
    const QString entry = raw.trimmed();
    if (entry.isEmpty()) continue;
    const qsizetype eq = entry.indexOf(QLatin1Char('='));
    if (eq <= 0) throw refuse(entry);
    TMapEntry e;
    e.column = entry.left(eq).trimmed().toLower();
    e.fieldPart = entry.mid(eq + 1).trimmed();
    if (!IsPlainIdentifier(e.column) || e.fieldPart.isEmpty()) throw refuse(entry);
    for (const QString& part : e.fieldPart.split(QLatin1Char('+'))) {
      const QString name = part.trimmed();
      if (name.isEmpty()) throw refuse(entry);
      e.fields << name;
    }
    e.group = e.fields.size() > 1;
    entries.push_back(std::move(e));
  }
  return entries;
}

TCdsParams ChooseStructure(TVxSQLConnection& connection, const QString& program, const QString& tableName,
                           int year, int month) {
  TZurQuery q(connection);
  q.SetSQL(Sql(kChooseStructure));
  q.ParamByName(Q("ICDSANNO")).SetInteger(year);
  q.ParamByName(Q("ICDSMESE")).SetInteger(month);
  q.ParamByName(Q("SCDSPROGRAMMA")).SetString(program.toLower());
  q.ParamByName(Q("SCDSNOME")).SetString(tableName.toLower());
  q.Open();
  if (q.Eof()) throw EZurError(QStringLiteral("Impossibile trovare il ClientDataSet (%1).").arg(tableName));
  TCdsParams p;
  p.id = q.FieldByName(Q("icdsid")).AsInteger();
  p.anagrafica = q.FieldByName(Q("lcdsanagrafica")).AsInteger() == 1;
  p.mapReadOnly = q.FieldByName(Q("lcdsfmapreadonly")).AsInteger() == 1;
  p.counter = q.FieldByName(Q("icdsrigo")).AsInteger();
  p.schema = q.FieldByName(Q("bcdsschema")).AsBytes();
  p.map = ParseFieldMap(q.FieldByName(Q("scdsfieldmap")).AsString(), tableName);
  return p;
}

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

// The value column of a field's type: 0 sFisValue, 1 iFisValue, 2 fFisValue,
// 3 dFisValue; the letter of that column in the insert statement.
int ValueSlot(TFieldType type) {
  switch (type) {
  case TFieldType::Integer:
    return 1;
  case TFieldType::Amount:
  case TFieldType::Float:
    return 2;
  case TFieldType::Date:
    return 3;
  default:
    return 0;
  }
}
constexpr char kSlotLetter[4] = {'s', 'i', 'f', 'd'};

QString DriverMessage(const QSqlError& error) {
  const QString text = error.databaseText().trimmed();
  return text.isEmpty() ? error.text().trimmed() : text;
}

int ColumnIndex(const QSqlRecord& record, const QString& name) {
  for (int i = 0; i < record.count(); ++i)
    if (record.fieldName(i).compare(name, Qt::CaseInsensitive) == 0) return i;
  return -1;
}

// Whether a float column gives the amount back to the ten-thousandth: always
// for amounts of up to fifteen digits, far beyond any amount of a declaration.
bool FloatColumnHolds(Currency amount) {
  try {
    return Currency::FromDouble(amount.toDouble()) == amount;
  } catch (const EZurError&) {
    return false;
  }
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
              const TCdsParams& params, const QString& program, int year, int month) {
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

// --- TNymDBCds -------------------------------------------------------------------------

TNymDBCds::TNymDBCds(int year, const QString& program, int month)
    : m_year(year), m_month(month), m_program(program.toLower()) {}

TNymDBCds::~TNymDBCds() = default;

TVxSQLConnection& TNymDBCds::RequireConnection() const {
  if (!m_connection || !m_connection->Connected())
    throw EZurError(QStringLiteral("Connessione al database non aperta."), EZurError::Kind::Database);
  return *m_connection;
}

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
    ReadRows(connection, dataSet, tableName, params, m_program, year, month);
    dataSet.MergeChangeLog();
    dataSet.First();
  } catch (...) {
    DiscardLoaded(dataSet);
    throw;
  }
}

void TNymDBCds::Save(TClientDataSet& dataSet, const QString& tableName) {
  Save(dataSet, tableName, m_year, m_month);
}

void TNymDBCds::Save(TClientDataSet& dataSet, const QString& tableName, int year, int month) {
  TVxSQLConnection& connection = RequireConnection();
  if (!dataSet.Active())
    throw EZurError(QStringLiteral("Impossibile salvare %1: il dataset non è aperto.").arg(tableName));
  dataSet.CheckBrowseMode();
  if (dataSet.ChangeCount() == 0) {
    // Nothing to write, but a table without a structure is still an error.
    ChooseStructure(connection, m_program, tableName, year, month);
    return;
  }

  TStoreTransaction transaction(connection);
  const TCdsParams params = ChooseStructure(connection, m_program, tableName, year, month);
  if (!dataSet.FindField(Q("IFISRIGO")))
    throw EZurError(
        QStringLiteral("Impossibile salvare %1: il dataset non ha il campo IFISRIGO.").arg(tableName),
        EZurError::Kind::Assertion);
  const qint64 counter = LockCounter(connection, params.id);

  std::optional<TSaveRun> run;
  try {
    run.emplace(connection, dataSet, params, m_program, year, month, counter);
    dataSet.ForEachChange([&run](TChange& change) { run->Apply(change); });
    run->StoreCounter();
    // Committed before the log is merged: a refused commit must leave the
    // changes pending rather than shown as saved.
    transaction.Commit();
  } catch (...) {
    transaction.Rollback();
    run.reset();
    try {
      dataSet.CancelUpdates();
    } catch (...) {
      // The error that stopped the save is the one to report.
    }
    throw;
  }
  dataSet.MergeChangeLog();
}

int TNymDBCds::AllocateDeclarationId() {
  TVxSQLConnection* connection = qqoVxGlobConn();
  if (!connection || !connection->Connected()) connection = &RequireConnection();
  TZurQuery q(*connection);
  q.SetSQL(Sql(kAllocateId));
  q.Open();
  if (q.Eof()) return 1000001;
  const qint64 id = q.FieldByName(Q("NEW_IRAPID")).AsInteger();
  if (id <= 0 || id > std::numeric_limits<qint32>::max())
    throw EZurError(QStringLiteral("Identificativo di dichiarazione non valido: %1.").arg(id));
  return int(id);
}

qint64 TNymDBCds::WriteStructure(TVxSQLConnection& connection, const QString& program, int year, int month,
                                 const QString& tableName, const TClientDataSet& structure, bool anagrafica,
                                 bool mapReadOnly, const QString& fieldMap) {
  ZurAssert(connection.Connected(), QStringLiteral("Connessione al database non aperta."));
  if (tableName.trimmed().isEmpty()) throw EZurError(QStringLiteral("Nome della tabella mancante."));
  if (!structure.FindField(Q("IFISRIGO")))
    throw EZurError(QStringLiteral("La struttura di %1 non ha il campo IFISRIGO.").arg(tableName));
  ParseFieldMap(fieldMap, tableName);

  std::vector<TDataPacketField> fields;
  for (const TField* f : structure.Fields())
    fields.push_back({f->FieldName(), f->DataType(), f->Size(), f->Precision(), f->Calculated()});
  const QByteArray schema = WriteDataPacket(fields, {});

  std::optional<TVxTransaction> transaction;
  if (!connection.InTransaction()) {
    transaction.emplace(connection);
    transaction->StartTransaction();
  }
  TZurQuery q(connection);
  q.SetSQL(Q(kFindStructureRow));
  q.ParamByName(Q("SCDSPROGRAMMA")).SetString(program.toLower());
  q.ParamByName(Q("SCDSNOME")).SetString(tableName.toLower());
  q.ParamByName(Q("ICDSANNO")).SetInteger(year);
  q.ParamByName(Q("ICDSMESE")).SetInteger(month);
  q.Open();
  qint64 id = q.Eof() ? 0 : q.Fields(0).AsInteger();
  q.Close();
  if (id != 0) {
    q.SetSQL(Q(kUpdateStructureRow));
  } else {
    id = GenerateID(connection, Q("tcds_struttura"));
    q.SetSQL(Q(kInsertStructureRow));
    q.ParamByName(Q("ICDSANNO")).SetInteger(year);
    q.ParamByName(Q("ICDSMESE")).SetInteger(month);
    q.ParamByName(Q("SCDSPROGRAMMA")).SetString(program.toLower());
    q.ParamByName(Q("SCDSNOME")).SetString(tableName);
  }
  q.ParamByName(Q("ICDSID")).SetInteger(id);
  q.ParamByName(Q("BCDSSCHEMA")).SetBlob(schema);
  q.ParamByName(Q("LCDSANAGRAFICA")).SetInteger(anagrafica ? 1 : 0);
  q.ParamByName(Q("LCDSFMAPREADONLY")).SetInteger(mapReadOnly ? 1 : 0);
  q.ParamByName(Q("SCDSFIELDMAP")).SetString(fieldMap);
  q.ExecSQL();
  if (transaction) transaction->Commit();
  return id;
}
