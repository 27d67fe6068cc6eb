#pragma once

#include "dataset/FieldTypes.h"

#include <QString>
#include <vector>

class TClientDataSet;

// A parsed filter text of a TClientDataSet (grammar in ClientDataSet.h).
// Parsing needs no dataset; Bind resolves the names against one and converts
// the literals to the types of the fields they are compared with, so that
// Matches only compares stored values.
class TDataSetFilter {
public:
  // Throws EZurError(Kind::General) "Filtro non valido: ..." naming the text
  // and what is wrong.
  explicit TDataSetFilter(const QString& text);

  // Throws EZurError(Kind::Field) naming the filter and the field that is
  // missing or calculated, or the literal that does not fit its field.
  void Bind(const TClientDataSet& dataSet);
  // values: the stored (non-calculated) values of one record. Only after Bind.
  bool Matches(const std::vector<TFieldValue>& values) const;

  const QString& Text() const { return m_text; }

private:
  enum class Op { Eq, Ne, Lt, Gt, Le, Ge };
  struct Operand {
    enum class Kind { Field, String, Number, Null } kind = Kind::Null;
    QString text; // field name or literal source
    int slot = -1;
    TFieldType type = TFieldType::String;
    TFieldValue value; // bound literal
  };
  struct Node {
    enum class Kind { Or, And, Not, Compare, IsNull, Constant } kind = Kind::Constant;
    int left = -1, right = -1; // child nodes
    Op op = Op::Eq;
    Operand a, b;
    bool negate = false;   // IS NOT NULL
    bool constant = false; // Constant nodes
  };

  int ParseOr(int depth);
  int ParseAnd(int depth);
  int ParseNot(int depth);
  int ParseComparison(int depth);
  Operand ParseOperand();
  [[noreturn]] void Fail(const QString& detail) const;
  void BindOperand(const TClientDataSet& dataSet, Operand& operand) const;
  void BindLiteral(Operand& literal, const Operand& field) const;
  bool Evaluate(int node, const std::vector<TFieldValue>& values) const;
  bool CompareOperands(const Node& node, const std::vector<TFieldValue>& values) const;

  struct Token {
    enum class Kind { End, Name, String, Number, Op, LParen, RParen } kind = Kind::End;
    QString text;
    int position = 0;
  };
  void Tokenize();
  const Token& Peek() const { return m_tokens[m_pos]; }
  bool PeekKeyword(const char* keyword) const;

  QString m_text;
  std::vector<Token> m_tokens;
  size_t m_pos = 0;
  std::vector<Node> m_nodes;
  int m_root = -1;
};
