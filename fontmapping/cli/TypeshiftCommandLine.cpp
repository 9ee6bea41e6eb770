#include "fontmapping/cli/TypeshiftCommandLine.h"

#include <string>
#include <vector>

#include "fontmapping/logic/TypeshiftRun.h"

namespace {

int Usage(std::ostream& err) {
  err << "usage: typeshift-cli list [--raw] FILE.mif...\n"
         "       typeshift-cli apply --font-map MAP.txt [--fonts FONTFILE.mif...] --output-dir DIR FILE.mif...\n";
  return 2;
}

void FlushLog(typeshift::CQ_Typeshift& ts, std::ostream& err) {
  for (const std::string& l : ts.vec_Log) {
    err << l;
    if (l.empty() || l.back() != '\n') err << '\n';
  }
  ts.vec_Log.clear();
}

}  // namespace

int i_RunTypeshift(int argc, char** argv, std::ostream& out, std::ostream& err) {
  if (argc < 3) return Usage(err);
  const std::string command = argv[1];
  std::vector<std::string> files, fonts;
  std::string map, outputDir;
  bool raw = false;
  std::vector<std::string>* target = &files;
  for (int i = 2; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "--font-map" && i + 1 < argc) {
      map = argv[++i];
      target = &files;
    } else if (a == "--output-dir" && i + 1 < argc) {
      outputDir = argv[++i];
      target = &files;
    } else if (a == "--raw") {
      raw = true;
    } else if (a == "--fonts") {
      target = &fonts;
    } else if (a == "--") {
      target = &files;
    } else if (a.rfind("--", 0) == 0) {
      err << "unknown option " << a << "\n";
      return Usage(err);
    } else {
      // After --fonts, font files run up to the next option; translated
      // files follow --output-dir or "--".
      target->push_back(a);
    }
  }

  typeshift::CQ_Typeshift ts;
  if (command == "list") {
    if (files.empty() || !fonts.empty() || !map.empty() || !outputDir.empty()) return Usage(err);
    ts.vec_Log.push_back("------------------------- Loading Translated Files ------------------------");
    const bool any = ts.b_LoadTranslatedFiles(files);
    ts.vec_Log.push_back("-------------------- Finished Loading Translated Files --------------------");
    ts.v_BuildRows();
    // Names are shown as display text (UTF-8), or with --raw as the bytes
    // of the MIF file: a font map matches rows by those bytes, so a map
    // written from the raw listing applies to rows of any encoding.
    const auto name = [&](const std::string& cell) {
      return raw ? cell : typeshift::ccs_DisplayText(cell, ts.ccs_Encoding());
    };
    for (const typeshift::st_Row& r : ts.vec_Rows) {
      out << r.acs_Cells[0] << '\t' << name(r.acs_Cells[1]) << '\t' << name(r.acs_Cells[2]) << '\t' << r.acs_Cells[3]
          << '\t' << r.acs_Cells[4] << '\t' << r.acs_Cells[5] << '\n';
    }
    FlushLog(ts, err);
    return any && ts.i_Errors() == 0 ? 0 : 1;
  }
  if (command == "apply") {
    if (raw || files.empty() || map.empty() || outputDir.empty()) return Usage(err);
    std::string tr, fo;
    for (const std::string& f : files) tr += f + ";";
    fo = map + ";";
    for (const std::string& f : fonts) fo += f + ";";
    // The map is a ".txt" font file; the wizard's one-type rule concerns
    // the user's picks, so only the MIF font files are checked together.
    std::string foMif;
    for (const std::string& f : fonts) foMif += f + ";";
    std::string check = foMif.empty() ? map + ";" : foMif;
    const std::string problem = typeshift::ccs_ValidateSelection(tr, check, outputDir);
    if (!problem.empty()) {
      err << problem << "\n";
      return 1;
    }
    // The map is read last, as a ".txt" font file: it fills the rows built
    // from the translated files and names the fonts it uses.
    std::vector<std::string> fontFiles = fonts;
    fontFiles.push_back(map);
    const bool loaded = ts.b_Load(files, fontFiles);
    if (!loaded || ts.i_Errors() > 0) {
      FlushLog(ts, err);
      return 1;
    }
    typeshift::CQ_BatchQuestions questions(ts.vec_Log);
    const int created = ts.i_Run(outputDir, questions);
    FlushLog(ts, err);
    return ts.i_Errors() == 0 && created == static_cast<int>(files.size()) ? 0 : 1;
  }
  return Usage(err);
}
