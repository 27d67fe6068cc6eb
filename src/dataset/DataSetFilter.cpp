#include "dataset/DataSetFilter.h"

#include "dataset/ClientDataSet.h"
#include "platform/ZurError.h"

namespace {

constexpr int kMaxDepth = 64;

bool IsNameStart(QChar c) {
  const char16_t u = c.unicode();
  return (u >= 'A' && u <= 'Z') || (u >= 'a' && u <= 'z') || u == '_';
}

bool IsNamePart(QChar c) {
  const char16_t u = c.unicode();
  return IsNameStart(c) || (u >= '0' && u <= '9') || u == '.';
}

bool IsDigit(QChar c) {
  return c.unicode() >= '0' && c.unicode() <= '9';
}

bool IsNumeric(TFieldType t) {
  return t == TFieldType::Integer || t == TFieldType::Amount || t == TFieldType::Float;
}

// Values of two different field types meet only in field-to-field
// comparisons; they are compared as numbers when both are numeric, else as
// their text forms.
int CompareMixed(const TFieldValue& a, const TFieldValue& b) {
  const auto number = [](const TFieldValue& v) -> std::optional<double> {
    if (auto i = std::get_if<qint32>(&v)) return *i;
    if (auto c = std::get_if<Currency>(&v)) return c->toDouble();
    if (auto d = std::get_if<double>(&v)) return *d;
    return std::nullopt;
  };
  const auto x = number(a), y = number(b);
  if (x && y) return *x < *y ? -1 : (*y < *x ? 1 : 0);
  const int c = FieldValueToText(a).compare(FieldValueToText(b));
  return c < 0 ? -1 : (c > 0 ? 1 : 0);
}

int CompareSameType(const TFieldValue& a, const TFieldValue& b) {
  if (auto x = std::get_if<QString>(&a)) {
    const int c = x->compare(std::get<QString>(b), Qt::CaseSensitive);
    return c < 0 ? -1 : (c > 0 ? 1 : 0);
  }
  return CompareFieldValues(a, b);
}

} // namespace

TDataSetFilter::TDataSetFilter(const QString& text) : m_text(text) {
  Tokenize();
  m_root = ParseOr(0);
  if (Peek().kind != Token::Kind::End)
    Fail(QStringLiteral("testo inatteso '%1' alla posizione %2").arg(Peek().text).arg(Peek().position + 1));
}

void TDataSetFilter::Fail(const QString& detail) const {
  throw EZurError(QStringLiteral("Filtro non valido: \"%1\" (%2).").arg(m_text, detail));
}

