#include "telematic/TelMapping.h"

#include "dataset/ClientDataSet.h"
#include "dataset/Field.h"
#include "platform/ZurError.h"
#include "telematic/XMLNode.h"

#include <QDate>
#include <climits>
#include <utility>

namespace zurtel {
namespace {

QString FieldName(const char* pattern, const QString& suffix) {
  QString out;
  for (const char* p = pattern; *p; ++p) {
    if (*p == '#') {
      if (p[1] == '+' && p[2] >= '0' && p[2] <= '9') {
        out +=
            QStringLiteral("%1").arg(suffix.toInt() + (p[2] - '0'), int(suffix.size()), 10, QLatin1Char('0'));
        p += 2;
      } else {
        out += suffix;
      }
    } else if (*p == '$') {
      out += QString::number(suffix.toInt());
    } else {
      out += QLatin1Char(*p);
    }
  }
  return out;
}

// Dates of date fields as they are; an amount field read as a date counts
// days from 30/12/1899, as the family's Windows date type does.
QDate DateOf(const TField& f) {
  if (f.IsNull()) return {};
  if (f.DataType() == TFieldType::Date) return f.AsDate();
  return QDate(1899, 12, 30).addDays(f.AsInteger());
}

bool TextAsInteger(const QString& text, qint64& value) {
  bool ok = false;
  QString t = text;
  if (t.startsWith(QLatin1Char('+'))) t.remove(0, 1);
  value = t.toLongLong(&ok, 10);
  // Leading blanks are accepted and trailing ones are not, like the
  // original's conversion.
  return ok && !t.isEmpty() && !t.back().isSpace();
}

bool Evaluate(const TField& f, TCond cond) {
  switch (cond) {
  case TCond::Always:
    return true;
  case TCond::TNotEmpty:
    return !f.AsString().trimmed().isEmpty();
  case TCond::RawNotEmpty:
    return !f.AsString().isEmpty();
  case TCond::NotZero:
    return f.AsInteger() != 0;
  case TCond::Positive:
    return f.AsInteger() > 0;
  case TCond::IsOne:
    return f.AsInteger() == 1;
  case TCond::NotNull:
    // An emptied text counts as no value, as it does in the forms: a cleared
    // zone code must not start an item whose code is then no number.
    return !f.IsNull() && (f.DataType() != TFieldType::String || !f.AsString().isEmpty());
  case TCond::DateSet: {
    const QDate d = DateOf(f);
    return d.isValid() && d > QDate(1899, 12, 30);
  }
  case TCond::TextIntNotZero: {
    qint64 v = 0;
    return TextAsInteger(f.AsString(), v) && v != 0;
  }
  }
  return false;
}

QString RemoveAll(QString text, const QString& what) {
  return text.remove(what, Qt::CaseInsensitive);
}

QString Value(const TField& f, TRule rule, TXMLNode& target) {
  switch (rule) {
  case TRule::T:
    return f.AsString().trimmed();
  case TRule::UT:
    return f.AsString().trimmed().toUpper();
  case TRule::N:
    return QString::number(ToInteger(f.AsString().trimmed(), f.FieldName()));
  case TRule::NRaw:
    return QString::number(ToInteger(f.AsString(), f.FieldName()));
  case TRule::I:
    return QString::number(f.AsInteger());
  case TRule::D: {
    const QDate d = DateOf(f);
    return d.isValid() ? d.toString(QStringLiteral("ddMMyyyy")) : QString();
  }
  case TRule::MY: {
    const QDate d = DateOf(f);
    return d.isValid() ? MeseAnno(d.toString(QStringLiteral("dd/MM/yyyy")), 6) : QString();
  }
  case TRule::F: {
    // A signature box of the frames stores "0" when it is not ticked: that is
    // no signature, like an empty field.
    const QString text = f.AsString().trimmed();
    return text.isEmpty() || text == QLatin1String("0") ? QStringLiteral("0") : QStringLiteral("1");
  }
  case TRule::Raw:
    return f.AsString();
  case TRule::Anno: {
    const qint32 v = f.AsInteger();
    return QString::number(v < 2001 ? v : v - 2000);
  }
  case TRule::Denom: {
    QString name = target.Text();
    if (!f.AsString().trimmed().isEmpty()) name = TestoPulito(f.AsString()).toUpper();
    // The degree sign of "I.C. N°1" and the stray "Â" left by a mis-decoded
    // one are not accepted by the agency.
    return RemoveAll(RemoveAll(name, QStringLiteral("°")), QStringLiteral("Â"));
  }
  }
  return {};
}

} // namespace

qint64 ToInteger(const QString& text, const QString& field) {
  qint64 v = 0;
  if (!TextAsInteger(text, v) || v < INT_MIN || v > INT_MAX)
    throw EZurError(QStringLiteral("'%1' non è un valore intero valido (campo %2).").arg(text, field),
                    EZurError::Kind::Field);
  return v;
}

bool Holds(const TClientDataSet& ds, const QString& field, TCond cond) {
  return Evaluate(ds.FieldByName(field), cond);
}

void ApplyRows(TXMLNode& base, const TClientDataSet& ds, std::span<const TTelRow> rows,
               const QString& suffix) {
  bool pending = false;
  for (size_t i = 0; i < rows.size(); ++i) {
    const TTelRow& row = rows[i];
    const TField& f = ds.FieldByName(FieldName(row.field, suffix));
    const bool holds = Evaluate(f, row.cond);
    switch (row.op) {
    case TOp::Or:
      pending = pending || holds;
      break;
    case TOp::Gate:
      if (!holds && !pending) i += size_t(row.skip);
      pending = false;
      break;
    case TOp::Write:
      if (!holds) {
        if (row.skip > 0) i += size_t(row.skip);
        break;
      }
      TXMLNode& node = *row.path ? base.Path(QString::fromLatin1(row.path)) : base;
      node.SetText(Value(f, row.rule, node));
      if (row.skip < 0) i += size_t(-row.skip);
      break;
    }
  }
}

void ApplyList(TXMLNode& base, const TClientDataSet& ds, const TTelList& list) {
  const QString tag = QString::fromLatin1(list.itemTag);
  bool first = true;
  for (const char* s : list.suffixes) {
    const QString suffix = QString::fromLatin1(s);
    const bool isFirst = std::exchange(first, false);
    bool written = false;
    for (const TTelGate& g : list.gates)
      if (Evaluate(ds.FieldByName(FieldName(g.field, suffix)), g.cond)) {
        written = true;
        break;
      }
    if (!written) {
      if (list.firstGates && isFirst) return;
      continue;
    }
    TXMLNode& owner = *list.listPath ? base.Path(QString::fromLatin1(list.listPath)) : base;
    ApplyRows(owner.Add(tag), ds, list.rows, suffix);
  }
}

QString TestoPulito(const QString& text) {
  QString t = text.trimmed();
  t.replace(QLatin1Char('"'), QLatin1Char('\''));
  return t;
}

QString MeseAnno(const QString& dateText, int width) {
  return (dateText.mid(3, 2) + dateText.mid(6, 4)).rightJustified(width, QLatin1Char('0'));
}

} // namespace zurtel
