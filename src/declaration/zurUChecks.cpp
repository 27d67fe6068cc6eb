#include "declaration/zurUChecks.h"

#include "dataset/ClientDataSet.h"
#include "dataset/FieldTypes.h"

#include <QDate>
#include <functional>
#include <optional>

namespace {

const QString kMissing = QStringLiteral(" - Dato obbligatorio mancante: ");

struct TMandatory {
  const char* field;
  const char* description;
};

constexpr TMandatory kMandatory[] = {
    {"SIRAPDENOM", "Denominazione Soggetti diversi dalle persone fisiche"},
    {"DIRAPPERIODOIMPOSTADAL", "Data inizio periodo di imposta"},
    {"DIRAPPERIODOIMPOSTAAL", "Data fine periodo di imposta"},
    {"SIRAPSTATO", "Stato"},
    {"SIRAPNATURAGIURIDICA", "Natura giuridica"},
    {"SIRAPSITUAZIONE", "Situazione"},
    {"SIRAPCODCARICA", "Codice carica"},
    {"LIRAPSESSO", "Sesso del dichiarante diverso dal contribuente"},
};

// A signatory with a personal (alphanumeric) fiscal code must give these, and
// only the first one missing is reported.
constexpr TMandatory kSignatoryPerson[] = {
    {"SIRAPCOGNOME", "Cognome del firmatario"},
    {"SIRAPNOME", "Nome del firmatario"},
    {"DIRAPDATANASCITA", "Data di nascita del firmatario"},
    {"SIRAPCOMUNENASCITA", "Comune di nascita del firmatario"},
    {"SIRAPPROVINCIANASCITA", "Provincia di nascita del firmatario"},
};

QString Latin(const char* text) {
  return QString::fromUtf8(text);
}

// The zero date of the family's Windows framework: a date field is present only after it.
const QDate kZeroDate(1899, 12, 30);

bool Present(const TField& field) {
  switch (field.DataType()) {
  case TFieldType::String:
  case TFieldType::Memo:
    return !field.AsString().isEmpty();
  case TFieldType::Date:
    return !field.IsNull() && field.AsDate() > kZeroDate;
  default: {
    // -1 is the failure marker of the conversion, so the value -1 itself
    // counts as absent, while 0 is present.
    const std::optional<double> n = ParseFloat(field.AsString());
    return n.value_or(-1) != -1;
  }
  }
}

qint64 Whole(const TClientDataSet& ds, const char* name) {
  const TField* f = ds.FindField(Latin(name));
  return f ? f->AsCurrency().ToInteger() : 0;
}

QString Text(const TClientDataSet& ds, const char* name) {
  const TField* f = ds.FindField(Latin(name));
  return f ? f->AsString() : QString();
}

using TRule = std::function<std::optional<QString>(TClientDataSet& ds, const TZurCheckedDataSets& all)>;

std::optional<QString> RuleSignatory(TClientDataSet& ds, const TZurCheckedDataSets&) {
  const QString code = Text(ds, "SIRAPCODFISRAPFIRMATARIO");
  if (code.isEmpty()) return kMissing + QStringLiteral("Codice fiscale del firmatario");
  // An entity's code is eleven digits, more than a 32-bit integer holds.
  const std::optional<double> number = ParseFloat(code);
  if (!number || *number == 0) {
    for (const TMandatory& m : kSignatoryPerson)
      if (Text(ds, m.field).isEmpty()) return kMissing + Latin(m.description);
    return std::nullopt;
  }
  if (Text(ds, "SIRAPDENFIRMATARIO").isEmpty())
    return kMissing + QStringLiteral("Denominazione del firmatario");
  return std::nullopt;
}

std::optional<QString> RuleIK5(TClientDataSet& ds, const TZurCheckedDataSets&) {
  if (Whole(ds, "FIKVALIRAP1") + Whole(ds, "FIKVALIRAP2") + Whole(ds, "FIKVALIRAP3") -
          Whole(ds, "FIKVALIRAP4") !=
      Whole(ds, "FIKVALIRAP5"))
    return QStringLiteral(" - Campo errato: IK5 Valore della produzione netta non corrisponde alla somma dei "
                          "campi (IK1 + IK2 + IK3 - IK4 col.4)");
  return std::nullopt;
}

std::optional<QString> RuleIK27(TClientDataSet& ds, const TZurCheckedDataSets&) {
  if (Whole(ds, "FIKAMMONTARE27") != Whole(ds, "FIKVALIRAP5"))
    return QStringLiteral(
        " - Campo errato: \"Ammontare del valore della produzione di rigo IQ5\" del rigo IQ27 "
        "deve essere uguale al campo IQ5");
  return std::nullopt;
}

// Suspends the display updates of a dataset and puts its cursor back, also
// when the walk is interrupted.
class TWalkGuard {
public:
  explicit TWalkGuard(TClientDataSet& ds) : m_ds(ds), m_mark(ds.GetBookmark()) { m_ds.DisableControls(); }
  ~TWalkGuard() {
    if (!m_mark.IsNull() && m_ds.BookmarkValid(m_mark)) {
      try {
        m_ds.GotoBookmark(m_mark);
      } catch (...) { // a destructor must not throw; the cursor then stays where the walk left it
      }
    }
    m_ds.EnableControls();
  }
  TWalkGuard(const TWalkGuard&) = delete;
  TWalkGuard& operator=(const TWalkGuard&) = delete;

private:
  TClientDataSet& m_ds;
  TBookmark m_mark;
};

std::optional<QString> RuleBaseImp(TClientDataSet& ds, const TZurCheckedDataSets& all) {
  static const char* const kBases[] = {"FIKBASEIMP37", "FIKBASEIMP38", "FIKBASEIMP39", "FIKBASEIMP40",
                                       "FIKBASEIMP41", "FIKBASEIMP42", "FIKBASEIMP43", "FIKBASEIMP44",
                                       "FIKBASEIMP45", "FIKBASEIMP46", "FIKBASEIMP47"};
  if (ds.State() == TDataSetState::Edit || ds.State() == TDataSetState::Insert) ds.Post();
  qint64 sum = 0;
  {
    TWalkGuard guard(ds);
    for (ds.First(); !ds.Eof(); ds.Next())
      for (const char* name : kBases)
        sum += Whole(ds, name);
  }
  const qint64 ik5 = all[1] && all[1]->Active() ? Whole(*all[1], "FIKVALIRAP5") : 0;
  if (sum != ik5)
    return QStringLiteral(
        " - Campo errato: La somma delle basi imponibili non è uguale al valore della produzione netta IQ5");
  return std::nullopt;
}

// The form, and the telematic file that follows it, have room for nine
// regional rows: a tenth would be left out of a file that looks complete.
constexpr int kMaxRegionalRows = 9;

std::optional<QString> RuleRegionalRows(TClientDataSet& ds, const TZurCheckedDataSets&) {
  if (ds.State() == TDataSetState::Edit || ds.State() == TDataSetState::Insert) ds.Post();
  const int rows = ds.RecordCount();
  if (rows <= kMaxRegionalRows) return std::nullopt;
  return QStringLiteral(" - Campo errato: Quadro IR, le righe di ripartizione regionale sono %1, il modello "
                        "ne prevede al massimo %2")
      .arg(rows)
      .arg(kMaxRegionalRows);
}

struct TCrossRule {
  const char* field;
  TRule rule;
};

const std::vector<TCrossRule>& CrossRules() {
  static const std::vector<TCrossRule> rules = {
      {"SIRAPCODFISRAPFIRMATARIO", RuleSignatory},
      {"FIKVALIRAP5", RuleIK5},
      {"FIKAMMONTARE27", RuleIK27},
      {"FIKBASEIMP37", RuleBaseImp},
      {"SIRCODREGIONE", RuleRegionalRows},
  };
  return rules;
}

const TMandatory* FindMandatory(const QString& name) {
  for (const TMandatory& m : kMandatory)
    if (name.compare(QLatin1String(m.field), Qt::CaseInsensitive) == 0) return &m;
  return nullptr;
}

const TCrossRule* FindRule(const QString& name) {
  for (const TCrossRule& r : CrossRules())
    if (name.compare(QLatin1String(r.field), Qt::CaseInsensitive) == 0) return &r;
  return nullptr;
}

} // namespace

const QStringList& MandatoryFieldList() {
  static const QStringList list = [] {
    QStringList l;
    for (const TMandatory& m : kMandatory)
      l << Latin(m.field) + QLatin1Char('=') + Latin(m.description);
    return l;
  }();
  return list;
}

bool CheckDeclarationData(QStringList& messages, const TZurCheckedDataSets& dataSets) {
  const qsizetype before = messages.size();
  for (TClientDataSet* ds : dataSets) {
    if (!ds) continue;
    // The walk of a rule may post the dataset and so change its fields'
    // values, never its structure: the field list stays valid.
    for (TField* field : ds->Fields()) {
      if (const TMandatory* m = FindMandatory(field->FieldName())) {
        if (!Present(*field)) messages << kMissing + Latin(m->description);
      } else if (const TCrossRule* r = FindRule(field->FieldName())) {
        if (std::optional<QString> message = r->rule(*ds, dataSets)) messages << *message;
      }
    }
  }
  return messages.size() == before;
}

bool CheckSingleEmail(QStringList& messages, const QString& email) {
  if (email.count(QLatin1Char('@')) > 1) {
    messages << QStringLiteral(" - Dato Errato : Presenza di più di una mail nei Dati del contribuente");
    return false;
  }
  return true;
}
