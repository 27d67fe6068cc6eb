#include "db/SqlDialect.h"

#include "platform/ZurError.h"

#include <QRegularExpression>
#include <QUrl>
#include <QUrlQuery>

namespace {

// Generator and sequence names are built from table names and end up in DDL,
// where no value can be bound: only plain identifiers get that far.
QString CheckedIdentifier(const QString& name) {
  static const QRegularExpression plain(QStringLiteral("^[A-Za-z_][A-Za-z0-9_]{0,59}$"));
  ZurAssert(plain.match(name).hasMatch(), QStringLiteral("Nome di tabella non valido: %1").arg(name));
  return name.toLower();
}

} // namespace

std::optional<TDatabaseTarget> TDatabaseTarget::Parse(const QString& url) {
  const QString text = url.trimmed();
  if (text.isEmpty()) return std::nullopt;
  TDatabaseTarget t;
  if (text.startsWith(QLatin1String("postgresql://"), Qt::CaseInsensitive) ||
      text.startsWith(QLatin1String("postgres://"), Qt::CaseInsensitive)) {
    const QUrl u(text, QUrl::StrictMode);
    if (!u.isValid() || u.host().isEmpty()) return std::nullopt;
    t.engine = TSqlEngine::PostgreSQL;
    t.host = u.host();
    t.port = u.port(5432);
    t.user = u.userName(QUrl::FullyDecoded);
    t.password = u.password(QUrl::FullyDecoded);
    t.database = u.path(QUrl::FullyDecoded);
    if (t.database.startsWith(QLatin1Char('/'))) t.database.remove(0, 1);
    if (t.database.isEmpty() || t.database.contains(QLatin1Char('/'))) return std::nullopt;
    QStringList options;
    for (const auto& [key, value] : QUrlQuery(u).queryItems(QUrl::FullyDecoded)) {
      // The driver joins these into a libpq connection string; a blank or a
      // quote would let one option smuggle in another.
      static const QRegularExpression safe(QStringLiteral("^[A-Za-z0-9_.\\-]+$"));
      if (!safe.match(key).hasMatch() || !safe.match(value).hasMatch()) return std::nullopt;
      options << key + QLatin1Char('=') + value;
    }
    t.options = options.join(QLatin1Char(';'));
    return t;
  }
  QString path = text;
  if (path.startsWith(QLatin1String("sqlite:"), Qt::CaseInsensitive)) {
    path = path.mid(7);
    if (path.startsWith(QLatin1String("//"))) path = path.mid(2);
  } else if (path.contains(QLatin1String("://"))) {
    return std::nullopt; // some other scheme: not a file name
  }
  if (path.isEmpty()) return std::nullopt;
  t.engine = TSqlEngine::SQLite;
  t.path = path;
  return t;
}

QString TDatabaseTarget::Describe() const {
  if (engine == TSqlEngine::SQLite) return path;
  QString who =
      user.isEmpty() ? QString() : user + (password.isEmpty() ? QString() : QStringLiteral(":***")) + '@';
  return QStringLiteral("postgresql://%1%2:%3/%4").arg(who, host).arg(port).arg(database);
}

QString TDatabaseTarget::Redact(const QString& url) {
  QString text = url;
  // The user information ends at the last "@" of the authority, since a
  // password may hold "@" and ":" itself.
  const qsizetype scheme = text.indexOf(QLatin1String("://"));
  if (scheme >= 0) {
    const qsizetype begin = scheme + 3;
    qsizetype end = text.indexOf(QLatin1Char('/'), begin);
    for (const QChar stop : {QLatin1Char('?'), QLatin1Char('#')}) {
      const qsizetype at = text.indexOf(stop, begin);
      if (at >= 0 && (end < 0 || at < end)) end = at;
    }
    if (end < 0) end = text.size();
    const qsizetype at = text.lastIndexOf(QLatin1Char('@'), end - 1);
    if (at >= begin) {
      const qsizetype colon = text.indexOf(QLatin1Char(':'), begin);
      if (colon >= 0 && colon < at) text.replace(colon + 1, at - colon - 1, QStringLiteral("***"));
    }
  }
  static const QRegularExpression option(QStringLiteral("(password\\s*=\\s*)[^&;#\\s]*"),
                                         QRegularExpression::CaseInsensitiveOption);
  text.replace(option, QStringLiteral("\\1***"));
  return text;
}

