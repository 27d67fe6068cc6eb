#include "db/ZurQuery.h"

#include "db/VxSQLConnection.h"
#include "db/ZurDbError.h"
#include "platform/ZurError.h"

#include <QDateTime>
#include <QLocale>
#include <QSqlError>
#include <QSqlField>
#include <QSqlQuery>
#include <QSqlRecord>
#include <cmath>
#include <cstdint>

namespace {

bool IsIdentStart(QChar c) {
  return c.isLetter() || c == QLatin1Char('_');
}
bool IsIdentChar(QChar c) {
  return c.isLetterOrNumber() || c == QLatin1Char('_');
}

// Index just past a literal that opens at i with the quote character q;
// a doubled quote stays inside. Unterminated: the end of the text.
qsizetype SkipQuoted(const QString& s, qsizetype i, QChar q) {
  const qsizetype n = s.size();
  ++i;
  while (i < n) {
    if (s[i] == q) {
      if (i + 1 < n && s[i + 1] == q) {
        i += 2;
        continue;
      }
      return i + 1;
    }
    ++i;
  }
  return n;
}

// PostgreSQL dollar quoting: $$...$$ or $tag$...$tag$. Returns the index just
// past the closing delimiter, or -1 when s[i] does not open one.
qsizetype SkipDollarQuoted(const QString& s, qsizetype i) {
  const qsizetype n = s.size();
  if (i > 0 && IsIdentChar(s[i - 1])) return -1; // "$" inside an identifier
  qsizetype j = i + 1;
  if (j < n && IsIdentStart(s[j]) && !s[j].isDigit()) {
    while (j < n && IsIdentChar(s[j]))
      ++j;
  }
  if (j >= n || s[j] != QLatin1Char('$')) return -1;
  const QString tag = s.mid(i, j - i + 1);
  const qsizetype close = s.indexOf(tag, j + 1);
  return close < 0 ? n : close + tag.size();
}

QString DriverMessage(const QSqlError& error) {
  return ZurDbMessage(error);
}

// "1234.5000" -> "1234.5", "7.0000" -> "7".
QString TrimDecimal(QString text) {
  if (!text.contains(QLatin1Char('.')) || text.contains(QLatin1Char('e'), Qt::CaseInsensitive)) return text;
  while (text.endsWith(QLatin1Char('0')))
    text.chop(1);
  if (text.endsWith(QLatin1Char('.'))) text.chop(1);
  return text;
}

} // namespace

TParsedSql ParseNamedParameters(const QString& sql) {
  TParsedSql out;
  const qsizetype n = sql.size();
  out.driverText.reserve(n);
  qsizetype i = 0;
  bool ended = false; // a ";" closed the statement
  while (i < n) {
    const QChar c = sql[i];
    const bool commentStart = (c == QLatin1Char('-') && i + 1 < n && sql[i + 1] == QLatin1Char('-')) ||
                              (c == QLatin1Char('/') && i + 1 < n && sql[i + 1] == QLatin1Char('*'));
    if (ended && !c.isSpace() && !commentStart) {
      // SQLite would run the first statement only and PostgreSQL both, at
      // different moments: neither is what the writer meant.
      throw EZurError(QStringLiteral("Il testo SQL contiene più di un'istruzione."),
                      EZurError::Kind::Assertion);
    }
    if (c == QLatin1Char(';')) {
      ended = true;
      out.driverText += c;
      ++i;
    } else if (c == QLatin1Char('\'') || c == QLatin1Char('"') || c == QLatin1Char('`')) {
      const qsizetype end = SkipQuoted(sql, i, c);
      out.driverText += QStringView(sql).mid(i, end - i);
      i = end;
    } else if (c == QLatin1Char('$')) {
      const qsizetype end = SkipDollarQuoted(sql, i);
      if (end < 0) {
        out.driverText += c;
        ++i;
      } else {
        out.driverText += QStringView(sql).mid(i, end - i);
        i = end;
      }
    } else if (c == QLatin1Char('-') && i + 1 < n && sql[i + 1] == QLatin1Char('-')) {
      // Comments go: a colon or question mark in one would otherwise reach
      // the drivers, which look for placeholders without knowing comments.
      qsizetype end = sql.indexOf(QLatin1Char('\n'), i);
      if (end < 0) end = n;
      out.driverText += QLatin1Char(' ');
      i = end;
    } else if (c == QLatin1Char('/') && i + 1 < n && sql[i + 1] == QLatin1Char('*')) {
      const qsizetype close = sql.indexOf(QLatin1String("*/"), i + 2);
      const qsizetype end = close < 0 ? n : close + 2;
      out.driverText += QLatin1Char(' ');
      i = end;
    } else if (c == QLatin1Char(':') && i + 1 < n && sql[i + 1] == QLatin1Char(':')) {
      out.driverText += QLatin1String("::");
      i += 2;
    } else if (c == QLatin1Char(':') && i + 1 < n && IsIdentStart(sql[i + 1])) {
      qsizetype end = i + 2;
      while (end < n && IsIdentChar(sql[end]))
        ++end;
      const QString name = sql.mid(i + 1, end - i - 1);
      out.positions << name;
      if (!out.names.contains(name, Qt::CaseInsensitive)) out.names << name;
      out.driverText += QLatin1Char('?');
      i = end;
    } else if (c == QLatin1Char('?')) {
      throw EZurError(QStringLiteral("Il testo SQL contiene un segnaposto '?': usare i parametri con nome."),
                      EZurError::Kind::Assertion);
    } else {
      out.driverText += c;
      ++i;
    }
  }
  return out;
}

