// Languages: from a display name the session derives, for each side, the
// Windows code page its text is written in, the language name FrameMaker
// uses in MIF files and a two-letter code kept for the Interleaf family.
// Names compare exactly, with case; every name beginning "Japanese" is
// Japanese, and "Japanese (Colloquy)" also asks for the regrouped index
// sort strings of the Colloquy alignment.
#include <algorithm>
#include <cstring>
#include <vector>

#include "kernel/session/Communication.h"
#include "kernel/session/Languages.h"

namespace {

struct LanguageRow {
  const char* name;
  int codePage;
  const char* mifLanguage;
  const char* sourceCode;  // null: the source code keeps its value
  const char* targetCode;
};

// In the order names are looked up.
const LanguageRow kLanguages[] = {
    {"Chinese (Simplified)", 936, "SimplifiedChinese", nullptr, "nl"},
    {"Chinese (Traditional)", 950, "TraditionalChinese", nullptr, "nl"},
    {"Korean", 949, "Korean", nullptr, "nl"},
    {"Albanian", 1250, "NoLanguage", "nl", "nl"},
    {"Croatian", 1250, "NoLanguage", "nl", "nl"},
    {"Czech", 1250, "NoLanguage", "nl", "nl"},
    {"Hungarian", 1250, "NoLanguage", "nl", "nl"},
    {"Polish", 1250, "NoLanguage", "nl", "nl"},
    {"Romanian", 1250, "NoLanguage", "nl", "nl"},
    {"Serbian", 1250, "NoLanguage", "nl", "nl"},
    {"Slovak", 1250, "NoLanguage", "nl", "nl"},
    {"Slovenian", 1250, "NoLanguage", "nl", "nl"},
    {"Bulgarian", 1251, "NoLanguage", "nl", "nl"},
    {"Byelorussian", 1251, "NoLanguage", "nl", "nl"},
    {"Russian", 1251, "NoLanguage", "nl", "nl"},
    {"Ukrainian", 1251, "NoLanguage", "nl", "nl"},
    {"Basque", 1252, "NoLanguage", "nl", "nl"},
    {"Faeroese", 1252, "NoLanguage", "nl", "nl"},
    {"Icelandic", 1252, "NoLanguage", "nl", "nl"},
    {"Catalan", 1252, "Catalan", "nl", "nl"},
    {"Danish", 1252, "Danish", "da", "da"},
    {"Dutch", 1252, "Dutch", "du", "du"},
    {"English (AUS)", 1252, "NoLanguage", "au", "au"},
    {"English (UK)", 1252, "UKEnglish", "br", "br"},
    {"English (US)", 1252, "USEnglish", "am", "am"},
    {"Finnish", 1252, "Finnish", "fi", "fi"},
    {"French", 1252, "French", "fr", "fr"},
    {"French (Canadian)", 1252, "CanadianFrench", "ca", "ca"},
    {"German", 1252, "German", "ge", "ge"},
    {"German (Swiss)", 1252, "SwissGerman", "ge", "nl"},
    {"Italian", 1252, "Italian", "it", "it"},
    {"None", 1252, "NoLanguage", "nl", "nl"},
    {"Norwegian", 1252, "Norwegian", "no", "no"},
    {"Norwegian (Nynorsk)", 1252, "Nynorsk", "nl", "nl"},
    {"Portuguese", 1252, "Portuguese", "po", "po"},
    {"Portuguese (Brazilian)", 1252, "Brazilian", "bp", "nl"},
    {"Spanish", 1252, "Spanish", "sp", "sp"},
    {"Swedish", 1252, "Swedish", "sw", "sw"},
    {"Greek", 1253, "NoLanguage", "nl", "nl"},
    {"Turkish", 1254, "NoLanguage", "nl", "nl"},
    {"Estonian", 1257, "NoLanguage", "nl", "nl"},
    {"Latvian", 1257, "NoLanguage", "nl", "nl"},
    {"Lithuanian", 1257, "NoLanguage", "nl", "nl"},
};

const LanguageRow* FindLanguage(const std::string& name) {
  for (const LanguageRow& row : kLanguages) {
    if (name == row.name) return &row;
  }
  return nullptr;
}

bool IsJapanese(const std::string& name) { return name.compare(0, 8, "Japanese") == 0; }

}  // namespace

bool CQ_Morvane_Communication::b_InitialiseSourceLanguage(const char* name) {
  m_bJapaneseColloquy = false;
  std::string previous = m_strSourceLanguage;
  m_strSourceLanguage = name ? name : "";
  if (IsJapanese(m_strSourceLanguage)) {
    m_iSourceCodePage = 932;
    m_strSourceMIFLanguage = "Japanese";
    m_strSourceIASCIILanguage = "nl";
    m_bJapaneseColloquy = (m_strSourceLanguage == "Japanese (Colloquy)");
    return true;
  }
  if (const LanguageRow* row = FindLanguage(m_strSourceLanguage)) {
    m_iSourceCodePage = row->codePage;
    m_strSourceMIFLanguage = row->mifLanguage;
    if (row->sourceCode) m_strSourceIASCIILanguage = row->sourceCode;
    return true;
  }
  m_strSourceLanguage = previous;
  m_strSourceIASCIILanguage = "nl";
  return false;
}

void CQ_Morvane_Communication::v_InitialiseTargetLanguage(const char* name) {
  std::string previous = m_strTargetLanguage;
  m_strTargetLanguage = name ? name : "";
  if (IsJapanese(m_strTargetLanguage)) {
    m_iTargetCodePage = 932;
    m_strTargetMIFLanguage = "Japanese";
    m_strTargetIASCIILanguage = "nl";
    return;
  }
  if (const LanguageRow* row = FindLanguage(m_strTargetLanguage)) {
    m_iTargetCodePage = row->codePage;
    m_strTargetMIFLanguage = row->mifLanguage;
    m_strTargetIASCIILanguage = row->targetCode;
    return;
  }
  m_strTargetLanguage = previous;
  m_strTargetIASCIILanguage = "nl";
}

std::vector<std::string> ccs_OfferedLanguageNames(bool sourceSide) {
  std::vector<std::string> names;
  for (const LanguageRow& row : kLanguages) {
    if (std::strcmp(row.name, "English (AUS)") != 0) names.emplace_back(row.name);
  }
  names.emplace_back("Japanese");
  if (sourceSide) names.emplace_back("Japanese (Colloquy)");
  std::sort(names.begin(), names.end());
  return names;
}

std::vector<std::string> ccs_SourceLanguagesOfCodePage(int codePage) {
  std::vector<std::string> names;
  if (codePage == 932) {
    names.emplace_back("Japanese");
    return names;
  }
  for (const LanguageRow& row : kLanguages) {
    if (row.codePage == codePage && std::strcmp(row.name, "English (AUS)") != 0) names.emplace_back(row.name);
  }
  std::sort(names.begin(), names.end());
  return names;
}