QString TSqlDialect::Name() const {
  return IsSQLite() ? QStringLiteral("sqlite") : QStringLiteral("postgres");
}

QString TSqlDialect::DriverName() const {
  return IsSQLite() ? QStringLiteral("QSQLITE") : QStringLiteral("QPSQL");
}

QString TSqlDialect::ColumnType(TColumnKind kind, int length) const {
  switch (kind) {
  case TColumnKind::Key:
  case TColumnKind::Integer:
    return QStringLiteral("INTEGER");
  case TColumnKind::Flag:
    return QStringLiteral("SMALLINT");
  case TColumnKind::Text:
    return QStringLiteral("VARCHAR(%1)").arg(length > 0 ? length : 255);
  case TColumnKind::LongText:
    return QStringLiteral("TEXT");
  case TColumnKind::Amount:
    // SQLite keeps decimals only as binary floating point, and a SUM over a
    // million rows of those drifts by cents; integers sum exactly, so amounts
    // are stored there as ten-thousandths and read back through nym_importo().
    return IsSQLite() ? QStringLiteral("INTEGER") : QStringLiteral("NUMERIC(15,4)");
  case TColumnKind::Float:
    // "REAL" is what the SQLite driver recognises as a floating-point column.
    return IsSQLite() ? QStringLiteral("REAL") : QStringLiteral("DOUBLE PRECISION");
  case TColumnKind::Date:
    return QStringLiteral("DATE");
  case TColumnKind::Blob:
    return IsSQLite() ? QStringLiteral("BLOB") : QStringLiteral("BYTEA");
  }
  return {};
}

QString TSqlDialect::ColumnCheck(TColumnKind kind, const QString& column) const {
  // SQLite would take decimal text or a double into an amount column and
  // quietly store it as a float in the wrong unit; refuse it at the door.
  if (IsSQLite() && kind == TColumnKind::Amount)
    return QStringLiteral("CHECK (typeof(%1) IN ('integer', 'null'))").arg(column);
  return {};
}

QString TSqlDialect::BeginTransactionSql() const {
  return IsSQLite() ? QStringLiteral("BEGIN IMMEDIATE") : QStringLiteral("BEGIN");
}

QVariant TSqlDialect::DateValue(const QDate& date) const {
  if (!date.isValid()) return NullValue(TZurFieldType::Date);
  if (IsSQLite()) return date.toString(Qt::ISODate);
  return date;
}

QVariant TSqlDialect::AmountValue(Currency amount) const {
  if (IsSQLite()) return QVariant::fromValue<qlonglong>(amount.raw());
  return amount.ToString(4).replace(QLatin1Char(','), QLatin1Char('.'));
}

QVariant TSqlDialect::CurrencyValue(Currency amount) const {
  if (IsSQLite()) return amount.toDouble();
  return amount.ToString(4).replace(QLatin1Char(','), QLatin1Char('.'));
}

QVariant TSqlDialect::NullValue(TZurFieldType type) {
  switch (type) {
  case TZurFieldType::Integer:
    return QVariant(QMetaType::fromType<qlonglong>());
  case TZurFieldType::Float:
    return QVariant(QMetaType::fromType<double>());
  case TZurFieldType::Date:
    return QVariant(QMetaType::fromType<QDate>());
  case TZurFieldType::Blob:
    return QVariant(QMetaType::fromType<QByteArray>());
  case TZurFieldType::String:
  case TZurFieldType::Currency:
    return QVariant(QMetaType::fromType<QString>());
  }
  return {};
}

