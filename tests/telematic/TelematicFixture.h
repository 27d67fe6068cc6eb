#pragma once

#include "platform/zurUGlobal.h"
#include "dataset/ClientDataSet.h"
#include "dataset/Field.h"
#include "declaration/zurMDati.h"
#include "support/ScriptedPlatform.h"
#include "support/DeclarationFixture.h"
#include "telematic/zurMFileTelIRAP.h"

#include <QDate>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <initializer_list>
#include <utility>

// A declaration on the catalogue's datasets (no store), a scripted platform
// and a program root of its own, for the tests of the telematic file.
// Readable failures for texts.
inline void PrintTo(const QString& text, std::ostream* os) {
  *os << '"' << text.toStdString() << '"';
}

namespace zurtest {

using TValues = std::initializer_list<std::pair<const char*, QVariant>>;

class TTelematicTest : public ::testing::Test {
protected:
  void SetUp() override {
    m_oldRoot = zur::RootDir();
    zur::SetRootDir(m_root.path());
    OpenCatalogueDeclaration(m_dati);
    Front({{"SIRAPDENOM", Q("Istituto")}});
  }
  void TearDown() override { zur::SetRootDir(m_oldRoot); }

  static void SetField(TField& f, const QVariant& v) {
    if (!v.isValid() || v.isNull())
      f.Clear();
    else if (v.typeId() == QMetaType::QDate)
      f.SetAsDate(v.toDate());
    else
      f.SetAsString(v.toString());
  }
  // Writes the values into the current cover page.
  void Front(TValues values) {
    TClientDataSet& f = m_dati.cdsFrontespizio;
    f.Edit();
    for (const auto& [name, v] : values)
      SetField(Fld(f, name), v);
    f.Post();
  }
  // Writes the values into the current record of a quadro, appending one
  // for the current declaration when it has none.
  void Quadro(TClientDataSet& ds, TValues values, bool append = false) {
    ds.SetFilter(QStringLiteral("IAFIID = %1").arg(m_dati.CurrentTaxpayerId()));
    ds.SetFiltered(true);
    if (append || ds.IsEmpty()) {
      ds.Append();
      Fld(ds, "IAFIID").SetAsInteger(m_dati.CurrentTaxpayerId());
      if (ds.FindField(Q("IIRAPID"))) Fld(ds, "IIRAPID").SetAsInteger(m_dati.CurrentDeclarationId());
    } else {
      ds.Edit();
    }
    for (const auto& [name, v] : values)
      SetField(Fld(ds, name), v);
    ds.Post();
  }
  // The boxes that agree with the quadri present, so that no question comes.
  void AgreeingBoxes() {
    auto box = [](bool present) { return present ? Q("1") : Q("0"); };
    Front({{"LIRAPIK", box(!m_dati.cdsQuadroIK.IsEmpty())},
           {"LIRAPIR", box(!m_dati.cdsQuadroIR.IsEmpty() || !m_dati.cdsQuadroIRVar.IsEmpty())},
           {"LIRAPIS", box(!m_dati.cdsQuadroIS.IsEmpty())}});
  }
  // The run into a file of the test root; the file's text.
  QString Run() {
    const QString path = m_root.filePath(Q("out.xml"));
    QFile::remove(path);
    EXPECT_EQ(m_modulo.CreaFileTelematico(path), TdmZurFileTelIRAP::TEsito::Completed);
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    ExpectWellFormed(path);
    return QString::fromUtf8(bytes);
  }
  // Every file the tests write must be well-formed XML.
  static void ExpectWellFormed(const QString& path) {
    QProcess p;
    p.start(Q("xmllint"), {Q("--noout"), path});
    ASSERT_TRUE(p.waitForFinished(30000));
    EXPECT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();
  }
  // The lines of the file between the start and end tags of the element,
  // both included; empty when the element is not there.
  static QStringList Element(const QString& text, const QString& tag) {
    const QStringList lines = text.split(Q("\r\n"));
    QStringList out;
    for (qsizetype i = 0; i < lines.size(); ++i) {
      if (lines[i] == Q("<%1/>").arg(tag)) return {lines[i]};
      if (!lines[i].startsWith(Q("<%1>").arg(tag)) && !lines[i].startsWith(Q("<%1 ").arg(tag))) continue;
      for (; i < lines.size(); ++i) {
        out << lines[i];
        if (lines[i].endsWith(Q("</%1>").arg(tag))) return out;
      }
    }
    return out;
  }

  QTemporaryDir m_root;
  QString m_oldRoot;
  TScriptedPlatform m_platform;
  TdmZurDati m_dati;
  TdmZurFileTelIRAP m_modulo{m_dati};
};

} // namespace zurtest