// --- TZurParam -------------------------------------------------------------------

void TZurParam::Set(TZurFieldType type, QVariant value) {
  m_type = type;
  m_value = std::move(value);
  m_assigned = true;
  m_amount = false;
}

void TZurParam::SetAmount(Currency value) {
  Set(TZurFieldType::Currency, QVariant::fromValue(value));
  m_amount = true;
}

void TZurParam::SetDate(const QDate& value) {
  if (value.isValid())
    Set(TZurFieldType::Date, value);
  else
    SetNull(TZurFieldType::Date);
}

void TZurParam::SetNull(TZurFieldType type) {
  Set(type, TSqlDialect::NullValue(type));
}

void TZurParam::Clear() {
  m_value = QVariant();
  m_assigned = false;
  m_amount = false;
}

QVariant TZurParam::BindValue(const TSqlDialect& dialect) const {
  if (m_value.isNull()) return TSqlDialect::NullValue(m_type);
  switch (m_type) {
  case TZurFieldType::Currency:
    return m_amount ? dialect.AmountValue(m_value.value<Currency>())
                    : dialect.CurrencyValue(m_value.value<Currency>());
  case TZurFieldType::Date:
    return dialect.DateValue(m_value.toDate());
  default:
    return m_value;
  }
}

// --- TZurField -------------------------------------------------------------------

void TZurField::Refuse(const char* what) const {
  throw EZurError(QStringLiteral("Il valore \"%1\" del campo %2 non è %3.")
                      .arg(m_value.toString(), m_name, QString::fromUtf8(what)),
                  EZurError::Kind::Field);
}

QString TZurField::AsString() const {
  if (m_value.isNull()) return {};
  switch (m_value.typeId()) {
  case QMetaType::QDate:
    return m_value.toDate().toString(Qt::ISODate);
  case QMetaType::QDateTime:
    return m_value.toDateTime().toString(Qt::ISODate);
  case QMetaType::Double:
  case QMetaType::Float:
    return QString::number(m_value.toDouble(), 'g', QLocale::FloatingPointShortest);
  case QMetaType::QString:
    // PostgreSQL NUMERIC arrives as text with all its scale digits.
    if (m_columnType.id() == QMetaType::Double) return TrimDecimal(m_value.toString());
    return m_value.toString();
  case QMetaType::QByteArray:
    return QString::fromUtf8(m_value.toByteArray());
  default:
    return m_value.toString();
  }
}

qint64 TZurField::AsInteger() const {
  if (m_value.isNull()) return 0;
  switch (m_value.typeId()) {
  case QMetaType::Int:
  case QMetaType::UInt:
  case QMetaType::LongLong:
  case QMetaType::ULongLong:
  case QMetaType::Short:
  case QMetaType::UShort:
  case QMetaType::Bool:
    if (m_value.typeId() == QMetaType::ULongLong && m_value.toULongLong() > quint64(INT64_MAX))
      Refuse("un numero intero");
    return m_value.toLongLong();
  case QMetaType::Double:
  case QMetaType::Float: {
    const double d = m_value.toDouble();
    if (!std::isfinite(d) || std::fabs(d) > 9.2e18) Refuse("un numero intero");
    return std::llround(d); // llround: halves away from zero
  }
  case QMetaType::QString: {
    bool ok = false;
    const QString text = m_value.toString().trimmed();
    const qint64 v = text.toLongLong(&ok);
    if (ok) return v;
    if (auto c = Currency::Parse(text)) return c->ToInteger();
    Refuse("un numero intero");
  }
  default:
    Refuse("un numero intero");
  }
}

