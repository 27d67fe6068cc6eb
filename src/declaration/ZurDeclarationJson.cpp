#include "declaration/ZurDeclarationJson.h"

#include "declaration/ZurCatalogue.h"
#include "declaration/zurMDati.h"
#include "platform/ZurError.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QLocale>
#include <QRegularExpression>
#include <QSet>
#include <cmath>
#include <limits>
#include <optional>

namespace {

enum class TShape { Record, Rows };

// The datasets of the exchange form and how each is written.
struct TJsonDataSet {
  const char* component;
  TShape shape;
};

constexpr TJsonDataSet kJsonDataSets[] = {
    {"cdsFrontespizio", TShape::Record}, {"cdsQuadroIK", TShape::Record}, {"cdsQuadroIR", TShape::Record},
    {"cdsQuadroIRVar", TShape::Rows},    {"cdsQuadroIS", TShape::Record},
};

// Fields shown but never written: the store's keys, and the fiscal code that
// the declaration gets at its creation and its frames show read-only.
struct TRefusedField {
  const char* name;
  const char* why;
};

constexpr TRefusedField kRefused[] = {
    {TZurCatalogue::KeyTaxpayer, "è una chiave dell'archivio e non può essere scritto"},
    {TZurCatalogue::KeyRow, "è una chiave dell'archivio e non può essere scritto"},
    {TZurCatalogue::KeyDeclaration, "è una chiave dell'archivio e non può essere scritto"},
    {TZurCatalogue::FiscalCode, "è fissato alla creazione della dichiarazione e non può essere scritto"},
};

const TRefusedField* FindRefused(const QString& name) {
  for (const TRefusedField& r : kRefused)
    if (name.compare(QLatin1String(r.name), Qt::CaseInsensitive) == 0) return &r;
  return nullptr;
}

const TJsonDataSet* FindJsonDataSet(const QString& component) {
  for (const TJsonDataSet& d : kJsonDataSets)
    if (component == QLatin1String(d.component)) return &d;
  return nullptr;
}

// What JSON value each field type takes, for the messages.
QString ExpectedKind(const TField& f) {
  switch (f.DataType()) {
  case TFieldType::String:
  case TFieldType::Memo:
    return QStringLiteral("un testo");
  case TFieldType::Integer:
    return QStringLiteral("un numero intero");
  case TFieldType::Amount:
    return QStringLiteral("un importo con al massimo %1 decimali").arg(f.Size());
  case TFieldType::Float:
    return QStringLiteral("un numero");
  case TFieldType::Date:
    return QStringLiteral("una data nella forma AAAA-MM-GG");
  case TFieldType::Blob:
    break;
  }
  return QStringLiteral("un valore che questo programma non scrive");
}

// A JSON number is a double: below this every amount with two decimals
// (at most 15 significant digits) comes back exactly; above it the cents of
// a value could silently change.
constexpr double kLargestExactAmount = 1e13;

int DecimalsOf(double value) {
  const QString text = QString::number(value, 'f', QLocale::FloatingPointShortest);
  const qsizetype dot = text.indexOf(QLatin1Char('.'));
  return dot < 0 ? 0 : int(text.size() - dot - 1);
}

std::optional<QDate> IsoDate(const QString& text) {
  static const QRegularExpression form(QStringLiteral("^\\d{4}-\\d{2}-\\d{2}$"));
  if (!form.match(text).hasMatch()) return std::nullopt;
  const QDate d = QDate::fromString(text, Qt::ISODate);
  if (!d.isValid()) return std::nullopt;
  return d;
}

// The field's value for a JSON value, or nullopt when the value is of the
// wrong kind. The null QVariant means "empty the field".
std::optional<QVariant> Convert(const TField& f, const QJsonValue& v) {
  if (v.isNull()) return QVariant();
  switch (f.DataType()) {
  case TFieldType::String:
  case TFieldType::Memo:
    if (!v.isString()) return std::nullopt;
    if (f.DataType() == TFieldType::String && v.toString().size() > f.Size()) return std::nullopt;
    return QVariant(v.toString());
  case TFieldType::Integer: {
    if (!v.isDouble()) return std::nullopt;
    const double d = v.toDouble();
    if (d != std::floor(d) || d < std::numeric_limits<qint32>::min() ||
        d > std::numeric_limits<qint32>::max())
      return std::nullopt;
    return QVariant(qint32(d));
  }
  case TFieldType::Amount: {
    if (!v.isDouble()) return std::nullopt;
    const double d = v.toDouble();
    if (!std::isfinite(d) || std::fabs(d) >= kLargestExactAmount || DecimalsOf(d) > f.Size())
      return std::nullopt;
    return QVariant::fromValue(Currency::FromDouble(d));
  }
  case TFieldType::Float:
    if (!v.isDouble()) return std::nullopt;
    return QVariant(v.toDouble());
  case TFieldType::Date:
    if (!v.isString()) return std::nullopt;
    if (auto d = IsoDate(v.toString())) return QVariant(*d);
    return std::nullopt;
  case TFieldType::Blob:
    break;
  }
  return std::nullopt;
}

QJsonValue ToJson(const TField& f) {
  if (f.IsNull()) return QJsonValue(QJsonValue::Null);
  switch (f.DataType()) {
  case TFieldType::String:
  case TFieldType::Memo:
    return f.AsString();
  case TFieldType::Integer:
    return qint64(f.AsInteger());
  case TFieldType::Amount:
    // Through the exact decimal text: the double nearest to it is the one
    // whose shortest form gives the same digits back.
    return f.AsCurrency().ToString().replace(QLatin1Char(','), QLatin1Char('.')).toDouble();
  case TFieldType::Float:
    return f.AsFloat();
  case TFieldType::Date:
    return f.AsDate().toString(Qt::ISODate);
  case TFieldType::Blob:
    break;
  }
  return QJsonValue(QJsonValue::Null);
}

QJsonObject RecordToJson(const TClientDataSet& ds) {
  QJsonObject o;
  for (const TField* f : ds.Fields())
    o.insert(f->FieldName(), ToJson(*f));
  return o;
}

void ValidateRecord(const TClientDataSet& ds, const QString& where, const QJsonObject& o,
                    QStringList& problems) {
  for (auto it = o.begin(); it != o.end(); ++it) {
    const TField* f = ds.FindField(it.key());
    if (!f) {
      problems << QStringLiteral("Campo sconosciuto in %1: %2").arg(where, it.key());
    } else if (const TRefusedField* r = FindRefused(it.key())) {
      problems
          << QStringLiteral("Il campo %1 di %2 %3.").arg(f->FieldName(), where, QString::fromUtf8(r->why));
    } else if (f->Calculated()) {
      problems << QStringLiteral("Il campo %1 di %2 è calcolato e non può essere scritto.")
                      .arg(f->FieldName(), where);
    } else if (!Convert(*f, it.value())) {
      QString why =
          QStringLiteral("Il campo %1 di %2 richiede %3").arg(f->FieldName(), where, ExpectedKind(*f));
      if (f->DataType() == TFieldType::String)
        why += QStringLiteral(" di al massimo %1 caratteri").arg(f->Size());
      problems << why + QLatin1Char('.');
    }
  }
}

void WriteRecord(TClientDataSet& ds, const QJsonObject& o) {
  for (auto it = o.begin(); it != o.end(); ++it) {
    TField& f = ds.FieldByName(it.key());
    f.SetAsVariant(*Convert(f, it.value()));
  }
}

// The checks JSON leaves to its readers, run on text that Qt has already
// parsed, so the syntax is known to be sound: names repeated within one
// object, control characters and halves of surrogate pairs. Returns the
// reason and the byte position of the first finding.
struct TJsonFinding {
  QString why;
  qsizetype at = -1;
};

bool IsRefusedControl(char32_t c) {
  if (c == u'\t' || c == u'\n' || c == u'\r') return false;
  return c < 0x20 || (c >= 0x7F && c <= 0x9F);
}

std::optional<TJsonFinding> ScanJson(const QByteArray& bytes) {
  struct TFrame {
    bool object;
    bool expectName;
    QSet<QString> names;
  };
  std::vector<TFrame> stack;
  const qsizetype n = bytes.size();
  const auto hex4 = [&bytes](qsizetype at) { return bytes.mid(at, 4).toUInt(nullptr, 16); };
  for (qsizetype i = 0; i < n; ++i) {
    const char c = bytes.at(i);
    if (c == '{' || c == '[') {
      stack.push_back({c == '{', c == '{', {}});
    } else if (c == '}' || c == ']') {
      if (!stack.empty()) stack.pop_back();
    } else if (c == ',') {
      if (!stack.empty() && stack.back().object) stack.back().expectName = true;
    } else if (c == '"') {
      const qsizetype start = i;
      for (++i; i < n && bytes.at(i) != '"'; ++i) {
        if (bytes.at(i) != '\\') continue;
        ++i;
        if (i >= n || bytes.at(i) != 'u') continue;
        // Qt would read half a pair as a character of its own.
        const uint u = hex4(i + 1);
        const bool high = u >= 0xD800 && u <= 0xDBFF;
        const bool paired = high && i + 10 < n && bytes.at(i + 5) == '\\' && bytes.at(i + 6) == 'u' &&
                            hex4(i + 7) >= 0xDC00 && hex4(i + 7) <= 0xDFFF;
        if ((u >= 0xD800 && u <= 0xDFFF) && !paired)
          return TJsonFinding{QStringLiteral("metà di una coppia di surrogati (\\u%1) in un testo")
                                  .arg(u, 4, 16, QLatin1Char('0')),
                              i - 1};
        i += paired ? 10 : 4;
      }
      // Controls written raw or escaped alike show in the decoded text.
      const QByteArray raw = bytes.mid(start, i - start + 1);
      const QString text = QJsonDocument::fromJson("[" + raw + "]").array().at(0).toString();
      for (const QChar ch : text)
        if (IsRefusedControl(ch.unicode()))
          return TJsonFinding{QStringLiteral("carattere di controllo U+%1 in un testo")
                                  .arg(QString::number(ch.unicode(), 16).toUpper().rightJustified(4, u'0')),
                              start};
      if (!stack.empty() && stack.back().object && stack.back().expectName) {
        if (stack.back().names.contains(text))
          return TJsonFinding{
              QStringLiteral("il nome \"%1\" è indicato due volte nello stesso oggetto").arg(text), start};
        stack.back().names.insert(text);
        stack.back().expectName = false;
      }
    }
  }
  return std::nullopt;
}

} // namespace

