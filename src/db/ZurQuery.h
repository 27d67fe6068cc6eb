#pragma once

#include "dataset/Currency.h"
#include "db/SqlDialect.h"

#include <QDate>
#include <QList>
#include <QMetaType>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <memory>
#include <optional>

class QSqlQuery;
class TVxSQLConnection;

// The SQL text of a statement split into what the driver runs and the named
// parameters it takes.
struct TParsedSql {
  QString driverText;    // every parameter replaced by "?", comments blanked out
  QStringList positions; // the parameter name behind each "?", in order
  QStringList names;     // distinct names, first spelling, in order of first use
};

// Finds the named parameters of a statement: a colon followed by a letter or
// "_" and then letters, digits or "_". Text inside string literals, quoted
// identifiers, PostgreSQL dollar quotes and comments is not looked at, and
// "::" (a PostgreSQL cast) is not a parameter. Names match without regard to
// case; a name used twice yields two positions. Refused with EZurError
// (Kind::Assertion): a bare "?" outside literals and comments, which would
// shift the positional binding, and a second statement after a ";".
// The drivers scan the text once more for their own placeholders, knowing only
// single quotes: a text with parameters must not hold ":name" or an
// apostrophe inside a double-quoted identifier or a dollar quote.
TParsedSql ParseNamedParameters(const QString& sql);

// A parameter of a TZurQuery. It holds a typed value until the query runs; a
// parameter never set makes the query fail with EZurError naming it.
class TZurParam {
public:
  explicit TZurParam(QString name) : m_name(std::move(name)) {}

  const QString& Name() const { return m_name; }

  void SetInteger(qint64 value) { Set(TZurFieldType::Integer, QVariant::fromValue<qlonglong>(value)); }
  // A null QString binds as an empty text, as on the family's component;
  // SetNull gives NULL.
  void SetString(const QString& value) {
    Set(TZurFieldType::String, value.isNull() ? QStringLiteral("") : value);
  }
  void SetFloat(double value) { Set(TZurFieldType::Float, value); }
  // A money value for a NUMERIC or floating-point column.
  void SetCurrency(Currency value) { Set(TZurFieldType::Currency, QVariant::fromValue(value)); }
  // A money value for an amount column of the family schema (TColumnKind::
  // Amount), which SQLite stores as ten-thousandths.
  void SetAmount(Currency value);
  // An invalid date binds NULL.
  void SetDate(const QDate& value);
  void SetBlob(const QByteArray& value) { Set(TZurFieldType::Blob, value); }
  void SetNull(TZurFieldType type);
  // Back to "never set".
  void Clear();

  bool Assigned() const { return m_assigned; }
  bool IsNull() const { return !m_assigned || m_value.isNull(); }
  TZurFieldType Type() const { return m_type; }
  // The value as set (qlonglong, QString, double, Currency, QDate, QByteArray).
  const QVariant& Value() const { return m_value; }
  // What goes to the driver on the given engine.
  QVariant BindValue(const TSqlDialect& dialect) const;

private:
  void Set(TZurFieldType type, QVariant value);

  QString m_name;
  TZurFieldType m_type = TZurFieldType::String;
  QVariant m_value;
  bool m_assigned = false;
  bool m_amount = false;
};

// One column of the current row, copied out of the query.
//
// Conversions never go through double except for columns that are floating
// point in the database. On an empty result or past the last row every field
// reads as NULL (empty text, 0, invalid date), as the family's code expects.
// A value that cannot be converted raises EZurError (Kind::Field) naming the
// field.
class TZurField {
public:
  TZurField(QString name, QVariant value, QMetaType columnType)
      : m_name(std::move(name)), m_value(std::move(value)), m_columnType(columnType) {}

  const QString& FieldName() const { return m_name; }
  bool IsNull() const { return m_value.isNull(); }
  const QVariant& AsVariant() const { return m_value; }
  // The column's type as the driver reports it (both drivers report NUMERIC
  // and floating-point columns as Double, whatever form the value takes).
  QMetaType ColumnType() const { return m_columnType; }