double TZurField::AsFloat() const {
  if (m_value.isNull()) return 0.0;
  switch (m_value.typeId()) {
  case QMetaType::QString: {
    bool ok = false;
    const double d = m_value.toString().trimmed().toDouble(&ok);
    if (!ok) Refuse("un numero");
    return d;
  }
  case QMetaType::QDate:
  case QMetaType::QDateTime:
  case QMetaType::QByteArray:
    Refuse("un numero");
  default: {
    bool ok = false;
    const double d = m_value.toDouble(&ok);
    if (!ok) Refuse("un numero");
    return d;
  }
  }
}

Currency TZurField::AsCurrency() const {
  if (m_value.isNull()) return Currency();
  switch (m_value.typeId()) {
  case QMetaType::Int:
  case QMetaType::UInt:
  case QMetaType::LongLong:
  case QMetaType::ULongLong: // the PostgreSQL driver's non-negative BIGINT
  case QMetaType::Short:
  case QMetaType::UShort: {
    if (m_value.typeId() == QMetaType::ULongLong && m_value.toULongLong() > quint64(INT64_MAX))
      Refuse("un importo");
    const qint64 units = m_value.toLongLong();
    if (units > INT64_MAX / Currency::Scale || units < INT64_MIN / Currency::Scale) Refuse("un importo");
    return Currency::FromUnits(units);
  }
  case QMetaType::Double:
  case QMetaType::Float:
    // A floating-point column: the nearest ten-thousandth of what it holds.
    try {
      return Currency::FromDouble(m_value.toDouble());
    } catch (const EZurError&) {
      Refuse("un importo");
    }
  case QMetaType::QString:
    if (auto c = Currency::Parse(m_value.toString())) return *c;
    Refuse("un importo");
  default:
    Refuse("un importo");
  }
}

QDate TZurField::AsDate() const {
  if (m_value.isNull()) return {};
  switch (m_value.typeId()) {
  case QMetaType::QDate:
    return m_value.toDate();
  case QMetaType::QDateTime:
    return m_value.toDateTime().date();
  case QMetaType::QString: {
    const QString text = m_value.toString().trimmed();
    if (text.isEmpty()) return {};
    if (text.size() < 10) Refuse("una data");
    const QDate d = QDate::fromString(text.left(10), Qt::ISODate);
    const bool timeTail = text.size() == 10 || text[10] == QLatin1Char('T') || text[10] == QLatin1Char(' ');
    if (!d.isValid() || !timeTail) Refuse("una data");
    return d;
  }
  default:
    Refuse("una data");
  }
}

QByteArray TZurField::AsBytes() const {
  if (m_value.isNull()) return {};
  if (m_value.typeId() == QMetaType::QString) return m_value.toString().toUtf8();
  return m_value.toByteArray();
}

// --- TZurQuery -------------------------------------------------------------------

TZurQuery::TZurQuery() = default;

TZurQuery::TZurQuery(TVxSQLConnection& connection) : m_connection(&connection) {}

TZurQuery::~TZurQuery() = default;

void TZurQuery::SetConnection(TVxSQLConnection* connection) {
  Close();
  m_query.reset();
  m_prepared = false;
  m_connection = connection;
}

void TZurQuery::SetSQL(const QString& sql) {
  TParsedSql parsed = ParseNamedParameters(sql);
  Close();
  m_query.reset();
  m_prepared = false;
  m_params.clear();
  m_sql = sql;
  m_parsed = std::move(parsed);
  for (const QString& name : m_parsed.names)
    m_params.append(TZurParam(name));
}

void TZurQuery::ClearParams() {
  for (TZurParam& p : m_params)
    p.Clear();
}

TZurParam& TZurQuery::Params(int index) {
  ZurAssert(index >= 0 && index < m_params.size(),
            QStringLiteral("Indice di parametro fuori dai limiti: %1").arg(index));
  return m_params[index];
}

TZurParam* TZurQuery::FindParam(const QString& name) {
  for (TZurParam& p : m_params)
    if (p.Name().compare(name, Qt::CaseInsensitive) == 0) return &p;
  return nullptr;
}

TZurParam& TZurQuery::ParamByName(const QString& name) {
  if (TZurParam* p = FindParam(name)) return *p;
  throw EZurError(QStringLiteral("Parametro '%1' non trovato.").arg(name), EZurError::Kind::Field);
}

void TZurQuery::Open() {
  if (m_active) return;
  Run(true);
}

void TZurQuery::ExecSQL() {
  Close();
  Run(false);
}