QJsonObject GetDeclarationJson(TdmZurDati& dati) {
  QJsonObject out;
  for (const TJsonDataSet& d : kJsonDataSets) {
    const QString name = QString::fromLatin1(d.component);
    TClientDataSet& ds = *dati.DataSetByName(name);
    if (d.shape == TShape::Rows) {
      QJsonArray rows;
      const TBookmark mark = ds.GetBookmark();
      for (ds.First(); !ds.Eof(); ds.Next())
        rows.append(RecordToJson(ds));
      if (!mark.IsNull()) ds.GotoBookmark(mark);
      out.insert(name, rows);
    } else {
      out.insert(name, RecordToJson(ds));
    }
  }
  return out;
}

QStringList ValidateDeclarationJson(TdmZurDati& dati, const QJsonObject& json) {
  QStringList problems;
  for (auto it = json.begin(); it != json.end(); ++it) {
    const TJsonDataSet* d = FindJsonDataSet(it.key());
    if (!d) {
      problems << QStringLiteral("Dataset sconosciuto: %1").arg(it.key());
      continue;
    }
    const TClientDataSet& ds = *dati.DataSetByName(it.key());
    if (!ds.Active()) {
      problems << QStringLiteral("Il dataset %1 non è aperto.").arg(it.key());
      continue;
    }
    if (d->shape == TShape::Record) {
      if (!it.value().isObject()) {
        problems << QStringLiteral("%1 deve essere un oggetto (nome del campo: valore).").arg(it.key());
        continue;
      }
      ValidateRecord(ds, it.key(), it.value().toObject(), problems);
    } else {
      if (!it.value().isArray()) {
        problems << QStringLiteral("%1 deve essere un elenco di oggetti, uno per rigo.").arg(it.key());
        continue;
      }
      const QJsonArray rows = it.value().toArray();
      for (qsizetype i = 0; i < rows.size(); ++i) {
        const QString where = QStringLiteral("%1[%2]").arg(it.key()).arg(i);
        if (!rows[i].isObject())
          problems << QStringLiteral("%1 deve essere un oggetto (nome del campo: valore).").arg(where);
        else
          ValidateRecord(ds, where, rows[i].toObject(), problems);
      }
    }
  }
  return problems;
}