void TDataSetFilter::Tokenize() {
  const QString& s = m_text;
  qsizetype i = 0;
  while (true) {
    while (i < s.size() && s[i].isSpace())
      ++i;
    Token t;
    t.position = int(i);
    if (i >= s.size()) {
      m_tokens.push_back(t);
      return;
    }
    const QChar c = s[i];
    if (IsNameStart(c)) {
      const qsizetype start = i;
      while (i < s.size() && IsNamePart(s[i]))
        ++i;
      t.kind = Token::Kind::Name;
      t.text = s.mid(start, i - start);
    } else if (c == QLatin1Char('[')) {
      const qsizetype end = s.indexOf(QLatin1Char(']'), i + 1);
      if (end < 0) Fail(QStringLiteral("manca ']' dopo la posizione %1").arg(i + 1));
      t.kind = Token::Kind::Name;
      t.text = s.mid(i + 1, end - i - 1).trimmed();
      if (t.text.isEmpty()) Fail(QStringLiteral("nome di campo vuoto alla posizione %1").arg(i + 1));
      i = end + 1;
    } else if (c == QLatin1Char('\'')) {
      ++i;
      while (true) {
        if (i >= s.size())
          Fail(QStringLiteral("stringa non terminata dalla posizione %1").arg(t.position + 1));
        if (s[i] == QLatin1Char('\'')) {
          if (i + 1 < s.size() && s[i + 1] == QLatin1Char('\'')) {
            t.text += QLatin1Char('\'');
            i += 2;
            continue;
          }
          ++i;
          break;
        }
        t.text += s[i++];
      }
      t.kind = Token::Kind::String;
    } else if (IsDigit(c) || (c == QLatin1Char('.') && i + 1 < s.size() && IsDigit(s[i + 1]))) {
      const qsizetype start = i;
      while (i < s.size() && IsDigit(s[i]))
        ++i;
      if (i < s.size() && s[i] == QLatin1Char('.')) {
        ++i;
        while (i < s.size() && IsDigit(s[i]))
          ++i;
      }
      if (i < s.size() && IsNameStart(s[i]))
        Fail(QStringLiteral("numero non valido alla posizione %1").arg(start + 1));
      t.kind = Token::Kind::Number;
      t.text = s.mid(start, i - start);
    } else if (c == QLatin1Char('(') || c == QLatin1Char(')')) {
      t.kind = c == QLatin1Char('(') ? Token::Kind::LParen : Token::Kind::RParen;
      t.text = c;
      ++i;
    } else if (c == QLatin1Char('=') || c == QLatin1Char('<') || c == QLatin1Char('>') ||
               c == QLatin1Char('!') || c == QLatin1Char('-')) {
      t.kind = Token::Kind::Op;
      t.text = c;
      ++i;
      if (i < s.size()) {
        const QString two = t.text + s[i];
        if (two == QLatin1String("<>") || two == QLatin1String("<=") || two == QLatin1String(">=") ||
            two == QLatin1String("!=")) {
          t.text = two;
          ++i;
        }
      }
      if (t.text == QLatin1String("!"))
        Fail(QStringLiteral("carattere inatteso '!' alla posizione %1").arg(t.position + 1));
    } else {
      Fail(QStringLiteral("carattere inatteso '%1' alla posizione %2").arg(c).arg(i + 1));
    }
    m_tokens.push_back(t);
  }
}

bool TDataSetFilter::PeekKeyword(const char* keyword) const {
  const Token& t = Peek();
  return t.kind == Token::Kind::Name && t.text.compare(QLatin1String(keyword), Qt::CaseInsensitive) == 0;
}

int TDataSetFilter::ParseOr(int depth) {
  if (depth > kMaxDepth) Fail(QStringLiteral("espressione troppo annidata"));
  int left = ParseAnd(depth);
  while (PeekKeyword("OR")) {
    ++m_pos;
    const int right = ParseAnd(depth);
    Node n;
    n.kind = Node::Kind::Or;
    n.left = left;
    n.right = right;
    m_nodes.push_back(std::move(n));
    left = int(m_nodes.size()) - 1;
  }
  return left;
}

int TDataSetFilter::ParseAnd(int depth) {
  int left = ParseNot(depth);
  while (PeekKeyword("AND")) {
    ++m_pos;
    const int right = ParseNot(depth);
    Node n;
    n.kind = Node::Kind::And;
    n.left = left;
    n.right = right;
    m_nodes.push_back(std::move(n));
    left = int(m_nodes.size()) - 1;
  }
  return left;
}

int TDataSetFilter::ParseNot(int depth) {
  if (PeekKeyword("NOT")) {
    if (depth > kMaxDepth) Fail(QStringLiteral("espressione troppo annidata"));
    ++m_pos;
    const int inner = ParseNot(depth + 1);
    Node n;
    n.kind = Node::Kind::Not;
    n.left = inner;
    m_nodes.push_back(std::move(n));
    return int(m_nodes.size()) - 1;
  }
  return ParseComparison(depth);
}