void TZurQuery::Run(bool wantRows) {
  // A session the server ended is the clerk's trouble, not a broken contract.
  if (m_connection && m_connection->WasOpened() && !m_connection->Connected())
    throw EZurError(ZurDbMessage(QString(), QStringLiteral("08006"), false), EZurError::Kind::Database);
  ZurAssert(m_connection && m_connection->Connected(), QStringLiteral("Connessione al database non aperta."));
  ZurAssert(!m_parsed.driverText.trimmed().isEmpty(), QStringLiteral("Testo SQL della query vuoto."));
  m_rowsAffected = -1;
  if (!m_query) {
    m_query = std::make_unique<QSqlQuery>(m_connection->Database());
    m_query->setForwardOnly(true);
    // NUMERIC columns then arrive as text, which AsCurrency reads exactly.
    m_query->setNumericalPrecisionPolicy(QSql::HighPrecision);
    m_prepared = false;
  }
  bool ok = false;
  if (m_parsed.positions.isEmpty()) {
    m_prepared = false;
    ok = m_query->exec(m_parsed.driverText);
  } else {
    for (const TZurParam& p : m_params)
      if (!p.Assigned())
        throw EZurError(QStringLiteral("Nessun valore per il parametro '%1'.").arg(p.Name()),
                        EZurError::Kind::Field);
    if (!m_prepared) {
      if (!m_query->prepare(m_parsed.driverText))
        throw EZurError(DriverMessage(m_query->lastError()), EZurError::Kind::Database);
      m_prepared = true;
    }
    const TSqlDialect& dialect = m_connection->Dialect();
    for (int i = 0; i < m_parsed.positions.size(); ++i)
      m_query->bindValue(i, FindParam(m_parsed.positions[i])->BindValue(dialect));
    ok = m_query->exec();
  }
  if (!ok) {
    const QString message = DriverMessage(m_query->lastError());
    m_query->finish();
    throw EZurError(message, EZurError::Kind::Database);
  }
  if (!wantRows) {
    m_rowsAffected = m_query->numRowsAffected();
    m_query->finish();
    return;
  }
  const QSqlRecord record = m_query->record();
  m_fieldNames.clear();
  m_fieldTypes.clear();
  for (int i = 0; i < record.count(); ++i) {
    m_fieldNames << record.fieldName(i);
    m_fieldTypes << record.field(i).metaType();
  }
  m_active = true;
  m_eof = false;
  FetchRow();
}

void TZurQuery::FetchRow() {
  m_row.clear();
  if (!m_query->isSelect() || !m_query->next()) {
    // A failed fetch (the server broke off mid-result) must not pass for the
    // end of the rows.
    const QSqlError error = m_query->lastError();
    m_eof = true;
    m_query->finish();
    if (error.isValid() && error.type() != QSqlError::NoError)
      throw EZurError(DriverMessage(error), EZurError::Kind::Database);
    return;
  }
  const int n = static_cast<int>(m_fieldNames.size());
  m_row.reserve(n);
  for (int i = 0; i < n; ++i)
    m_row << m_query->value(i);
}

void TZurQuery::Close() {
  if (m_query) m_query->finish();
  m_active = false;
  m_eof = true;
  m_row.clear();
  m_fieldNames.clear();
  m_fieldTypes.clear();
}

void TZurQuery::RequireActive() const {
  ZurAssert(m_active, QStringLiteral("La query non è aperta."));
}

void TZurQuery::Next() {
  RequireActive();
  if (m_eof) return;
  FetchRow();
}

QString TZurQuery::FieldName(int index) const {
  ZurAssert(index >= 0 && index < m_fieldNames.size(),
            QStringLiteral("Indice di campo fuori dai limiti: %1").arg(index));
  return m_fieldNames[index];
}

TZurField TZurQuery::Fields(int index) const {
  RequireActive();
  const QString name = FieldName(index);
  const QVariant value = m_eof ? QVariant() : m_row[index];
  return TZurField(name, value, m_fieldTypes[index]);
}

int TZurQuery::FieldIndex(const QString& name) const {
  for (int i = 0; i < m_fieldNames.size(); ++i)
    if (m_fieldNames[i].compare(name, Qt::CaseInsensitive) == 0) return i;
  return -1;
}

std::optional<TZurField> TZurQuery::FindField(const QString& name) const {
  RequireActive();
  const int i = FieldIndex(name);
  if (i < 0) return std::nullopt;
  return Fields(i);
}

TZurField TZurQuery::FieldByName(const QString& name) const {
  if (auto f = FindField(name)) return *f;
  throw EZurError(QStringLiteral("Campo '%1' non trovato.").arg(name), EZurError::Kind::Field);
}