void SetDeclarationJson(TdmZurDati& dati, const QJsonObject& json) {
  const QStringList problems = ValidateDeclarationJson(dati, json);
  if (!problems.isEmpty()) throw EZurError(problems.join(QLatin1Char('\n')), EZurError::Kind::Field);
  // In the datasets' order, so that the cover page is written before the
  // quadri that take their keys from the open declaration.
  for (const TJsonDataSet& d : kJsonDataSets) {
    const QString name = QString::fromLatin1(d.component);
    if (!json.contains(name)) continue;
    TClientDataSet& ds = *dati.DataSetByName(name);
    try {
      if (d.shape == TShape::Record) {
        const QJsonObject o = json.value(name).toObject();
        if (o.isEmpty()) continue;
        ds.Edit();
        WriteRecord(ds, o);
        ds.Post();
      } else {
        while (!ds.IsEmpty()) {
          ds.First();
          ds.Delete();
        }
        for (const QJsonValue& row : json.value(name).toArray()) {
          ds.Append();
          WriteRecord(ds, row.toObject());
          ds.Post();
        }
      }
    } catch (...) {
      ds.Cancel();
      throw;
    }
  }
}

QJsonObject ParseDeclarationJson(const QByteArray& bytes, const QString& source) {
  QJsonParseError error;
  const QJsonDocument doc = QJsonDocument::fromJson(bytes, &error);
  if (error.error != QJsonParseError::NoError)
    throw EZurError(QStringLiteral("Il file %1 non è un JSON valido (posizione %2): %3")
                        .arg(source)
                        .arg(error.offset)
                        .arg(error.errorString()),
                    EZurError::Kind::File, source);
  if (const std::optional<TJsonFinding> finding = ScanJson(bytes))
    throw EZurError(QStringLiteral("Il file %1 non è accettabile (posizione %2): %3")
                        .arg(source)
                        .arg(finding->at)
                        .arg(finding->why),
                    EZurError::Kind::File, source);
  if (!doc.isObject())
    throw EZurError(
        QStringLiteral("Il file %1 deve contenere un oggetto JSON con i dataset della dichiarazione.")
            .arg(source),
        EZurError::Kind::File, source);
  return doc.object();
}