int TDataSetFilter::ParseComparison(int depth) {
  if (Peek().kind == Token::Kind::LParen) {
    ++m_pos;
    const int inner = ParseOr(depth + 1);
    if (Peek().kind != Token::Kind::RParen)
      Fail(Peek().kind == Token::Kind::End
               ? QStringLiteral("manca ')'")
               : QStringLiteral("atteso ')' alla posizione %1").arg(Peek().position + 1));
    ++m_pos;
    return inner;
  }
  Node n;
  n.a = ParseOperand();
  if (PeekKeyword("IS")) {
    ++m_pos;
    n.kind = Node::Kind::IsNull;
    if (PeekKeyword("NOT")) {
      ++m_pos;
      n.negate = true;
    }
    if (!PeekKeyword("NULL")) Fail(QStringLiteral("atteso NULL dopo IS"));
    ++m_pos;
  } else {
    const Token& t = Peek();
    if (t.kind != Token::Kind::Op || t.text == QLatin1String("-"))
      Fail(t.kind == Token::Kind::End
               ? QStringLiteral("manca il confronto")
               : QStringLiteral("atteso un operatore di confronto alla posizione %1").arg(t.position + 1));
    if (t.text == QLatin1String("="))
      n.op = Op::Eq;
    else if (t.text == QLatin1String("<>") || t.text == QLatin1String("!="))
      n.op = Op::Ne;
    else if (t.text == QLatin1String("<"))
      n.op = Op::Lt;
    else if (t.text == QLatin1String(">"))
      n.op = Op::Gt;
    else if (t.text == QLatin1String("<="))
      n.op = Op::Le;
    else
      n.op = Op::Ge;
    ++m_pos;
    n.b = ParseOperand();
    n.kind = Node::Kind::Compare;
    // "= NULL" and "<> NULL" mean IS [NOT] NULL; other comparisons with NULL
    // are never true.
    const bool aNull = n.a.kind == Operand::Kind::Null, bNull = n.b.kind == Operand::Kind::Null;
    if (aNull && bNull) {
      n.kind = Node::Kind::Constant;
      n.constant = n.op == Op::Eq;
    } else if ((aNull || bNull) && (n.op == Op::Eq || n.op == Op::Ne)) {
      if (aNull) n.a = n.b;
      n.kind = Node::Kind::IsNull;
      n.negate = n.op == Op::Ne;
    } else if (aNull || bNull) {
      n.kind = Node::Kind::Constant;
      n.constant = false;
    }
  }
  m_nodes.push_back(std::move(n));
  return int(m_nodes.size()) - 1;
}

TDataSetFilter::Operand TDataSetFilter::ParseOperand() {
  const Token t = Peek();
  Operand o;
  switch (t.kind) {
  case Token::Kind::Name:
    if (PeekKeyword("NULL")) {
      o.kind = Operand::Kind::Null;
    } else if (PeekKeyword("AND") || PeekKeyword("OR") || PeekKeyword("NOT") || PeekKeyword("IS")) {
      Fail(QStringLiteral("parola chiave %1 fuori posto alla posizione %2")
               .arg(t.text.toUpper())
               .arg(t.position + 1));
    } else {
      o.kind = Operand::Kind::Field;
      o.text = t.text;
    }
    break;
  case Token::Kind::String:
    o.kind = Operand::Kind::String;
    o.text = t.text;
    break;
  case Token::Kind::Number:
    o.kind = Operand::Kind::Number;
    o.text = t.text;
    break;
  case Token::Kind::Op:
    if (t.text == QLatin1String("-") && m_pos + 1 < m_tokens.size() &&
        m_tokens[m_pos + 1].kind == Token::Kind::Number) {
      ++m_pos;
      o.kind = Operand::Kind::Number;
      o.text = QLatin1Char('-') + Peek().text;
      break;
    }
    [[fallthrough]];
  default:
    Fail(t.kind == Token::Kind::End
             ? QStringLiteral("espressione incompleta")
             : QStringLiteral("atteso un campo o un valore alla posizione %1").arg(t.position + 1));
  }
  ++m_pos;
  return o;
}

void TDataSetFilter::Bind(const TClientDataSet& dataSet) {
  for (Node& n : m_nodes) {
    if (n.kind != Node::Kind::Compare && n.kind != Node::Kind::IsNull) continue;
    BindOperand(dataSet, n.a);
    if (n.kind == Node::Kind::IsNull) continue;
    BindOperand(dataSet, n.b);
    const bool aField = n.a.kind == Operand::Kind::Field, bField = n.b.kind == Operand::Kind::Field;
    if (aField && !bField) BindLiteral(n.b, n.a);
    if (bField && !aField) BindLiteral(n.a, n.b);
    if (!aField && !bField) {
      // Two literals: numbers compare as numbers, anything else as text.
      for (Operand* o : {&n.a, &n.b}) {
        if (o->kind == Operand::Kind::Number && n.a.kind == n.b.kind)
          o->value = ParseFloat(o->text).value_or(0);
        else
          o->value = o->text;
      }
    }
  }
}

