// libFuzzer target: a whole back conversion through the batch driver, from
// a fixed source document and a fuzzed translated KWX file.
//
// At start the fixed sources (the back-conversion and forward-conversion
// fixtures, the sample and two small corpus documents) are converted
// forward once into this process's scratch folder: ORG copies, source KWX
// files in text and RTF, and ancillary files, plain and pseudo-translated.
// Each input is then written as the translated file of the source its
// <sourcepath "..."> line names (by file name; otherwise one picked by the
// input's size), as RTF when it begins with "{\rtf" and as text otherwise,
// verified against its source (the verification report) and converted
// back with no ancillary file, the plain one or the pseudo-translated one.
// A back conversion that reports success must leave a MIF file that the
// reading and pre-scan accept.
//
// Seeds: run once with MORVANE_FUZZ_SEEDS=DIR set, and the target writes
// the sources' KWX files (text and RTF, plain and pseudo-translated) and
// the fixtures' translations into DIR and exits.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "FuzzSupport.h"
#include "kernel/backward/PseudoTranslation.h"
#include "kernel/forward/MIFPreScan.h"

namespace {

namespace fs = std::filesystem;

struct Source {
  std::string name;  // file name without ".mif", unique
  std::string mif;   // where the document comes from
  fuzz::Settings settings;
  std::string translation;  // a fixture's real translation, if any
  bool ancillary = false;   // its ancillary files exist
};

struct World {
  fuzz::Scratch scratch{"morvane_back_fuzz"};
  std::string src;  // the source folder: shared by every process, so source paths do not change
  std::string org;  // ORG copies, source KWX files, ancillary files
  std::string tr;   // the translated file and what back conversion writes
  std::vector<Source> sources;
};

std::vector<Source> FixedSources() {
  const std::string data = MORVANE_TEST_DATA_DIR;
  std::vector<Source> sources;
  auto add = [&sources](std::string name, std::string mif, const std::string& settings, std::string translation) {
    if (!fs::exists(mif)) return;
    Source s;
    s.name = std::move(name);
    s.mif = std::move(mif);
    s.settings = fs::exists(settings) ? fuzz::ReadSettings(settings) : fuzz::Settings();
    s.translation = std::move(translation);
    sources.push_back(std::move(s));
  };
  for (const char* fixture : {"translated", "symbol_quotes"}) {
    const std::string dir = data + "/back/golden/" + fixture + "/";
    add(std::string(fixture) == "translated" ? "doc" : fixture, dir + "input.mif", dir + "settings.txt",
        dir + "translated.txt");
  }
  std::vector<fs::path> golden;
  std::error_code error;
  for (fs::directory_iterator it(data + "/convert/golden", error), end; !error && it != end; it.increment(error)) {
    golden.push_back(it->path());
  }
  std::sort(golden.begin(), golden.end());
  for (const fs::path& dir : golden) {
    add(dir.filename().string(), (dir / "input.mif").string(), (dir / "settings.txt").string(), "");
  }
  add("sample", std::string(MORVANE_SOURCE_DIR) + "/samples/sample.mif", "", "");
  add("columns", data + "/back/roundtrip/columns.mif", "", "");
  for (const char* corpus : {"x11__lbxalg_mif400", "x11__Xprt_cov_mif500"}) {
    add(corpus, std::string(MORVANE_CORPUS_DIR) + "/" + corpus + ".mif", "", "");
  }
  return sources;
}

// The source folder holds the same bytes for every process; a file is
// written under a name of this process's own and renamed into place.
void PlaceSource(const std::string& src, const Source& s) {
  const std::string target = src + s.name + ".mif";
  const std::string bytes = fuzz::ReadBytes(s.mif);
  if (fs::exists(target) && fuzz::ReadBytes(target) == bytes) return;
  const std::string temporary = target + "." + std::to_string(::getpid());
  fuzz::WriteBytes(temporary, bytes);
  fs::rename(temporary, target);
}

// Forward conversion of one source in both forms; false when it fails.
bool Prepare(World& w, Source& s) {
  PlaceSource(w.src, s);
  for (int format : {1, 0}) {  // the text form last: its ancillary file is kept
    fuzz::Settings settings = s.settings;
    settings.format = format;
    auto session = fuzz::MakeSession(settings, w.org, w.org);
    CQ_StringList paths = {w.src + s.name + ".mif"};
    session->v_ConvertMIF(&paths);
    if (!fuzz::Done(*session)) return false;
    const std::string ancillary = w.org + s.name + "_ancillary.txt";
    s.ancillary = !session->b_AncillaryFileIsEmpty() && session->b_CreateAncillaryFile(ancillary);
  }
  if (s.ancillary) {
    st_PseudoTranslationOptions options;
    sv_PseudoTranslateFile(w.org + s.name + "_ancillary.txt", w.org + s.name + "_pseudo_ancillary.txt", options);
  }
  return true;
}

World& TheWorld() {
  static World world;
  static const bool ready = [] {
    World& w = world;
    w.src = (fuzz::TempRoot() / "morvane_back_fuzz_sources").string() + "/";
    w.org = w.scratch.path() + "org/";
    w.tr = w.scratch.path() + "tr/";
    for (const std::string& dir : {w.src, w.org, w.tr}) fs::create_directories(dir);
    for (Source& s : FixedSources()) {
      if (Prepare(w, s)) w.sources.push_back(std::move(s));
    }
    if (w.sources.empty()) {
      std::fprintf(stderr, "no source document could be converted\n");
      std::abort();
    }
    return true;
  }();
  (void)ready;
  return world;
}

void WriteSeeds(World& w, const std::string& dir) {
  fs::create_directories(dir);
  for (const Source& s : w.sources) {
    for (const char* ext : {".txt", ".rtf"}) {
      const std::string kwx = w.org + s.name + ext;
      fs::copy_file(kwx, dir + "/" + s.name + ext, fs::copy_options::overwrite_existing);
      sv_PseudoTranslateFile(kwx, dir + "/" + s.name + "_pseudo" + ext);
    }
    if (!s.translation.empty() && fs::exists(s.translation)) {
      // The fixture's translation, naming this source.
      std::string text = fuzz::ReadBytes(s.translation);
      const std::string path = "<sourcepath \"doc.mif\">";
      const std::size_t at = text.find(path);
      if (at != std::string::npos) text.replace(at, path.size(), "<sourcepath \"" + s.name + ".mif\">");
      fuzz::WriteBytes(dir + "/" + s.name + "_translation.txt", text);
    }
  }
}

// The source whose file name the input's <sourcepath "..."> line names.
const Source& SourceOf(const World& w, std::string_view input) {
  const std::string_view key = "<sourcepath \"";
  const std::size_t at = input.substr(0, 4096).find(key);
  if (at != std::string_view::npos) {
    std::string_view path = input.substr(at + key.size());
    path = path.substr(0, path.find('"'));
    const std::size_t slash = path.find_last_of("/\\");
    if (slash != std::string_view::npos) path.remove_prefix(slash + 1);
    for (const Source& s : w.sources) {
      if (path == s.name + ".mif") return s;
    }
  }
  return w.sources[input.size() % w.sources.size()];
}

void ClearFolder(const std::string& dir) {
  std::error_code error;
  for (fs::directory_iterator it(dir, error), end; !error && it != end; it.increment(error)) {
    fs::remove_all(it->path(), error);
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  World& w = TheWorld();
  if (const char* seeds = std::getenv("MORVANE_FUZZ_SEEDS")) {
    WriteSeeds(w, seeds);
    std::printf("%zu sources, seeds written to %s\n", w.sources.size(), seeds);
    std::exit(0);
  }
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  World& w = TheWorld();
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  const Source& source = SourceOf(w, input);
  fuzz::Settings settings = source.settings;
  settings.format = input.rfind("{\\rtf", 0) == 0 ? 1 : 0;
  const std::string translated = w.tr + source.name + (settings.format == 1 ? ".rtf" : ".txt");
  fuzz::WriteBytes(translated, input.data(), input.size());
  CQ_StringList paths = {translated};

  {
    // Verification mode: the tags compared with the source's, the report.
    auto session = fuzz::MakeSession(settings, w.org, w.tr);
    session->v_VerifyVarnels(&paths);
  }

  std::string ancillary;
  if (source.ancillary && size % 3 != 0) {
    ancillary = w.org + source.name + (size % 3 == 1 ? "_ancillary.txt" : "_pseudo_ancillary.txt");
  }
  auto session = fuzz::MakeSession(settings, w.org, w.tr);
  session->v_ConvertKWX(&paths, ancillary.empty() ? nullptr : ancillary.c_str());
  if (fuzz::Done(*session)) {
    // What was written must read as MIF again.
    const std::string mif = fuzz::ReadBytes(w.tr + source.name + ".mif");
    if (mif.empty()) __builtin_trap();
    CQ_MIFPreScan scan(*session, CQ_MIFPreScan::st_SecondFormOptions(*session));
    try {
      scan.v_PreScanText(mif.data(), mif.size());
    } catch (int code) {
      std::fprintf(stderr, "the back-converted MIF file does not read again: code %d\n", code);
      __builtin_trap();
    }
  }
  ClearFolder(w.tr);
  return 0;
}
