#include "print/zurLayoutTools.h"

#include "platform/Platform.h"
#include "platform/ZurError.h"
#include "platform/ZurOutputFile.h"

#include <QDir>
#include <QFile>
#include <QSet>
#include <QStringDecoder>

namespace zurlayout {

namespace {

QString L(const char* text) {
  return QString::fromUtf8(text);
}

// Windows-1252 at 0x80-0x9F, where it differs from Latin-1 (0: unused).
constexpr char16_t kCp1252High[32] = {0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                      0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
                                      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                      0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

QString FromCp1252(const QByteArray& bytes) {
  QString out;
  out.reserve(bytes.size());
  for (char ch : bytes) {
    const auto b = static_cast<unsigned char>(ch);
    const char16_t high = b >= 0x80 && b <= 0x9F ? kCp1252High[b - 0x80] : 0;
    out += high ? QChar(high) : QChar(b);
  }
  return out;
}

QString Native(const QString& path) {
  return QDir::toNativeSeparators(path);
}

// The open dialog; false (and the developer told) when cancelled.
bool AskInput(QString& path, const QString& filter, const QString& title) {
  if (Platform().PromptForFileName(path, filter, QString(), title, QString(), false)) return true;
  VxShowMessage(Annullato(), TMsgDlgType::Information);
  return false;
}

bool ReadInput(const QString& path, QStringList& lines) {
  try {
    lines = ReadTextLines(path);
    return true;
  } catch (const EZurError& e) {
    VxShowMessage(e.message() + L("\nNessun file è stato scritto."), TMsgDlgType::Error);
    return false;
  }
}

// The save dialog and the write of the lines.
TToolResult Save(const QStringList& lines, const QString& filter, const QString& defaultExt,
                 const QString& title) {
  QString path;
  if (!Platform().PromptForFileName(path, filter, defaultExt, title, QString(), true)) {
    VxShowMessage(Annullato(), TMsgDlgType::Information);
    return TToolResult::Cancelled;
  }
  QByteArray bytes;
  for (const QString& line : lines)
    bytes += line.toUtf8() + '\n';
  try {
    zur::WriteOutputFile(path, bytes);
  } catch (const EZurError& e) {
    VxShowMessage(e.message(), TMsgDlgType::Error);
    return TToolResult::WriteFailed;
  }
  return TToolResult::Written;
}

} // namespace

QString Annullato() {
  return L("Operazione annullata: nessun file è stato scritto.");
}

QStringList ReadTextLines(const QString& path) {
  QFile f(path);
  if (!f.open(QIODevice::ReadOnly))
    throw EZurError(L("Impossibile leggere il file \"%1\": %2").arg(Native(path), f.errorString()),
                    EZurError::Kind::File, path);
  const QByteArray bytes = f.readAll();
  if (f.error() != QFileDevice::NoError)
    throw EZurError(L("Impossibile leggere il file \"%1\": %2").arg(Native(path), f.errorString()),
                    EZurError::Kind::File, path);
  if (bytes.contains('\0'))
    throw EZurError(L("Il file \"%1\" non è un file di testo.").arg(Native(path)), EZurError::Kind::File,
                    path);
  QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
  QString text = utf8.decode(bytes);
  if (utf8.hasError()) text = FromCp1252(bytes);
  if (text.startsWith(QChar(0xFEFF))) text.remove(0, 1);
  text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
  text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
  if (text.endsWith(QLatin1Char('\n'))) text.chop(1);
  if (text.isEmpty()) return {};
  return text.split(QLatin1Char('\n'));
}

// --- empty dataset definition --------------------------------------------------------

QStringList DatasetXmlLines(const QStringList& fieldNames) {
  QStringList lines{L("<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>"),
                    L("<DATAPACKET Version=\"2.0\">"), L("  <METADATA>"), L("    <FIELDS>")};
  QSet<QString> seen;
  for (const QString& entry : fieldNames) {
    QString name = entry.trimmed().toUpper();
    if (name.isEmpty()) continue;
    int width = 100;
    const qsizetype dollar = name.indexOf(QLatin1Char('$'));
    if (dollar >= 0) {
      bool ok = false;
      const int suffix = name.mid(dollar + 1).toInt(&ok);
      if (ok && suffix > 0) width = suffix;
      name = name.left(dollar).trimmed();
      if (name.isEmpty()) continue;
    }
    if (seen.contains(name)) continue;
    seen.insert(name);
    QString type;
    switch (name.at(0).unicode()) {
    case 'L':
      type = L(" fieldtype=\"string\" WIDTH=\"1\"");
      break;
    case 'F':
      type = L(" fieldtype=\"fixed\" DECIMALS=\"2\" WIDTH=\"18\"");
      break;
    case 'I':
      type = L(" fieldtype=\"i4\"");
      break;
    case 'D':
      type = L(" fieldtype=\"date\"");
      break;
    default: // S, and names outside the naming convention
      type = L(" fieldtype=\"string\" WIDTH=\"") + QString::number(width) + QLatin1Char('"');
      break;
    }
    lines << L("      <FIELD attrname=") + (QLatin1Char('"') + name + QLatin1Char('"')).leftJustified(50) +
                 type + L(" />");
  }
  lines << L("    </FIELDS>") << L("  <PARAMS/>") << L("  </METADATA>") << L("  <ROWDATA>")
        << L("  </ROWDATA>") << L("</DATAPACKET>");
  return lines;
}

TToolResult CreateDatasetXml(const QStringList& fieldNames) {
  if (fieldNames.isEmpty()) return TToolResult::Nothing;
  return Save(DatasetXmlLines(fieldNames), L("File XML (*.xml)|*.xml"), L("xml"), L("Salva"));
}

// --- record-layout skeleton --------------------------------------------------------------

QString ReplaceCharacters(const QString& text) {
  static const char* const kTable[][2] = {{"&", " "},  {"'", " "}, {"è", "e"}, {"é", "e"}, {"à", "a"},
                                          {"ò", "o"},  {"ù", "u"}, {"ì", "i"}, {"<", " "}, {">", " "},
                                          {"\"", " "}, {"ç", "c"}, {"°", " "}, {"§", " "}, {"£", " "}};
  QString out = text;
  for (const auto& pair : kTable)
    out.replace(L(pair[0]), L(pair[1]), Qt::CaseSensitive);
  return out;
}

bool SplitRecordLine(const QString& line, TRecordField& field) {
  const QStringList pieces = line.split(QLatin1Char(' '));
  const qsizetype n = pieces.size();
  bool numbered = false;
  pieces.first().toInt(&numbered);
  field = TRecordField();
  field.number = pieces.first().trimmed();
  QString description;
  if (numbered) {
    if (n < 3) return false;
    for (qsizetype i = 1; i <= n - 4; ++i)
      description += pieces[i] + QLatin1Char(' ');
    field.width = pieces[n - 2];
    field.format = pieces[n - 1];
  } else {
    for (qsizetype i = 1; i <= n - 2; ++i)
      description += pieces[i] + QLatin1Char(' ');
    field.width = L("16");
    field.format = pieces[n - 1];
  }
  field.description = ReplaceCharacters(description.trimmed());
  return true;
}

QString RecordFieldLine(const TRecordField& f) {
  const auto quoted = [](const QString& text) { return QLatin1Char('"') + text + QLatin1Char('"'); };
  return L("    <Field Number = ") + quoted(f.number).leftJustified(10) + L(" Description = ") +
         (QLatin1Char('"') + f.description).leftJustified(70) + QLatin1Char('"') + L(" Width = ") +
         quoted(f.width).leftJustified(6) + L(" Format = ") + quoted(f.format).leftJustified(5) +
         L(" Info = \"XX\"   Fixed = \"\"                 Cds = \"\"                       Field= \"\" /> ");
}

QStringList RecordLayoutLines(QChar letter, const QStringList& input, QString* badLine) {
  QStringList lines{L("<?xml version= \"1.0\" ?>"), L("<FileTel>"),
                    L(" <Record type = \"") + letter + L("\" >"),
                    L("  <Section Text = \"Intestazione record...\" CDS = \"\" Repeat = \"\" >")};
  bool complete = true;
  for (const QString& line : input) {
    // A blank line describes no field.
    if (line.trimmed().isEmpty()) continue;
    TRecordField field;
    if (!SplitRecordLine(line, field)) {
      if (badLine) *badLine = field.number;
      complete = false;
      break;
    }
    lines << RecordFieldLine(field);
  }
  if (complete) lines << L("  </Section>") << L(" </Record>");
  lines << L("</FileTel>");
  return lines;
}

TToolResult CreateRecordLayoutXml(QChar letter) {
  QString input;
  if (!AskInput(input, L("File di testo (*.txt)|*.txt|Tutti i file (*)|*"),
                L("Apri la descrizione del record ") + letter))
    return TToolResult::Cancelled;
  QStringList text;
  if (!ReadInput(input, text)) return TToolResult::ReadFailed;
  QString badLine;
  const QStringList lines = RecordLayoutLines(letter, text, &badLine);
  if (!badLine.isNull())
    VxShowMessage(L("Errore nella riga ") + badLine + L(" si prega di controllare"), TMsgDlgType::Error);
  return Save(lines, L("XML Documents (*.xml)|*.xml"), L("xml"), L("Salva XML per file telematico"));
}

// --- old print layout --------------------------------------------------------------------

QStringList OldPrintLayoutLines(const QStringList& input) {
  static const char* const kTags[] = {
      "<Frontespizio", "</Frontespizio", "<MBpg1",  "</MBpg1",    "<MBpg2",     "</MBpg2",    "<Section",
      "</Section",     "<Edit",          "</Edit",  "<PrintRect", "<QuadroIQ",  "</QuadroIQ", "<IQpg1",
      "</IQpg1",       "<IQpg2",         "</IQpg2", "<QuadroRX",  "</QuadroRX", "<RXpg1",     "</RXpg1"};
  QStringList kept;
  for (const QString& line : input) {
    const QString trimmed = line.trimmed();
    for (const char* tag : kTags)
      if (trimmed.startsWith(QLatin1String(tag))) {
        kept << trimmed;
        break;
      }
  }
  return kept;
}

TToolResult ExtractOldPrintLayout() {
  const QString filter = L("XML Document (*.xml)|*.xml");
  QString input;
  if (!AskInput(input, filter, L("Apri"))) return TToolResult::Cancelled;
  QStringList text;
  if (!ReadInput(input, text)) return TToolResult::ReadFailed;
  return Save(OldPrintLayoutLines(text), filter, L("xml"), L("Salva"));
}

} // namespace zurlayout