void TDataSetFilter::BindOperand(const TClientDataSet& dataSet, Operand& operand) const {
  if (operand.kind != Operand::Kind::Field) return;
  const TField* field = dataSet.FindField(operand.text);
  if (!field)
    throw EZurError(QStringLiteral("Filtro \"%1\": campo '%2' non trovato.").arg(m_text, operand.text),
                    EZurError::Kind::Field);
  if (field->Calculated())
    throw EZurError(QStringLiteral("Filtro \"%1\": il campo calcolato '%2' non può essere filtrato.")
                        .arg(m_text, field->FieldName()),
                    EZurError::Kind::Field);
  int slot = 0;
  for (const TField* f : dataSet.Fields()) {
    if (f == field) break;
    if (!f->Calculated()) ++slot;
  }
  operand.slot = slot;
  operand.type = field->DataType();
}

void TDataSetFilter::BindLiteral(Operand& literal, const Operand& field) const {
  literal.type = field.type;
  if (field.type == TFieldType::String || field.type == TFieldType::Memo) {
    literal.value = literal.text;
    return;
  }
  if (literal.kind == Operand::Kind::Number && !IsNumeric(field.type))
    throw EZurError(
        QStringLiteral("Filtro \"%1\": il numero %2 non si può confrontare con il campo '%3' (%4).")
            .arg(m_text, literal.text, field.text, FieldTypeDisplayName(field.type)),
        EZurError::Kind::Field);
  // Amounts keep every decimal of the literal: a comparison is not an
  // assignment and must not round.
  const int size = field.type == TFieldType::Amount ? 4 : 0;
  try {
    literal.value = FieldValueFromText(literal.text, field.type, size, field.text);
  } catch (const EZurError& e) {
    throw EZurError(QStringLiteral("Filtro \"%1\": %2").arg(m_text, e.message()), EZurError::Kind::Field);
  }
  if (IsNullValue(literal.value))
    throw EZurError(QStringLiteral("Filtro \"%1\": valore vuoto per il campo '%2'.").arg(m_text, field.text),
                    EZurError::Kind::Field);
}

bool TDataSetFilter::Matches(const std::vector<TFieldValue>& values) const {
  return Evaluate(m_root, values);
}

bool TDataSetFilter::Evaluate(int index, const std::vector<TFieldValue>& values) const {
  const Node& n = m_nodes[size_t(index)];
  switch (n.kind) {
  case Node::Kind::Or:
    return Evaluate(n.left, values) || Evaluate(n.right, values);
  case Node::Kind::And:
    return Evaluate(n.left, values) && Evaluate(n.right, values);
  case Node::Kind::Not:
    return !Evaluate(n.left, values);
  case Node::Kind::Constant:
    return n.constant;
  case Node::Kind::IsNull: {
    const bool isNull = n.a.kind == Operand::Kind::Field ? IsNullValue(values[size_t(n.a.slot)]) : false;
    return isNull != n.negate;
  }
  case Node::Kind::Compare:
    return CompareOperands(n, values);
  }
  return false;
}

bool TDataSetFilter::CompareOperands(const Node& n, const std::vector<TFieldValue>& values) const {
  const TFieldValue& a = n.a.kind == Operand::Kind::Field ? values[size_t(n.a.slot)] : n.a.value;
  const TFieldValue& b = n.b.kind == Operand::Kind::Field ? values[size_t(n.b.slot)] : n.b.value;
  if (IsNullValue(a) || IsNullValue(b)) return false;
  const int c = a.index() == b.index() ? CompareSameType(a, b) : CompareMixed(a, b);
  switch (n.op) {
  case Op::Eq:
    return c == 0;
  case Op::Ne:
    return c != 0;
  case Op::Lt:
    return c < 0;
  case Op::Gt:
    return c > 0;
  case Op::Le:
    return c <= 0;
  case Op::Ge:
    return c >= 0;
  }
  return false;
}