QString TSqlDialect::NextIdSql() const {
  if (IsSQLite())
    return QStringLiteral("UPDATE tgen_generatori SET igenvalore = igenvalore + 1 "
                          "WHERE sgennome = :SGENNOME RETURNING igenvalore");
  return QStringLiteral("SELECT nextval(:SGENNOME) AS igenvalore");
}

QString TSqlDialect::NextIdsSql() const {
  if (IsSQLite())
    return QStringLiteral("UPDATE tgen_generatori SET igenvalore = igenvalore + :QUANTI "
                          "WHERE sgennome = :SGENNOME RETURNING igenvalore");
  return QStringLiteral("SELECT nextval(:SGENNOME) AS igenvalore FROM generate_series(1, :QUANTI)");
}

QString TSqlDialect::GeneratorName(const QString& tableName) const {
  const QString table = CheckedIdentifier(tableName);
  return IsSQLite() ? table : QStringLiteral("gen_") + table;
}

QStringList TSqlDialect::GeneratorDdl(const QString& tableName) const {
  const QString name = GeneratorName(tableName);
  if (IsSQLite())
    return {QStringLiteral("INSERT INTO tgen_generatori (sgennome, igenvalore) VALUES ('%1', 0)").arg(name)};
  return {QStringLiteral("CREATE SEQUENCE %1").arg(name)};
}

QStringList TSqlDialect::SupportDdl() const {
  if (IsSQLite()) {
    return {QStringLiteral("CREATE TABLE tgen_generatori (sgennome VARCHAR(64) NOT NULL PRIMARY KEY, "
                           "igenvalore INTEGER NOT NULL)")};
  }
  return {
      // Identity on PostgreSQL, where amounts are NUMERIC already; the same
      // statement text then reads amounts exactly on both engines.
      QStringLiteral("CREATE FUNCTION nym_importo(p_valore NUMERIC) RETURNS NUMERIC "
                     "LANGUAGE sql IMMUTABLE PARALLEL SAFE AS 'SELECT p_valore'"),
      // The period row is created on first use. The unique index on the
      // period makes a concurrent creation fall back to the winner's row.
      QStringLiteral(
          R"SQL(CREATE FUNCTION pnym_getcrofiscale(p_programma VARCHAR, p_anno INTEGER, p_mese INTEGER)
RETURNS TABLE (icrfid INTEGER) LANGUAGE plpgsql AS $fn$
#variable_conflict use_column
DECLARE
  v_id INTEGER;
BEGIN
  SELECT crf.icrfid INTO v_id FROM tcrf_crofiscale crf
   WHERE lower(crf.scrfprogramma) = lower(p_programma)
     AND crf.icrfanno IS NOT DISTINCT FROM p_anno
     AND crf.icrfmese IS NOT DISTINCT FROM p_mese
   ORDER BY crf.icrfid LIMIT 1;
  IF v_id IS NULL THEN
    INSERT INTO tcrf_crofiscale AS crf (icrfid, icrfanno, icrfmese, scrfprogramma)
    VALUES (nextval('gen_tcrf_crofiscale'), p_anno, p_mese, lower(p_programma))
    ON CONFLICT DO NOTHING
    RETURNING crf.icrfid INTO v_id;
    IF v_id IS NULL THEN
      SELECT crf.icrfid INTO v_id FROM tcrf_crofiscale crf
       WHERE lower(crf.scrfprogramma) = lower(p_programma)
         AND crf.icrfanno IS NOT DISTINCT FROM p_anno
         AND crf.icrfmese IS NOT DISTINCT FROM p_mese
       ORDER BY crf.icrfid LIMIT 1;
    END IF;
  END IF;
  RETURN QUERY SELECT v_id;
END
$fn$)SQL"),
  };
}