  // The value as text in the database's own form: numbers with a point and
  // without trailing zeros ("1234.5"), dates as yyyy-MM-dd. NULL gives "".
  QString AsString() const;
  // Whole numbers; a decimal value is rounded half away from zero. NULL gives 0.
  qint64 AsInteger() const;
  double AsFloat() const;
  // Exact: NUMERIC columns arrive as text and are read as decimals. NULL gives 0.
  Currency AsCurrency() const;
  // Dates, date-times and ISO text ("2024-01-31", with or without a time);
  // NULL gives an invalid date.
  QDate AsDate() const;
  QByteArray AsBytes() const;

private:
  [[noreturn]] void Refuse(const char* what) const;

  QString m_name;
  QVariant m_value;
  QMetaType m_columnType;
};

// A statement on a connection, in the manner of the family's query component:
// set the text, set the named parameters, then Open (rows, forward only) or
// ExecSQL. The same text runs on SQLite and PostgreSQL because the
// parameters are bound by position; values are never pasted into the text.
// Driver failures raise EZurError (Kind::Database) with the driver's message.
// The query must be destroyed before its connection is closed.
class TZurQuery {
public:
  TZurQuery();
  explicit TZurQuery(TVxSQLConnection& connection);
  ~TZurQuery();
  TZurQuery(const TZurQuery&) = delete;
  TZurQuery& operator=(const TZurQuery&) = delete;

  void SetConnection(TVxSQLConnection* connection);
  TVxSQLConnection* Connection() const { return m_connection; }

  // Closes the query and derives a fresh, unset parameter list from the text.
  void SetSQL(const QString& sql);
  const QString& SQL() const { return m_sql; }

  // Unsets every parameter's value (the list itself follows the text).
  void ClearParams();
  int ParamCount() const { return static_cast<int>(m_params.size()); }
  TZurParam& Params(int index);
  // Without regard to case; a name the text does not have raises EZurError
  // (Kind::Field) naming it.
  TZurParam& ParamByName(const QString& name);
  TZurParam* FindParam(const QString& name);

  // Runs the statement and stands on its first row (Eof() when there is
  // none). On an already open query it does nothing, as the family's
  // component does: Close first to run it again.
  void Open();
  // Runs a statement whose rows, if any, are not wanted.
  void ExecSQL();
  // Rows changed by the last ExecSQL (-1 when the driver cannot tell).
  int RowsAffected() const { return m_rowsAffected; }
  // Ends the statement and releases what the server holds for it (SQLite
  // locks included). The prepared statement is kept for the next run.
  void Close();

  bool Active() const { return m_active; }
  bool Eof() const { return m_eof; }
  // Moves to the next row; past the last one Eof() becomes true and the
  // statement is closed on the server side.
  void Next();

  int FieldCount() const { return static_cast<int>(m_fieldNames.size()); }
  QString FieldName(int index) const;
  TZurField Fields(int index) const;
  // Without regard to case; a name the result does not have raises EZurError
  // (Kind::Field) naming it. With two columns of one name the first is taken.
  TZurField FieldByName(const QString& name) const;
  std::optional<TZurField> FindField(const QString& name) const;

private:
  void Run(bool wantRows);
  void FetchRow();
  void RequireActive() const;
  int FieldIndex(const QString& name) const;

  TVxSQLConnection* m_connection = nullptr;
  QString m_sql;
  TParsedSql m_parsed;
  QList<TZurParam> m_params;
  std::unique_ptr<QSqlQuery> m_query;
  bool m_prepared = false;
  bool m_active = false;
  bool m_eof = true;
  int m_rowsAffected = -1;
  QStringList m_fieldNames;
  QList<QMetaType> m_fieldTypes;
  QList<QVariant> m_row;
};
